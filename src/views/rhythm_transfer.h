// The rhythm pattern editor's doors to the song: Import takes the notes of
// one track's stretch of the edit range into the grid, Export lays the
// pattern (with shuffle) into the program's clipboard as one track, to be
// pasted or mixed with the range commands. UI thread (the song's).
#pragma once

#include "edit/edit_range.h"
#include "song/song.h"
#include "views/rhythm_pattern.h"

namespace melko {

// Clears the grid, then each note of track EditFromTrack with EditFromTick
// <= tick < EditToTick goes into the cell (tick - EditFromTick) div
// StepTicks, row its note, value its velocity; the walk stops at the first
// event whose step is at or beyond PatternSteps. Returns the notes taken.
int ImportPattern(const Song& song, const TEditRange& range, TRhythmPattern& pattern);

// Empties the clipboard and fills Clipboard[0] with the pattern's hits
// (channel-less notes with the shortest gate); ClipTrackSpan 0, ClipLength
// TPQN × 4 × PatternSteps div PatternQuant.
void ExportPattern(Song& song, const TRhythmPattern& pattern);

}  // namespace melko
