#include "song/midi_data.h"

namespace melko {

uint32_t ReadVarLen(const uint8_t*& p, const uint8_t* end) {
  uint32_t value = 0;
  while (p < end) {
    uint8_t b = *p++;
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) break;
  }
  return value;
}

void WriteVarLen(TMidiData& out, uint32_t value) {
  value &= 0x0FFFFFFF;
  uint8_t bytes[4];
  int n = 0;
  bytes[n++] = value & 0x7F;
  while ((value >>= 7) != 0) bytes[n++] = static_cast<uint8_t>(0x80 | (value & 0x7F));
  while (n > 0) out.PutByte(bytes[--n]);
}

uint32_t ReadBigEndian(const uint8_t*& p, const uint8_t* end, int n) {
  uint32_t value = 0;
  for (int i = 0; i < n && p < end; ++i) value = (value << 8) | *p++;
  return value;
}

void WriteBigEndian(TMidiData& out, uint32_t value, int n) {
  for (int i = n - 1; i >= 0; --i) out.PutByte(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace melko
