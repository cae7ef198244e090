// Starting the desktop application: the single-instance hand-over, the check
// of the required data files, the main window's start-up, and the
// screenshot mode that renders the main window and the log offscreen.
// Called from main() on the main thread.
#pragma once

#include <string>
#include <vector>

namespace melko {

// `args` are the arguments without the common options; `dataDir` the data
// folder. Returns the exit status.
int RunApplication(int argc, char** argv, const std::vector<std::string>& args, const std::string& dataDir);

// `melko --screenshot OUT.png [FILE]`.
int RunScreenshot(int argc, char** argv, const std::vector<std::string>& args, const std::string& dataDir);

}  // namespace melko
