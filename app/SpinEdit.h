// A whole-number field with up and down buttons that behaves the way users of such recorder
// tools know it: while typing only digits, signs and the decimal separator get through; the
// value is the text read as a number (text that is no number counts as the minimum); leaving
// the field puts a value outside the range back to the nearest bound.
#pragma once

#include <QSpinBox>

class TSpinEdit : public QSpinBox {
    Q_OBJECT
  public:
    TSpinEdit(int minValue, int maxValue, int maxLength, QWidget* parent = nullptr);

    // The field's text read as a decimal integer, or the minimum when it is no number. Not
    // held within the range: that happens when the field loses the focus (or CheckValue).
    int Value() const;
    // Puts a value outside the range back to the nearest bound, as leaving the field does.
    void CheckValue();

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    int ParseOrMin(const QString& text) const;
};
