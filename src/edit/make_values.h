// Applying a value curve to the edit range (edit command 9): the velocities
// of the notes or the key pressures already in the range are rewritten, or a
// stream of tempo, channel pressure, pitch bend or controller events at the
// interval replaces the old events of that kind. Each touched track is rebuilt
// in one linear pass into its shadow and committed with SwapTrack, so the
// dispatcher's undo frame gets every track back as one step. UI thread (the
// song's).
#pragma once

#include <cstdint>

#include "edit/edit_range.h"
#include "edit/name_tables.h"
#include "edit/value_curve.h"
#include "song/song.h"

namespace melko {

// The controller number of a controller kind (its DYNCTRL.TXT code), taken
// into s.Control; other kinds leave it alone.
void ResolveCurveControl(MakeValueSettings& s, const NameTable& dynCtrl);

// The interval used over a range of `length` ticks: the setting, kept in 1..length.
uint32_t CurveInterval(int interval, uint32_t length);
// One event of a curve kind (tempo in BPM, pressure, bend -8192..8191 or
// controller `control`) with value `v` at `tick`, clamped to the kind's range.
TMidiEvent CurveEvent(int kind, int control, uint32_t tick, int v);

// Applies the curve over from..to (exclusive) of tracks EditFromTrack..
// EditToTrack (tempo: the conductor track, whose tempo map is rebuilt).
// Generated events ride in clipboard track 0, which counts as empty
// afterwards. False, with nothing changed, for an empty range.
bool ApplyMakeValues(Song& song, const TEditRange& range, const MakeValueSettings& s);

}  // namespace melko
