#include "parmix/parmix.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

// Everything here is computed in integers, so results do not depend on
// floating-point rounding ("1000.1" is exactly 10001 tenths).

namespace {

constexpr int kDelayTableSize = 115;  // T(1)..T(115), 0.1 ms .. 1000 ms
constexpr int kRatioTableSize = 120;  // R(1)..R(120), 4 % .. 500 %

std::string DecimalSeparator() {
  std::string sep = ".";
  locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (loc != static_cast<locale_t>(nullptr)) {
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    if (radix && *radix) sep = radix;
    freelocale(loc);
  }
  return sep;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int64_t Saturate(long double v) {
  if (v > static_cast<long double>(std::numeric_limits<int64_t>::max())) return std::numeric_limits<int64_t>::max();
  if (v < static_cast<long double>(std::numeric_limits<int64_t>::min())) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

int32_t ToInt32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// Reads text as a decimal fraction (blanks around it, optional sign, digits
// with at most one locale decimal separator, optional exponent) and gives
// trunc(text x 10), saturated to 64 bits. False when it is not a number.
bool ReadTenths(const char* text, int64_t& tenths) {
  if (!text) return false;
  const std::string sep = DecimalSeparator();
  std::string_view s(text);
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  std::string digits;   // every digit, in order
  int64_t intDigits = 0;  // how many of them stand before the separator
  bool seenPoint = false;
  while (!s.empty()) {
    char c = s.front();
    if (c >= '0' && c <= '9') {
      digits += c;
      if (!seenPoint) ++intDigits;
      s.remove_prefix(1);
    } else if (!seenPoint && s.substr(0, sep.size()) == sep) {
      seenPoint = true;
      s.remove_prefix(sep.size());
    } else {
      break;
    }
  }
  if (digits.empty()) return false;
  int64_t exp = 0;
  if (!s.empty() && (s.front() == 'e' || s.front() == 'E')) {
    s.remove_prefix(1);
    bool expNegative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
      expNegative = s.front() == '-';
      s.remove_prefix(1);
    }
    if (s.empty()) return false;
    while (!s.empty() && s.front() >= '0' && s.front() <= '9') {
      if (exp < 100000) exp = exp * 10 + (s.front() - '0');
      s.remove_prefix(1);
    }
    if (expNegative) exp = -exp;
  }
  if (!s.empty()) return false;
  // text x 10, truncated: the digits that stand before the point once it has
  // moved one place (and exp places) to the right.
  int64_t keep = intDigits + exp + 1;
  long double v = 0;
  for (int64_t i = 0; i < keep && v < 1e30L; ++i) {
    int d = i < static_cast<int64_t>(digits.size()) ? digits[static_cast<size_t>(i)] - '0' : 0;
    v = v * 10 + d;
  }
  tenths = Saturate(negative ? -v : v);
  return true;
}

// Decimal digits, or hexadecimal after "$", with an optional sign, within 32
// bits.
bool ReadInteger(const char* text, int64_t& out) {
  if (!text) return false;
  std::string_view s(text);
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s.front() == '$') {
    base = 16;
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  int64_t v = 0;
  for (char c : s) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return false;
    v = v * base + d;
    if (v > (int64_t{1} << 32)) return false;
  }
  if (base == 16 && !negative && v > std::numeric_limits<int32_t>::max() && v <= std::numeric_limits<uint32_t>::max()) {
    v = static_cast<int32_t>(static_cast<uint32_t>(v));
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
  out = v;
  return true;
}

int64_t Pow10(int64_t d) {
  int64_t p = 1;
  for (int64_t i = 0; i < d; ++i) {
    if (p > std::numeric_limits<int64_t>::max() / 10) return std::numeric_limits<int64_t>::max();
    p *= 10;
  }
  return p;
}

// Delay time in tenths of a millisecond for a data value: up to 20 the value
// itself, then decades of 35 values (15 steps of 2*10^d, 10 of 5*10^d, 10 of
// 10*10^d from 20*10^d). Saturates far beyond the data range.
int64_t DelayTime(int64_t v) {
  if (v <= 20) return v;
  long double t;
  int64_t d = (v - 1) / 35;
  if ((v + 14) % 35 < 15) {
    long double p = static_cast<long double>(Pow10(d));
    t = 20 * p + static_cast<long double>(v - (35 * d + 20)) * 2 * p;
  } else {
    d = v / 35;
    int64_t q = ((v - 1) - 35 * d) / 10;
    long double p = static_cast<long double>(Pow10(d - 1));
    t = 50 * p * static_cast<long double>(q + 1) + static_cast<long double>(v - (35 * d + 10 * q)) * 5 * p * static_cast<long double>(q + 1);
  }
  return Saturate(t);
}

int64_t DelayRatio(int64_t v) { return v * 100 / 24; }

// Writes "<whole><separator><tenth>" for a value in tenths.
void WriteTenths(int64_t tenths, char* buffer) {
  if (!buffer) return;
  const std::string sep = DecimalSeparator();
  bool negative = tenths < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(tenths) : static_cast<uint64_t>(tenths);
  std::snprintf(buffer, 256, "%s%llu%s%u", negative ? "-" : "", static_cast<unsigned long long>(magnitude / 10),
                sep.c_str(), static_cast<unsigned>(magnitude % 10));
}

}  // namespace

void sxGetNibbled_Fine_Tune(int32_t value, char* buffer) { WriteTenths(value, buffer); }

int32_t sxSetNibbled_Fine_Tune(const char* text, int32_t current) {
  int64_t tenths = 0;
  if (!ReadTenths(text, tenths)) return current;
  return ToInt32(tenths);
}

void sxGetGS_Delay_Time_Center(int32_t value, char* buffer) { WriteTenths(DelayTime(value), buffer); }

int32_t sxSetGS_Delay_Time_Center(const char* text, int32_t current) {
  int64_t x = 0;
  if (!ReadTenths(text, x)) return current;
  for (int v = 1; v <= kDelayTableSize; ++v) {
    if (x <= DelayTime(v)) return v;
  }
  return kDelayTableSize + 1;
}

void sxGetGS_Delay_Time_Ratio(int32_t value, char* buffer) {
  if (!buffer) return;
  std::snprintf(buffer, 256, "%lld", static_cast<long long>(DelayRatio(value)));
}

int32_t sxSetGS_Delay_Time_Ratio(const char* text, int32_t current) {
  int64_t n = 0;
  if (!ReadInteger(text, n)) n = current;
  for (int v = 1; v <= kRatioTableSize; ++v) {
    if (n <= DelayRatio(v)) return v;
  }
  return kRatioTableSize + 1;
}
