#include "app/song_document.h"

#include <sys/stat.h>

#include <ctime>
#include <new>

#include "app/file_info.h"
#include "app/out_of_memory.h"
#include "archive/archive_access.h"
#include "archive/archive_path.h"
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
const char* const kMsgSettingsFileUnreadable =
    " を読み込めませんでした。\r\n\r\nこのファイルには書き込みません。";

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
  // A file that is there but cannot be read is said once and never replaced.
  fileInfoReadable_ = FileInfo.Load(FileInfoPath);
  if (!fileInfoReadable_) prompt_.ShowError(FileInfoPath + kMsgSettingsFileUnreadable);
  SetDocumentName(FolderOf(settings_.Open) + kUntitled);
}

void SongDocument::SetDocumentName(const std::string& name) {
  DocumentName = name;
  Format0Name = FolderOf(name) + "F0_" + FileNameOf(name);
}

bool SongDocument::AskDiscard() {
  // A take still being recorded goes into the song first, so it is asked about.
  Stop();
  return song_.SongSaved || prompt_.AskYesNo(kMsgAskDiscard);
}

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
  SongNotifier::Batch batch(song_.Changes);  // the whole song, once, at the end
  ClearSong();
  song_.TrackNames[0] = "Untitled";
  song_.Copyright = DefaultCopyright();
  if (showSetup && Hooks.SongSetup) Hooks.SongSetup(true);
  ApplySongLoaded(song_);
  SongLoaded();
}

namespace {
// The part of a song that a load replaces (tracks 0..64 and everything that
// belongs to them; not the ExTrack, the options or the links), moved from one
// Song to another. The values stay in `from` as well, so that the clear that
// follows sees the old timebase as it always did.
void MoveSongPart(Song& from, Song& to) {
  for (int t = 0; t < kSongTracks; ++t) {
    to.Tracks[t] = std::move(from.Tracks[t]);
    to.Clipboard[t] = std::move(from.Clipboard[t]);
    to.TrackNames[t] = std::move(from.TrackNames[t]);
    to.Instrument[t] = std::move(from.Instrument[t]);
  }
  for (size_t t = 0; t < from.ShadowTracks.size(); ++t) to.ShadowTracks[t] = std::move(from.ShadowTracks[t]);
  to.Copyright = std::move(from.Copyright);
  to.Maps = std::move(from.Maps);
  std::copy_n(from.TrackEnds.begin(), kSongTracks, to.TrackEnds.begin());
  to.ClipLength = from.ClipLength;
  to.ClipTrackSpan = from.ClipTrackSpan;
  to.UndoFlags = from.UndoFlags;
  to.Mute = from.Mute;
  to.Rec = from.Rec;
  to.Ch = from.Ch;
  to.ProgramChange = from.ProgramChange;
  to.Pad = from.Pad;
  to.Delay = from.Delay;
  to.OutPort = from.OutPort;
  to.Clef = from.Clef;
  to.KanaOctave = from.KanaOctave;
  to.KanaTranspose = from.KanaTranspose;
  to.Solo = from.Solo;
  to.TPQN = from.TPQN;
  to.SongFormat = from.SongFormat;
  to.MeasureEnd = from.MeasureEnd;
  to.DrumChannels = from.DrumChannels;
  to.SongSaved = from.SongSaved;
  to.NoteOffStyle = from.NoteOffStyle;
  to.LastTrack = from.LastTrack;
  to.LoopBeginTick = from.LoopBeginTick;
  to.LoopEndTick = from.LoopEndTick;
  to.LoadedLastTick = from.LoadedLastTick;
}
}  // namespace

bool SongDocument::LoadSong(const std::string& fileName) {
  LoadedSmf file;
  TSmfHeader header;
  if (!LoadFileImage(fileName, file, song_, prompt_, converter_) || !CheckSongImage(file, header, song_, prompt_))
    return false;
  // From here on nothing asks the user: the old song waits aside, and comes
  // back when the new one does not fit into memory.
  Song held;
  MoveSongPart(song_, held);
  try {
    ReplaceSongWithImage(song_, file, header);
  } catch (const std::bad_alloc&) {
    file = LoadedSmf{};
    song_.ClearSong();
    MoveSongPart(held, song_);
    throw;
  }
  return true;
}

bool SongDocument::OpenSong(const std::string& fileName) {
  Stop();
  SongNotifier::Batch batch(song_.Changes);  // the whole song, once, at the end
  song_.Options.DefaultTPQN = static_cast<uint16_t>(settings_.TPQN);
  song_.Options.TPQNFixed = settings_.TPQNFixed;
  Busy(true);
  bool ok = false;
  try {
    ok = LoadSong(fileName);
  } catch (const std::bad_alloc&) {
    Busy(false);
    prompt_.ShowError(kMsgOutOfMemory);
    return false;
  }
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
  song_.SongReplaced();
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

void SongDocument::SaveFileInfo() {
  if (fileInfoReadable_) FileInfo.Save(FileInfoPath);
}

bool SongDocument::SaveSong(const std::string& fileName, FolderReadOnly readOnlyFolder) {
  Stop();
  bool saved = false;
  try {
    saved = SaveSongFile(song_, fileName, settings_.SaveAlwaysSmfFormat0, nullptr, readOnlyFolder);
  } catch (const std::bad_alloc&) {
    // The image did not fit into memory; the file on disk is as it was.
    prompt_.ShowError(kMsgOutOfMemory);
    return false;
  }
  if (!saved) {
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
  // The previous version of a member comes out of its archive.
  std::string archive, member;
  const bool inArchive = IsArchivePath(DocumentName) && !FileExists(DocumentName) &&
                         SplitArchivePath(DocumentName, archive, member);
  const bool hadOld = inArchive ? ExtractToMemory(archive, member, old, kMaxSongFileBytes)
                                : ReadWholeFile(DocumentName, old);
  if (hadOld && DocumentName != BackupFile()) {
    // The previous version is kept; a failure here does not stop the save,
    // which itself never damages the old file.
    kept = WriteFileAtomically(BackupFile(), old);
    if (!kept) song_.LogLine("_BACKUP.MIDを書き込めませんでした");
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
  SongNotifier::Batch batch(song_.Changes);  // the ExTrack's tracks, once the list is filled
  const bool saved = song_.SongSaved;
  try {
    return ReadExTrack(fileName, saved);
  } catch (const std::bad_alloc&) {
    // A part of the ExTrack is no ExTrack: it goes, the song stays.
    CloseExTrack();
    Busy(false);
    song_.SongSaved = saved;
    prompt_.ShowError(kMsgOutOfMemory);
    return false;
  }
}

bool SongDocument::ReadExTrack(const std::string& fileName, bool saved) {
  Busy(true);
  LoadedSmf file;
  TSmfHeader header;
  bool ok = LoadFileImage(fileName, file, song_, prompt_, converter_) &&
            ReadSmfHeader(file, header, song_.TPQN, song_, prompt_);
  if (ok) {
    CloseExTrack();
    ReadExTrackTracks(song_, file, header);
    for (int t = kExTrackBase; t <= song_.ExLastTrack && t < kAllTracks; ++t) {
      song_.TrackDataChanged(t);
      std::string measure = "___";
      if (song_.Tracks[t].HasData())
        measure = Format("%.3d", song_.Maps.TickToMeasure(song_.TrackEnds[t]).Measure).substr(0, 3);
      ExTrackList.push_back(
          Format("%.2d(%s): %s", t - kExTrackBase, measure.c_str(), DisplayText(song_.TrackNames[t]).c_str()));
    }
    exTrackOpen_ = true;
    settings_.ExTrack = fileName;
    song_.LogLine("\r\n<< " + song_.TrackNames[kExTrackBase] + " >>\r\n");
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
  // The list goes first: the notice of the cleared tracks shows it.
  ExTrackList.clear();
  exTrackOpen_ = false;
  song_.ClearExTrack();
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
