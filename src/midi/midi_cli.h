// Batch commands that play songs: `--list-devices`, `--play FILE [--from
// MEASURE] [--loop] [--port A=INDEX ...]` and `--render FILE OUT.wav
// [--soundfont SF2]`. Each takes the argument vector from its option on, the
// data folder (for MELKO.INI) and the output streams, and returns the process
// exit status. They run on the calling thread, which plays the UI thread's part.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace melko {

int RunListDevices(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
                   std::ostream& err);
int RunPlay(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
            std::ostream& err);
int RunRender(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
              std::ostream& err);

}  // namespace melko
