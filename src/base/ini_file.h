// An INI file held in memory, read and written with the Windows private-profile
// rules: section and key names match without regard to ASCII case, keys and
// values are trimmed (and one pair of enclosing quotes is dropped from a value),
// lines beginning with ';' are comments, integers accept decimal, "$" and "0x"
// hexadecimal. Bytes are kept raw (values may be CP932); lines are read with
// CRLF or LF endings and written with CRLF. Comments and unknown lines survive
// a load/save round trip, and the order of sections and keys is kept.
// Sections are found through an index by name, so reading every section of
// a file is linear in its size. Not thread-safe: one owner at a time. Save()
// writes a temporary file beside the target, syncs it and renames it over
// the target.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace melko {

class IniFile {
 public:
  IniFile() = default;

  // Replaces the contents with the file's; a missing file gives an empty INI
  // and true. Returns false (contents empty) when the file exists but cannot
  // be read.
  bool Load(const std::string& path);
  void LoadFromBytes(std::string_view bytes);

  // Writes through a temporary file in the same folder, fsync and rename, so
  // a failed write leaves the old file as it was. False on any failure.
  bool Save(const std::string& path) const;
  std::string ToBytes() const;

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // Decimal, "$" or "0x" hexadecimal; def for an absent key or a bad number.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  // A number (non-zero is true) or the words True/False; else def.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Section names in file order.
  std::vector<std::string> ReadSections() const;
  // Key names of the section, in file order (the first of duplicate keys).
  std::vector<std::string> ReadSection(std::string_view section) const;
  // (key, value) pairs of the section, in file order.
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;

  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view key);

 private:
  struct Line {
    bool IsEntry = false;  // key=value; otherwise a comment or other raw line
    std::string Key;
    std::string Value;
    std::string Raw;  // the line as read, for lines that are not entries
  };
  struct Section {
    std::string Name;
    std::vector<Line> Lines;
  };

  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);
  void AddSection(std::string name);
  void RebuildIndex();
  static const Line* FindKey(const Section& s, std::string_view key);
  const std::string* FindValue(std::string_view section, std::string_view key) const;

  std::vector<Line> Preamble_;  // lines before the first section
  std::vector<Section> Sections_;
  // Lower-cased name -> position of the first section of that name.
  std::unordered_map<std::string, size_t> Index_;
  bool Bom_ = false;  // the file began with a UTF-8 byte order mark
};

// ASCII case-insensitive equality, as used for INI names.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace melko
