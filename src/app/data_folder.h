// Where the data folder is. Run from the build tree (or any folder that has
// MELKO/ beside the program) the data folder is that MELKO/, as it always
// was. An installed program finds its shipped data folder read-only in
// share/melko/MELKO and keeps the user's writable copy in
// $XDG_DATA_HOME/melko/MELKO (~/.local/share/melko/MELKO by default), made
// from the shipped one on the first start; the untitled song and the file
// dialogs then start in the home folder. --data-dir wins over both.
// Main thread, before anything else runs.
#pragma once

#include <string>

namespace melko {

struct DataFolderChoice {
  std::string DataDir;     // the data folder, with trailing "/"
  std::string ProgramDir;  // where an untitled song lives, with trailing "/"
  bool Installed = false;  // DataDir is the user's copy of a shipped folder
  std::string Shipped;     // the shipped folder (installed only), with "/"
  std::string Warning;     // a problem met on the way, for standard error
};

struct DataFolderPlaces {
  std::string ExeDir;       // the folder of the program file
  std::string ShippedRel;   // the shipped folder relative to ExeDir
  std::string Option;       // --data-dir, or empty
  std::string XdgDataHome;  // $XDG_DATA_HOME, or empty
  std::string Home;         // $HOME
};

// Decides, and for an installed program fills the user's folder from the
// shipped one: every shipped file the user's folder lacks is copied (made
// writable for its owner), so a user's own changes stay; shipped plug-in
// libraries (*.so) are replaced when the shipped one is newer. When the
// user's folder cannot be made, the shipped folder is used as it is and
// Warning says why.
DataFolderChoice ChooseDataFolder(const DataFolderPlaces& places);

// The places of this process: the program's folder, the environment.
DataFolderPlaces ThisProcessPlaces(const std::string& option);

// Copies what `shipped` has and `user` lacks (see above). False with `error`
// on the first failure.
bool FillDataFolder(const std::string& shipped, const std::string& user, std::string& error);

}  // namespace melko
