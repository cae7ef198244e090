// TSysExSpinEdit: the numeric spin edit of the SysEx dialog. Besides the
// range and value of a spin box it carries a Tag and two optional hooks that
// turn a value into its shown text and a typed text into a value (the
// dialog's variable fields use them for two-digit hexadecimal). The change
// signal is valueChanged, sent when a typed value is finished (Enter or
// leaving the box) and on every step, not on each key. UI thread.
#pragma once

#include <QSpinBox>
#include <functional>
#include <optional>

namespace melko {

class TSysExSpinEdit : public QSpinBox {
  Q_OBJECT
 public:
  explicit TSysExSpinEdit(QWidget* parent = nullptr);

  int Tag = 0;
  std::function<QString(int value)> ValueToText;
  std::function<std::optional<int>(const QString& text)> TextToValue;

  // The two-digit upper-case hexadecimal hooks (true) or none (false).
  void SetHex(bool hex);

 protected:
  QString textFromValue(int value) const override;
  int valueFromText(const QString& text) const override;
  QValidator::State validate(QString& text, int& pos) const override;
};

}  // namespace melko
