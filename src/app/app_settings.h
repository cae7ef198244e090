// The application's settings as kept in MELKO.INI: the document and start-up
// keys of section "User", "Files" and "Error", the main window's own keys,
// and the two history lists ("MidiFiles", "SetupTemplates"). Read once at
// start and written at exit through IniFile (so keys of other parts survive
// in the same file). Plain data; UI thread.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/ini_file.h"

namespace melko {

// One entry of a history menu: the caption shown and the file it opens.
struct HistoryEntry {
  std::string Caption;
  std::string Path;
  bool operator==(const HistoryEntry&) const = default;
};

// A recent-file or template list kept in one INI section as
// "Count" plus "Caption<n>"/"Path<n>" pairs, newest first.
class HistoryList {
 public:
  explicit HistoryList(size_t maxEntries = 10) : max_(maxEntries) {}
  std::vector<HistoryEntry> Entries;

  // Puts `path` at the top (moving it when already listed), caption = file name.
  void AddToTop(const std::string& path);
  void Remove(size_t index);
  void Load(const IniFile& ini, const std::string& section);
  void Save(IniFile& ini, const std::string& section) const;

 private:
  size_t max_;
};

struct AppSettings {
  // Section "User".
  bool AutoOpen = false;
  bool AutoSave = false;
  bool AutoInit = false;
  int ModuleSystem = 0;  // 0 GM, 1 GS, 2 XG
  bool TPQNFixed = false;
  int TPQN = 480;
  int BackupConds = 0;  // 1: by timer, 2: by edit count
  int BackupInterval = 30;    // minutes
  int BackupUndoCount = 100;  // edits
  bool ShowDocument = false;
  std::string UserName;                       // for the default copyright text
  std::string RepeatText = "1,2,4,8,16,32,64";
  bool TimerSync = true;
  int TimerSyncInterval = 55;  // ms, 1..999

  // Section "Files".
  int FileDialogType = 0;  // 0 the system's dialogs, 1 the program's own, 2 the file browser's
  std::string Open;        // LastOpenPath
  std::string ExTrack;     // ExTrackPath
  std::string Temporary;   // TemporaryDir (with trailing "/")
  bool SaveAlwaysSmfFormat0 = false;
  // Whether _TEMP.MID, as written at the last AutoSave exit, was a song saved
  // under LastOpenPath (false: an untitled song, which must not take that
  // file's name at the next start).
  bool TemporaryNamed = true;

  // Section "Error".
  bool TerminatedAbnormally = false;

  // Main window buttons remembered between runs (section "MainForm").
  bool AutoRewind = true;
  bool SyncOut = false;
  bool GuideClick = false;

  HistoryList MidiFiles{10};
  HistoryList SetupTemplates{20};

  // Reads every key; `programDir` (with trailing "/") gives the defaults of
  // the song paths, `dataDir` that of the temporary folder: the program's
  // own folder need not be writable, the data folder is.
  void Load(const IniFile& ini, const std::string& programDir, const std::string& dataDir);
  // Writes every key (TerminatedAbnormally as it stands).
  void Save(IniFile& ini) const;
};

// "Count-in" and "pre-range" of recording, per song in FILEINFO.INI.
struct RecordingRange {
  int CountIn = 4;
  int PreRange = 4;
};

// A path's folder with a trailing "/" ("" for a bare name).
std::string FolderOf(const std::string& path);
// The part after the last "/" (and after the last ">" of an archive member).
std::string FileNameOf(const std::string& path);
// The upper-cased extension with its dot, "" when none.
std::string UpperExtension(const std::string& path);
// `path` made absolute against the working folder, byte for byte (a file name
// in Shift-JIS or any other non-UTF-8 bytes stays the same file).
std::string AbsolutePath(const std::string& path);

}  // namespace melko
