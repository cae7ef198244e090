// TEventListModel: the events of one track as the event list shows them.
// It decodes the track into the full array of TMidiEvent with absolute ticks
// in Time, keeps the displayed array (the rows the filter lets through, as
// indices into the full array) and hands out the cell texts of any displayed
// row on demand, so a window draws only the rows it shows.
//
// Events point into the song's track buffer until the next change of that
// track; an edited text or SysEx payload lives in the model's own store
// (Keep), which stays valid until the next Load. UI thread; the song is the
// caller's.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "edit/event_list_text.h"
#include "song/song.h"

namespace melko {

// Filter bits, one per kind.
enum ListKindBit : uint8_t {
  kListNote = 1,
  kListKyPrs = 2,
  kListCtrl = 4,
  kListProg = 8,
  kListChPrs = 16,
  kListBend = 32,
  kListSysEx = 64,
  kListMeta = 128,
};

// The kind bit an event belongs to.
uint8_t ListKindOf(const TMidiEvent& ev);

struct ListFilter {
  uint8_t Bits = 255;         // "Filter"
  bool CtrlOn = false;        // "TargetCtrlChecked": only this controller among control changes
  uint8_t Ctrl = 0;           // its code
  bool MetaOn = false;        // "TargetMetaChecked": only this type among meta events
  uint8_t Meta = 0;           // its code

  bool Shows(const TMidiEvent& ev) const;
  // Makes `ev` visible: switches its kind on and a target it misses off.
  // True when the filter changed.
  bool Reveal(const TMidiEvent& ev);
  // popFilterClear.
  void Clear() { *this = ListFilter{}; }
};

class TEventListModel {
 public:
  static constexpr int kColumns = 5;

  // Decodes track `track` of `song` (0..64) and filters it.
  void Load(const Song& song, int track);
  // Applies the filter again to the full array.
  void Refilter();

  int Track() const { return track_; }
  // The song's revision of the track when it was loaded (see Song::TrackRevision).
  uint64_t LoadedRevision() const { return revision_; }
  bool Conductor() const { return track_ == 0; }
  // The full array, in stored order.
  std::vector<TMidiEvent>& Events() { return events_; }
  const std::vector<TMidiEvent>& Events() const { return events_; }
  // The displayed rows as indices into Events().
  const std::vector<uint32_t>& Shown() const { return shown_; }
  size_t RowCount() const { return shown_.size(); }
  // The full index of displayed row `row`.
  uint32_t FullIndex(size_t row) const { return shown_[row]; }
  // The displayed row of a full index, or of the first shown event after it
  // (RowCount() when none).
  size_t RowOfFull(uint32_t fullIndex) const;
  // The first displayed row at or after `tick` (RowCount() when none).
  size_t RowAtTick(uint32_t tick) const;

  ListFilter Filter;

  // The text of cell (row, col) of the displayed array; `selectedRow` shows its
  // location in full (-1: none selected).
  std::string CellText(size_t row, int col, long selectedRow, const ListTextContext& c) const;
  // The patch key of the program change at full index i: its program and the
  // bank selects just before it (255 when none).
  uint32_t PatchKeyAt(uint32_t i) const;

  // Keeps a payload for an edited event; the pointer stays valid until Load.
  const uint8_t* Keep(std::string bytes);

  // Inserts `ev` at full index i / removes full index i, keeping the
  // displayed array in step.
  void InsertAt(uint32_t i, const TMidiEvent& ev);
  void EraseAt(uint32_t i);
  // Moves the event at full index i to its place by tick (after the events
  // of its tick); returns its new index.
  uint32_t MoveToTickOrder(uint32_t i);

  void SetDrum(bool drum) { drum_ = drum; }

 private:
  int track_ = 1;
  uint64_t revision_ = 0;
  bool drum_ = false;
  std::string instrument_;  // the track's instrument definition
  std::vector<TMidiEvent> events_;
  std::vector<uint32_t> shown_;
  std::deque<std::string> store_;
};

}  // namespace melko
