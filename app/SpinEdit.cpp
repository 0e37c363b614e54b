#include "SpinEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <algorithm>

TSpinEdit::TSpinEdit(int minValue, int maxValue, int maxLength, QWidget* parent)
    : QSpinBox(parent) {
    setRange(minValue, maxValue);
    setValue(minValue);
    lineEdit()->setMaxLength(maxLength);
    // Composed input would slip past the key filter.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
}

int TSpinEdit::ParseOrMin(const QString& text) const {
    // Decimal only: an optional sign and digits, nothing else.
    QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
    if (i >= t.size()) return minimum();
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9') return minimum();
        v = v * 10 + (t[i].unicode() - u'0');
        if (v > 1000000000LL) return minimum();
    }
    return static_cast<int>(negative ? -v : v);
}

int TSpinEdit::Value() const {
    return ParseOrMin(lineEdit()->text());
}

void TSpinEdit::CheckValue() {
    int held = std::clamp(Value(), minimum(), maximum());
    if (lineEdit()->text() != QString::number(held)) setValue(held);
    // setValue does not rewrite a text that already shows an equal value in another spelling.
    if (lineEdit()->text() != QString::number(held)) lineEdit()->setText(QString::number(held));
}

void TSpinEdit::stepBy(int steps) {
    int v = std::clamp(Value() + steps, minimum(), maximum());
    setValue(v);
    lineEdit()->setText(QString::number(v));
    selectAll();
}

QValidator::State TSpinEdit::validate(QString& input, int&) const {
    // Whatever the keys let through may stand in the field; it is put right on leaving it.
    bool ok = false;
    int v = input.toInt(&ok);
    if (ok && v >= minimum() && v <= maximum() && input == QString::number(v))
        return QValidator::Acceptable;
    return QValidator::Intermediate;
}

void TSpinEdit::fixup(QString& input) const {
    input = QString::number(std::clamp(ParseOrMin(input), minimum(), maximum()));
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() == 1) {
        QChar c = text[0];
        bool control = c.unicode() < 0x20 || c.unicode() == 0x7f;
        bool enter = c == u'\r' || c == u'\n';
        bool allowed = (control && !enter) || c.isDigit() || c == u'+' || c == u'-' ||
                       c == QLocale().decimalPoint().front();
        if (!allowed || (c.isDigit() && (c < u'0' || c > u'9'))) {
            QApplication::beep();
            event->accept();
            return;
        }
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QApplication::beep();
        event->accept();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    CheckValue();
    QSpinBox::focusOutEvent(event);
}
