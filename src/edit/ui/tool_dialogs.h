// The edit tools' dialogs: TDynamicsDlg, TTransposeDlg, TGateDlg,
// TQuantizeDlg and TEventCutterDlg. Each starts from the run-long settings,
// rewrites a box when it is left (clamped to its range), closes with OK on
// Enter in a box (after checking that box) and with Cancel on Esc, and on OK
// reads every box back into the settings. UI thread; the dialogs do not own
// the settings or the name tables they are given.
#pragma once

#include <QDialog>
#include <functional>

#include "edit/edit_tools.h"
#include "edit/name_tables.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace melko {

// Shared by the tool dialogs: Enter in a box checks it and closes with OK.
class TToolDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TToolDlg(const QString& caption, QWidget* parent);

 protected:
  // A box whose `check` rewrites it when it is left or Enter is pressed.
  QLineEdit* AddBox(const char* name, std::function<void()> check);
  // OK: every box is checked and read; the dialog then accepts.
  virtual void ReadAll() = 0;
  void Ok();
  // A note played on the MIDI input goes into whichever of the two note boxes
  // has the focus (the transpose and event cutter dialogs).
  static void TakeNote(int note, int velocity, int centerC, QLineEdit* fromBox, int& from, QLineEdit* toBox,
                       int& to);

 private:
  bool closing_ = false;
};

class TDynamicsDlg : public TToolDlg {
  Q_OBJECT
 public:
  TDynamicsDlg(DynamicsSettings& settings, const NameTable& dynCtrl, QWidget* parent = nullptr);

  QComboBox *cmbData, *cmbControl;
  QRadioButton *rbtAdd, *rbtChange, *rbtSet, *rbtCompress;
  QLineEdit *edAdd, *edChange, *edSet, *edComp, *edCompPrc, *edLower, *edUpper;

 protected:
  void ReadAll() override;

 private:
  void KindChanged();
  void CheckValue(QLineEdit* box, int& value);
  DynamicsSettings& s_;
  DynamicsSettings work_;
  const NameTable& table_;
};

class TTransposeDlg : public TToolDlg {
  Q_OBJECT
 public:
  TTransposeDlg(TransposeSettings& settings, int centerC, QWidget* parent = nullptr);
  // A note-on from MIDI input goes into the note box that has the focus.
  void NoteOn(int note, int velocity);

  QRadioButton *rbtTranspose, *rbtChange;
  QLineEdit *edFrom, *edTo;

 protected:
  void ReadAll() override;

 private:
  TransposeSettings& s_;
  int from_, to_, centerC_;
};

class TGateDlg : public TToolDlg {
  Q_OBJECT
 public:
  TGateDlg(GateSettings& settings, uint32_t tpqn, QWidget* parent = nullptr);

  QRadioButton *rbtAdd, *rbtChange, *rbtSet, *rbtCompress;
  QLineEdit *edAdd, *edChange, *edSet, *edComp, *edCompPrc, *edLower, *edUpper;

 protected:
  void ReadAll() override;

 private:
  GateSettings& s_;
  GateSettings work_;
  uint32_t tpqn_;
};

class TQuantizeDlg : public TToolDlg {
  Q_OBJECT
 public:
  TQuantizeDlg(QuantizeSettings& settings, int& resolution, uint32_t tpqn, QWidget* parent = nullptr);

  QComboBox *cmbQType, *cmbQReso;
  QLineEdit *edQPerc, *edQShift;
  QLabel* lblQShift;

 protected:
  void ReadAll() override;

 private:
  void TypeChanged();
  void CheckShift();
  QuantizeSettings& s_;
  int& resolution_;
  QuantizeSettings work_;
  uint32_t tpqn_;
};

class TEventCutterDlg : public TToolDlg {
  Q_OBJECT
 public:
  TEventCutterDlg(CutterSettings& settings, const NameTable& control, const NameTable& meta, int centerC,
                  QWidget* parent = nullptr);
  void NoteOn(int note, int velocity);

  QComboBox *cmbSTAT, *cmbVAL1;
  QWidget* pnlNotes;
  QLineEdit *edFromVAL, *edUptoVal;

 protected:
  void ReadAll() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void KindChanged();
  CutterSettings& s_;
  const NameTable& control_;
  const NameTable& meta_;
  int from_, to_, centerC_;
  int shownKind_ = -1;
  int ctrlIndex_ = 0, metaIndex_ = 0;
};

}  // namespace melko
