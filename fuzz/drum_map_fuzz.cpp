// Fuzz harness of DRUMMAP.DAT: the input is read as a map file and, when it
// is one, written and read again, which must give the same bytes, and every
// map is looked up as the editor does (an index beyond the list gives map 0).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "views/drum_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  melko::TDrumMapList maps;
  if (!maps.ReadBytes(bytes)) {
    if (maps.Count() != 1) std::abort();  // a refused file leaves the list as it was
    return 0;
  }
  if (maps.Count() < 1 || maps.Count() > melko::kMaxDrumMaps) std::abort();
  const std::string written = maps.WriteBytes();
  melko::TDrumMapList back;
  if (!back.ReadBytes(written) || back.WriteBytes() != written) std::abort();
  for (int i = -1; i <= maps.Count(); ++i)
    for (uint8_t n : maps.Get(i).Notes)
      if (n >= 128) std::abort();
  return 0;
}
