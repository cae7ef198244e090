// `melko --edit IN OUT COMMAND...`: loads IN, runs the commands in order
// through the same dispatcher, undo state and clipboard as the popup menu
// (tool commands carry what their dialog would be given), and saves OUT.
// Returns the process exit status: 0 done, 1 a file failed or a command was
// refused, 2 bad usage.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace melko {

int RunEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The command list printed by --help and on bad usage.
extern const char* const kEditCommandHelp;

}  // namespace melko
