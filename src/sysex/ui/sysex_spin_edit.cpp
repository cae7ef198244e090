#include "sysex/ui/sysex_spin_edit.h"

#include <QLineEdit>

namespace melko {

TSysExSpinEdit::TSysExSpinEdit(QWidget* parent) : QSpinBox(parent) { setKeyboardTracking(false); }

void TSysExSpinEdit::SetHex(bool hex) {
  if (hex) {
    ValueToText = [](int value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); };
    TextToValue = [](const QString& text) -> std::optional<int> {
      bool ok = false;
      const QString t = text.trimmed();
      int v = t.size() <= 4 ? t.toInt(&ok, 16) : 0;
      if (!ok) return std::nullopt;
      return v;
    };
  } else {
    ValueToText = nullptr;
    TextToValue = nullptr;
  }
  // The shown text follows the new hooks.
  const bool was = blockSignals(true);
  setValue(value());
  lineEdit()->setText(textFromValue(value()));
  blockSignals(was);
}

QString TSysExSpinEdit::textFromValue(int value) const {
  return ValueToText ? ValueToText(value) : QSpinBox::textFromValue(value);
}

int TSysExSpinEdit::valueFromText(const QString& text) const {
  if (!TextToValue) return QSpinBox::valueFromText(text);
  return TextToValue(text).value_or(value());
}

QValidator::State TSysExSpinEdit::validate(QString& text, int& pos) const {
  if (!TextToValue) return QSpinBox::validate(text, pos);
  if (text.trimmed().isEmpty()) return QValidator::Intermediate;
  std::optional<int> v = TextToValue(text);
  if (!v) return QValidator::Invalid;
  return *v >= minimum() && *v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

}  // namespace melko
