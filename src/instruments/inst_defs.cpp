#include "instruments/inst_defs.h"


#include "instruments/read_file.h"
#include "instruments/tm_ini_file.h"

namespace melko {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A fixed-column field of a patch line; 255 when it is not a number (also
// when the line is too short to hold it).
int Field(std::string_view line, size_t column, size_t width) {
  if (column >= line.size()) return 255;
  int32_t v = 0;
  return TmIniFile::ParseInteger(line.substr(column, width), v) ? v : 255;
}

bool ReportRead(ReadFileResult r, const std::string& fileName, LogSink* log) {
  if (r == ReadFileResult::Ok) return true;
  if (log) {
    const char* why = r == ReadFileResult::Missing    ? "not found"
                      : r == ReadFileResult::TooLarge ? "too large to be an instrument definition"
                                                      : "cannot be read";
    log->Line(Format("%s: %s", fileName.c_str(), why));
  }
  return false;
}

}  // namespace

std::string TCmInst::GetName(TPatchKey key) {
  const int i = FindKey(key);
  return i < 0 ? std::string("?") : Entries[static_cast<size_t>(i)];
}

// ---- TmInst ----

bool TmInst::Load(const std::string& fileName, LogSink* log) {
  std::string bytes;
  const ReadFileResult r = ReadWholeFile(fileName, kMaxFileBytes, bytes);
  LoadFromBytes(bytes, fileName, log);
  return ReportRead(r, fileName, log);
}

void TmInst::LoadFromBytes(std::string_view bytes, std::string_view name, LogSink* log) {
  Entries.clear();
  keys_.clear();
  Banks.clear();
  DisplayName.clear();
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);

  bool bankOpen = false, drum = false;
  TmInstBank bank;
  auto closeBank = [&] {
    if (bankOpen) Banks.push_back(std::move(bank));
    bank = TmInstBank{};
    bankOpen = drum = false;
  };

  size_t pos = 0;
  int lineNo = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (++lineNo == 1) {
      // The display name only, even when it looks like a bank header.
      DisplayName = Trim(line);
      continue;
    }
    if (line.empty()) {
      closeBank();
    } else if (line[0] == '[') {
      // A header without an empty line before it still closes the bank
      // before it, so that bank keeps its name in the list.
      closeBank();
      bankOpen = true;
      bank.Name = line.size() >= 2 ? line.substr(1, line.size() - 2) : std::string_view();
      bank.FirstEntry = Count();
      drum = bank.Name.find("Drum Set") != std::string::npos;
    } else if (line[0] >= '0' && line[0] <= '2') {
      const int msb = Field(line, 0, 3), lsb = Field(line, 4, 3), program = Field(line, 8, 3) - 1;
      if (msb < 0 || msb > 255 || lsb < 0 || lsb > 255 || program < 0 || program > 255) {
        if (log) {
          log->Line(Format("%.*s: line %d: bank or program number out of range, the patch is skipped",
                           static_cast<int>(name.size()), name.data(), lineNo));
        }
        continue;
      }
      Entries.emplace_back(line.size() > 8 ? line.substr(8) : std::string_view());
      keys_.push_back(MakePatchKey(program, lsb, msb, drum));
    }
  }
  closeBank();
}

TPatchKey TmInst::GetKey(int index) const {
  return index >= 0 && index < static_cast<int>(keys_.size()) ? keys_[static_cast<size_t>(index)] : 0;
}

int TmInst::FindKey(TPatchKey key) {
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) {
      Exact = true;
      return static_cast<int>(i);
    }
  }
  Exact = false;
  if (!Fuzzy) return -1;
  int candidate = -1;
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (KeyProgram(keys_[i]) != KeyProgram(key)) continue;
    candidate = static_cast<int>(i);
    if (KeyIsDrum(keys_[i]) == KeyIsDrum(key)) break;
  }
  return candidate;
}

int TmInst::BankOf(int index) const {
  if (Banks.empty()) return -1;
  int found = 0;
  for (size_t b = 0; b < Banks.size(); ++b) {
    if (Banks[b].FirstEntry <= index) found = static_cast<int>(b);
  }
  return found;
}

// ---- TmDrumInst ----

TmDrumInst::TmDrumInst() = default;
TmDrumInst::~TmDrumInst() = default;

bool TmDrumInst::Load(const std::string& fileName, LogSink* log) {
  Entries.clear();
  Sets.clear();
  namesFile_.reset();
  FileName = fileName;
  TmIniFile ini(fileName);
  if (!ini.ReadOk()) {
    DisplayName = "???";
    if (log) log->Line(Format("%s: not found, unreadable or too large to be a drum definition", fileName.c_str()));
    return false;
  }
  LoadFromIni(ini, fileName, log);
  return true;
}

std::string TmDrumInst::ReadDisplayName(TmIniFile& ini) {
  return ini.SectionCount() > 0 ? ini.ReadString(0, "Name", "???") : std::string("???");
}

void TmDrumInst::LoadFromIni(TmIniFile& ini, std::string_view name, LogSink* log) {
  Entries.clear();
  Sets.clear();
  namesFile_.reset();
  DisplayName = ReadDisplayName(ini);
  // The first section describes the file, whatever its name.
  for (int s = 1; s < ini.SectionCount(); ++s) {
    const int msb = ini.ReadInteger(s, "BankMSB", 255);
    const int lsb = ini.ReadInteger(s, "BankLSB", 255);
    const int program = ini.ReadInteger(s, "Program", 1) - 1;
    if (msb < 0 || msb > 255 || lsb < 0 || lsb > 255 || program < 0 || program > 255) {
      if (log) {
        log->Line(Format("%.*s: drum set [%s]: bank or program number out of range, the set is skipped",
                         static_cast<int>(name.size()), name.data(), ini.SectionName(s).c_str()));
      }
      continue;
    }
    Entries.push_back(ini.SectionName(s));
    TmDrumSet set;
    set.Key = MakePatchKey(program, lsb, msb, true);
    set.Section = s;
    Sets.push_back(std::move(set));
  }
}

void TmDrumInst::ReadToneNames(TmIniFile& ini, int section, TmDrumToneNames& names) {
  // One pass over the section instead of a lookup per note: a note's key is
  // exactly three digits, and the first line of a key is the one that counts.
  names.fill(std::string());
  std::array<bool, 128> seen{};
  ini.VisitKeys(section, [&](std::string_view key, std::string_view value) {
    if (key.size() != 3 || key[0] < '0' || key[0] > '1' || key[1] < '0' || key[1] > '9' || key[2] < '0' ||
        key[2] > '9') {
      return;
    }
    const int note = (key[0] - '0') * 100 + (key[1] - '0') * 10 + (key[2] - '0');
    if (note > 127 || seen[static_cast<size_t>(note)]) return;
    seen[static_cast<size_t>(note)] = true;
    names[static_cast<size_t>(note)] = value;
  });
}

TPatchKey TmDrumInst::GetKey(int index) const {
  return index >= 0 && index < static_cast<int>(Sets.size()) ? Sets[static_cast<size_t>(index)].Key : 0;
}

int TmDrumInst::FindKey(TPatchKey key) {
  int candidate = -1;
  for (int i = static_cast<int>(Sets.size()) - 1; i >= 0; --i) {
    const TPatchKey k = Sets[static_cast<size_t>(i)].Key;
    if (k == key) {
      Exact = true;
      return i;
    }
    if (Fuzzy && KeyProgram(k) == KeyProgram(key)) candidate = i;
  }
  Exact = false;
  return candidate;
}

std::string TmDrumInst::GetToneName(int setIndex, int note) {
  if (setIndex < 0 || setIndex >= static_cast<int>(Sets.size()) || note < 0 || note > 127) return {};
  TmDrumSet& set = Sets[static_cast<size_t>(setIndex)];
  if (!set.ToneNames) {
    set.ToneNames = std::make_unique<TmDrumToneNames>();
    if (!namesFile_) namesFile_ = std::make_unique<TmIniFile>(FileName);
    TmIniFile& ini = *namesFile_;
    // The set is found by its position: two sets of one name keep their own
    // names. A file changed since its sets were read may no longer hold it.
    if (set.Section < ini.SectionCount() && ini.SectionName(set.Section) == Entries[static_cast<size_t>(setIndex)]) {
      ReadToneNames(ini, set.Section, *set.ToneNames);
    } else {
      const int s = ini.IndexOfSection(Entries[static_cast<size_t>(setIndex)]);
      if (s > 0) ReadToneNames(ini, s, *set.ToneNames);
    }
  }
  return (*set.ToneNames)[static_cast<size_t>(note)];
}

bool TmDrumInst::ToneNamesLoaded(int setIndex) const {
  return setIndex >= 0 && setIndex < static_cast<int>(Sets.size()) && Sets[static_cast<size_t>(setIndex)].ToneNames;
}

void TmDrumInst::FreeToneNames(int setIndex) {
  if (setIndex >= 0 && setIndex < static_cast<int>(Sets.size())) Sets[static_cast<size_t>(setIndex)].ToneNames.reset();
}

void TmDrumInst::FreeAllToneNames() {
  for (TmDrumSet& s : Sets) s.ToneNames.reset();
  namesFile_.reset();
}

}  // namespace melko
