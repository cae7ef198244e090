#include "app/song_document.h"

#include <sys/stat.h>

#include <ctime>

#include "app/file_info.h"
#include "base/atomic_write.h"
#include "base/log_sink.h"
#include "base/text_encoding.h"
#include "song/smf_writer.h"

namespace melko {

const char* const kMsgAskDiscard = "現在編集中のデータを破棄しますか？";
const char* const kMsgAskSaveOnClose = "データは保存されていません。保存しますか？";
const char* const kMidiOpenFilter =
    "MIDIﾌｧｲﾙ (*.mid *.rmi *.MID *.RMI);;RCP/R36/G36 (*.rcp *.r36 *.g36 *.RCP *.R36 *.G36)";
const char* const kMidiSaveFilter = "MIDI ﾌｧｲﾙ (*.mid *.MID)";

namespace {
const char* const kUntitled = "UNTITLED.MID";
const char* const kTitlePrefix = "MELKO98 - ";

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

long long FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}
}  // namespace

SongDocument::SongDocument(Song& song, AppSettings& settings, UserPrompt& prompt, std::string programDir,
                           std::string dataDir, SongConverter* converter)
    : song_(song),
      settings_(settings),
      prompt_(prompt),
      programDir_(std::move(programDir)),
      dataDir_(std::move(dataDir)),
      converter_(converter) {
  FileInfoPath = dataDir_ + "FILEINFO.INI";
  FileInfo.Load(FileInfoPath);
  SetDocumentName(FolderOf(settings_.Open) + kUntitled);
}

void SongDocument::SetDocumentName(const std::string& name) {
  DocumentName = name;
  Format0Name = FolderOf(name) + "F0_" + FileNameOf(name);
}

bool SongDocument::AskDiscard() { return song_.SongSaved || prompt_.AskYesNo(kMsgAskDiscard); }

void SongDocument::ClearSong() {
  Stop();
  song_.Options.DefaultTPQN = static_cast<uint16_t>(settings_.TPQN);
  song_.Options.TPQNFixed = settings_.TPQNFixed;
  song_.ClearSong();
  SetDocumentName(FolderOf(settings_.Open) + kUntitled);
  Save1Enabled = false;
}

std::string SongDocument::DefaultCopyright() const {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return StoreText("(C) " + std::to_string(local.tm_year + 1900) + " " + settings_.UserName);
}

void SongDocument::NewSong(bool showSetup) {
  ClearSong();
  song_.TrackNames[0] = "Untitled";
  song_.Copyright = DefaultCopyright();
  if (showSetup && Hooks.SongSetup) Hooks.SongSetup(true);
  ApplySongLoaded(song_);
  SongLoaded();
}

bool SongDocument::OpenSong(const std::string& fileName) {
  Stop();
  song_.Options.DefaultTPQN = static_cast<uint16_t>(settings_.TPQN);
  song_.Options.TPQNFixed = settings_.TPQNFixed;
  Busy(true);
  bool ok = OpenSongFile(song_, fileName, prompt_, converter_);
  if (ok) ReadFileInfo(FileInfo, fileName, song_, Recording);
  Busy(false);
  if (ok) {
    // The loader ran ClearSong on the model; the document follows it.
    SetDocumentName(FolderOf(settings_.Open) + kUntitled);
    Save1Enabled = false;
    SongLoaded();
  }
  return ok;
}

void SongDocument::OpenFile(const std::string& fileName) {
  if (!OpenSong(fileName)) return;
  Save1Enabled = UpperExtension(fileName) == ".MID";
  SetDocumentName(fileName);
  settings_.Open = fileName;
  AddHistory(fileName);
  SetTitle();
}

void SongDocument::SongLoaded() {
  if (Hooks.SongLoaded) Hooks.SongLoaded();
  SetTitle();
}

void SongDocument::SetTitle() {
  Caption = kTitlePrefix + DocumentName;
  if (Hooks.TitleChanged) Hooks.TitleChanged(Caption);
}

void SongDocument::AddHistory(const std::string& path) {
  settings_.MidiFiles.AddToTop(path);
  if (Hooks.HistoryChanged) Hooks.HistoryChanged();
}

void SongDocument::SaveFileInfo() { FileInfo.Save(FileInfoPath); }

bool SongDocument::SaveSong(const std::string& fileName, FolderReadOnly readOnlyFolder) {
  Stop();
  if (!SaveSongFile(song_, fileName, settings_.SaveAlwaysSmfFormat0, nullptr, readOnlyFolder)) {
    prompt_.ShowError(kMsgWriteFailed);
    return false;
  }
  if (settings_.SaveAlwaysSmfFormat0) song_.LogLine(Format("ConvedFileSize: %lld", FileSize(fileName)));
  WriteFileInfo(FileInfo, fileName, song_, Recording);
  SaveFileInfo();
  return true;
}

bool SongDocument::WriteBackup() {
  if (!SaveSong(TempFile())) return false;
  BackupCurrent = true;
  EditsSinceBackup = 0;
  lastBackup_ = Clock::now();
  return true;
}

void SongDocument::NewFileCommand(bool showSetup) {
  if (AskDiscard()) NewSong(showSetup);
}

void SongDocument::OpenCommand() {
  if (!AskDiscard()) return;
  std::string title = settings_.FileDialogType == 1 ? "MIDIファイルを開く" : "";
  std::string file = prompt_.ChooseOpenFile(title, settings_.Open, kMidiOpenFilter);
  if (!file.empty()) OpenFile(file);
}

void SongDocument::OpenHistory(const std::string& path) {
  if (AskDiscard()) OpenFile(path);
}

void SongDocument::OpenTemplate(const std::string& path) {
  if (!AskDiscard()) return;
  if (OpenSong(path)) {
    song_.Copyright = DefaultCopyright();
  } else {
    NewSong(false);
  }
}

bool SongDocument::SaveCommand() {
  std::string old;
  bool kept = false;
  if (ReadWholeFile(DocumentName, old) && DocumentName != BackupFile()) {
    // The previous version is kept; a failure here does not stop the save,
    // which itself never damages the old file.
    kept = WriteFileAtomically(BackupFile(), old);
    if (!kept) song_.LogLine("_BACKUP.MID could not be written");
  }
  // Only with that copy may a file in a folder we cannot create files in be
  // overwritten in place.
  if (!SaveSong(DocumentName, kept ? FolderReadOnly::WriteInPlace : FolderReadOnly::Fail)) return false;
  settings_.Open = DocumentName;
  Save1Enabled = true;
  song_.SongSaved = true;
  AddHistory(DocumentName);
  SetTitle();
  return true;
}

bool SongDocument::SaveAsCommand() {
  std::string title = settings_.FileDialogType == 1 ? "MIDIファイルを保存" : "";
  std::string suffix = settings_.FileDialogType == 1 ? "mid" : "MID";
  std::string file = prompt_.ChooseSaveFile(title, DocumentName, kMidiSaveFilter, suffix);
  if (file.empty()) return false;
  SetDocumentName(file);
  return SaveCommand();
}

void SongDocument::SaveAsFormat0Command() {
  std::string file = prompt_.ChooseSaveFile("", Format0Name, kMidiSaveFilter, "MID");
  if (file.empty()) return;
  Stop();
  if (SaveSongFile(song_, file, true)) {
    song_.LogLine(Format("ConvedFileSize: %lld", FileSize(file)));
    Format0Name = file;
  } else {
    prompt_.ShowError(kMsgWriteFailed);
  }
}

bool SongDocument::OpenHandedFile(const std::string& path) {
  std::string ext = UpperExtension(path);
  if (ext.empty() || std::string("*.MID;*.RMI").find(ext) == std::string::npos) return false;
  OpenFile(path);
  return true;
}

void SongDocument::OnTimerBackup() {
  if (timedBackupRunning_ || !(settings_.BackupConds & 1) || BackupCurrent) return;
  auto due = lastBackup_ + std::chrono::milliseconds(int64_t(settings_.BackupInterval) * 60000);
  if (Clock::now() < due) return;
  // The failure message is modal and the timer keeps firing behind it; and a
  // backup that failed (its folder gone, the disk full) waits a whole interval
  // before the next try instead of stopping playback and showing the message
  // again every ten seconds.
  timedBackupRunning_ = true;
  if (!WriteBackup()) lastBackup_ = Clock::now();
  timedBackupRunning_ = false;
}

void SongDocument::CountEdit() {
  BackupCurrent = false;
  ++EditsSinceBackup;
  const bool playing = Hooks.IsPlaying && Hooks.IsPlaying();
  if ((settings_.BackupConds & 2) && EditsSinceBackup >= settings_.BackupUndoCount && !playing) WriteBackup();
}

bool SongDocument::OpenExTrack(const std::string& fileName) {
  bool saved = song_.SongSaved;
  Busy(true);
  LoadedSmf file;
  TSmfHeader header;
  bool ok = LoadFileImage(fileName, file, song_, prompt_, converter_) &&
            ReadSmfHeader(file, header, song_.TPQN, song_, prompt_);
  if (ok) {
    CloseExTrack();
    ReadExTrackTracks(song_, file, header);
    for (int t = kExTrackBase; t <= song_.ExLastTrack && t < kAllTracks; ++t) {
      std::string measure = "___";
      if (song_.Tracks[t].HasData())
        measure = Format("%.3d", song_.Maps.TickToMeasure(song_.TrackEnds[t]).Measure).substr(0, 3);
      ExTrackList.push_back(
          Format("%.2d(%s): %s", t - kExTrackBase, measure.c_str(), DisplayText(song_.TrackNames[t]).c_str()));
    }
    exTrackOpen_ = true;
    settings_.ExTrack = fileName;
    song_.LogLine("\r\n<< " + song_.TrackNames[kExTrackBase] + " >>\r\n");
    if (Hooks.ExTrackChanged) Hooks.ExTrackChanged();
  }
  Busy(false);
  song_.SongSaved = saved;
  return ok;
}

void SongDocument::OpenExTrackCommand() {
  std::string file = prompt_.ChooseOpenFile("", settings_.ExTrack, kMidiOpenFilter);
  if (!file.empty()) OpenExTrack(file);
}

void SongDocument::CloseExTrack() {
  song_.ClearExTrack();
  ExTrackList.clear();
  exTrackOpen_ = false;
  if (Hooks.ExTrackChanged) Hooks.ExTrackChanged();
}

void SongDocument::OpenAtStart(bool lastRunAbnormal, const std::string& commandLineFile) {
  if (settings_.AutoSave || lastRunAbnormal) {
    // No temporary file yet (the first run with AutoSave): nothing to recover,
    // and nothing to complain about.
    if (FileExists(TempFile()) && OpenSong(TempFile())) {
      song_.SongSaved = false;
      BackupCurrent = false;
      // A song that had no file of its own when it was backed up keeps the
      // untitled name: Save must not overwrite the last opened file with it.
      if (!lastRunAbnormal && settings_.TemporaryNamed) {
        Save1Enabled = true;
        SetDocumentName(settings_.Open);
      }
      Caption = std::string(kTitlePrefix) + "[TemporaryFile] - " + DocumentName;
      if (Hooks.TitleChanged) Hooks.TitleChanged(Caption);
    }
  } else if (settings_.AutoOpen) {
    OpenFile(settings_.Open);
  } else if (!commandLineFile.empty()) {
    OpenHandedFile(commandLineFile);
  }
}

}  // namespace melko
