#include "base/int_helpers.h"

#include <limits>

namespace melko {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int DigitValue(char c, int base) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  return d < base ? d : -1;
}
}  // namespace

std::vector<std::string_view> SplitText(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t p = s.find(sep, start);
    parts.push_back(s.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start));
    if (p == std::string_view::npos) break;
    start = p + 1;
  }
  return parts;
}

bool TryParseInt(std::string_view text, int64_t& out) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  text = text.substr(b, e - b);
  if (text.empty()) return false;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  int64_t value = 0;
  for (char c : text) {
    int d = DigitValue(c, base);
    if (d < 0) return false;
    value = value * base + d;
    if (value > int64_t{1} << 32) return false;
  }
  if (negative) value = -value;
  // Hexadecimal texts may name the full unsigned 32-bit range, as Delphi's
  // StrToInt reads them as the bit pattern of a signed integer.
  if (base == 16 && !negative && value > std::numeric_limits<int32_t>::max() &&
      value <= std::numeric_limits<uint32_t>::max()) {
    value = static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return false;
  out = value;
  return true;
}

int64_t StrToIntClamp(std::string_view text, int64_t old, int64_t lo, int64_t hi) {
  int64_t v = old;
  if (!TryParseInt(text, v)) v = old;
  if (v == old) return old;
  return ClampInt(v, lo, hi);
}

}  // namespace melko
