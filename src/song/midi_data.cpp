#include "song/midi_data.h"

namespace melko {

uint32_t ReadBigEndian(const uint8_t*& p, const uint8_t* end, int n) {
  uint32_t value = 0;
  for (int i = 0; i < n && p < end; ++i) value = (value << 8) | *p++;
  return value;
}

void WriteBigEndian(TMidiData& out, uint32_t value, int n) {
  for (int i = n - 1; i >= 0; --i) out.PutByte(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace melko
