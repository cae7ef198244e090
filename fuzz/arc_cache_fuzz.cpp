// Fuzz harness: any bytes read as ArcCache.dat give a cache whose file form
// reads back to the same cache.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "archive/arc_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  melko::TArcCache cache;
  cache.Deserialize(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string bytes = cache.Serialize();
  melko::TArcCache again;
  again.Deserialize(bytes);
  // Entries holding line breaks are left out of the file: compare the file forms.
  if (again.Serialize() != bytes) std::abort();
  if (again.Entries().size() > cache.Entries().size()) std::abort();
  return 0;
}
