#include "base/ini_file.h"

#include <cerrno>
#include <sys/stat.h>

#include <algorithm>
#include <unordered_set>

#include "base/atomic_write.h"
#include "base/int_helpers.h"

namespace melko {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The value as the profile reader hands it out: trimmed, and one pair of
// matching enclosing quotes removed.
std::string_view CleanValue(std::string_view v) {
  v = Trim(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

std::string LowerKey(std::string_view s) {
  std::string k(s);
  for (char& c : k) c = LowerAscii(c);
  return k;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool IniFile::Load(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    LoadFromBytes({});
    struct stat st {};
    // Only a file that is not there counts as empty; anything else is a failure.
    return ::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
  }
  LoadFromBytes(bytes);
  return true;
}

void IniFile::LoadFromBytes(std::string_view bytes) {
  Preamble_.clear();
  Sections_.clear();
  Index_.clear();
  Bom_ = bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (Bom_) bytes.remove_prefix(3);

  std::vector<Line>* target = &Preamble_;
  while (!bytes.empty()) {
    size_t eol = bytes.find('\n');
    std::string_view raw = bytes.substr(0, eol);
    bytes.remove_prefix(eol == std::string_view::npos ? bytes.size() : eol + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

    std::string_view line = Trim(raw);
    if (!line.empty() && line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
      AddSection(std::string(Trim(name)));
      target = &Sections_.back().Lines;
      continue;
    }
    Line l;
    size_t eq = line.find('=');
    if (!line.empty() && line.front() != ';' && eq != std::string_view::npos) {
      l.IsEntry = true;
      l.Key = std::string(Trim(line.substr(0, eq)));
      l.Value = std::string(Trim(line.substr(eq + 1)));
    } else {
      l.Raw = std::string(raw);
    }
    target->push_back(std::move(l));
  }
}

std::string IniFile::ToBytes() const {
  std::string out;
  if (Bom_) out += "\xEF\xBB\xBF";
  auto writeLines = [&out](const std::vector<Line>& lines) {
    for (const Line& l : lines) {
      if (l.IsEntry) {
        out += l.Key;
        out += '=';
        out += l.Value;
      } else {
        out += l.Raw;
      }
      out += "\r\n";
    }
  };
  writeLines(Preamble_);
  for (const Section& s : Sections_) {
    out += '[';
    out += s.Name;
    out += "]\r\n";
    writeLines(s.Lines);
  }
  return out;
}

bool IniFile::Save(const std::string& path) const { return WriteFileAtomically(path, ToBytes()); }

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  auto it = Index_.find(LowerKey(Trim(name)));
  return it == Index_.end() ? nullptr : &Sections_[it->second];
}

void IniFile::AddSection(std::string name) {
  Index_.emplace(LowerKey(name), Sections_.size());
  Sections_.push_back(Section{std::move(name), {}});
}

void IniFile::RebuildIndex() {
  Index_.clear();
  for (size_t i = 0; i < Sections_.size(); ++i) Index_.emplace(LowerKey(Sections_[i].Name), i);
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(static_cast<const IniFile*>(this)->FindSection(name));
}

const IniFile::Line* IniFile::FindKey(const Section& s, std::string_view key) {
  key = Trim(key);
  for (const Line& l : s.Lines) {
    if (l.IsEntry && EqualsNoCase(l.Key, key)) return &l;
  }
  return nullptr;
}

const std::string* IniFile::FindValue(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return nullptr;
  const Line* l = FindKey(*s, key);
  return l ? &l->Value : nullptr;
}

bool IniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
  return FindValue(section, key) != nullptr;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const std::string* v = FindValue(section, key);
  return std::string(v ? CleanValue(*v) : def);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  const std::string* v = FindValue(section, key);
  int64_t n = 0;
  if (!v || !TryParseInt(CleanValue(*v), n)) return def;
  return static_cast<int32_t>(n);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  const std::string* v = FindValue(section, key);
  if (!v) return def;
  std::string_view text = CleanValue(*v);
  int64_t n = 0;
  if (TryParseInt(text, n)) return n != 0;
  if (EqualsNoCase(text, "true")) return true;
  if (EqualsNoCase(text, "false")) return false;
  return def;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  // A line break inside a value would split the entry on the next read.
  std::string flat(value);
  for (char& c : flat) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  value = flat;
  Section* s = FindSection(section);
  if (!s) {
    AddSection(std::string(section));
    s = &Sections_.back();
  }
  Line* l = const_cast<Line*>(FindKey(*s, key));
  if (l) {
    l->Value = std::string(value);
    return;
  }
  Line entry;
  entry.IsEntry = true;
  entry.Key = std::string(key);
  entry.Value = std::string(value);
  // A new key goes after the section's last entry, before trailing blank lines
  // and comments that separate it from the next section.
  size_t at = s->Lines.size();
  while (at > 0 && !s->Lines[at - 1].IsEntry) --at;
  if (at == 0) at = s->Lines.size();
  s->Lines.insert(s->Lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> IniFile::ReadSections() const {
  std::vector<std::string> names;
  for (size_t i = 0; i < Sections_.size(); ++i) {
    // Only the first section of a name is listed.
    if (Index_.at(LowerKey(Sections_[i].Name)) == i) names.push_back(Sections_[i].Name);
  }
  return names;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  for (const auto& kv : ReadSectionValues(section)) keys.push_back(kv.first);
  return keys;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  const Section* s = FindSection(section);
  if (!s) return out;
  std::unordered_set<std::string> seen;
  for (const Line& l : s->Lines) {
    if (!l.IsEntry) continue;
    if (seen.insert(LowerKey(l.Key)).second) out.emplace_back(l.Key, std::string(CleanValue(l.Value)));
  }
  return out;
}

void IniFile::EraseSection(std::string_view section) {
  const size_t before = Sections_.size();
  std::erase_if(Sections_, [&](const Section& s) { return EqualsNoCase(s.Name, Trim(section)); });
  if (Sections_.size() != before) RebuildIndex();
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
  Section* s = FindSection(section);
  if (!s) return;
  key = Trim(key);
  for (size_t i = 0; i < s->Lines.size();) {
    const Line& l = s->Lines[i];
    if (l.IsEntry && EqualsNoCase(l.Key, key)) {
      s->Lines.erase(s->Lines.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

}  // namespace melko
