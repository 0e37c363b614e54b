#include "DesktopFit.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* LoadQtJapanese(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

void SetDesktopIdentity() {
    QGuiApplication::setDesktopFileName(QStringLiteral("jp.zavo.zavoconv"));
    QGuiApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral("zavoconv"), QIcon(QStringLiteral(":/icons/zavoconv-48.png"))));
}
