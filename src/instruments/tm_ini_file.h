// TmIniFile: the reader of drum definition files (.DRM). The whole file is
// held as lines; sections are indexed by their header lines ("[name]" with
// nothing before "[" or after "]"), so a file of hundreds of drum sets is
// read once and each set found without a scan. Keys match the text before a
// line's first "=" exactly except for ASCII case (no trimming: "036 = x" is
// not key "036"), and a value is everything after that "=", untrimmed. This
// differs from the settings reader (base/ini_file.h), which trims and drops
// comments, and is why the drum files have their own.
// Owned by one caller at a time; lookups update a small cache, so not even
// const use may be shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace melko {

class TmIniFile {
 public:
  // Files larger than this are not read (they give no lines).
  static constexpr uint64_t kMaxFileBytes = uint64_t{32} << 20;

  TmIniFile() = default;
  // Reads the file; a missing, unreadable or oversized file gives no lines.
  explicit TmIniFile(const std::string& fileName);
  void LoadFromBytes(std::string_view bytes);
  // False when the file was missing, unreadable or too large.
  bool ReadOk() const { return readOk_; }

  // Section names in file order (duplicates kept).
  std::vector<std::string> SectionNames() const;
  int SectionCount() const { return static_cast<int>(sections_.size()); }
  const std::string& SectionName(int index) const { return sections_[static_cast<size_t>(index)].Name; }
  // Position of the first section of that name (ASCII case ignored), or -1.
  int IndexOfSection(std::string_view name) const;
  bool SectionExists(std::string_view name) const { return IndexOfSection(name) >= 0; }

  // The value of key in the named section (the first of that name) or in the
  // section at index; def when the section or the key is missing.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def);
  std::string ReadString(int sectionIndex, std::string_view key, std::string_view def);
  // The value as an integer: decimal, "$" or "0x"/"0X" hexadecimal; def when
  // missing or not a whole 32-bit number.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def);
  int32_t ReadInteger(int sectionIndex, std::string_view key, int32_t def);

  // Calls visit(key, value) for every line of the section that holds an "=",
  // in file order (so the first of duplicate keys comes first).
  void VisitKeys(int sectionIndex, const std::function<void(std::string_view key, std::string_view value)>& visit);

  // The integer rule on its own: a leading "0x" or "0X" read as "$", then a
  // decimal or "$" hexadecimal number with optional leading blanks and sign.
  static bool ParseInteger(std::string_view text, int32_t& out);

 private:
  struct Section {
    std::string Name;
    size_t HeaderLine;
  };
  // Selects the section's lines (cached for the last one asked for).
  bool Gather(int sectionIndex);
  const std::string* FindValue(std::string_view key) const;

  std::vector<std::string> lines_;
  std::vector<Section> sections_;
  std::unordered_map<std::string, int> index_;  // lower-cased name -> first section
  bool readOk_ = true;
  // The last section gathered: its index and the range of its key lines.
  int gathered_ = -1;
  size_t gatherBegin_ = 0, gatherEnd_ = 0;
  // The last section looked up by name, so repeated lookups skip the hash.
  std::string lastName_;
  int lastIndex_ = -1;
};

}  // namespace melko
