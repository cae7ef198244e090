// TEditController: the edit layer as the main window sees it. It owns the
// dispatcher (and with it the edit range, the tools' settings and the undo
// state), the name tables, PopEditMenu and the Edit menu, and answers the
// dispatcher's questions with the Qt dialogs. The window tells it what to do
// for the parts that are the window's own through Hooks; changes to the song
// are not among them (they go through the song's notifier). UI thread only;
// the song and the window must outlive it. It watches the application's
// events for the Edit menu's keys typed into a box of its window.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "edit/edit_dispatcher.h"
#include "edit/line_presets.h"
#include "edit/name_tables.h"
#include "edit/ui/edit_menus.h"

class QDialog;
class QWidget;

namespace melko {

class TTransposeDlg;
class TEventCutterDlg;

struct EditWindowHooks {
  std::function<void()> ReadRangeBoxes;              // the boxes' text into the range, before a command
  std::function<void()> RangeChanged;                // the range boxes show the range again
  std::function<void(const UndoMenuState&)> UndoChanged;  // sbtUndo's state, caption and hint
  std::function<bool()> IsPlaying;
  std::function<void()> EditCounted;                 // the backup is not current; count the edit
  std::function<void(const std::string&)> ShowError; // the program's error box
  std::function<bool()> ValueCurves;                 // the value-curve dialog (command 9), when there is one
};

class TEditController : public QObject, public EditUi {
  Q_OBJECT
 public:
  TEditController(Song& song, QWidget* window);
  ~TEditController() override;

  // LINE.TXT of the data folder, read when the window opens and written
  // when it closes (only when the presets changed).
  void LoadLinePresets(const std::string& dataDir);
  bool SaveLinePresets();
  std::vector<LinePreset> LinePresets;
  // The value-curve dialog over the edit range; on OK the curve is applied
  // (the dispatcher's undo frame is open). False on Cancel.
  bool MakeValuesDialog();

  // Reads DYNCTRL.TXT, CONTROL.TXT and META.TXT from the data folder; bad
  // lines are reported through Hooks.ShowError. False when one is missing.
  bool LoadNameTables(const std::string& dataDir);

  EditDispatcher& Dispatcher() { return dispatcher_; }
  QMenu* PopEditMenu() { return pop_.Menu; }
  QMenu* EditMenu() { return edit_.Menu; }
  const EditNameTables& Tables() const { return tables_; }

  EditWindowHooks Hooks;
  int CenterC = 0;  // octave offset of note names ("CenterC")

  // Runs a command as the popup menu does (sbtUndo: Run(kCmdUndo)).
  void Run(int tag);
  // A note-on from MIDI input, for the open transpose or event cutter dialog.
  void NoteOn(int note, int velocity);
  // The strip's meter and key boxes open these.
  bool MeterDialog(uint32_t& meter);
  bool KeyDialog(uint32_t& key);

  // EditUi
  bool OpenToolDialog(int command, ToolSettings& settings) override;
  bool OpenSetDialog(int command, SetPositionValues& values) override;
  bool OpenValueCurves() override;
  void ShowMessage(const std::string& text) override;
  void RangeChanged() override;
  void UndoStateChanged() override;
  bool IsPlaying() override;
  void BackupStale() override;

 protected:
  // The Edit menu's keys win over a text box of the window: Ctrl+C in a
  // range box copies the range, not the box's text.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunFromEditMenu(int tag);
  // Every command goes through here; one that runs out of memory leaves a
  // consistent undo store behind before std::bad_alloc goes on.
  void RunCommand(int tag);
  bool Exec(QDialog& dialog);

  Song& song_;
  QWidget* window_;
  EditDispatcher dispatcher_;
  EditNameTables tables_;
  EditMenuActions pop_;
  EditMenuActions edit_;
  QPointer<TTransposeDlg> transposeDlg_;
  QPointer<TEventCutterDlg> cutterDlg_;
  std::string linePath_;
  std::vector<LinePreset> linesRead_;  // as read, to see whether they changed
};

}  // namespace melko
