#include "DesktopFit.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* LoadQtJapanese(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    // The Windows program carries them inside; elsewhere they are the system's Qt's.
    const bool loaded =
        translator->load(QStringLiteral("qtbase_ja"), QStringLiteral(":/translations")) ||
        translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!loaded || !QCoreApplication::installTranslator(translator)) {
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
