// Helpers for the SysEx tests: bodies from hex text and back.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace melko::test {

inline std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> out;
  std::istringstream in(hex);
  std::string token;
  while (in >> token) out.push_back(static_cast<uint8_t>(std::stoi(token, nullptr, 16)));
  return out;
}

inline std::string Hex(const std::vector<uint8_t>& body) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (uint8_t b : body) {
    if (!s.empty()) s += ' ';
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

}  // namespace melko::test
