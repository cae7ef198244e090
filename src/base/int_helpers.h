// Integer helpers shared by every dialog and edit tool: clamping, clamped
// addition and percentage, and the lenient text-to-integer reader whose
// fallback value is kept unclamped. Pure functions, callable from any thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace melko {

// hi when v > hi, then lo when v < lo: the lower bound wins when lo > hi.
constexpr int64_t ClampInt(int64_t v, int64_t lo, int64_t hi) {
  if (v > hi) v = hi;
  if (v < lo) v = lo;
  return v;
}

constexpr int64_t AddClamp(int64_t v, int64_t d, int64_t lo, int64_t hi) {
  return ClampInt(v + d, lo, hi);
}

// v × p div 100 (truncating toward zero, like Pascal's div), then clamped.
constexpr int64_t PercentClamp(int64_t v, int64_t p, int64_t lo, int64_t hi) {
  return ClampInt(v * p / 100, lo, hi);
}

// Reads text as a decimal integer (optional sign, surrounding blanks allowed,
// "$" and "0x" hexadecimal accepted as the dialogs' number boxes do). Returns
// false when the text is not a whole number that fits in 32 bits.
bool TryParseInt(std::string_view text, int64_t& out);

// The pieces of `s` between the separators (one piece when there is none;
// empty pieces kept). They point into `s`.
std::vector<std::string_view> SplitText(std::string_view s, char sep);

// The text read as a decimal integer with `old` as fallback; a result equal to
// `old` comes back unclamped, any other is clamped to lo..hi.
int64_t StrToIntClamp(std::string_view text, int64_t old, int64_t lo, int64_t hi);

}  // namespace melko
