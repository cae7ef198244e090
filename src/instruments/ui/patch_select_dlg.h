// The patch selection dialogs: `TmPatchSelectDlg` picks a patch of one
// instrument definition, `TmDrumPatchSelectDlg` a drum set of any drum file.
// Both share `TCmPatchSelectDlg`: the group list (banks or drum files), the
// patch list (a `TmRefListBox` drawing straight from the definition's
// entries), the piano and the computer keyboard that set the monitor note,
// and the audition: every selected patch is sent to the relay's port and
// channel as bank select MSB (CC 0), LSB (CC 32) and program change, each only
// when it differs from what this dialog sent last. Pressing the mouse on a
// patch also sounds the monitor note until the button is released.
// UI thread. The definitions, the relay and the ports are not owned; the
// relay and ports may be null (nothing then sounds).
#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "instruments/patch_key.h"
#include "midi/kanabun.h"

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace melko {

class MidiPorts;
class TCmInst;
class TmDrumInst;
class TmInst;
class TmInstruments;
class TmKanabunRegistration;
class TmMidiRelay;
class TmPiano;
class TmRefListBox;

class TCmPatchSelectDlg : public QDialog {
  Q_OBJECT
 public:
  ~TCmPatchSelectDlg() override;

  // The octave offset ("CenterC") the monitor note is named with.
  static int CenterC;

  // The patch list's definition; null when there is none.
  TCmInst* Inst() const { return inst_; }
  int SelectedIndex() const;
  // The selected entry's key, nullopt when nothing is selected.
  std::optional<TPatchKey> SelectedKey() const;
  // Selects entry index (out of range is ignored), shows it at the top, marks
  // its group and auditions it.
  void SelectEntry(int index);
  // A click on group `row` of lbxGroups.
  virtual void SelectGroup(int row) = 0;

  int MonitorNote() const { return monitorNote_; }
  void SetMonitorNote(int note);
  // The monitor note sounding from a press on a patch (-1: none).
  int SoundingNote() const { return sounding_; }
  void StartMonitor();
  void StopMonitor();

  QListWidget* lbxGroups;
  TmRefListBox* lbxPatches;
  TmPiano* mPiano1;
  TmKanabun mKanabun1;
  QLineEdit* edMonitorNote;
  QLabel* lblMonitor;
  QPushButton *btnOK, *btnCancel;

 protected:
  TCmPatchSelectDlg(TmMidiRelay* relay, MidiPorts* ports, QWidget* parent);
  // Shows `inst`'s entries (null: none).
  void SetInst(TCmInst* inst);
  // The group that holds entry index, -1 when none.
  virtual int GroupOf(int index) const = 0;
  virtual void DrawEntry(QPainter& p, const QRect& rect, int index, bool selected);
  virtual void EntrySelected(int) {}
  virtual void MonitorNoteChanged() {}
  void Audition(TPatchKey key);
  void SetGroupRow(int row);
  // Keeps the pointer in the middle of the screen while the dialog runs and
  // puts it back after.
  static QPoint MovePointerToCentre();
  void done(int r) override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  bool updating_ = false;
  QHBoxLayout* bottom_ = nullptr;  // Monitor, its box, then OK and Cancel

 private:
  TmMidiRelay* relay_;
  MidiPorts* ports_;
  TCmInst* inst_ = nullptr;
  int monitorNote_ = -1;
  int sounding_ = -1;
  // What was sent last (-1: nothing yet).
  int lastMsb_ = -1, lastLsb_ = -1;
  std::optional<TPatchKey> lastKey_;
  std::unique_ptr<TmKanabunRegistration> registration_;
};

class TmPatchSelectDlg : public TCmPatchSelectDlg {
  Q_OBJECT
 public:
  // Shows instrument instIndex of `insts` (loading it, with the hourglass)
  // with the entry FindKey gives for `key` selected. When the index names no
  // instrument the lists stay empty.
  TmPatchSelectDlg(TmInstruments& insts, int instIndex, TPatchKey key, TmMidiRelay* relay, MidiPorts* ports,
                   QWidget* parent = nullptr);

  // Runs the dialog modally. True when the user chose a patch with OK; key
  // then holds its key (otherwise it is left alone). False at once when
  // instIndex names no instrument.
  static bool Execute(TmInstruments& insts, int instIndex, TPatchKey& key, TmMidiRelay* relay, MidiPorts* ports,
                      QWidget* parent = nullptr);
  // The same by the instrument's display name.
  static bool Execute(TmInstruments& insts, const std::string& instrument, TPatchKey& key, TmMidiRelay* relay,
                      MidiPorts* ports, QWidget* parent = nullptr);

  // The monitor note the next patch dialog starts with (kept for the run).
  static int LastMonitorNote;

  TmInst* Instrument() const { return instrument_; }
  void SelectGroup(int row) override;

 protected:
  int GroupOf(int index) const override;
  void DrawEntry(QPainter& p, const QRect& rect, int index, bool selected) override;

 private:
  TmInst* instrument_ = nullptr;
};

class TmDrumPatchSelectDlg : public TCmPatchSelectDlg {
  Q_OBJECT
 public:
  // lbxGroups lists every drum file with drumIndex selected; its sets are
  // shown with the one FindKey gives for `key` selected (the first when
  // none).
  TmDrumPatchSelectDlg(TmInstruments& insts, int drumIndex, TPatchKey key, TmMidiRelay* relay, MidiPorts* ports,
                       QWidget* parent = nullptr);
  ~TmDrumPatchSelectDlg() override;

  // Runs the dialog modally. True with OK: drumIndex and key then hold the
  // chosen file and set. False at once when there are no drum files.
  static bool Execute(TmInstruments& insts, int& drumIndex, TPatchKey& key, TmMidiRelay* relay, MidiPorts* ports,
                      QWidget* parent = nullptr);

  static int LastMonitorNote;

  int DrumIndex() const { return drumIndex_; }
  TmDrumInst* DrumInst() const { return drum_; }
  // Loads drum file `row` (dropping the note names of the one shown) and
  // selects the set FindKey gives for the current key, else the first.
  void SelectGroup(int row) override;

  QLabel* lblToneName = nullptr;
  QLineEdit* edToneName = nullptr;

 protected:
  int GroupOf(int index) const override;
  void EntrySelected(int index) override;
  void MonitorNoteChanged() override;
  void done(int r) override;

 private:
  void ShowToneName();
  TmInstruments& insts_;
  int drumIndex_ = -1;
  TmDrumInst* drum_ = nullptr;
  TPatchKey key_ = 0;
};

// The entry points by the names the rest of the program uses.
inline bool SelectPatch(TmInstruments& insts, int instIndex, TPatchKey& key, TmMidiRelay* relay, MidiPorts* ports,
                        QWidget* parent = nullptr) {
  return TmPatchSelectDlg::Execute(insts, instIndex, key, relay, ports, parent);
}
inline bool SelectDrumPatch(TmInstruments& insts, int& drumIndex, TPatchKey& key, TmMidiRelay* relay,
                            MidiPorts* ports, QWidget* parent = nullptr) {
  return TmDrumPatchSelectDlg::Execute(insts, drumIndex, key, relay, ports, parent);
}

}  // namespace melko
