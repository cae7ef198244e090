#include "sysex/sysex_named_messages.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace melko {

namespace {

// The blanks SetFromText splits a typed message at.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::string_view a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsDataByte(std::string_view token) {
  unsigned v = 0;
  for (char c : token) {
    int d = HexValue(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<unsigned>(d);
    if (v > 0x7F) return false;
  }
  return !token.empty();
}

}  // namespace

bool IsSysExMessageText(std::string_view text) {
  size_t i = 0, bytes = 0;
  bool first = true;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    size_t b = i;
    while (i < text.size() && !IsBlank(text[i])) ++i;
    if (i == b) break;
    std::string_view token = text.substr(b, i - b);
    if (first) {
      if (!EqualsNoCase(token, "F0")) return false;
      first = false;
      continue;
    }
    if (EqualsNoCase(token, "F7")) return true;
    if (EqualsNoCase(token, "SS")) continue;
    if (!IsDataByte(token) || ++bytes > 512) return false;
  }
  return !first;
}

TSysExNamedMessages ParseSysExNames(std::string_view text, TSysExNamesReport* report) {
  TSysExNamesReport local;
  TSysExNamesReport& r = report ? *report : local;
  r = {};
  TSysExNamedMessages out;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t colon = line.rfind(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = Trim(line.substr(0, colon));
    std::string_view hex = Trim(line.substr(colon + 1));
    if (line.size() > kMaxNamedLineBytes || name.empty() || !IsSysExMessageText(hex)) {
      ++r.Skipped;
      continue;
    }
    if (out.Names.size() >= kMaxNamedMessages) {
      r.Truncated = true;
      break;
    }
    out.Names.emplace_back(name);
    out.HexTexts.emplace_back(hex);
  }
  return out;
}

bool ReadSysExNames(const std::string& path, TSysExNamedMessages& out, std::string& error,
                    TSysExNamesReport* report) {
  out = {};
  error.clear();
  if (report) *report = {};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return true;  // no named messages
    error = path + ": " + std::strerror(errno);
    return false;
  }
  // A FIFO would block and a device never end.
  if (!S_ISREG(st.st_mode)) {
    error = path + " is not a regular file";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::string text;
  char buffer[65536];
  bool cut = false;
  for (;;) {
    size_t n = std::fread(buffer, 1, sizeof buffer, f);
    if (n == 0) break;
    size_t room = static_cast<size_t>(kMaxNamedFileBytes) - text.size();
    if (n > room) {
      text.append(buffer, room);
      cut = true;
      break;
    }
    text.append(buffer, n);
  }
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = path + " could not be read";
    return false;
  }
  // A cut file ends in the middle of a line: that line is not taken.
  if (cut) {
    size_t last = text.rfind('\n');
    text.resize(last == std::string::npos ? 0 : last);
  }
  out = ParseSysExNames(text, report);
  if (cut && report) report->Truncated = true;
  return true;
}

}  // namespace melko
