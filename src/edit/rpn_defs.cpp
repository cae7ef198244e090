#include "edit/rpn_defs.h"

#include <algorithm>

#include "base/int_helpers.h"
#include "base/atomic_write.h"
#include "edit/event_list_limits.h"

namespace melko {

const char* const kHintRpnInsert = "<List>RPN/NRPN挿入";
const char* const kMsgNoRpnFile = "RPN.TXT が見つかりません！\r\nRPN/NRPN の入力は使えません。";

namespace {

bool Digits3(std::string_view s, uint8_t& out) {
  if (s.size() != 3) return false;
  int v = 0;
  bool any = false;
  for (char c : s) {
    if (c == ' ' && !any) continue;  // leading blanks pad a short number
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    any = true;
  }
  if (!any || v > 127) return false;
  out = static_cast<uint8_t>(v);
  return true;
}

bool ParseParamLine(std::string_view line, RpnParam& p) {
  if (line.size() < 11 || line[3] != ' ' || line[7] != ' ' || line[9] != ' ') return false;
  if (!Digits3(line.substr(0, 3), p.Msb)) return false;
  std::string_view second = line.substr(4, 3);
  if (second == "rr " || second == " rr" || second == "rr") {
    p.LsbFromRr = true;
    p.Lsb = 0;
  } else if (!Digits3(second, p.Lsb)) {
    return false;
  }
  if (line[8] != '1' && line[8] != '2') return false;
  p.DataBytes = static_cast<uint8_t>(line[8] - '0');
  p.Name = std::string(line.substr(10));
  return !p.Name.empty();
}

}  // namespace

void ParseRpnText(std::string_view bytes, RpnTable& table) {
  bytes = bytes.substr(0, std::min(bytes.size(), kMaxRpnFileBytes));
  bool groupOpen = false;  // an empty line closes the group; parameters after it start another
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t eol = bytes.find('\n', pos);
    if (eol == std::string_view::npos) eol = bytes.size();
    std::string_view line = bytes.substr(pos, eol - pos);
    pos = eol + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.empty()) {
      groupOpen = false;
      continue;
    }
    if (line[0] == '[') {
      std::string_view name = line.substr(1);
      if (!name.empty() && name.back() == ']') name.remove_suffix(1);
      table.Groups.push_back(RpnGroup{std::string(name), {}});
      groupOpen = true;
      continue;
    }
    RpnParam p;
    if (!ParseParamLine(line, p)) {
      ++table.BadLines;
      continue;
    }
    if (!groupOpen || table.Groups.empty()) {
      table.Groups.push_back(RpnGroup{table.Groups.empty() ? "RPN" : "NRPN", {}});
      groupOpen = true;
    }
    table.Groups.back().Params.push_back(std::move(p));
  }
}

bool LoadRpnTables(const std::string& dataDir, RpnTable& table) {
  table = RpnTable{};
  std::string text;
  if (!ReadWholeFile(dataDir + "/RPN.TXT", text)) return false;
  ParseRpnText(text, table);
  // An RPN file without a group still makes the first group the RPN one.
  if (table.Groups.empty()) table.Groups.push_back(RpnGroup{"RPN", {}});
  text.clear();
  if (ReadWholeFile(dataDir + "/NRPN.TXT", text)) ParseRpnText(text, table);
  return true;
}

bool FindRpnParam(const RpnTable& table, std::string_view group, std::string_view param, int& groupIndex,
                  int& paramIndex) {
  for (size_t g = 0; g < table.Groups.size(); ++g) {
    if (table.Groups[g].Name != group) continue;
    const auto& params = table.Groups[g].Params;
    for (size_t i = 0; i < params.size(); ++i)
      if (params[i].Name == param) {
        groupIndex = static_cast<int>(g);
        paramIndex = static_cast<int>(i);
        return true;
      }
  }
  return false;
}

std::vector<TMidiEvent> MakeRpnEvents(const RpnParam& param, bool nrpn, int64_t data, int64_t rr, uint32_t tick,
                                      uint32_t step, std::string& text) {
  std::vector<TMidiEvent> out;
  text = "# " + param.Name + " #";
  uint32_t t = std::min(tick, kMaxListTick);
  auto next = [&]() {
    const uint32_t now = t;
    t = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(t) + step, kMaxListTick));
    return now;
  };
  TMidiEvent meta;
  meta.Status = 0xFF;
  meta.Data1 = 0x01;
  meta.Len = static_cast<uint32_t>(text.size());
  meta.Data = reinterpret_cast<const uint8_t*>(text.data());
  meta.Time = next();
  out.push_back(meta);
  auto ctrl = [&](uint8_t cc, uint8_t value) {
    TMidiEvent e;
    e.Status = 0xB0;
    e.Data1 = cc;
    e.Data2 = value;
    e.Time = next();
    out.push_back(e);
  };
  const uint8_t lsb = param.LsbFromRr ? static_cast<uint8_t>(ClampInt(rr, 0, 127)) : param.Lsb;
  ctrl(nrpn ? 99 : 101, param.Msb);
  ctrl(nrpn ? 98 : 100, lsb);
  if (param.DataBytes == 2) {
    const int64_t v = ClampInt(data, -8192, 8191) + 8192;
    ctrl(6, static_cast<uint8_t>(v >> 7));
    ctrl(38, static_cast<uint8_t>(v & 0x7F));
  } else {
    ctrl(6, static_cast<uint8_t>(ClampInt(data, 0, 127)));
  }
  return out;
}

}  // namespace melko
