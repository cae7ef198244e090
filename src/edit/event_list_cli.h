// The event list's batch forms: `melko --list FILE TRACK [filter=BITS]
// [ctrl=CC] [meta=TYPE] [selected=ROW] [settings=N]` prints the rows the grid
// shows, and the `--edit` commands cell=, insert=, delete=, newrow=, step=,
// shift=, rpn= and sysex= drive the same editor as the window's keys.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "edit/edit_cli.h"
#include "edit/event_list_text.h"

namespace melko {

struct ListCliContext {
  std::string DataDir;         // the MELKO/ data folder (name tables, RPN.TXT, SysEx/)
  ListPatchNamer PatchName;    // may be empty: program numbers are shown
};

// --list: prints one line per displayed row, its five cell texts separated by
// TABs as drawn; the selected row (a displayed row) ends with a TAB and "*".
int RunList(const std::vector<std::string>& args, const ListCliContext& context, std::ostream& out,
            std::ostream& err);
extern const char* const kListUsage;
extern const char* const kListHelp;

// The --edit commands of the event list, for RunEdit's extension chain.
// The returned function keeps its own editor state (the reinsert buffer and
// the step carry from one command to the next).
EditExtension ListEditExtension(const ListCliContext& context);
extern const char* const kListEditHelp;

}  // namespace melko
