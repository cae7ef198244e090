// Shift Location of the event list: the events from a tick onward moved so
// that the tick becomes a typed position, in one track or in every track of
// the song (the conductor track included), as one undoable edit. A move
// earlier that would pass the event before the shifted ones is refused for
// the whole command, naming the tracks. UI thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "song/song.h"

namespace melko {

class EditDispatcher;

extern const char* const kHintShiftLocation;  // "<List>Shift Location"

struct ShiftOutcome {
  bool Shifted = false;
  std::string Message;  // the refusal, shown to the user; empty otherwise
};

// The refusal for the failing tracks: "Track 3 5 " + "\n\r\r" + "でシフトできません！".
std::string ShiftRefusalText(const std::string& failingTracks);

// Moves the events of `track` (or, with `wholeSong`, of tracks 0..64) at or
// after `from` so that `from` lands on the position `toText` names (read as
// typed positions are, fallback `from`). Equal ticks do nothing. A shift that
// would carry a track past the largest tick is refused as well.
ShiftOutcome ShiftLocation(Song& song, EditDispatcher& dispatcher, int track, uint32_t from,
                           std::string_view toText, bool wholeSong);

}  // namespace melko
