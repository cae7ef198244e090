// The batch commands of the melko executable: one table of options, each with
// its handler and help line. main() strips the common options (--data-dir)
// and runs the first option it finds here; with none, the desktop application
// starts.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace melko {

struct CliContext {
  std::vector<std::string> Args;  // from the option on
  std::string DataDir;            // the MELKO/ data folder
  std::ostream& Out;
  std::ostream& Err;
};

struct CliCommand {
  const char* Option;
  const char* Usage;
  const char* Help;
  int (*Run)(CliContext& ctx);
};

const std::vector<CliCommand>& CliCommands();

}  // namespace melko
