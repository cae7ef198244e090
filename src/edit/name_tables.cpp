#include "edit/name_tables.h"

#include <fstream>

#include "base/int_helpers.h"

namespace melko {

namespace {

bool ParseCode(std::string_view code, uint8_t& out) {
  if (code.empty()) return false;
  int64_t v = 0;
  if (code.size() == 2) {
    for (char c : code) {
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return false;
      v = v * 16 + d;
    }
  } else {
    for (char c : code)
      if (!(c >= '0' && c <= '9') && c != '-' && c != '+') return false;
    if (!TryParseInt(code, v)) return false;
  }
  if (v < 0 || v > 255) return false;
  out = static_cast<uint8_t>(v);
  return true;
}

}  // namespace

NameTable ParseNameTable(std::string_view bytes, const std::string& fileName, const NameTableError& onError) {
  NameTable table;
  size_t pos = 0;
  for (int lineIndex = 0; pos < bytes.size() && lineIndex < kMaxNameTableEntries; ++lineIndex) {
    size_t eol = bytes.find('\n', pos);
    std::string_view line = bytes.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
    pos = eol == std::string_view::npos ? bytes.size() : eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineIndex == 0 && line.size() >= 3 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    if (line.empty()) continue;  // blank lines (and the one after the last newline) hold nothing
    size_t space = line.find(' ');
    std::string_view code = line.substr(0, space);
    std::string_view name = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    uint8_t value;
    if (!ParseCode(code, value)) {
      if (onError) onError(fileName + " に誤りがあります！\r\n\r\n" + std::string(line));
      continue;
    }
    table.Names.emplace_back(name);
    table.Codes[table.Count++] = value;
  }
  return table;
}

bool LoadNameTable(const std::string& path, NameTable& table, const NameTableError& onError) {
  table = NameTable();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string bytes(kMaxNameTableBytes, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) return false;
  bytes.resize(static_cast<size_t>(in.gcount()));
  std::string name = path;
  if (size_t slash = name.find_last_of('/'); slash != std::string::npos) name = name.substr(slash + 1);
  table = ParseNameTable(bytes, name, onError);
  return true;
}

void AddDynamicsHeads(NameTable& dynCtrl) {
  static const char* const kHeads[kDynamicsHeadCount] = {"Tempo", "Velocity", "KyPrs", "ChPrs", "Bend"};
  dynCtrl.Names.insert(dynCtrl.Names.begin(), kHeads, kHeads + kDynamicsHeadCount);
}

bool LoadEditNameTables(const std::string& dataDir, EditNameTables& tables, const NameTableError& onError) {
  std::string dir = dataDir;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  bool ok = LoadNameTable(dir + "DYNCTRL.TXT", tables.DynCtrl, onError);
  AddDynamicsHeads(tables.DynCtrl);
  ok = LoadNameTable(dir + "CONTROL.TXT", tables.Control, onError) && ok;
  ok = LoadNameTable(dir + "META.TXT", tables.Meta, onError) && ok;
  return ok;
}

}  // namespace melko
