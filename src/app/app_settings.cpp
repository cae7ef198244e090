#include "app/app_settings.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "base/int_helpers.h"

namespace melko {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  size_t cut = path.find_last_of("/>");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string UpperExtension(const std::string& path) {
  std::string name = FileNameOf(path);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
  if (error) return path;
  return absolute.lexically_normal().string();
}

void HistoryList::AddToTop(const std::string& path) {
  auto it = std::find_if(Entries.begin(), Entries.end(), [&](const HistoryEntry& e) { return e.Path == path; });
  HistoryEntry entry{FileNameOf(path), path};
  if (it != Entries.end()) {
    entry.Caption = it->Caption;
    Entries.erase(it);
  }
  Entries.insert(Entries.begin(), entry);
  if (Entries.size() > max_) Entries.resize(max_);
}

void HistoryList::Remove(size_t index) {
  if (index < Entries.size()) Entries.erase(Entries.begin() + static_cast<long>(index));
}

void HistoryList::Load(const IniFile& ini, const std::string& section) {
  Entries.clear();
  int count = std::clamp<int>(ini.ReadInteger(section, "Count", 0), 0, static_cast<int>(max_));
  for (int i = 0; i < count; ++i) {
    std::string path = ini.ReadString(section, "Path" + std::to_string(i), "");
    if (path.empty()) continue;
    std::string caption = ini.ReadString(section, "Caption" + std::to_string(i), FileNameOf(path));
    Entries.push_back({caption, path});
  }
}

void HistoryList::Save(IniFile& ini, const std::string& section) const {
  ini.EraseSection(section);
  ini.WriteInteger(section, "Count", static_cast<int32_t>(Entries.size()));
  for (size_t i = 0; i < Entries.size(); ++i) {
    ini.WriteString(section, "Caption" + std::to_string(i), Entries[i].Caption);
    ini.WriteString(section, "Path" + std::to_string(i), Entries[i].Path);
  }
}

void AppSettings::Load(const IniFile& ini, const std::string& programDir, const std::string& dataDir) {
  AutoOpen = ini.ReadBool("User", "AutoOpen", false);
  AutoSave = ini.ReadBool("User", "AutoSave", false);
  AutoInit = ini.ReadBool("User", "AutoInit", false);
  ModuleSystem = static_cast<int>(ClampInt(ini.ReadInteger("User", "ModuleSystem", 0), 0, 2));
  TPQNFixed = ini.ReadBool("User", "TPQNFixed", false);
  TPQN = static_cast<int>(ClampInt(ini.ReadInteger("User", "TPQN", 480), 48, 960));
  BackupConds = ini.ReadInteger("User", "BackupConds", 0) & 3;
  BackupInterval = static_cast<int>(ClampInt(ini.ReadInteger("User", "BackupInterval", 30), 1, 1440));
  BackupUndoCount = static_cast<int>(ClampInt(ini.ReadInteger("User", "BackupUndoCount", 100), 1, 100000));
  ShowDocument = ini.ReadBool("User", "ShowDocument", false);
  UserName = ini.ReadString("User", "UserName", "");
  RepeatText = ini.ReadString("User", "RepeatText", "1,2,4,8,16,32,64");
  TimerSync = ini.ReadBool("User", "TimerSync", true);
  TimerSyncInterval = static_cast<int>(ClampInt(ini.ReadInteger("User", "TimerSyncInterval", 55), 1, 999));

  {
    // 1 the program's own Qt dialogs, 2 the file browser's.
    const int32_t type = ini.ReadInteger("Files", "FileDialogType", 0);
    FileDialogType = type == 1 || type == 2 ? static_cast<int>(type) : 0;
  }
  Open = ini.ReadString("Files", "Open", programDir + "UNTITLED.MID");
  ExTrack = ini.ReadString("Files", "ExTrack", programDir + "UNTITLED.MID");
  Temporary = ini.ReadString("Files", "Temporary", dataDir);
  if (!Temporary.empty() && Temporary.back() != '/') Temporary += '/';
  SaveAlwaysSmfFormat0 = ini.ReadBool("Files", "SaveAlwaysSmfFormat0", false);
  TemporaryNamed = ini.ReadBool("Files", "TemporaryNamed", true);

  TerminatedAbnormally = ini.ReadBool("Error", "TerminatedAbnormally", false);

  AutoRewind = ini.ReadBool("MainForm", "AutoRewind", true);
  SyncOut = ini.ReadBool("MainForm", "SyncOut", false);
  GuideClick = ini.ReadBool("MainForm", "GuideClick", false);

  MidiFiles.Load(ini, "MidiFiles");
  SetupTemplates.Load(ini, "SetupTemplates");
}

void AppSettings::Save(IniFile& ini) const {
  ini.WriteBool("User", "AutoOpen", AutoOpen);
  ini.WriteBool("User", "AutoSave", AutoSave);
  ini.WriteBool("User", "AutoInit", AutoInit);
  ini.WriteInteger("User", "ModuleSystem", ModuleSystem);
  ini.WriteBool("User", "TPQNFixed", TPQNFixed);
  ini.WriteInteger("User", "TPQN", TPQN);
  ini.WriteInteger("User", "BackupConds", BackupConds);
  ini.WriteInteger("User", "BackupInterval", BackupInterval);
  ini.WriteInteger("User", "BackupUndoCount", BackupUndoCount);
  ini.WriteBool("User", "ShowDocument", ShowDocument);
  ini.WriteString("User", "UserName", UserName);
  ini.WriteString("User", "RepeatText", RepeatText);
  ini.WriteBool("User", "TimerSync", TimerSync);
  ini.WriteInteger("User", "TimerSyncInterval", TimerSyncInterval);

  ini.WriteInteger("Files", "FileDialogType", FileDialogType);
  ini.WriteString("Files", "Open", Open);
  ini.WriteString("Files", "ExTrack", ExTrack);
  ini.WriteString("Files", "Temporary", Temporary);
  ini.WriteBool("Files", "SaveAlwaysSmfFormat0", SaveAlwaysSmfFormat0);
  ini.WriteBool("Files", "TemporaryNamed", TemporaryNamed);

  ini.WriteBool("Error", "TerminatedAbnormally", TerminatedAbnormally);

  ini.WriteBool("MainForm", "AutoRewind", AutoRewind);
  ini.WriteBool("MainForm", "SyncOut", SyncOut);
  ini.WriteBool("MainForm", "GuideClick", GuideClick);

  MidiFiles.Save(ini, "MidiFiles");
  SetupTemplates.Save(ini, "SetupTemplates");
}

}  // namespace melko
