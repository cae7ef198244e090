// Batch commands that play songs: `--list-devices`, `--play FILE [--from
// POSITION] [--loop] [--port A=INDEX ...]` and `--render FILE OUT.wav
// [--soundfont SF2]`. Each takes the argument vector from its option on, the
// data folder (for MELKO.INI) and the output streams, and returns the process
// exit status. They run on the calling thread, which plays the UI thread's part.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "song/song_maps.h"

namespace melko {

// The position --play --from takes, in the strip's form: a measure alone
// ("4", counted from 0 like the strip) or measure/beat/tick as typed in the
// range boxes ("4/1/0"). IsPlayPosition checks the form; PlayPositionTick
// reads it against the song's meters (empty text: the start).
bool IsPlayPosition(const std::string& text);
uint32_t PlayPositionTick(const SongMaps& maps, const std::string& text);

int RunListDevices(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
                   std::ostream& err);
int RunPlay(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
            std::ostream& err);
int RunRender(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
              std::ostream& err);

}  // namespace melko
