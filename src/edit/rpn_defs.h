// RPN.TXT and NRPN.TXT: the parameter lists of the RPN/NRPN insertion, and
// the events one insertion lays down.
//
// A line "[NAME]" starts a group; an empty line moves on to the next group;
// any other line is a parameter in fixed columns: characters 1-3 the first
// number, 5-7 the second number or "rr" (taken from the dialog's box), 9 the
// count of data bytes (1 or 2), the name from character 11 on. Lines that do
// not fit are skipped and counted. The first group of the combined list is
// RPN (controllers 101/100); every later group is NRPN (99/98). Pure data
// and functions; read on the UI thread at start, read-only afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "song/midi_event.h"

namespace melko {

struct RpnParam {
  uint8_t Msb = 0;        // first number
  uint8_t Lsb = 0;        // second number (unused when LsbFromRr)
  bool LsbFromRr = false; // "rr": the second number is typed in the dialog
  uint8_t DataBytes = 1;  // 1: data entry MSB only; 2: MSB and LSB
  std::string Name;
};

struct RpnGroup {
  std::string Name;
  std::vector<RpnParam> Params;
};

struct RpnTable {
  std::vector<RpnGroup> Groups;  // Groups[0] is RPN, the rest NRPN
  int BadLines = 0;
};

// No parameter list needs more; what lies beyond is not read.
constexpr size_t kMaxRpnFileBytes = 1 << 20;

// Appends the groups of one file's bytes to `table`.
void ParseRpnText(std::string_view bytes, RpnTable& table);
// Reads RPN.TXT and then NRPN.TXT (when there) from the data folder; false
// when RPN.TXT cannot be read (the table then lists no RPN parameters).
bool LoadRpnTables(const std::string& dataDir, RpnTable& table);

// Finds a parameter by group and parameter name; false when there is none.
bool FindRpnParam(const RpnTable& table, std::string_view group, std::string_view param, int& groupIndex,
                  int& paramIndex);

// The events of one insertion from `tick`, each `step` ticks after the one
// before: the text meta "# NAME #", the two number controllers, then data
// entry (6, and 38 for two-byte parameters). One-byte data is clamped to
// 0..127, two-byte data to -8192..8191 and sent as value + 8192 in 7-bit
// halves; rr is clamped to 0..127. The text event's payload lives in `text`,
// which must outlive the events.
std::vector<TMidiEvent> MakeRpnEvents(const RpnParam& param, bool nrpn, int64_t data, int64_t rr, uint32_t tick,
                                      uint32_t step, std::string& text);

extern const char* const kHintRpnInsert;  // "<List>RPN/NRPN挿入"
extern const char* const kMsgNoRpnFile;   // RPN.TXT missing

}  // namespace melko
