#include "midi/decode_short.h"

#include "song/midi_data.h"

namespace melko {

namespace {
inline uint32_t ByteAt(const uint8_t* p, const uint8_t* end) { return p < end ? *p : 0; }
inline void Skip(const uint8_t*& p, const uint8_t* end, uint64_t n) {
  p = uint64_t(end - p) < n ? end : p + n;
}
}  // namespace

uint32_t DecodeShort(const uint8_t*& p, const uint8_t* end, uint32_t tpqn) {
  if (p >= end) return 0;
  uint8_t b = *p;
  if (b < 0x80) {
    uint32_t v = 0x90 | b << 8 | (ByteAt(p + 1, end) & 0x7F) << 16;
    Skip(p, end, 2);
    return v;
  }
  switch (b & 0xF0) {
    case 0xA0:
    case 0xB0:
    case 0xE0: {
      uint32_t v = b | (ByteAt(p + 1, end) & 0x7F) << 8 | (ByteAt(p + 2, end) & 0x7F) << 16;
      Skip(p, end, 3);
      return v;
    }
    case 0xC0:
    case 0xD0: {
      uint32_t v = b | (ByteAt(p + 1, end) & 0x7F) << 8;
      Skip(p, end, 2);
      return v;
    }
    default:
      break;
  }
  if (b == 0xF0 || b == 0xF7) {
    ++p;
    return b;
  }
  if (b == 0xFF) {
    ++p;
    uint8_t type = uint8_t(ByteAt(p, end));
    Skip(p, end, 1);
    uint32_t len = ReadVarLen(p, end);
    const uint8_t* payload = p;
    Skip(p, end, len);
    uint32_t have = uint32_t(p - payload);
    if (type == 0x51 && have >= 3)
      return kDecodedTempo | uint32_t(payload[2]) << 8 | uint32_t(payload[1]) << 16 | uint32_t(payload[0]) << 24;
    if (type == 0x58 && have >= 2) {
      uint32_t power = payload[1];
      uint32_t tpb = power > 24 ? 0 : (4 * tpqn) >> power;
      if (tpb == 0 || tpb > 0xFFFFFF) return 0;  // a beat shorter than a tick means nothing here
      return kDecodedMeter | tpb << 8;
    }
    return 0;
  }
  ++p;  // a system byte that stored data never holds
  return 0;
}

const uint8_t* SkipExclusive(const uint8_t*& p, const uint8_t* end, uint32_t& length) {
  uint32_t len = ReadVarLen(p, end);
  const uint8_t* data = p;
  Skip(p, end, len);
  length = uint32_t(p - data);
  return data;
}

}  // namespace melko
