// The track sheet's commands in the batch form `melko --edit IN OUT
// COMMAND...`: the same functions as the sheet's clicks, typed cells and
// popup menu, run between the edit commands of the lower layers.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "edit/edit_cli.h"

namespace melko {

int RunSheetEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same with `more` (the event list's commands) tried before the sheet's.
int RunSheetEditWith(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const EditExtension& more);

// kEditCommandHelp followed by the event list's and the sheet's commands.
const char* SheetEditHelp();

}  // namespace melko
