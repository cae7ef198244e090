// Loading of the six SysEx table files into TSysExParamNodes. The order
// matters: types refer to ranges, tables and the library; parameters refer to
// models and types; the patterns of a path refer to the extras.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "base/atomic_write.h"
#include "base/ini_file.h"
#include "base/int_helpers.h"
#include "sysex/sysex_param_nodes.h"

namespace melko {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Blank-separated words; runs of blanks count as one separator.
std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    size_t b = i;
    while (i < s.size() && !IsBlank(s[i])) ++i;
    if (i > b) words.push_back(s.substr(b, i - b));
  }
  return words;
}

// A decimal integer, or hexadecimal after "$" (not "0x").
bool ParseDecimal(std::string_view s, int64_t& out) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) return false;
  return TryParseInt(s, out);
}

// Hexadecimal digits without prefix (a 32-bit pattern, as "$" + text reads).
bool ParseHex(std::string_view s, int64_t& out) {
  if (s.empty() || s[0] == '$' || s[0] == '+' || s[0] == '-' || s[0] == ' ') return false;
  return TryParseInt("$" + std::string(s), out);
}

std::string NotAnInteger(const char* file, const std::string& section, std::string_view text) {
  return std::string(file) + " [" + section + "]: '" + std::string(text) + "' is not a valid integer value";
}

// A missing or unreadable file, or one that is not a regular file (a FIFO
// would block, a device never end), reads as empty; one above the size limit
// too, and `refused` names it.
void ReadTableFile(const std::string& dir, const char* name, std::string& out, std::string& refused) {
  const std::string path = dir + name;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  if (static_cast<uint64_t>(st.st_size) > TSysExParamNodes::kMaxTableFileBytes) {
    if (refused.empty()) refused = std::string(name) + " is larger than 64 MiB and was not read";
    return;
  }
  ReadWholeFile(path, out);
}

}  // namespace

bool TSysExParamNodes::Load(const std::string& folder) {
  std::string dir = folder.empty() ? std::string("./") : folder;
  if (dir.back() != '/') dir += '/';
  TSysExTableTexts texts;
  std::string refused;
  ReadTableFile(dir, "SysExTables.txt", texts.Tables, refused);
  ReadTableFile(dir, "SysExRanges.txt", texts.Ranges, refused);
  ReadTableFile(dir, "SysExTypes.txt", texts.Types, refused);
  ReadTableFile(dir, "SysExExtras.txt", texts.Extras, refused);
  ReadTableFile(dir, "SysExModels.txt", texts.Models, refused);
  ReadTableFile(dir, "SysExParams.txt", texts.Params, refused);
  if (!LoadTexts(texts, dir)) return false;
  if (refused.empty()) return true;
  loadError_ = refused;
  return false;
}

bool TSysExParamNodes::LoadTexts(const TSysExTableTexts& texts, const std::string& libraryFolder) {
  Clear();
  MakeBuiltIns();
  if (!libraryFolder.empty()) library_.Open(libraryFolder);
  try {
    LoadTables(texts.Tables);
    LoadRanges(texts.Ranges);
    LoadTypes(texts.Types);
    LoadExtras(texts.Extras);
    LoadModels(texts.Models);
    LoadParams(texts.Params);
  } catch (const LoadFailure& failure) {
    loadError_ = failure.Message;
    return false;
  }
  return true;
}

void TSysExParamNodes::MakeBuiltIns() {
  auto range = std::make_unique<TSysExRange>();
  const TSysExRange* defaultRange = range.get();
  ranges_.Add("Default", std::move(range));

  auto type = std::make_unique<TSysExType>();
  type->Range = defaultRange;
  type->GetText = &SysExFallbackGetText;
  type->SetText = &SysExFallbackSetText;
  type->UnitsIndex = units_.Add("");
  types_.Add("Default", std::move(type));

  auto extra = std::make_unique<TSysExExtra>();
  extra->Mask = 0xFF;
  extra->MaxValue = 0x0F;
  extra->Symbol = "%d";
  extras_.Add("00", std::move(extra));

  root_ = NewNode(0xF0, 0, nullptr);
}

void TSysExParamNodes::LoadTables(std::string_view text) {
  IniFile ini;
  ini.LoadFromBytes(text);
  for (const std::string& section : ini.ReadSections()) {
    auto table = std::make_unique<TSysExTable>();
    TSysExTable* entries = table.get();
    tables_.Add(section, std::move(table));
    for (const auto& [key, display] : ini.ReadSectionValues(section)) {
      std::vector<std::string_view> numbers = Words(key);
      if (numbers.empty()) throw LoadFailure{NotAnInteger("SysExTables.txt", section, key)};
      uint32_t value = 0;
      for (std::string_view n : numbers) {
        int64_t v = 0;
        if (!ParseDecimal(n, v)) throw LoadFailure{NotAnInteger("SysExTables.txt", section, n)};
        value = (value << 7) | static_cast<uint32_t>(v);
      }
      entries->push_back(TSysExTableEntry{display, static_cast<int32_t>(value)});
    }
  }
}

void TSysExParamNodes::LoadRanges(std::string_view text) {
  IniFile ini;
  ini.LoadFromBytes(text);
  for (const std::string& section : ini.ReadSections()) {
    if (ranges_.IndexOf(section) >= 0) continue;
    std::string line = ini.ReadString(section, "Range", "");
    std::vector<std::string_view> numbers = Words(line);
    int64_t v[4] = {};
    for (size_t i = 0; i < 4; ++i) {
      std::string_view n = i < numbers.size() ? numbers[i] : std::string_view();
      if (!ParseHex(n, v[i])) throw LoadFailure{NotAnInteger("SysExRanges.txt", section, n)};
    }
    auto range = std::make_unique<TSysExRange>();
    // A body never holds more than a SysEx message can; a larger size in a
    // hand-edited table is cut so that no operation allocates without bound.
    range->Size = static_cast<int32_t>(ClampInt(v[0], 0, static_cast<int64_t>(kMaxRawBytes)));
    range->Min = static_cast<int32_t>(v[1]);
    range->Max = static_cast<int32_t>(v[2]);
    range->Offset = static_cast<int32_t>(v[3]);
    ranges_.Add(section, std::move(range));
  }
}

void TSysExParamNodes::LoadTypes(std::string_view text) {
  IniFile ini;
  ini.LoadFromBytes(text);
  for (const std::string& section : ini.ReadSections()) {
    if (types_.IndexOf(section) >= 0) continue;
    auto type = std::make_unique<TSysExType>();
    int rangeIndex = ranges_.IndexOf(ini.ReadString(section, "Range", "Default"));
    type->Range = ranges_.Object(rangeIndex < 0 ? 0 : rangeIndex);
    int tableIndex = tables_.IndexOf(ini.ReadString(section, "Table", ""));
    std::string func = ini.ReadString(section, "Func", "Default");
    std::string units = ini.ReadString(section, "Units", "");
    type->UnitsIndex = units_.IndexOf(units);
    if (type->UnitsIndex < 0) type->UnitsIndex = units_.Add(units);
    type->GetText = library_.GetText(func);
    type->SetText = library_.SetText(func);
    type->Kind = kSysExNumeric;
    if (tableIndex >= 0) {
      type->Table = tables_.Object(tableIndex);
      type->Kind = kSysExTable;
    }
    if (func.find("Nibbled") != std::string::npos) type->Kind = kSysExNibbled;
    if (func == "Display_ASCII") type->Kind = kSysExText;
    types_.Add(section, std::move(type));
  }
}

void TSysExParamNodes::LoadExtras(std::string_view text) {
  IniFile ini;
  ini.LoadFromBytes(text);
  for (const std::string& section : ini.ReadSections()) {
    if (extras_.IndexOf(section) >= 0) continue;
    auto extra = std::make_unique<TSysExExtra>();
    extra->Name = ini.ReadString(section, "Name", "Default");
    extra->Symbol = ini.ReadString(section, "Symbol", "");
    ini.ReadString(section, "Table", "");  // named in the file format, not used
    extra->Format = ini.ReadString(section, "Format", "%d");
    extras_.Add(section, std::move(extra));
  }
}

void TSysExParamNodes::LoadModels(std::string_view text) {
  IniFile ini;
  ini.LoadFromBytes(text);
  for (const std::string& section : ini.ReadSections()) {
    auto model = std::make_unique<TSysExModel>();
    model->Data = ini.ReadString(section, "Data", "");
    model->BgnCheckSum = ini.ReadInteger(section, "BgnCheckSum", -1);
    int64_t id = 0;
    if (!ParseHex(ini.ReadString(section, "DefDevID", ""), id)) id = 0xFF;
    if (id < 0 || id > 0xFF) {
      throw LoadFailure{"SysExModels.txt [" + section + "]: DefDevID " + std::to_string(id) + " is out of range"};
    }
    model->DefDevID = static_cast<uint8_t>(id);
    models_.Add(section, std::move(model));
  }
}

void TSysExParamNodes::LoadParams(std::string_view text) {
  IniFile ini;
  ini.LoadFromBytes(text);
  for (const std::string& section : ini.ReadSections()) {
    int modelIndex = models_.IndexOf(ini.ReadString(section, "Model", ""));
    std::string address = ini.ReadString(section, "Address", "");
    if (modelIndex < 0 || address.empty()) continue;
    auto param = std::make_unique<TSysExParam>();
    param->Model = models_.Object(modelIndex);
    int typeIndex = types_.IndexOf(ini.ReadString(section, "Type", "Default"));
    param->Type = types_.Object(typeIndex < 0 ? 0 : typeIndex);
    param->Default = ini.ReadInteger(section, "Default", 0);
    std::string group = ini.ReadString(section, "Group", "Other");
    param->GroupIndex = groups_.IndexOf(group);
    if (param->GroupIndex < 0) param->GroupIndex = groups_.Add(group);
    TSysExParam* p = param.get();
    int index = params_.Add(section, std::move(param));
    p->Node = InsertPath(p->Model->Data + " " + address, index);
  }
}

}  // namespace melko
