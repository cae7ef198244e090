// Settings in MELKO.INI, the per-file side data in FILEINFO.INI, the log
// window's trimming rule and the data files required at start.
#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QPushButton>
#include <QTimer>
#include <QScreen>
#include <cstdlib>
#include <filesystem>

#include "app/app_settings.h"
#include "app/file_info.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/user_prompt.h"
#include "app_rig.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"

namespace melko::test {
namespace {

TEST(Settings, DefaultsFromAnEmptyFile) {
  IniFile ini;
  AppSettings s;
  s.Load(ini, "/prog/", "/prog/MELKO/");
  EXPECT_FALSE(s.AutoOpen);
  EXPECT_FALSE(s.AutoSave);
  EXPECT_FALSE(s.AutoInit);
  EXPECT_EQ(s.ModuleSystem, 0);
  EXPECT_FALSE(s.TPQNFixed);
  EXPECT_EQ(s.TPQN, 480);
  EXPECT_EQ(s.BackupConds, 0);
  EXPECT_EQ(s.BackupInterval, 30);
  EXPECT_EQ(s.BackupUndoCount, 100);
  EXPECT_FALSE(s.ShowDocument);
  EXPECT_EQ(s.FileDialogType, 0);
  EXPECT_EQ(s.Open, "/prog/UNTITLED.MID");
  EXPECT_EQ(s.ExTrack, "/prog/UNTITLED.MID");
  EXPECT_EQ(s.Temporary, "/prog/MELKO/");
  EXPECT_FALSE(s.SaveAlwaysSmfFormat0);
  EXPECT_TRUE(s.TemporaryNamed);
  EXPECT_FALSE(s.TerminatedAbnormally);
  EXPECT_EQ(s.RepeatText, "1,2,4,8,16,32,64");
  EXPECT_TRUE(s.TimerSync);
  EXPECT_EQ(s.TimerSyncInterval, 55);
  EXPECT_TRUE(s.MidiFiles.Entries.empty());
}

TEST(Settings, RoundTripThroughTheIniFile) {
  AppSettings s;
  s.AutoOpen = s.AutoSave = s.AutoInit = s.TPQNFixed = s.ShowDocument = true;
  s.ModuleSystem = 2;
  s.TPQN = 96;
  s.BackupConds = 3;
  s.BackupInterval = 5;
  s.BackupUndoCount = 7;
  s.FileDialogType = 1;
  s.Open = "/music/a.mid";
  s.ExTrack = "/music/b.mid";
  s.Temporary = "/tmp/";
  s.SaveAlwaysSmfFormat0 = true;
  s.TemporaryNamed = false;
  s.TerminatedAbnormally = true;
  s.UserName = "山田";
  s.TimerSync = false;
  s.TimerSyncInterval = 20;
  s.AutoRewind = false;
  s.SyncOut = true;
  s.MidiFiles.AddToTop("/music/one.mid");
  s.MidiFiles.AddToTop("/music/two.mid");
  s.MidiFiles.AddToTop("/music/one.mid");
  s.SetupTemplates.Entries.push_back({"DefaultTemplate", "/data/_SETUP.MID"});
  IniFile ini;
  s.Save(ini);
  IniFile back;
  back.LoadFromBytes(ini.ToBytes());
  AppSettings r;
  r.Load(back, "/prog/", "/prog/MELKO/");
  EXPECT_TRUE(r.AutoOpen && r.AutoSave && r.AutoInit && r.TPQNFixed && r.ShowDocument);
  EXPECT_EQ(r.ModuleSystem, 2);
  EXPECT_EQ(r.TPQN, 96);
  EXPECT_EQ(r.BackupConds, 3);
  EXPECT_EQ(r.BackupInterval, 5);
  EXPECT_EQ(r.BackupUndoCount, 7);
  EXPECT_EQ(r.FileDialogType, 1);
  EXPECT_EQ(r.Open, s.Open);
  EXPECT_EQ(r.ExTrack, s.ExTrack);
  EXPECT_EQ(r.Temporary, "/tmp/");
  EXPECT_TRUE(r.SaveAlwaysSmfFormat0);
  EXPECT_FALSE(r.TemporaryNamed);
  EXPECT_TRUE(r.TerminatedAbnormally);
  EXPECT_EQ(r.UserName, "山田");
  EXPECT_FALSE(r.TimerSync);
  EXPECT_EQ(r.TimerSyncInterval, 20);
  EXPECT_FALSE(r.AutoRewind);
  EXPECT_TRUE(r.SyncOut);
  ASSERT_EQ(r.MidiFiles.Entries.size(), 2u);
  EXPECT_EQ(r.MidiFiles.Entries[0].Path, "/music/one.mid");
  EXPECT_EQ(r.MidiFiles.Entries[1].Caption, "two.mid");
  EXPECT_EQ(r.SetupTemplates.Entries, s.SetupTemplates.Entries);
}

TEST(Settings, WindowsRulesForValues) {
  IniFile ini;
  ini.LoadFromBytes("[user]\r\nautosave=True\r\nTPQN=$1E0\r\nBackupInterval=0x0A\r\nModuleSystem=9\r\n"
                    "[Files]\r\nTemporary=/t\r\n");
  AppSettings s;
  s.Load(ini, "/p/", "/p/MELKO/");
  EXPECT_TRUE(s.AutoSave);
  EXPECT_EQ(s.TPQN, 480);
  EXPECT_EQ(s.BackupInterval, 10);
  EXPECT_EQ(s.ModuleSystem, 2);
  EXPECT_EQ(s.Temporary, "/t/");
}

TEST(Settings, TheWindowWritesItsSettingsAtExitAndKeepsOtherKeys) {
  AppRig rig("; my notes\r\n[Port]\r\nPort0=1\r\n[Other]\r\nKeep=me\r\n[User]\r\nTPQN=240\r\n");
  rig.Start();
  EXPECT_EQ(rig.song().TPQN, 240);
  rig.form->mnuSaveAlwaysSmfFormat0->trigger();
  ASSERT_TRUE(rig.Close());
  std::string ini = rig.Ini();
  EXPECT_NE(ini.find("; my notes"), std::string::npos);
  EXPECT_NE(ini.find("Keep=me"), std::string::npos);
  EXPECT_NE(ini.find("SaveAlwaysSmfFormat0=1"), std::string::npos);
  EXPECT_NE(ini.find("TerminatedAbnormally=0"), std::string::npos);
  EXPECT_NE(ini.find("TPQN=240"), std::string::npos);
  EXPECT_NE(ini.find("[SetupTemplates]"), std::string::npos);
}

TEST(Settings, AbsolutePathKeepsTheBytesOfTheName) {
  const std::string cwd = std::filesystem::current_path().string();
  struct Case {
    const char* name;
    std::string given, want;
  } cases[] = {
      {"relative Shift-JIS name", "\x83\x65\x83\x58\x83\x67.mid", cwd + "/\x83\x65\x83\x58\x83\x67.mid"},
      {"dot segments are resolved", "a/../b.mid", cwd + "/b.mid"},
      {"absolute stays", "/x/y.mid", "/x/y.mid"},
      {"empty stays empty", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(AbsolutePath(c.given), c.want);
  }
}

TEST(FileInfo, RoundTripAndMissingFields) {
  Song song;
  song.ClearSong();
  song.TrackNames[0] = "Title";
  song.TrackNames[3] = "x";
  song.LastTrack = 3;
  song.Pad[1] = 0x24;
  song.Pad[3] = 0x7F;
  song.Clef[2] = 1;
  song.LoopBeginTick = 960;
  song.LoopEndTick = 7680;
  song.DrumChannels = 0x0600;
  RecordingRange rec{2, 3};
  IniFile info;
  WriteFileInfo(info, "/x/y/Song.MID", song, rec);
  EXPECT_NE(info.ToBytes().find("Pad=24 FF 7F \r\n"), std::string::npos);
  EXPECT_NE(info.ToBytes().find("Clef=00 01 00 \r\n"), std::string::npos);
  EXPECT_EQ(info.ReadInteger("Song.MID", "PreRange", 0), 12);
  EXPECT_EQ(info.ReadString("Song.MID", "SongName", ""), "Title");

  Song other;
  other.ClearSong();
  other.LastTrack = 5;
  RecordingRange r;
  ReadFileInfo(info, "/elsewhere/song.mid", other, r);  // section names ignore case
  EXPECT_EQ(other.Pad[1], 0x24);
  EXPECT_EQ(other.Pad[3], 0x7F);
  EXPECT_EQ(other.Pad[4], kNoPad);  // fields missing: 255 and 0
  EXPECT_EQ(other.Clef[2], 1);
  EXPECT_EQ(other.Clef[5], 0);
  EXPECT_EQ(other.LoopBeginTick, 960u);
  EXPECT_EQ(other.LoopEndTick, 7680u);
  EXPECT_EQ(other.DrumChannels, 0x0600);
  EXPECT_EQ(r.CountIn, 2);
  EXPECT_EQ(r.PreRange, 3);

  // A file never saved keeps the loop points of its load and the defaults.
  Song fresh;
  fresh.ClearSong();
  fresh.LoopEndTick = 4321;
  RecordingRange d;
  ReadFileInfo(info, "new.mid", fresh, d);
  EXPECT_EQ(fresh.LoopEndTick, 4321u);
  EXPECT_EQ(fresh.DrumChannels, 512);
  EXPECT_EQ(d.CountIn, 4);
  EXPECT_EQ(d.PreRange, 4);
}

TEST(Log, TrimsTheFirst10000CharactersAbove25000) {
  struct Case {
    const char* name;
    int before;
    int after;
  } cases[] = {
      {"at the limit nothing is removed", 25000, 25000 + 4},
      {"one above removes 10000", 25001, 15001 + 4},
      {"short text", 10, 14},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QString text(c.before, QLatin1Char('a'));
    text[0] = QLatin1Char('b');
    AppendLogLine(text, QStringLiteral("xyz"));
    EXPECT_EQ(text.size(), c.after);
    EXPECT_TRUE(text.endsWith(QStringLiteral("xyz\n")));
    EXPECT_EQ(text.startsWith(QLatin1Char('b')), c.before <= 25000);
  }
}

TEST(Log, TheWindowShowsWhatItKeeps) {
  EnsureApp();
  TLogForm log;
  EXPECT_EQ(log.windowTitle(), QStringLiteral("Log"));
  for (int i = 0; i < 400; ++i) log.Line(std::string(99, static_cast<char>('A' + i % 26)));
  EXPECT_LE(log.Text().size(), 25000 + 100);
  EXPECT_EQ(log.Memo()->toPlainText() + QLatin1Char('\n'), log.Text());
  log.Line("\r\n<< \x82\xa0 >>\r\n");  // CP932 text from a song
  EXPECT_TRUE(log.Text().contains(QStringLiteral("<< あ >>")));
}

TEST(Log, ShiftJisTextsOfALoadReadInTheWindow) {
  AppRig rig;
  rig.Start();
  Song song;
  song.ClearSong();
  song.TrackNames[0] = "\x83\x5c\x83\x93\x83\x4f";  // "ソング" in CP932: its trail bytes include "\\" and "O"
  song.TrackNames[1] = "\xcd\xde\xb0\xbd";              // half-width "ﾍﾞｰｽ"
  ApplySongLoaded(song);
  std::string file = rig.ProgramDir + "sjis.mid";
  ASSERT_TRUE(SaveSongFile(song, file, false));
  rig.doc().OpenFile(file);
  EXPECT_TRUE(rig.form->LogForm()->Text().contains(QStringLiteral("<< ソング >>")));
  EXPECT_TRUE(rig.form->LogForm()->Memo()->toPlainText().contains(QStringLiteral("<< ソング >>")));
  EXPECT_FALSE(rig.form->LogForm()->Text().contains(QChar(0xFFFD)));
}

TEST(Log, OpensAtTheLeftAfterLongLines) {
  EnsureApp();
  TLogForm log;
  log.resize(300, 200);
  for (int i = 0; i < 50; ++i) log.Line("TR:01,00000000, Meta 03,05 " + std::string(400, 'x'));
  log.show();
  QCoreApplication::processEvents();
  EXPECT_GT(log.Memo()->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(log.Memo()->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(log.Memo()->verticalScrollBar()->value(), log.Memo()->verticalScrollBar()->maximum());
  log.Line(std::string(600, 'y'));
  QCoreApplication::processEvents();
  EXPECT_EQ(log.Memo()->horizontalScrollBar()->value(), 0);
}

TEST(MessageBoxes, PointerMovesNearTheCentreAndBack) {
  EnsureApp();
  QRect screen = QGuiApplication::primaryScreen()->geometry();
  QCursor::setPos(5, 7);
  QPoint start = QCursor::pos();
  struct Case {
    const char* name;
    int dx, dy;
  } cases[] = {{"error box", 10, 35}, {"question box", -20, 30}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    {
      PointerMove move(c.dx, c.dy);
      EXPECT_EQ(QCursor::pos(), QPoint(screen.width() / 2 + c.dx, screen.height() / 2 + c.dy));
    }
    EXPECT_EQ(QCursor::pos(), start);
  }
}

TEST(Startup, RequiredDataFiles) {
  TempDir dir;
  std::string data = dir.Path();
  EXPECT_EQ(MissingRequiredFile(data), data + "CONTROL.TXT");
  for (const char* name : {"CONTROL.TXT", "DYNCTRL.TXT", "META.TXT", "LINE.TXT", "RPN.TXT"})
    WriteFile(data + name, "x");
  EXPECT_EQ(MissingRequiredFile(data), data + "INST/GM.INS");
  std::filesystem::create_directories(data + "INST");
  WriteFile(data + "INST/GM.INS", "GM");
  WriteFile(data + "INST/GM.DRM", "[InstInfo]");
  EXPECT_EQ(MissingRequiredFile(data), "");
}

TEST(Startup, ShippedDataFolderHasEveryRequiredFile) {
  std::string data = MELKO_BUILT_DATA_DIR;
  EXPECT_EQ(MissingRequiredFile(data), "");
  // The setup template made at build time: a conductor and 16 channel tracks.
  Song setup;
  ScriptedPrompt prompt;
  ASSERT_TRUE(OpenSongFile(setup, data + "_SETUP.MID", prompt));
  EXPECT_EQ(setup.LastTrack, 16);
  EXPECT_EQ(setup.Ch[10], 9);
  EXPECT_EQ(setup.GetSongTempo(), 120u);
  // Codes of two characters are hexadecimal: controller codes use three digits.
  std::string control = ReadFile(data + "CONTROL.TXT");
  EXPECT_NE(control.find("010 Pan"), std::string::npos);
  EXPECT_NE(ReadFile(data + "INST/GM.INS").find("001 Acoustic Grand Piano"), std::string::npos);
  EXPECT_NE(ReadFile(data + "INST/GM.DRM").find("036=Bass Drum 1"), std::string::npos);
}

}  // namespace
}  // namespace melko::test

namespace melko::test {
namespace {

// The real boxes, answered by a timer while they are open.
TEST(MessageBoxes, RealBoxesMoveThePointerAndReturnTheButton) {
  EnsureApp();
  QRect screen = QGuiApplication::primaryScreen()->geometry();
  QtUserPrompt prompt;
  struct Case {
    const char* name;
    QMessageBox::StandardButton press;
    QPoint at;
  } cases[] = {{"question Yes", QMessageBox::Yes, {screen.width() / 2 - 20, screen.height() / 2 + 30}},
               {"question No", QMessageBox::No, {screen.width() / 2 - 20, screen.height() / 2 + 30}},
               {"error OK", QMessageBox::Ok, {screen.width() / 2 + 10, screen.height() / 2 + 35}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QCursor::setPos(3, 4);
    QPoint start = QCursor::pos();
    QString text;
    QPoint during;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      text = box->text();
      during = QCursor::pos();
      box->button(c.press)->click();
    });
    if (c.press == QMessageBox::Ok) {
      prompt.ShowError("書込み\r\nエラー");
      EXPECT_EQ(text, QStringLiteral("書込み\nエラー"));
    } else {
      EXPECT_EQ(prompt.AskYesNo("質問"), c.press == QMessageBox::Yes);
      EXPECT_EQ(text, QStringLiteral("質問"));
    }
    EXPECT_EQ(during, c.at);
    EXPECT_EQ(QCursor::pos(), start);
  }
  QTimer::singleShot(0, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
      box->button(QMessageBox::Cancel)->click();
  });
  EXPECT_EQ(prompt.AskYesNoCancel("?"), UserPrompt::kCancel);
}

}  // namespace
}  // namespace melko::test

namespace melko::test {
namespace {

TEST(OptionsMenu, CheckItemsFollowAndChangeTheSettings) {
  AppRig rig("[User]\r\nAutoInit=1\r\n");
  rig.Start();
  emit rig.form->mnuOptions->aboutToShow();
  QList<QAction*> items = rig.form->mnuOptions->actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0]->text(), QStringLiteral("起動時自動読込"));
  EXPECT_FALSE(items[0]->isChecked());
  EXPECT_TRUE(items[2]->isChecked());  // 読込時音源初期化
  items[1]->trigger();                 // 終了時自動保存
  items[2]->trigger();
  EXPECT_TRUE(rig.form->Settings().AutoSave);
  EXPECT_FALSE(rig.form->Settings().AutoInit);
  ASSERT_TRUE(rig.Close());
  EXPECT_NE(rig.Ini().find("AutoSave=1"), std::string::npos);
  EXPECT_NE(rig.Ini().find("AutoInit=0"), std::string::npos);
}

}  // namespace
}  // namespace melko::test
