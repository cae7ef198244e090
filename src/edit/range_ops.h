// The range operations over the program's clipboard: copy, erase, cut,
// paste, insert and mix, and the laying of one conductor event at a position
// (tempo, meter, key). Each changing operation rebuilds a track into its
// shadow in one linear pass and commits it with SwapTrack, so the shadow
// keeps the previous version for undo. UI thread (the song's).
#pragma once

#include <cstdint>

#include "edit/edit_range.h"
#include "song/song.h"

namespace melko {

// Copy: the events of the range's tracks with from <= tick < to go to
// clipboard tracks 0.., timed from the range start. An empty range leaves
// the clipboard counting as empty (ClipLength 0) and changes nothing else.
void RangeCopy(Song& song, const TEditRange& range);
// Erase: as copy, but the events are moved out of the tracks; later events
// keep their ticks.
void RangeErase(Song& song, const TEditRange& range);
// Cut: as erase, and the later events move earlier by the range length.
void RangeCut(Song& song, const TEditRange& range);
// Paste: the clipboard laid down `repeat` times at the range start over the
// tracks from EditFromTrack on, overwriting what was there.
void RangePaste(Song& song, const TEditRange& range);
// Insert: as paste, but the old events from the range start on move later.
void RangeInsert(Song& song, const TEditRange& range);
// Mix: the clipboard merged with the old events (old first on equal ticks);
// empty clipboard tracks leave their song track untouched.
void RangeMix(Song& song, const TEditRange& range);

// Frees every clipboard track and marks the clipboard empty.
void ClearClipboard(Song& song);

// Lays one conductor event at from: every event of the same status and meta
// type with from <= tick < to (to = from + 1 for an empty range) is removed,
// and the event goes in ahead of the others at that tick. Track 0 is
// committed once, so its shadow holds the version from before. The clipboard
// is the carrier of the event and is empty afterwards.
void SetAtPosition(Song& song, uint32_t from, uint32_t to, const TMidiEvent& event);

}  // namespace melko
