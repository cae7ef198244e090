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

// `melko --screenshot OUT.png [--window NAME] [FILE]`: the main window and
// the log (NAME "main", the default), the range boxes' popup menu, or one of
// the dialogs named in kScreenshotWindows.
extern const char* const kScreenshotWindows;
int RunScreenshot(int argc, char** argv, const std::vector<std::string>& arguments, const std::string& dataDir);

}  // namespace melko
