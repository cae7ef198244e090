// Little-endian byte helpers of the pattern and drum map files: a bounded
// reader over untrusted bytes (every read says whether the bytes were there
// and never moves past the end) and appenders for the writers.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace melko {

inline std::array<char, 4> PutU32Bytes(uint32_t v) {
  return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}
inline void PutU32(std::string& out, uint32_t v) {
  const auto b = PutU32Bytes(v);
  out.append(b.data(), 4);
}
// A string: 32-bit length, then the bytes.
inline void PutString(std::string& out, std::string_view s) {
  PutU32(out, uint32_t(s.size()));
  out += s;
}

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
  size_t Left() const { return bytes_.size() - pos_; }
  std::string_view Rest() const { return bytes_.substr(pos_); }
  bool U8(uint8_t& v) {
    if (Left() < 1) return false;
    v = uint8_t(bytes_[pos_++]);
    return true;
  }
  bool U32(uint32_t& v) {
    if (Left() < 4) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
    v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    pos_ += 4;
    return true;
  }
  // The next n bytes (fewer at the end).
  std::string_view Take(size_t n) {
    n = std::min(n, Left());
    std::string_view s = bytes_.substr(pos_, n);
    pos_ += n;
    return s;
  }
  // True, moving past it, when the next bytes are tag.
  bool Tag(std::string_view tag) {
    if (Rest().substr(0, tag.size()) != tag) return false;
    pos_ += tag.size();
    return true;
  }
  bool String(std::string& out) {
    uint32_t n;
    if (!U32(n) || n > Left()) return false;
    out = std::string(Take(n));
    return true;
  }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

}  // namespace melko
