// "melko --instruments [NAME]": without NAME, the definition files of the
// INST folder with their display names; with NAME (a display name or a file
// name), the patches of that file grouped by bank as the patch dialog shows
// them, or the drum sets of a drum file with their named notes. Reads
// dataDir + "/INST/" on the calling thread.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace melko {

// args: "--instruments" and what follows it. Returns 0, or 1 with
// "Error: ..." on err when NAME matches no file. Lines skipped while loading
// go to err as warnings; they do not fail the command.
int RunInstrumentsCommand(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
                          std::ostream& err);

}  // namespace melko
