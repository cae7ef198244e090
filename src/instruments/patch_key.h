// Patch keys: a patch or drum set as one 32-bit value of four bytes, from the
// least significant: program (0-based), bank select LSB, bank select MSB,
// drum flag (1 for a drum bank or drum set). A bank byte of 128..255 means
// that no bank select is sent; the definition files write 255 for it.
#pragma once

#include <cstdint>

namespace melko {

using TPatchKey = uint32_t;

constexpr TPatchKey MakePatchKey(int program, int bankLsb, int bankMsb, bool drum) {
  return (static_cast<uint32_t>(program) & 0xFF) | ((static_cast<uint32_t>(bankLsb) & 0xFF) << 8) |
         ((static_cast<uint32_t>(bankMsb) & 0xFF) << 16) | (drum ? uint32_t{1} << 24 : 0);
}
constexpr int KeyProgram(TPatchKey key) { return static_cast<int>(key & 0xFF); }
constexpr int KeyBankLsb(TPatchKey key) { return static_cast<int>((key >> 8) & 0xFF); }
constexpr int KeyBankMsb(TPatchKey key) { return static_cast<int>((key >> 16) & 0xFF); }
constexpr bool KeyIsDrum(TPatchKey key) { return ((key >> 24) & 0xFF) == 1; }
// A bank byte below 128 is sent as a bank select.
constexpr bool BankByteSent(int bankByte) { return bankByte >= 0 && bankByte < 128; }

}  // namespace melko
