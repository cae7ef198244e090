// The play decoder: reads one stored event body (after its delta) and packs
// what playback needs into one 32-bit value, status in the low byte, first
// data byte in the next, second in the third. Bounded by `end`: a stream cut
// short never reads past it. Pure function, any thread.
//
//   stored note         90 key vel   cursor on the note-off velocity and gate
//   A0/B0/E0            status d1 d2
//   C0/D0               status d1
//   F0 or F7            the status alone; cursor on the length and the data
//   FF 51 (tempo)       F1, tempo bytes in the top three bytes (last byte in the second)
//   FF 58 (meter)       F2, ticks per beat in the upper three bytes
//   any other meta      0, cursor past the whole event
#pragma once

#include <cstdint>

namespace melko {

constexpr uint8_t kDecodedTempo = 0xF1;
constexpr uint8_t kDecodedMeter = 0xF2;

uint32_t DecodeShort(const uint8_t*& p, const uint8_t* end, uint32_t tpqn);

// Skips the length and the data of an F0 or F7 event whose status was read;
// returns the data pointer and its length (cut at `end`).
const uint8_t* SkipExclusive(const uint8_t*& p, const uint8_t* end, uint32_t& length);

}  // namespace melko
