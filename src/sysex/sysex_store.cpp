#include "sysex/sysex_store.h"

namespace melko {

bool TSysExStore::Load(const std::string& dataDir) {
  dataDir_ = dataDir;
  problems_.clear();
  if (!nodes_.Load(dataDir + "SysEx/")) problems_.push_back("SysEx: " + nodes_.LoadError());
  std::string error;
  TSysExNamesReport report;
  if (!ReadSysExNames(dataDir + "SYSEX.TXT", messages_, error, &report)) problems_.push_back(error);
  if (report.Skipped > 0)
    problems_.push_back("SYSEX.TXT: " + std::to_string(report.Skipped) +
                        " line(s) without a valid \"name:F0 ... F7\" were left out");
  if (report.Truncated)
    problems_.push_back("SYSEX.TXT: only the first " + std::to_string(messages_.Names.size()) +
                        " named messages were read");
  return problems_.empty();
}

}  // namespace melko
