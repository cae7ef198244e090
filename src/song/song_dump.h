// The stable text form of a song used by `melko --dump` and by tests that
// compare songs: song values, then every track's settings and events with
// absolute ticks, in stored order. Texts are quoted with \, " escaped and
// bytes outside 20..7E written \xHH.
#pragma once

#include <ostream>
#include <string>

#include "song/song.h"

namespace melko {

std::string QuoteText(const std::string& raw);
void DumpTrackEvents(const TMidiData& track, std::ostream& out);
void DumpSong(const Song& song, std::ostream& out);

}  // namespace melko
