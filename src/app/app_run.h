// Starting the desktop application: the single-instance hand-over, the check
// of the required data files, the main window's start-up, and the
// screenshot mode that renders the main window and the log offscreen.
// Called from main() on the main thread.
#pragma once

#include <string>
#include <vector>

class QCoreApplication;
class QTranslator;

namespace melko {

// Qt's own texts (the file dialog, Yes/No/Cancel, OK) in Japanese like the
// rest of the window, from Qt's installed translations (qtbase_ja.qm);
// `translator` must live as long as the application. False when they are
// not installed.
bool SpeakJapanese(QCoreApplication& app, QTranslator& translator);

// `args` are the arguments without the common options; `dataDir` the data
// folder; `programDir` where an untitled song lives (see data_folder.h).
// Returns the exit status.
int RunApplication(int argc, char** argv, const std::vector<std::string>& args, const std::string& dataDir,
                   const std::string& programDir);

// `melko --screenshot OUT.png [--window NAME] [FILE]`: the main window and
// the log (NAME "main", the default), the range boxes' popup menu, or one of
// the dialogs named in kScreenshotWindows (gui_entry.h).
int RunScreenshot(int argc, char** argv, const std::vector<std::string>& arguments, const std::string& dataDir,
                  const std::string& programDir);

}  // namespace melko
