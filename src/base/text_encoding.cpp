#include "base/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace melko {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

// One iconv conversion descriptor for the length of a call.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as it can. On a byte sequence that does not convert,
  // calls onBad (which returns how many input bytes to skip, or 0 to give up).
  template <typename OnBad>
  bool Run(std::string_view in, std::string& out, OnBad onBad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
      char* dst = buf;
      size_t dstLeft = sizeof buf;
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      size_t skip = onBad(out);
      if (skip == 0) return false;
      if (skip > srcLeft) skip = srcLeft;
      src += skip;
      srcLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, static_cast<size_t>(dst - buf));
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (n - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = p[i + k];
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return false;
    if (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return false;
    i += len;
  }
  return true;
}

std::string DisplayText(std::string_view rawBytes) {
  if (IsValidUtf8(rawBytes)) return std::string(rawBytes);
  std::string out;
  Converter conv("UTF-8", "CP932");
  if (!conv.ok()) {
    // No converter: keep ASCII, mark everything else.
    for (unsigned char c : rawBytes) {
      if (c < 0x80) out += static_cast<char>(c);
      else out += kReplacement;
    }
    return out;
  }
  conv.Run(rawBytes, out, [](std::string& o) {
    o += kReplacement;
    return size_t{1};
  });
  return out;
}

std::string StoreText(std::string_view utf8) {
  if (IsAscii(utf8) || !IsValidUtf8(utf8)) return std::string(utf8);
  Converter conv("CP932", "UTF-8");
  if (!conv.ok()) return std::string(utf8);
  std::string out;
  if (!conv.Run(utf8, out, [](std::string&) { return size_t{0}; })) return std::string(utf8);
  // CP932 bytes that happen to form valid UTF-8 would be shown as something
  // else when read back; keep the UTF-8 then.
  if (IsValidUtf8(out)) return std::string(utf8);
  return out;
}

}  // namespace melko
