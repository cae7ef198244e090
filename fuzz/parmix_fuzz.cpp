// Fuzz harness of the Parmix exports: the input is a 32-bit value followed by
// a text; every get runs on the value, every set on the text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "parmix/parmix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int32_t value = 0;
  if (size >= 4) std::memcpy(&value, data, 4);
  std::string text(reinterpret_cast<const char*>(data) + (size >= 4 ? 4 : 0), size >= 4 ? size - 4 : 0);
  char buffer[256];
  std::memset(buffer, 0, sizeof buffer);
  sxGetNibbled_Fine_Tune(value, buffer);
  std::memset(buffer, 0, sizeof buffer);
  sxGetGS_Delay_Time_Center(value, buffer);
  std::memset(buffer, 0, sizeof buffer);
  sxGetGS_Delay_Time_Ratio(value, buffer);
  sxSetNibbled_Fine_Tune(text.c_str(), value);
  sxSetGS_Delay_Time_Center(text.c_str(), value);
  sxSetGS_Delay_Time_Ratio(text.c_str(), value);
  return 0;
}
