// TEventListEditor: the keyboard editing of one event list page: the current
// row with its backup (Esc), the pending new row, the reinsert buffer, the
// step, and the commits by column written back as one undoable edit each.
// The window feeds it what the user types and presses; the batch form
// (`melko --edit cell=... insert=...`) drives the same calls.
//
// UI thread; the song and dispatcher are the caller's and outlive the editor.
// After every commit the model is reloaded from the song.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "edit/event_list_commit.h"
#include "edit/event_list_model.h"

namespace melko {

class EditDispatcher;

// Function-key presets (shared with the score editor).
struct ListKeyPresets {
  std::array<uint8_t, 6> Velocity{127, 100, 80, 60, 30, 10};  // F1..F6
  std::array<uint8_t, 3> GatePercent{99, 90, 50};             // F1..F3
};

// What a key did.
struct ListKeyResult {
  bool Handled = false;    // the key did something
  bool Committed = false;  // an edit was written back
  std::string Refusal;     // why nothing changed (the batch form reports it)
};

class TEventListEditor {
 public:
  TEventListEditor(Song& song, EditDispatcher& dispatcher);

  // Opens `track` (0..64) with the cursor on the first row.
  void Open(int track);
  // Reloads after a change elsewhere, keeping the cursor near its event.
  void Reload();

  TEventListModel& Model() { return model_; }
  const TEventListModel& Model() const { return model_; }
  ListTextContext Context;  // Maps and Tpqn are refreshed from the song by the editor
  ListKeyPresets Presets;

  // The step: a tick count for new rows (0 allowed).
  uint32_t Step = 480;
  // Reads typed step text: "0" is 0, else a length text.
  void SetStepText(std::string_view text);
  std::string StepText() const;

  // The cursor (a displayed row; -1 when the list is empty) and its column.
  long Row() const { return row_; }
  int Column = 1;
  // Moves the cursor to displayed row `row`, committing the row it leaves.
  ListKeyResult Select(long row);
  // Moves the cursor to a row of the unfiltered list, showing its kind.
  ListKeyResult SelectFull(uint32_t fullIndex);

  // Enter: takes `text` typed into column `col` of the current row; commits
  // at once when the settings say so (or when `commit`).
  ListKeyResult TypeCell(int col, std::string_view text, bool commit = false);
  // Commits the current row when it was changed (or is a new row).
  ListKeyResult CommitRow();

  ListKeyResult KeyDown();   // Down, Page Down
  ListKeyResult KeyUp();     // Up, Page Up
  ListKeyResult KeyInsert();
  ListKeyResult KeyDelete();
  ListKeyResult KeyEscape();
  // F1..F6 (k 0..5) in column `col`.
  ListKeyResult KeyFunction(int k, int col);

  // The SysEx dialog's OK path: the checked hex text into the current
  // SysEx row, committed at once.
  ListKeyResult SetSysExText(std::string_view hex);
  // Merges `events` (absolute ticks; payloads owned by the caller until the
  // call returns) into the track after the events of their ticks, as one edit.
  ListKeyResult InsertEvents(const std::vector<TMidiEvent>& events, const std::string& hint);

  bool NewRowPending() const { return newRow_; }
  bool RowChanged() const { return dirty_; }
  int ReinsertCount() const { return reinsertCount_; }
  // The event of the current row (the list must not be empty).
  const TMidiEvent& Current() const { return model_.Events()[model_.FullIndex(size_t(row_))]; }

  // Whether a typed character is dropped (Caps Lock on, column 2 of a note
  // or key-pressure row).
  bool DropsTypedChar(int col, bool capsLock) const;

 private:
  void RefreshContext();
  ListKeyResult WriteBack();
  void TakeBackup();
  uint32_t CurrentFull() const { return model_.FullIndex(size_t(row_)); }
  // Appends the new row: a copy of the last event one step later.
  void AppendNewRow();
  void DropNewRow();

  Song& song_;
  EditDispatcher& dispatcher_;
  TEventListModel model_;
  long row_ = -1;
  bool dirty_ = false;
  bool newRow_ = false;
  TMidiEvent backup_;
  std::string backupPayload_;
  // The reinsert buffer owns its payload: the buffer it was decoded from is
  // the shadow the next edit rebuilds.
  TMidiEvent reinsert_;
  std::string reinsertPayload_;
  int reinsertCount_ = 0;
};

}  // namespace melko
