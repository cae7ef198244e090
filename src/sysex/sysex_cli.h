// The command-line view of the SysEx tables: "--sysex TEXT" shows what the
// tree makes of a typed message or a parameter name, "--sysex-list [GROUP]"
// lists the groups and their parameters. Runs on the calling thread; reads
// the tables from dataDir + "/SysEx/".
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace melko {

// args: the option itself ("--sysex" or "--sysex-list") and what follows it.
// Returns the process exit code: 0 done, 1 error (printed as "Error: ...").
int RunSysexCommand(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
                    std::ostream& err);

}  // namespace melko
