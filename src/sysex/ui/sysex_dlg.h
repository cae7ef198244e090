// The SysEx input dialog. `TSysExDlg` holds every control and rule: the group
// tree (tvSysEx) beside the parameters of the selected group (lbxSysEx), the
// three variable fields (lbExtra0..2, mveExtra0..2), the value as text with
// the type's table (cmbSysExTable) and as a number (mveValue), the whole
// message as hex text (edSysExHexStr) and the recognised parameter's name
// (cmbSysExDisp). `TSysExInputDlg` adds the named messages of SYSEX.TXT to
// cmbSysExDisp's list. What the fields show and do is TSysExDialogModel's;
// this is its skin. `InputSysEx` runs the dialog once.
// UI thread. The parameter tree is not owned and must outlive the dialog.
#pragma once

#include <QDialog>
#include <QPoint>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "sysex/sysex_dialog_model.h"
#include "sysex/sysex_group_tree.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace melko {

class TSysExSpinEdit;

class TSysExDlg : public QDialog {
  Q_OBJECT
 public:
  ~TSysExDlg() override;

  TSysExDialogModel& Model() { return model_; }
  // Opening: a non-empty text goes into the hex box and is applied, and the
  // recognised parameter is selected in the list when it is listed.
  void SetInitialText(const std::string& text);
  // The text handed back on OK: the hex text of the last accepted body.
  std::string ResultText() const;
  // The warning box of a refused text ("警告", exclamation); tests may
  // replace it.
  std::function<void(const std::string& text)> ShowWarning;

  // Actions as the controls trigger them, for the window and for tests.
  void ApplyHexText();           // OK, Enter in or leaving edSysExHexStr
  void ApplyTableText();         // Enter in or leaving cmbSysExTable
  void SelectGroup(QTreeWidgetItem* item);
  void PickParam(QListWidgetItem* item);

  QSplitter* splitter;
  QTreeWidget* tvSysEx;
  QListWidget* lbxSysEx;
  QLabel *lbExtra0, *lbExtra1, *lbExtra2;
  TSysExSpinEdit *mveExtra0, *mveExtra1, *mveExtra2;
  QComboBox* cmbSysExTable;
  TSysExSpinEdit* mveValue;
  QLineEdit* edSysExHexStr;
  QComboBox* cmbSysExDisp;
  QPushButton *btOk, *btCancel;

 protected:
  explicit TSysExDlg(TSysExParamNodes& nodes, QWidget* parent = nullptr);
  // Applies text to the body; a refused one moves the pointer and warns.
  // Returns the code.
  int ApplyText(const std::string& text);
  // Shows a code's warning, then fills the controls.
  void Finish(int code);
  // Fills every control from the model (with the updating flag set).
  void Refresh();
  void FillTable();
  void accept() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  bool updating_ = false;

 private:
  void BuildGroupTree();
  void ExtraChanged();
  void ValueChanged(int value);
  void TableEntryChosen(int index);
  // True when a focus change away from a text box should apply its text.
  bool AppliesOnLeave(QEvent* event) const;

  TSysExDialogModel model_;
  std::vector<TSysExGroupNode> groups_;
  std::array<QLabel*, 3> labels_{};
  std::array<TSysExSpinEdit*, 3> extras_{};
  bool warning_ = false;  // a warning box is up: its focus changes apply nothing
};

class TSysExInputDlg : public TSysExDlg {
  Q_OBJECT
 public:
  // names[i] names the message hexTexts[i] (the lists of SYSEX.TXT).
  TSysExInputDlg(TSysExParamNodes& nodes, const std::vector<std::string>& names,
                 const std::vector<std::string>& hexTexts, QWidget* parent = nullptr);

  // Entry index of cmbSysExDisp's list chosen.
  void ChooseNamedMessage(int index);

 private:
  TSysExNamedMessages named_;
};

// Runs the dialog modally with its top-left corner at `at` (moved so that the
// whole dialog stays on the screen) and the initial text applied. Returns the
// hex text of the message on OK, empty on Cancel.
std::string InputSysEx(TSysExParamNodes& nodes, const std::string& initialHex, QPoint at,
                       const std::vector<std::string>& names, const std::vector<std::string>& hexTexts,
                       QWidget* parent = nullptr);

// Keeps a widget of `size` with its top-left corner at `at` inside `screen`.
QPoint KeepOnScreen(QPoint at, QSize size, const QRect& screen);

}  // namespace melko
