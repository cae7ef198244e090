// The program's SysEx definitions: one parameter tree loaded from the data
// folder's SysEx/ folder and the named messages of its SYSEX.TXT, loaded
// together at start-up and again on request (the event list's "reload").
// The window owns one; a batch command may make its own. UI thread.
#pragma once

#include <string>
#include <vector>

#include "sysex/sysex_named_messages.h"
#include "sysex/sysex_param_nodes.h"

namespace melko {

class TSysExStore {
 public:
  // Loads dataDir + "SysEx/" and dataDir + "SYSEX.TXT" (dataDir with a
  // trailing "/"). Missing files are silent; false when a file was damaged or
  // unreadable, with Problems() saying what (what could be read is loaded).
  bool Load(const std::string& dataDir);
  // Loads again from the same folder (clearing everything first).
  bool Reload() { return Load(dataDir_); }

  TSysExParamNodes& Nodes() { return nodes_; }
  const TSysExNamedMessages& Messages() const { return messages_; }
  const std::vector<std::string>& Names() const { return messages_.Names; }
  const std::vector<std::string>& HexTexts() const { return messages_.HexTexts; }
  const std::vector<std::string>& Problems() const { return problems_; }
  const std::string& DataDir() const { return dataDir_; }

 private:
  std::string dataDir_;
  TSysExParamNodes nodes_;
  TSysExNamedMessages messages_;
  std::vector<std::string> problems_;
};

}  // namespace melko
