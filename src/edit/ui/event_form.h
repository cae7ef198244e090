// TEventForm: an event list window ("List1" or "List2"): tabs of tracks, the
// toolbar, the step box, the painted grid and the popup menu. It edits
// through a TEventListEditor (every commit one undoable edit of the
// dispatcher) and follows the song through its change notifier.
//
// Owned by the main window; the song, dispatcher and tables outlive it.
// UI thread. What lies beyond the event list (the SysEx dialog, the score,
// the other list, reloading the SysEx tree, auditioning notes) it asks for
// through Hooks; a hook left empty leaves its button or item doing nothing
// (the SysEx data cell is then edited as hexadecimal text).
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "edit/event_list_editor.h"
#include "edit/name_tables.h"
#include "edit/rpn_defs.h"
#include "edit/step_list.h"
#include "edit/ui/event_grid.h"

namespace melko {

class EditDispatcher;
class IniFile;

struct EventFormHooks {
  // The SysEx dialog: opened on a SysEx row's data cell with its hex text;
  // the text it returns goes through the checked OK path, nullopt cancels.
  std::function<std::optional<std::string>(const std::string& initialHex)> EditSysEx;
  std::function<void(int track)> ShowScore;          // sbtScore, Shift+F9
  std::function<void()> OpenAnotherList;             // popAnotherList
  std::function<void()> ReloadSysEx;                 // popReloadSysEx
  std::function<void(int track, int note, int velocity)> AuditionNote;  // sbtMonitor
};

class TEventForm : public QWidget {
  Q_OBJECT
 public:
  // listNumber 1 or 2 ("List1", "List2").
  TEventForm(Song& song, EditDispatcher& dispatcher, const EditNameTables& tables, int listNumber,
             QWidget* parent = nullptr);
  ~TEventForm() override;

  EventFormHooks Hooks;
  // Text context: set Nodes, PatchName, CenterC and Settings before showing.
  ListTextContext& Context() { return editor_.Context; }
  // The parameter lists of TPackedRPNDlg (null: RPN.TXT was missing).
  void SetRpnTable(const RpnTable* table) { rpn_ = table; }
  // The shared "StepInc" list (both lists use one); may be null.
  void SetStepList(StepList* steps) { steps_ = steps; }

  // Shows `track` (0..64), adding a tab for it when it has none.
  void ShowTrack(int track);
  int CurrentTrack() const { return editor_.Model().Track(); }
  // Reads and writes the keys of "List", "ListN" and "ListFont".
  void LoadSettings(const IniFile& ini);
  void SaveSettings(IniFile& ini) const;

  // Playback position (the main window's beat notices): with sbtSync down
  // the list keeps the row at `tick` in view and selected.
  void FollowPlayback(uint32_t tick);
  // A note from MIDI input or the computer keyboard: with sbtByMidi down it
  // becomes the note of the current note or key-pressure row, which is
  // committed, and the cursor moves down. False when not taken.
  bool NoteInput(int note, int velocity);

  TEventListEditor& Editor() { return editor_; }
  TEventGrid* Grid() { return grid_; }
  QMenu* Popup() { return popup_; }

  QToolButton *sbtSync, *sbtScore, *sbtStayOnTop, *sbtFullView, *sbtByMidi, *sbtMonitor, *sbtTrackChange;
  QLabel* lbStep;
  QLineEdit* edStepInc;
  QTabBar* Tabs;

  // The popup's commands, for the menu and for tests.
  void popFilterClick();
  void popFilterClearClick();
  void popShiftLocaClick();
  void popRpnClick();
  void popCloseTabClick();
  void popCloseAllTabClick();

 protected:
  void contextMenuEvent(QContextMenuEvent*) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void BuildToolbar();
  void BuildPopup();
  void SongChanged(const SongChange& c);
  void Refreshed();
  void StepTyped();
  void TrackChangeClick();
  bool FormKey(QKeyEvent* e);
  void ShowMessage(const QString& text);

  Song& song_;
  EditDispatcher& dispatcher_;
  const EditNameTables& tables_;
  int number_;
  TEventListEditor editor_;
  TEventGrid* grid_;
  QMenu* popup_;
  const RpnTable* rpn_ = nullptr;
  StepList* steps_ = nullptr;
  bool secondMidiMode_ = false;
  bool refreshQueued_ = false;
  SongNotifier::Subscription watch_;
};

// The colour of a settings value 00BBGGRR.
QColor ListColorFromValue(uint32_t bgr);
uint32_t ListColorValue(const QColor& c);

}  // namespace melko
