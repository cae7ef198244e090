// The program's name tables DYNCTRL.TXT, CONTROL.TXT and META.TXT: one entry
// per line, "code name", at most 128 lines. A two-character code is
// hexadecimal, any other decimal; it must fit a byte. Names stay raw bytes
// (the UI shows them with DisplayText). Only the first 128 lines are read,
// bad or not, so a damaged file costs at most 128 messages and never more
// than kMaxNameTableBytes of reading. Read on the UI thread when the main
// window is created; afterwards read-only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace melko {

constexpr int kMaxNameTableEntries = 128;
// No table of 128 lines needs more; what lies beyond is not read.
constexpr size_t kMaxNameTableBytes = 1 << 20;

struct NameTable {
  std::vector<std::string> Names;  // in line order
  std::array<uint8_t, kMaxNameTableEntries> Codes{};  // Codes[i] goes with the i-th entry read
  int Count = 0;                   // entries read (Codes used)
};

// Reports a bad line: "%s に誤りがあります！\r\n\r\n%s" of the file name and the line.
using NameTableError = std::function<void(const std::string& message)>;

// Parses the bytes of a table: its first 128 lines (blank ones count too).
// Bad lines are reported and skipped.
NameTable ParseNameTable(std::string_view bytes, const std::string& fileName, const NameTableError& onError);
// Reads a file; false when it cannot be read (the table is then empty).
bool LoadNameTable(const std::string& path, NameTable& table, const NameTableError& onError);

// The five names DYNCTRL.TXT's list gets in front ("Tempo", "Velocity",
// "KyPrs", "ChPrs", "Bend"); the codes are not shifted.
void AddDynamicsHeads(NameTable& dynCtrl);
constexpr int kDynamicsHeadCount = 5;

// The three tables the edit tools use.
struct EditNameTables {
  NameTable DynCtrl;  // with the five heads
  NameTable Control;
  NameTable Meta;
};
// Loads the three tables from the data folder (DYNCTRL.TXT, CONTROL.TXT,
// META.TXT); false when one is missing.
bool LoadEditNameTables(const std::string& dataDir, EditNameTables& tables, const NameTableError& onError);

}  // namespace melko
