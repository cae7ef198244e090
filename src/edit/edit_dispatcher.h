// The edit command dispatcher: every change over the edit range (the range
// operations, the edit tools, the set-at-position commands) and the one-step
// undo and redo by exchanging tracks with their shadows. It owns the edit
// range, the tools' run-long settings, SavedUndoFlags, the undo menu state
// and the count of edits for the automatic backup; what a window does (open
// a dialog, show a message, write the backup) it asks of an EditUi. The Qt
// main window supplies one with the dialogs; the batch form (`melko --edit`)
// one that takes the settings from the command line. The dispatcher decides
// which commands can run (CommandEnabled): a command that would do nothing
// is refused before it opens an undo frame, whoever asks for it. Each command
// announces its changes as one notice through the song's notifier, and a
// notice of the whole song (a load) resets the range and undo (SongLoaded).
// UI thread only; the song is the caller's and must outlive the dispatcher.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "edit/edit_range.h"
#include "edit/edit_tools.h"
#include "edit/name_tables.h"
#include "edit/value_curve.h"
#include "song/song.h"

namespace melko {

// The Tag of each popup menu item.
enum EditCommand {
  kCmdCopy = 0,
  kCmdErase = 1,
  kCmdCut = 2,
  kCmdPaste = 3,
  kCmdInsert = 4,
  kCmdMix = 5,
  kCmdDynamics = 6,
  kCmdTranspose = 7,
  kCmdGateTime = 8,
  kCmdMakeValues = 9,
  kCmdQuantize = 10,
  kCmdEventCutter = 11,
  kCmdTempo = 12,
  kCmdMeter = 13,
  kCmdKeySig = 14,
  kCmdUndo = 20,
  kCmdRedo = 21,
};

// The undo hint of a command ("" for copy and the commands without one).
const char* UndoHint(int command);

extern const char* const kMsgNotMeasureStart;  // meter or key away from a measure start

// What the set-at-position dialogs answer.
struct SetPositionValues {
  int Bpm = kDefaultBpm;             // tempo dialog
  uint32_t Meter = 0x04021808;       // meter dialog (numerator 4, denominator 4)
  uint32_t Key = 0;                  // key dialog (sf << 8 | minor)
};

// What the dispatcher needs from the window it works for.
class EditUi {
 public:
  virtual ~EditUi() = default;
  // Opens the dialog of tool command 6, 7, 8, 10 or 11 with the current
  // settings; on OK writes them back and returns true, on Cancel false.
  virtual bool OpenToolDialog(int command, ToolSettings& settings) = 0;
  // Opens the tempo (12), meter (13) or key (14) dialog; false on Cancel.
  virtual bool OpenSetDialog(int command, SetPositionValues& values) = 0;
  // Command 9: the value-curve dialog, which does its own work; false on Cancel.
  virtual bool OpenValueCurves() { return false; }
  virtual void ShowMessage(const std::string& text) = 0;
  // The range was normalized: the four range boxes show the values again.
  virtual void RangeChanged() {}
  // The undo items and button changed (read Undo()).
  virtual void UndoStateChanged() {}
  virtual bool IsPlaying() { return false; }
  // Writes the backup song; true on success.
  virtual bool WriteBackup() { return false; }
  // Any edit makes the backup not current.
  virtual void BackupStale() {}
};

// popUndo, popRedo and sbtUndo.
struct UndoMenuState {
  bool UndoEnabled = false;  // popUndo
  bool RedoEnabled = false;  // popRedo
  bool ButtonEnabled = false;  // sbtUndo
  std::string ButtonCaption = "Undo";
  std::string ButtonHint;
};

// Which items PopEditMenuPopup enables.
struct EditMenuEnabled {
  bool Copy = false, Erase = false, Cut = false, Tools = false;  // a range that is not empty
  bool Paste = false, Insert = false, Mix = false;               // a clipboard that is not empty
  bool Undo = false, Redo = false;
  // Whether the item of command `tag` is enabled (the set commands always are).
  bool Allows(int tag) const;
};

class EditDispatcher {
 public:
  EditDispatcher(Song& song, EditUi& ui);

  TEditRange Range;
  ToolSettings Tools;
  MakeValueSettings Curves;  // the value-curve tool's (command 9)
  std::array<uint8_t, kSongTracks> SavedUndoFlags{};

  // Automatic backup by edit count ("BackupConds" bit value 2, "BackupUndoCount").
  int BackupConds = 0;
  int BackupUndoCount = 100;
  int EditCount = 0;

  // Runs the command of a menu item's Tag when CommandEnabled allows it;
  // false when it was refused (nothing changed, the undo stays as it was).
  // kCmdUndo and kCmdRedo both exchange the last edit with its previous
  // version, as sbtUndo does, whenever there is one.
  bool PopUpEditClick(int command);
  bool sbtUndoClick() { return PopUpEditClick(kCmdUndo); }
  // Normalizes the range and says which items to enable.
  EditMenuEnabled PopEditMenuPopup();
  // Normalizes the range and says whether `command` would do anything: the
  // range operations and tools need a range that is not empty, paste, insert
  // and mix a clipboard that is not empty, undo and redo an edit to exchange.
  bool CommandEnabled(int command);

  // The undo frame that every undoable change of any view runs in.
  void BeginEdit();
  void FinishEdit(const std::string& hint);
  void CancelEdit();

  // After New and Open: the range becomes tracks 1..1 and ticks 0..TPQN, and
  // undo is off until the next edit.
  void SongLoaded();
  // After a change that cannot be undone (rows moved): no undo, no redo,
  // and no shadow marked for an exchange.
  void ClearUndo();

  // popBgnLoop / popEndLoop.
  void SetLoopBegin() {
    song_.LoopBeginTick = Range.EditFromTick;
    song_.Changes.Notify(kChangeSongSettings);
  }
  void SetLoopEnd() {
    song_.LoopEndTick = Range.EditToTick;
    song_.Changes.Notify(kChangeSongSettings);
  }

  const UndoMenuState& Undo() const { return undo_; }
  Song& song() { return song_; }

 private:
  void Normalize();
  void RunRangeOperation(int command);
  void RunTool(int command);
  void RunSetAtPosition(int command);
  void RunUndo();
  void ConductorRebuilt();

  Song& song_;
  EditUi& ui_;
  UndoMenuState undo_;
  SongNotifier::Subscription songWatch_;
};

}  // namespace melko
