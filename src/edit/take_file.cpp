#include "edit/take_file.h"

#include <algorithm>

namespace melko {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) {
      if (line[start] == '#' && !words.empty()) break;  // the rest is a comment
      words.push_back(line.substr(start, i - start));
    }
  }
  return words;
}

bool Decimal(std::string_view s, uint32_t& out) {
  if (s.empty() || s.size() > 9) return false;
  uint32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + uint32_t(c - '0');
  }
  if (v > kMaxTakeMs) return false;
  out = v;
  return true;
}

bool HexByte(std::string_view s, uint32_t& out) {
  if (s.empty() || s.size() > 2) return false;
  uint32_t v = 0;
  for (char c : s) {
    v <<= 4;
    if (c >= '0' && c <= '9') v |= uint32_t(c - '0');
    else if (c >= 'a' && c <= 'f') v |= uint32_t(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') v |= uint32_t(c - 'A' + 10);
    else return false;
  }
  out = v;
  return true;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Data bytes a status carries.
int DataBytes(uint32_t status) {
  if (status < 0xF0) return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
  if (status == 0xF1 || status == 0xF3) return 1;
  if (status == 0xF2) return 2;
  return 0;
}

}  // namespace

uint32_t TakeFile::ReleaseMs() const {
  if (StopMs) return *StopMs;
  return Messages.empty() ? 500 : Messages.back().TimeMs + 500;
}

bool ParseTakeFile(std::string_view text, TakeFile& take, std::string& error) {
  take = TakeFile{};
  size_t lineNo = 0, pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    auto words = Words(line);
    if (words.empty() || words[0].front() == '#') {
      if (end == text.size()) break;
      continue;
    }
    auto fail = [&](const char* why) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    };
    if (words[0] == "stop") {
      uint32_t ms;
      if (words.size() == 2 && AllDigits(words[1]) && !Decimal(words[1], ms))
        return fail("times run from 0 to 3600000 ms (an hour)");
      if (words.size() != 2 || !Decimal(words[1], ms)) return fail("\"stop\" wants the milliseconds");
      take.StopMs = ms;
    } else {
      TakeMessage m;
      size_t i = 0;
      if (words[0] == "kbd") {
        m.Keyboard = true;
        ++i;
      }
      if (i < words.size() && AllDigits(words[i]) && !Decimal(words[i], m.TimeMs))
        return fail("times run from 0 to 3600000 ms (an hour)");
      if (i >= words.size() || !Decimal(words[i], m.TimeMs)) return fail("a message starts with its milliseconds");
      ++i;
      uint32_t status;
      if (i >= words.size() || !HexByte(words[i], status) || status < 0x80)
        return fail("the status must be a hexadecimal byte 80..FF");
      ++i;
      if (status == 0xF0 || status == 0xF7) return fail("system exclusive messages cannot be played in");
      const int wanted = DataBytes(status);
      if (int(words.size() - i) != wanted) return fail("wrong number of data bytes for this status");
      m.Message = status;
      for (int d = 0; d < wanted; ++d) {
        uint32_t b;
        if (!HexByte(words[i + size_t(d)], b) || b > 0x7F) return fail("a data byte must be hexadecimal 00..7F");
        m.Message |= b << (8 * (d + 1));
      }
      if (m.Keyboard && (status & 0xF0) != 0x80 && (status & 0xF0) != 0x90)
        return fail("the computer keyboard plays notes only (8n or 9n)");
      take.Messages.push_back(m);
    }
    if (end == text.size()) break;
  }
  std::stable_sort(take.Messages.begin(), take.Messages.end(),
                   [](const TakeMessage& a, const TakeMessage& b) { return a.TimeMs < b.TimeMs; });
  return true;
}

}  // namespace melko
