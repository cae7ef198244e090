// The dialogs of the set-at-position commands and the strip's meter and key
// boxes: TBPMDlg (tempo), TMeterDlg (numerator and denominator) and
// TKeySigDlg (the fifteen keys, major or minor). UI thread.
#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace melko {

class TBPMDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TBPMDlg(QWidget* parent = nullptr);
  // The box read as a tempo (fallback 120, 5..500).
  int Bpm() const;
  QLineEdit* edBPM;
};

class TMeterDlg : public QDialog {
  Q_OBJECT
 public:
  // Starts with numerator 4 and denominator 4 unless a meter value is given.
  explicit TMeterDlg(QWidget* parent = nullptr, uint32_t meter = 0x04021808);
  // The meter event value of the dialog's choice; a whole meter typed into
  // the numerator box ("6/8") counts with its denominator.
  uint32_t Value();
  QLineEdit* edNn;
  QComboBox* cmbDd;
  QToolButton *tsbtNnUp, *tsbtNnDown;

 private:
  void Step(int by);
  void TakeWholeMeter();
};

class TKeySigDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TKeySigDlg(QWidget* parent = nullptr, uint32_t key = 0);
  // The key event value (sf << 8 | minor).
  uint32_t Value() const;
  QComboBox* cmbKey;
  QRadioButton *rbtMajor, *rbtMinor;
};

// The meter and key dialogs put the mouse pointer in the middle of the
// screen while they are open and back afterwards; true on OK.
bool ExecCentered(QDialog& dialog);

}  // namespace melko
