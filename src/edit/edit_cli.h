// `melko --edit IN OUT COMMAND...`: loads IN, runs the commands in order
// through the same dispatcher, undo state and clipboard as the popup menu
// (tool commands carry what their dialog would be given), and saves OUT.
// Returns the process exit status: 0 done, 1 a file failed or a command was
// refused, 2 bad usage.
#pragma once

#include <functional>
#include <ostream>
#include <string_view>
#include <string>
#include <vector>

namespace melko {

class EditDispatcher;
class Song;

// What a command of a later layer (the track sheet's) is handed: the song,
// the dispatcher, the streams, and whether to report a refusal (exit 1).
struct EditSession {
  Song& TheSong;
  EditDispatcher& Dispatcher;
  std::ostream& Out;
  std::ostream& Err;
  bool& Refused;
  // The last command was `row=`: the commands that the range operations
  // share a name with (insert, erase) act on the sheet's rows.
  bool AfterRow = false;
};
// Runs command `name` (with `value` when `hasValue`): 1 when it was one of
// its commands and ran, 0 when it is not one of them, 2 when it could not be
// read.
using EditExtension = std::function<int(std::string_view name, std::string_view value, bool hasValue, EditSession& s)>;

int RunEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const EditExtension& extension = {});

// The command list printed by --help and on bad usage.
extern const char* const kEditCommandHelp;

}  // namespace melko
