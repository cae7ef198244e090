// The song document: the name of the open song file and the commands that
// replace, load and store the song (New, Open, setup templates, Save, Save
// As, Save as format 0), the safety copies (_BACKUP.MID before an overwrite,
// the timed and edit-counted backup _TEMP.MID), FILEINFO.INI, the ExTrack,
// and the window title. The main window owns one and answers its hooks.
// A new or loaded song and the ExTrack's tracks are announced through the
// song's notifier (one notice per command), not through the hooks.
// UI thread only; every command that writes or replaces tracks stops the
// playback engine first through the StopPlayback hook.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "app/user_prompt.h"
#include "base/atomic_write.h"
#include "base/ini_file.h"
#include "song/smf_reader.h"
#include "song/song.h"

namespace melko {

extern const char* const kMsgAskDiscard;
extern const char* const kMsgAskSaveOnClose;
extern const char* const kMidiOpenFilter;
extern const char* const kMidiSaveFilter;
// After the path of a settings file (MELKO.INI, FILEINFO.INI) that is there
// but cannot be read.
extern const char* const kMsgSettingsFileUnreadable;

struct DocumentHooks {
  std::function<void()> StopPlayback;
  // True while a song plays; the backup by edit count waits for the stop.
  std::function<bool()> IsPlaying;
  std::function<void(const std::string& caption)> TitleChanged;
  std::function<void()> HistoryChanged;
  // Song Setup; `fromNew` shows the timebase too. True on OK.
  std::function<bool(bool fromNew)> SongSetup;
  std::function<void(bool busy)> SetBusy;  // hourglass cursor during loads
};

class SongDocument {
 public:
  SongDocument(Song& song, AppSettings& settings, UserPrompt& prompt, std::string programDir,
               std::string dataDir, SongConverter* converter);

  DocumentHooks Hooks;
  // Per-file side data; saved to FileInfoPath after each change.
  IniFile FileInfo;
  std::string FileInfoPath;
  RecordingRange Recording;

  std::string DocumentName;
  std::string Format0Name;
  bool Save1Enabled = false;
  std::string Caption;  // the window title as last set
  std::vector<std::string> ExTrackList;

  // Backup state: current after a backup; edits since then.
  bool BackupCurrent = true;
  int EditsSinceBackup = 0;

  const std::string& ProgramDir() const { return programDir_; }
  const std::string& DataDir() const { return dataDir_; }
  std::string TempFile() const { return settings_.Temporary + "_TEMP.MID"; }
  std::string BackupFile() const { return settings_.Temporary + "_BACKUP.MID"; }

  bool AskDiscard();
  void ClearSong();
  void NewSong(bool showSetup);
  std::string DefaultCopyright() const;
  bool OpenSong(const std::string& fileName);
  void OpenFile(const std::string& fileName);
  bool SaveSong(const std::string& fileName, FolderReadOnly readOnlyFolder = FolderReadOnly::Fail);
  bool WriteBackup();
  void SongLoaded();
  void SetTitle();
  void SetDocumentName(const std::string& name);

  // Menu commands.
  void NewFileCommand(bool showSetup);  // mnuNewFileClick
  void OpenCommand();                   // Open1Click
  void OpenHistory(const std::string& path);  // hmMidiFileClick
  void OpenTemplate(const std::string& path); // hmSetupTemplateClick
  bool SaveCommand();                   // Save1Click; true when saved
  bool SaveAsCommand();                 // SaveAs1Click
  void SaveAsFormat0Command();          // mnuSaveAsFormat0Click
  // A path handed over by a second start or the command line; only .MID and
  // .RMI are opened, without asking.
  bool OpenHandedFile(const std::string& path);

  // Timed backup (called every 10 s) and the count of edits (after each
  // finished edit): either may write _TEMP.MID.
  void OnTimerBackup();
  void CountEdit();
  void RestartBackupClock() { lastBackup_ = Clock::now(); }
  // Tests move the backup clock.
  using Clock = std::chrono::steady_clock;
  void SetBackupClockForTest(Clock::time_point t) { lastBackup_ = t; }

  // ExTrack.
  bool OpenExTrack(const std::string& fileName);
  void OpenExTrackCommand();
  void CloseExTrack();
  bool ExTrackOpen() const { return exTrackOpen_; }

  // Start-up step 5: the temporary file, AutoOpen, or the command-line file.
  void OpenAtStart(bool lastRunAbnormal, const std::string& commandLineFile);

 private:
  void Busy(bool on) {
    if (Hooks.SetBusy) Hooks.SetBusy(on);
  }
  void Stop() {
    if (Hooks.StopPlayback) Hooks.StopPlayback();
  }
  void SaveFileInfo();
  // Load, check, clear and read; the old song comes back when the read runs
  // out of memory (and the std::bad_alloc goes on to the caller).
  bool LoadSong(const std::string& fileName);
  bool ReadExTrack(const std::string& fileName, bool saved);
  void AddHistory(const std::string& path);

  Song& song_;
  AppSettings& settings_;
  UserPrompt& prompt_;
  std::string programDir_, dataDir_;
  SongConverter* converter_;
  Clock::time_point lastBackup_ = Clock::now();
  bool exTrackOpen_ = false;
  bool timedBackupRunning_ = false;
  bool fileInfoReadable_ = true;  // false: FILEINFO.INI is left as it is
};

}  // namespace melko
