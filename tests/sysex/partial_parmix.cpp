// Test stand-in for Parmix: exports sxGetNibbled_Fine_Tune only.
#include <cstdint>
#include <cstdio>

extern "C" __attribute__((visibility("default"))) void sxGetNibbled_Fine_Tune(int32_t value, char* buffer) {
  std::snprintf(buffer, 256, "partial %d", value);
}
