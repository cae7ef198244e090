// Song documents through the real main window: New, Open, Save with its
// backup copy and its failures, the automatic backups and the recovery at
// start, the second start handing over a file, the ExTrack, RCP import,
// templates and closing.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAction>
#include <QCursor>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalSocket>
#include <filesystem>
#include <sstream>
#include <thread>

#include "app/extrack_form.h"
#include "app/log_form.h"
#include "app/rcp_converter.h"
#include "app/single_instance.h"
#include "app/song_setup_dlg.h"
#include "app_rig.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"
#include "song/song_cli.h"
#include "song/track_ops.h"

namespace melko::test {
namespace {

// Changes the song the way an edit does.
void Touch(Song& song) {
  song.SetSongTempo(97);
  song.RebuildMaps();
  song.SongSaved = false;
}

TEST(Document, NewAsksOnlyWithUnsavedChanges) {
  AppRig rig;
  rig.Start();
  rig.prompt.OnExec = [](QDialog&) { return false; };  // the Song Setup dialog: Cancel
  rig.doc().NewFileCommand(true);
  EXPECT_TRUE(rig.prompt.Questions.empty());

  Touch(rig.song());
  rig.prompt.YesNo = {false};
  rig.doc().NewFileCommand(true);
  ASSERT_EQ(rig.prompt.Questions.size(), 1u);
  EXPECT_EQ(rig.prompt.Questions[0], "現在編集中のデータを破棄しますか？");
  EXPECT_EQ(rig.song().GetSongTempo(), 97u);  // No keeps the song

  rig.prompt.YesNo = {true};
  rig.doc().NewFileCommand(true);
  EXPECT_EQ(rig.song().GetSongTempo(), 120u);
  EXPECT_TRUE(rig.song().SongSaved);
  EXPECT_EQ(rig.song().TrackNames[0], "Untitled");
  EXPECT_EQ(rig.song().Copyright.rfind("(C) ", 0), 0u);
  EXPECT_FALSE(rig.form->Save1->isEnabled());
  EXPECT_EQ(rig.form->windowTitle().toStdString(), "MELKO98 - " + rig.ProgramDir + "UNTITLED.MID");
}

TEST(Document, NewFromTheMenuShowsSongSetupWithTheTimebase) {
  AppRig rig;
  rig.Start();
  bool resoVisible = false;
  rig.prompt.OnExec = [&](QDialog& d) {
    auto& dlg = static_cast<TSongSetupDlg&>(d);
    resoVisible = !dlg.cmbReso->isHidden();
    dlg.edSongName->setText(QStringLiteral("曲"));
    dlg.cmbReso->setEditText(QStringLiteral("96"));
    return true;
  };
  rig.form->mnuNewFile->trigger();
  EXPECT_TRUE(resoVisible);
  EXPECT_EQ(rig.song().TPQN, 96);
  EXPECT_EQ(rig.song().Maps.MeterMap.front().TicksPerBeat, 96u);

  // From the Song menu item the timebase is hidden and a bad number keeps it.
  rig.prompt.OnExec = [&](QDialog& d) {
    auto& dlg = static_cast<TSongSetupDlg&>(d);
    resoVisible = !dlg.cmbReso->isHidden();
    dlg.cmbReso->setEditText(QStringLiteral("abc"));
    return true;
  };
  rig.form->mnuSongSetUp->trigger();
  EXPECT_FALSE(resoVisible);
  EXPECT_EQ(rig.song().TPQN, 96);
  EXPECT_FALSE(rig.song().SongSaved);
}

TEST(Document, OpenSetsNameHistoryTitleAndRangeAndLogs) {
  AppRig rig;
  rig.Start();
  std::string file = rig.ProgramDir + "a.mid";
  MakeSongFile(file, 4, 240, "Alpha");
  rig.prompt.Files = {file};
  rig.form->Open1->trigger();
  EXPECT_EQ(rig.doc().DocumentName, file);
  EXPECT_EQ(rig.doc().Format0Name, rig.ProgramDir + "F0_a.mid");
  EXPECT_TRUE(rig.form->Save1->isEnabled());
  EXPECT_EQ(rig.form->windowTitle().toStdString(), "MELKO98 - " + file);
  ASSERT_FALSE(rig.form->Settings().MidiFiles.Entries.empty());
  EXPECT_EQ(rig.form->Settings().MidiFiles.Entries[0].Path, file);
  EXPECT_EQ(rig.form->Range().EditToTick, 240u);
  EXPECT_TRUE(rig.form->LogForm()->Text().contains(QStringLiteral("<< Alpha >>")));
  EXPECT_TRUE(rig.form->LogForm()->Text().contains(QStringLiteral("TPQN: 240")));
}

TEST(Document, FailedLoadKeepsTheSongAndShowsTheMessage) {
  AppRig rig;
  rig.Start();
  std::string good = rig.ProgramDir + "good.mid";
  MakeSongFile(good, 2);
  rig.doc().OpenFile(good);
  std::string bad = rig.ProgramDir + "bad.mid";
  WriteFile(bad, "not a midi file at all, just text that is long enough");
  bool busyDuringLoad = false;
  rig.prompt.OnError = [&](const std::string&) {
    busyDuringLoad = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
  };
  rig.doc().OpenFile(bad);
  EXPECT_TRUE(busyDuringLoad);  // the hourglass while loading
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  ASSERT_EQ(rig.prompt.Errors.size(), 1u);
  EXPECT_EQ(rig.prompt.Errors[0], bad + " の読込みに失敗しました！");
  EXPECT_EQ(rig.doc().DocumentName, good);
  EXPECT_EQ(rig.song().TrackNames[0], "Test");
}

TEST(Document, SaveLeavesThePreviousVersionInBackup) {
  AppRig rig;
  rig.Start();
  std::string file = rig.ProgramDir + "song.mid";
  std::string first = MakeSongFile(file, 3);
  rig.doc().OpenFile(file);
  Touch(rig.song());
  rig.form->Save1->trigger();
  EXPECT_TRUE(rig.prompt.Errors.empty());
  EXPECT_EQ(ReadFile(rig.DataDir + "_BACKUP.MID"), first);
  EXPECT_NE(ReadFile(file), first);
  EXPECT_TRUE(rig.song().SongSaved);
  // The side data went to FILEINFO.INI under the file's name.
  std::string info = ReadFile(rig.DataDir + "FILEINFO.INI");
  EXPECT_NE(info.find("[song.mid]"), std::string::npos);
  EXPECT_NE(info.find("FileName=" + file), std::string::npos);
}

// Makes a folder refuse new files (or a file refuse writes): by its
// permission bits, or for root (who writes anywhere) by the immutable
// attribute. False when neither works here.
bool SetFolderReadOnly(const std::string& folder, bool readOnly) {
  if (geteuid() != 0) {
    std::filesystem::permissions(folder, readOnly ? std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::owner_exec
                                                  : std::filesystem::perms::owner_all);
    return true;
  }
  int fd = open(folder.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = readOnly ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return ok;
}

// A save that cannot write keeps the old file byte for byte and the song unsaved.
TEST(Document, FailedSavesLeaveTheOldFileIntact) {
  struct Case {
    const char* name;
    bool readOnlyFolder;
  } cases[] = {{"read-only folder and file", true}, {"write fails midway", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AppRig rig;
    rig.Start();
    std::string folder = rig.ProgramDir + "out/";
    std::filesystem::create_directories(folder);
    std::string file = folder + "song.mid";
    std::string old = MakeSongFile(file, 40);
    rig.doc().OpenFile(file);
    Touch(rig.song());
    rig.prompt.Errors.clear();
    if (c.readOnlyFolder) {
      if (!SetFolderReadOnly(file, true) || !SetFolderReadOnly(folder, true)) {
        ADD_FAILURE() << "cannot make a read-only folder here";
        continue;
      }
      rig.form->Save1->trigger();
      SetFolderReadOnly(folder, false);
      SetFolderReadOnly(file, false);
    } else {
      // The file system refuses every byte past the first 100 of a file.
      struct rlimit oldLimit {};
      getrlimit(RLIMIT_FSIZE, &oldLimit);
      struct rlimit small = oldLimit;
      small.rlim_cur = 100;
      auto oldHandler = signal(SIGXFSZ, SIG_IGN);
      setrlimit(RLIMIT_FSIZE, &small);
      rig.doc().SaveSong(file);
      setrlimit(RLIMIT_FSIZE, &oldLimit);
      signal(SIGXFSZ, oldHandler);
    }
    ASSERT_EQ(rig.prompt.Errors.size(), 1u);
    EXPECT_EQ(rig.prompt.Errors[0], "ファイルの書込みに失敗しました。");
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_FALSE(rig.song().SongSaved);
    // No temporary file is left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
  }
}

// A file we may write in a folder we may not create files in is saved in
// place, once its previous version is in _BACKUP.MID.
TEST(Document, AWritableFileInAReadOnlyFolderIsSavedInPlace) {
  AppRig rig;
  rig.Start();
  std::string folder = rig.ProgramDir + "shared/";
  std::filesystem::create_directories(folder);
  std::string file = folder + "song.mid";
  std::string old = MakeSongFile(file, 40);
  rig.doc().OpenFile(file);
  rig.song().Tracks[1].Free();  // the new version is shorter than the old
  Touch(rig.song());
  rig.prompt.Errors.clear();
  if (!SetFolderReadOnly(folder, true)) GTEST_SKIP() << "cannot make a read-only folder here";
  if (geteuid() != 0) std::filesystem::permissions(file, std::filesystem::perms::owner_all);
  rig.form->Save1->trigger();
  SetFolderReadOnly(folder, false);
  EXPECT_TRUE(rig.prompt.Errors.empty());
  EXPECT_TRUE(rig.song().SongSaved);
  EXPECT_EQ(ReadFile(rig.DataDir + "_BACKUP.MID"), old);
  std::string saved = ReadFile(file);
  EXPECT_NE(saved, old);
  EXPECT_LT(saved.size(), old.size());
  Song back;
  std::ostringstream errors;
  StreamPrompt prompt(errors);
  ASSERT_TRUE(OpenSongFile(back, file, prompt));
  EXPECT_FALSE(back.Tracks[1].HasData());
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(folder)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST(Document, ConvertCommandReportsAFailedWriteAndKeepsTheTarget) {
  TempDir dir;
  std::string in = dir.Path() + "in.mid";
  std::string out = dir.Path() + "out.mid";
  MakeSongFile(in, 40);
  std::string old = MakeSongFile(out, 2);
  std::ostringstream log, err;
  struct rlimit oldLimit {};
  getrlimit(RLIMIT_FSIZE, &oldLimit);
  struct rlimit small = oldLimit;
  small.rlim_cur = 200;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  int status = RunConvert({"--convert", in, out}, log, err);
  setrlimit(RLIMIT_FSIZE, &oldLimit);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.str().find("ファイルの書込みに失敗しました。"), std::string::npos);
  EXPECT_EQ(ReadFile(out), old);
}

TEST(Document, SaveAsFormat0LeavesTheDocumentAlone) {
  AppRig rig;
  rig.Start();
  std::string file = rig.ProgramDir + "song.mid";
  MakeSongFile(file, 2);
  rig.doc().OpenFile(file);
  Touch(rig.song());
  std::string f0 = rig.ProgramDir + "F0_song.mid";
  rig.prompt.Files = {f0};
  rig.form->mnuSaveAsFormat0->trigger();
  std::string bytes = ReadFile(f0);
  ASSERT_GT(bytes.size(), 14u);
  EXPECT_EQ(bytes[9], 0);  // format 0
  EXPECT_TRUE(rig.form->LogForm()->Text().contains(QStringLiteral("ConvedFileSize: %1").arg(bytes.size())));
  EXPECT_EQ(rig.doc().DocumentName, file);
  EXPECT_FALSE(rig.song().SongSaved);
}

TEST(Document, SaveAlwaysFormat0AppliesToEverySave) {
  AppRig rig;
  rig.Start();
  rig.form->mnuSaveAlwaysSmfFormat0->trigger();
  EXPECT_TRUE(rig.form->Settings().SaveAlwaysSmfFormat0);
  std::string file = rig.ProgramDir + "new.mid";
  rig.prompt.Files = {file};
  rig.form->SaveAs1->trigger();
  std::string bytes = ReadFile(file);
  ASSERT_GT(bytes.size(), 14u);
  EXPECT_EQ(bytes[9], 0);
  EXPECT_EQ(rig.doc().DocumentName, file);
  EXPECT_TRUE(rig.form->Save1->isEnabled());
}

TEST(Document, AutoSaveWritesTheTemporaryFileAndTheNextStartReloadsIt) {
  AppRig rig("[User]\r\nAutoSave=1\r\n");
  rig.Start();
  EXPECT_NE(rig.Ini().find("TerminatedAbnormally=1"), std::string::npos);
  std::string file = rig.ProgramDir + "song.mid";
  MakeSongFile(file, 2);
  rig.doc().OpenFile(file);
  Touch(rig.song());
  ASSERT_TRUE(rig.Close());
  EXPECT_TRUE(rig.prompt.Questions.empty());
  EXPECT_TRUE(Exists(rig.DataDir + "_TEMP.MID"));
  EXPECT_NE(rig.Ini().find("TerminatedAbnormally=0"), std::string::npos);

  rig.Restart();
  EXPECT_EQ(rig.form->windowTitle().toStdString(), "MELKO98 - [TemporaryFile] - " + file);
  EXPECT_EQ(rig.song().GetSongTempo(), 97u);
  EXPECT_FALSE(rig.song().SongSaved);
  EXPECT_TRUE(rig.form->Save1->isEnabled());
  EXPECT_TRUE(rig.prompt.Errors.empty());
}

TEST(Document, AnUntitledSongBackedUpAtExitDoesNotTakeTheLastFilesName) {
  AppRig rig("[User]\r\nAutoSave=1\r\n");
  rig.Start();
  std::string file = rig.ProgramDir + "song.mid";
  std::string old = MakeSongFile(file, 2);
  rig.doc().OpenFile(file);
  rig.doc().NewFileCommand(false);  // a new song, never saved
  Touch(rig.song());
  ASSERT_TRUE(rig.Close());

  rig.Restart();
  EXPECT_EQ(rig.form->windowTitle().toStdString(), "MELKO98 - [TemporaryFile] - " + rig.ProgramDir + "UNTITLED.MID");
  EXPECT_EQ(rig.song().GetSongTempo(), 97u);
  EXPECT_FALSE(rig.song().SongSaved);
  EXPECT_FALSE(rig.form->Save1->isEnabled());
  rig.form->Save1->trigger();
  EXPECT_EQ(ReadFile(file), old);

  // Saved under a name, the next AutoSave exit gives that name back.
  std::string named = rig.ProgramDir + "named.mid";
  rig.prompt.Files = {named};
  ASSERT_TRUE(rig.doc().SaveAsCommand());
  Touch(rig.song());
  ASSERT_TRUE(rig.Close());
  rig.Restart();
  EXPECT_EQ(rig.form->windowTitle().toStdString(), "MELKO98 - [TemporaryFile] - " + named);
  EXPECT_TRUE(rig.form->Save1->isEnabled());
}

TEST(Document, AFailedBackupAtExitAsksBeforeTheChangesAreLost) {
  AppRig rig;
  std::string temp = rig.ProgramDir + "tmp/";
  std::filesystem::create_directories(temp);
  WriteFile(rig.DataDir + "MELKO.INI", "[User]\r\nAutoSave=1\r\n[Files]\r\nTemporary=" + temp + "\r\n");
  rig.Start();
  Touch(rig.song());
  std::filesystem::remove_all(temp);
  rig.prompt.YesNoCancel = {UserPrompt::kCancel};
  EXPECT_FALSE(rig.Close());
  ASSERT_EQ(rig.prompt.Errors.size(), 1u);
  EXPECT_EQ(rig.prompt.Errors[0], "ファイルの書込みに失敗しました。");
  ASSERT_EQ(rig.prompt.Questions.size(), 1u);
  EXPECT_EQ(rig.prompt.Questions[0], "データは保存されていません。保存しますか？");
  EXPECT_EQ(rig.song().GetSongTempo(), 97u);  // the song is still there

  // Once the backup can be written again, closing needs no question.
  std::filesystem::create_directories(temp);
  EXPECT_TRUE(rig.Close());
  EXPECT_EQ(rig.prompt.Questions.size(), 1u);
  EXPECT_TRUE(Exists(temp + "_TEMP.MID"));
}

TEST(Document, AbnormalEndIsReportedAndTheTemporaryFileRecovered) {
  AppRig rig("[Error]\r\nTerminatedAbnormally=True\r\n[Files]\r\nOpen=/somewhere/x.mid\r\n");
  MakeSongFile(rig.DataDir + "_TEMP.MID", 2, 480, "Lost work");
  rig.Start();
  ASSERT_FALSE(rig.prompt.Errors.empty());
  EXPECT_EQ(rig.prompt.Errors[0], "前回、異常終了しましたので、テンポラリファイルの読込みを試みます。");
  EXPECT_EQ(rig.song().TrackNames[0], "Lost work");
  EXPECT_FALSE(rig.song().SongSaved);
  EXPECT_FALSE(rig.form->Save1->isEnabled());
  EXPECT_EQ(rig.form->windowTitle().toStdString(), "MELKO98 - [TemporaryFile] - /somewhere/UNTITLED.MID");
}

TEST(Document, AutoOpenAndCommandLineAtStart) {
  std::string ini;
  {
    AppRig rig;
    std::string file = rig.ProgramDir + "cmd.mid";
    MakeSongFile(file, 2, 480, "Cmd");
    rig.Start(file);
    EXPECT_EQ(rig.doc().DocumentName, file);
    EXPECT_EQ(rig.song().TrackNames[0], "Cmd");
  }
  AppRig rig;
  std::string last = rig.ProgramDir + "last.mid";
  MakeSongFile(last, 2, 480, "Last");
  WriteFile(rig.DataDir + "MELKO.INI", "[User]\r\nAutoOpen=1\r\n[Files]\r\nOpen=" + last + "\r\n");
  rig.Start();
  EXPECT_EQ(rig.song().TrackNames[0], "Last");
}

TEST(Document, MissingTemporaryFolderFallsBackToTheDataFolder) {
  AppRig rig("[Files]\r\nTemporary=/no/such/folder/\r\n");
  rig.Start();
  ASSERT_EQ(rig.prompt.Errors.size(), 1u);
  EXPECT_EQ(rig.prompt.Errors[0], "/no/such/folder/Temporaryパスが存在しません。\r\n\r\n");
  EXPECT_EQ(rig.form->Settings().Temporary, rig.DataDir);
  EXPECT_NE(rig.Ini().find("Temporary=" + rig.DataDir), std::string::npos);
}

TEST(Document, TimedBackupWritesTheTemporaryFileAndStopsPlayback) {
  AppRig rig("[User]\r\nBackupConds=1\r\nBackupInterval=1\r\n");
  rig.Start();
  std::string file = rig.ProgramDir + "song.mid";
  MakeSongFile(file, 8);
  rig.doc().OpenFile(file);
  rig.doc().OnTimerBackup();
  EXPECT_FALSE(Exists(rig.DataDir + "_TEMP.MID"));  // nothing changed
  rig.doc().CountEdit();
  rig.doc().OnTimerBackup();
  EXPECT_FALSE(Exists(rig.DataDir + "_TEMP.MID"));  // not yet a minute
  rig.form->Play(TMkMainForm::kPlaySong);
  ASSERT_TRUE(rig.form->IsPlaying());
  rig.doc().SetBackupClockForTest(SongDocument::Clock::now() - std::chrono::seconds(61));
  rig.doc().OnTimerBackup();
  EXPECT_TRUE(Exists(rig.DataDir + "_TEMP.MID"));
  EXPECT_FALSE(rig.form->IsPlaying());
  EXPECT_TRUE(rig.doc().BackupCurrent);
}

TEST(Document, FailedTimedBackupWaitsAnotherIntervalAndIsNotReentered) {
  AppRig rig("[User]\r\nBackupConds=1\r\nBackupInterval=1\r\n");
  std::string temp = rig.ProgramDir + "tmp/";
  std::filesystem::create_directories(temp);
  WriteFile(rig.DataDir + "MELKO.INI",
            "[User]\r\nBackupConds=1\r\nBackupInterval=1\r\n[Files]\r\nTemporary=" + temp + "\r\n");
  rig.Start();
  std::filesystem::remove_all(temp);  // the folder goes away while the program runs
  rig.doc().CountEdit();
  // The timer keeps firing while the message box is open.
  rig.prompt.OnError = [&](const std::string&) { rig.doc().OnTimerBackup(); };
  rig.doc().SetBackupClockForTest(SongDocument::Clock::now() - std::chrono::seconds(61));
  rig.doc().OnTimerBackup();
  ASSERT_EQ(rig.prompt.Errors.size(), 1u);
  EXPECT_EQ(rig.prompt.Errors[0], "ファイルの書込みに失敗しました。");
  EXPECT_FALSE(rig.doc().BackupCurrent);
  // The next ticks of the 10-second timer do not try again at once.
  rig.doc().OnTimerBackup();
  EXPECT_EQ(rig.prompt.Errors.size(), 1u);
  // After another interval it tries again, and succeeds once the folder is back.
  std::filesystem::create_directories(temp);
  rig.doc().SetBackupClockForTest(SongDocument::Clock::now() - std::chrono::seconds(61));
  rig.doc().OnTimerBackup();
  EXPECT_EQ(rig.prompt.Errors.size(), 1u);
  EXPECT_TRUE(Exists(temp + "_TEMP.MID"));
  EXPECT_TRUE(rig.doc().BackupCurrent);
}

TEST(Document, EditCountBackup) {
  AppRig rig("[User]\r\nBackupConds=2\r\nBackupUndoCount=3\r\n");
  rig.Start();
  rig.doc().CountEdit();
  rig.doc().CountEdit();
  EXPECT_FALSE(Exists(rig.DataDir + "_TEMP.MID"));
  rig.doc().CountEdit();
  EXPECT_TRUE(Exists(rig.DataDir + "_TEMP.MID"));
  EXPECT_EQ(rig.doc().EditsSinceBackup, 0);
}

TEST(Document, EditCountBackupWaitsWhilePlaying) {
  AppRig rig("[User]\r\nBackupConds=2\r\nBackupUndoCount=1\r\n");
  rig.Start();
  std::string file = rig.ProgramDir + "song.mid";
  MakeSongFile(file, 8);
  rig.doc().OpenFile(file);
  rig.form->Play(TMkMainForm::kPlaySong);
  ASSERT_TRUE(rig.form->IsPlaying());
  rig.doc().CountEdit();
  EXPECT_TRUE(rig.form->IsPlaying());  // an edit while playing neither stops the song
  EXPECT_FALSE(Exists(rig.DataDir + "_TEMP.MID"));  // nor writes the backup
  rig.form->StopPlay();
  rig.doc().CountEdit();
  EXPECT_TRUE(Exists(rig.DataDir + "_TEMP.MID"));
}

TEST(Document, CloseAsksAndCancelKeepsTheWindowOpen) {
  AppRig rig;
  rig.Start();
  Touch(rig.song());
  rig.prompt.YesNoCancel = {UserPrompt::kCancel};
  EXPECT_FALSE(rig.Close());
  EXPECT_EQ(rig.prompt.Questions.back(), "データは保存されていません。保存しますか？");
  // Yes on an untitled song asks for a name; no name keeps the window open.
  rig.prompt.YesNoCancel = {UserPrompt::kYes};
  EXPECT_FALSE(rig.Close());
  rig.prompt.YesNoCancel = {UserPrompt::kYes};
  rig.prompt.Files = {rig.ProgramDir + "kept.mid"};
  EXPECT_TRUE(rig.Close());
  EXPECT_TRUE(Exists(rig.ProgramDir + "kept.mid"));
}

TEST(Document, SetupTemplateLoadsWithANewCopyrightAndNoName) {
  AppRig rig;
  rig.Start();
  auto& templates = rig.form->Settings().SetupTemplates.Entries;
  ASSERT_EQ(templates.size(), 1u);
  EXPECT_EQ(templates[0].Caption, "DefaultTemplate");
  EXPECT_EQ(templates[0].Path, rig.DataDir + "_SETUP.MID");
  rig.doc().OpenTemplate(templates[0].Path);
  EXPECT_EQ(rig.song().TrackNames[0], "Setup");
  EXPECT_EQ(rig.song().Copyright, rig.doc().DefaultCopyright());
  EXPECT_EQ(rig.doc().DocumentName, rig.ProgramDir + "UNTITLED.MID");
  EXPECT_FALSE(rig.form->Save1->isEnabled());
  // A template that cannot be loaded gives a new empty song.
  rig.doc().OpenTemplate(rig.ProgramDir + "missing.mid");
  EXPECT_EQ(rig.song().TrackNames[0], "Untitled");
}

// Waits for `done` while the event loop runs.
template <typename F>
bool SpinUntil(F done, int ms = 3000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

TEST(Document, SecondStartHandsOverMidiFilesOnly) {
  AppRig rig;
  rig.Start();
  QString name = QStringLiteral("melko-test-%1-%2").arg(getpid()).arg(reinterpret_cast<quintptr>(&rig));
  SingleInstance first(name);
  ASSERT_TRUE(first.Listen());
  first.SetReady(true);
  QObject::connect(&first, &SingleInstance::PathReceived, rig.form.get(), &TMkMainForm::OpenHandedFile);
  Touch(rig.song());  // unsaved changes are replaced without a question

  struct Case {
    const char* name;
    const char* file;
    bool opened;
  } cases[] = {{"upper-case .MID", "HANDED.MID", true},
               {"lower-case .mid", "handed2.mid", true},
               {"another extension", "notes.txt", false},
               {"no extension", "README", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = rig.ProgramDir + c.file;
    MakeSongFile(file, 2, 480, c.file);
    bool handed = false;
    std::thread second([&] {
      SingleInstance client(name);
      handed = client.HandOver(file, 3000) == SingleInstance::kTaken;
    });
    bool opened = SpinUntil([&] { return rig.doc().DocumentName == file; }, c.opened ? 3000 : 500);
    second.join();
    EXPECT_TRUE(handed);
    EXPECT_EQ(opened, c.opened);
  }
  EXPECT_TRUE(rig.prompt.Questions.empty());
  // No instance listening: the hand-over fails and the caller starts normally.
  SingleInstance nobody(name + QStringLiteral("-none"));
  EXPECT_EQ(nobody.HandOver("x.mid", 200), SingleInstance::kNoServer);
}

TEST(Document, ExTrackListsCopiesAndMergesItsConductorTrack) {
  AppRig rig;
  rig.Start();
  std::string ex = rig.ProgramDir + "ex.mid";
  {
    Song song;
    song.ClearSong();
    song.TrackNames[1] = "Lead";
    song.TrackNames[2] = "Empty";
    ApplySongLoaded(song);
    TMidiEvent tempo;
    tempo.Time = 1920;
    tempo.Status = 0xFF;
    tempo.Data1 = 0x51;
    tempo.Len = 3;
    tempo.Value = 400000;
    song.InsertEvent(0, tempo, false);
    TMidiEvent note;
    note.Time = 3840;
    note.Status = 0x90;
    note.Data1 = 64;
    note.Data2 = 90;
    note.Data3 = 64;
    note.Value = 480;
    song.InsertEvent(1, note, false);
    song.Tracks[2].Touch();
    ASSERT_TRUE(SaveSongFile(song, ex, false));
  }
  bool savedBefore = rig.song().SongSaved;
  rig.prompt.Files = {ex};
  rig.form->mnuOpenExTrack->trigger();
  EXPECT_EQ(rig.song().SongSaved, savedBefore);
  ASSERT_TRUE(rig.form->mnuCloseExTrack->isEnabled());
  QListWidget* list = rig.form->ExTrackForm()->lbxExTrack;
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("01(003): Lead"));
  EXPECT_EQ(list->item(2)->text(), QStringLiteral("02(___): Empty"));

  list->item(1)->setSelected(true);
  rig.form->ExTrackForm()->CopyClick();
  EXPECT_EQ(rig.song().ClipTrackSpan, 0);
  EXPECT_EQ(rig.song().ClipLength, rig.song().TrackEnds[kExTrackBase + 1] + 1);
  EXPECT_TRUE(rig.song().Clipboard[0].HasData());

  rig.form->ExTrackForm()->MergeConductorClick();
  ASSERT_EQ(rig.song().Maps.TempoMap.size(), 2u);
  EXPECT_EQ(rig.song().Maps.TempoMap[1].Tick, 1920u);
  EXPECT_EQ(rig.song().Maps.TempoMap[1].Tempo, 400000u);
  EXPECT_EQ(rig.song().ClipLength, 0u);
  EXPECT_FALSE(rig.song().SongSaved);

  rig.form->mnuCloseExTrack->trigger();
  EXPECT_EQ(list->count(), 0);
  EXPECT_FALSE(rig.form->mnuShowExTrack->isEnabled());
  EXPECT_FALSE(rig.song().Tracks[kExTrackBase + 1].HasData());
}

TEST(Document, RcpImportNeedsTheConverterLibrary) {
  AppRig rig;
  rig.Start();
  std::string rcp = rig.ProgramDir + "old.RCP";
  WriteFile(rcp, std::string(70, 'R'));
  rig.doc().OpenFile(rcp);
  ASSERT_FALSE(rig.prompt.Errors.empty());
  EXPECT_EQ(rig.prompt.Errors[0], "RCPCV.DLLのロードに失敗しました。");
  EXPECT_EQ(rig.song().TrackNames[0], "Untitled");
}

#ifdef MELKO_TEST_RCPCV
TEST(Document, RcpImportThroughTheConverterLeavesSaveDisabled) {
  AppRig rig;
  std::filesystem::copy_file(MELKO_TEST_RCPCV, rig.DataDir + "RCPCV.so");
  rig.Start();
  std::string rcp = rig.ProgramDir + "old.RCP";
  WriteFile(rcp, std::string(70, 'R'));
  rig.doc().OpenFile(rcp);
  EXPECT_TRUE(rig.prompt.Errors.empty());
  EXPECT_EQ(rig.doc().DocumentName, rcp);
  EXPECT_FALSE(rig.form->Save1->isEnabled());
  // The stand-in stores the source size (70) as the note's key.
  TrackWalker w(rig.song().Tracks[1]);
  ASSERT_FALSE(w.AtEnd());
  EXPECT_EQ(w.Next().Data1, 70);

  DlRcpConverter missingFunctions({rig.DataDir + "MELKO.INI"});
  EXPECT_FALSE(missingFunctions.Available());
}
#endif

}  // namespace
}  // namespace melko::test
