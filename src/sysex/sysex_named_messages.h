// The named SysEx messages of SYSEX.TXT: one "name:hex text" pair per line,
// offered by the SysEx input dialog for picking a whole message at once
// (a GM System On, a GS Reset ...). The reader is bounded and checked: the
// file is read up to kMaxNamedFileBytes, at most kMaxNamedMessages entries
// are kept, and a line whose hex text is not a message the dialog would
// accept (F0 first, bytes 00..7F, at most 512 of them) is left out and
// counted. Names and texts keep their raw bytes (a name may be CP932).
// Pure functions, callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace melko {

// Two parallel lists, as the dialog takes them: Names[i] names HexTexts[i].
struct TSysExNamedMessages {
  std::vector<std::string> Names;
  std::vector<std::string> HexTexts;
};

constexpr uint64_t kMaxNamedFileBytes = uint64_t{1} << 20;
constexpr size_t kMaxNamedMessages = 4096;
constexpr size_t kMaxNamedLineBytes = 4096;

// What a reading left out.
struct TSysExNamesReport {
  int Skipped = 0;         // lines with a colon that gave no entry (bad text, empty name, too long)
  bool Truncated = false;  // the file or the entry count went past its limit
};

// The entries of a SYSEX.TXT text. The name is the text before the last colon
// of the line, the hex text what follows it, both without surrounding blanks;
// lines without a colon (blank lines among them) are passed over silently.
TSysExNamedMessages ParseSysExNames(std::string_view text, TSysExNamesReport* report = nullptr);

// True when text is a whole message as the dialog's hex box accepts it:
// "F0", then byte tokens 00..7F (and an optional "SS" checksum mark) up to an
// optional "F7", at most 512 bytes, case ignored.
bool IsSysExMessageText(std::string_view text);

// Reads the file at path. A missing file gives empty lists and true; a file
// that cannot be read, or one that is not a regular file, gives false with
// error set. A file above the size limit is read up to it (report.Truncated).
bool ReadSysExNames(const std::string& path, TSysExNamedMessages& out, std::string& error,
                    TSysExNamesReport* report = nullptr);

}  // namespace melko
