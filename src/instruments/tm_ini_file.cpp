#include "instruments/tm_ini_file.h"

#include <limits>

#include "base/ini_file.h"
#include "instruments/read_file.h"

namespace melko {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

TmIniFile::TmIniFile(const std::string& fileName) {
  std::string bytes;
  const ReadFileResult r = ReadWholeFile(fileName, kMaxFileBytes, bytes);
  if (r == ReadFileResult::Ok) LoadFromBytes(bytes);
  readOk_ = r == ReadFileResult::Ok;
}

void TmIniFile::LoadFromBytes(std::string_view bytes) {
  readOk_ = true;
  lines_.clear();
  sections_.clear();
  index_.clear();
  gathered_ = -1;
  lastName_.clear();
  lastIndex_ = -1;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    pos = end + 1;
  }
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string& l = lines_[i];
    if (l.size() > 2 && l.front() == '[' && l.back() == ']') {
      std::string name = l.substr(1, l.size() - 2);
      index_.emplace(Lower(name), static_cast<int>(sections_.size()));
      sections_.push_back({std::move(name), i});
    }
  }
}

std::vector<std::string> TmIniFile::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& s : sections_) names.push_back(s.Name);
  return names;
}

int TmIniFile::IndexOfSection(std::string_view name) const {
  auto it = index_.find(Lower(name));
  return it == index_.end() ? -1 : it->second;
}

bool TmIniFile::Gather(int sectionIndex) {
  if (sectionIndex < 0 || sectionIndex >= SectionCount()) return false;
  if (gathered_ == sectionIndex) return true;
  size_t i = sections_[static_cast<size_t>(sectionIndex)].HeaderLine + 1;
  gatherBegin_ = i;
  // Any line beginning with "[" ends the section, a malformed header too.
  while (i < lines_.size() && (lines_[i].empty() || lines_[i][0] != '[')) ++i;
  gatherEnd_ = i;
  gathered_ = sectionIndex;
  return true;
}

const std::string* TmIniFile::FindValue(std::string_view key) const {
  for (size_t i = gatherBegin_; i < gatherEnd_; ++i) {
    const std::string& l = lines_[i];
    const size_t eq = l.find('=');
    if (eq == std::string::npos) continue;
    if (EqualsNoCase(std::string_view(l).substr(0, eq), key)) return &l;
  }
  return nullptr;
}

void TmIniFile::VisitKeys(int sectionIndex,
                          const std::function<void(std::string_view key, std::string_view value)>& visit) {
  if (!Gather(sectionIndex)) return;
  for (size_t i = gatherBegin_; i < gatherEnd_; ++i) {
    const std::string_view l = lines_[i];
    const size_t eq = l.find('=');
    if (eq != std::string_view::npos) visit(l.substr(0, eq), l.substr(eq + 1));
  }
}

std::string TmIniFile::ReadString(int sectionIndex, std::string_view key, std::string_view def) {
  if (!Gather(sectionIndex)) return std::string(def);
  const std::string* line = FindValue(key);
  if (!line) return std::string(def);
  return line->substr(line->find('=') + 1);
}

std::string TmIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) {
  if (lastIndex_ < 0 || !EqualsNoCase(lastName_, section)) {
    lastIndex_ = IndexOfSection(section);
    lastName_ = section;
  }
  return ReadString(lastIndex_, key, def);
}

int32_t TmIniFile::ReadInteger(int sectionIndex, std::string_view key, int32_t def) {
  int32_t v = 0;
  return ParseInteger(ReadString(sectionIndex, key, ""), v) ? v : def;
}

int32_t TmIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) {
  int32_t v = 0;
  return ParseInteger(ReadString(section, key, ""), v) ? v : def;
}

bool TmIniFile::ParseInteger(std::string_view text, int32_t& out) {
  bool hex = false;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hex = true;
    text.remove_prefix(2);
  } else {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  }
  bool negative = false;
  if (!hex && !text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!hex && !text.empty() && text.front() == '$') {
    hex = true;
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  int64_t v = 0;
  for (char c : text) {
    const int d = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (d < 0) return false;
    v = v * (hex ? 16 : 10) + d;
    // Hexadecimal may fill all 32 bits ("$FFFFFFFF" is -1), decimal may not.
    if (v > (hex ? int64_t{0xFFFFFFFF} : int64_t{std::numeric_limits<int32_t>::max()} + (negative ? 1 : 0))) {
      return false;
    }
  }
  if (negative) v = -v;
  out = hex ? static_cast<int32_t>(static_cast<uint32_t>(v)) : static_cast<int32_t>(v);
  return true;
}

}  // namespace melko
