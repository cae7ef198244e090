// Fuzz harness of the RPN.TXT / NRPN.TXT reader: any bytes parse without
// reading past the end, every parameter read keeps the fixed-column rules,
// and the events made from it stay within their ranges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "edit/event_list_limits.h"
#include "edit/rpn_defs.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace melko;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  RpnTable table;
  ParseRpnText(bytes, table);
  int64_t data1 = size ? int64_t(int8_t(data[0])) * 100 : 0;
  for (size_t g = 0; g < table.Groups.size(); ++g) {
    for (const RpnParam& p : table.Groups[g].Params) {
      Check(p.Msb < 128 && p.Lsb < 128);
      Check(p.DataBytes == 1 || p.DataBytes == 2);
      Check(!p.Name.empty());
      Check(p.Name.find('\n') == std::string::npos);
      int gi = -1, pi = -1;
      Check(FindRpnParam(table, table.Groups[g].Name, p.Name, gi, pi));
      std::string text;
      auto events = MakeRpnEvents(p, g > 0, data1, data1 / 3, kMaxListTick - 3, 7, text);
      Check(events.size() == size_t(p.DataBytes == 2 ? 5 : 4));
      for (size_t i = 1; i < events.size(); ++i) {
        Check(events[i].Status == 0xB0 && events[i].Data1 < 128 && events[i].Data2 < 128);
        Check(events[i].Time >= events[i - 1].Time && events[i].Time <= kMaxListTick);
      }
      data1 = -data1 + 1;
    }
  }
  return 0;
}
