// The melko program itself, run as a process: the screenshot mode draws the
// window offscreen, without any display the application refuses to start
// instead of aborting, and a signal during the start-up ends it.
#include <gtest/gtest.h>

#include <signal.h>

#include <QElapsedTimer>
#include <QDialogButtonBox>
#include <QImage>
#include <QPushButton>
#include <QTranslator>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <filesystem>

#include "app/single_instance.h"
#include "app/app_run.h"
#include "app_rig.h"

namespace melko::test {
namespace {

// Qt's own buttons speak Japanese like the rest of the window.
TEST(Program, QtsOwnTextsAreJapanese) {
  QApplication& app = EnsureApp();
  QTranslator translator;
  ASSERT_TRUE(SpeakJapanese(app, translator)) << "qtbase_ja.qm is not installed (qt6-translations-l10n)";
  QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
  EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
  EXPECT_FALSE(box.button(QDialogButtonBox::Yes)->text().contains(QStringLiteral("Yes")));
  QCoreApplication::removeTranslator(&translator);
}

#ifdef MELKO_BIN
QProcessEnvironment CleanEnvironment() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  return env;
}

TEST(Program, ScreenshotDrawsTheWindowAndTheLogWithoutADisplay) {
  EnsureApp();
  TempDir dir;
  std::filesystem::copy(MELKO_BUILT_DATA_DIR, dir.Path() + "MELKO", std::filesystem::copy_options::recursive);
  std::string song = dir.Path() + "song.mid";
  MakeSongFile(song, 3, 480, "Shot");
  std::string png = dir.Path() + "shot.png";
  QProcess melko;
  melko.setProcessEnvironment(CleanEnvironment());
  melko.start(QStringLiteral(MELKO_BIN), {QStringLiteral("--data-dir"), QString::fromStdString(dir.Path() + "MELKO"),
                                          QStringLiteral("--screenshot"), QString::fromStdString(png),
                                          QString::fromStdString(song)});
  ASSERT_TRUE(melko.waitForFinished(60000));
  EXPECT_EQ(melko.exitCode(), 0) << melko.readAllStandardError().toStdString();
  QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  EXPECT_GT(image.width(), 400);
  EXPECT_GT(image.height(), 200);
  // The picture leaves the settings alone.
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "MELKO/MELKO.INI"));
}

TEST(Program, ScreenshotLeavesTheRunningProgramsTemporaryFileAlone) {
  EnsureApp();
  TempDir dir;
  std::filesystem::copy(MELKO_BUILT_DATA_DIR, dir.Path() + "MELKO", std::filesystem::copy_options::recursive);
  // A running MELKO keeps "TerminatedAbnormally" set and has its _TEMP.MID.
  const std::string ini = "[Error]\r\nTerminatedAbnormally=1\r\n[Files]\r\nTemporary=" + dir.Path() + "\r\n";
  WriteFile(dir.Path() + "MELKO/MELKO.INI", ini);
  MakeSongFile(dir.Path() + "_TEMP.MID", 2, 480, "Work");
  std::string png = dir.Path() + "shot.png";
  QProcess melko;
  melko.setProcessEnvironment(CleanEnvironment());
  melko.start(QStringLiteral(MELKO_BIN), {QStringLiteral("--data-dir"), QString::fromStdString(dir.Path() + "MELKO"),
                                          QStringLiteral("--screenshot"), QString::fromStdString(png)});
  ASSERT_TRUE(melko.waitForFinished(60000));
  QString err = QString::fromUtf8(melko.readAllStandardError());
  EXPECT_EQ(melko.exitCode(), 0) << err.toStdString();
  EXPECT_FALSE(err.contains(QStringLiteral("異常終了"))) << err.toStdString();
  EXPECT_EQ(ReadFile(dir.Path() + "MELKO/MELKO.INI"), ini);
}

TEST(Program, ScreenshotOpensAFileWhoseNameIsNotUtf8) {
  EnsureApp();
  TempDir dir;
  std::filesystem::copy(MELKO_BUILT_DATA_DIR, dir.Path() + "MELKO", std::filesystem::copy_options::recursive);
  const std::string name = "\x83\x65\x83\x58\x83\x67.mid";  // a Shift-JIS name from an old archive
  MakeSongFile(dir.Path() + name, 2, 480, "Sjis");
  QProcess melko;
  melko.setProcessEnvironment(CleanEnvironment());
  melko.setWorkingDirectory(QString::fromStdString(dir.Path()));
  // Through a shell: QProcess would pass the name through a QString and lose its bytes.
  melko.start(QStringLiteral("/bin/sh"),
              {QStringLiteral("-c"),
               QStringLiteral("exec \"$0\" --data-dir MELKO --screenshot shot.png \"$(printf '\\203e\\203X\\203g.mid')\""),
               QStringLiteral(MELKO_BIN)});
  ASSERT_TRUE(melko.waitForFinished(60000));
  QString err = QString::fromUtf8(melko.readAllStandardError());
  EXPECT_EQ(melko.exitCode(), 0) << err.toStdString();
  EXPECT_FALSE(err.contains(QStringLiteral("読込みに失敗"))) << err.toStdString();
}

TEST(Program, WithoutADisplayTheApplicationDoesNotStart) {
  EnsureApp();
  QProcess melko;
  melko.setProcessEnvironment(CleanEnvironment());
  melko.start(QStringLiteral(MELKO_BIN), {});
  ASSERT_TRUE(melko.waitForFinished(30000));
  EXPECT_EQ(melko.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(melko.exitCode(), 2);
  EXPECT_TRUE(melko.readAllStandardError().contains("no display"));
}

struct LibraryRow {
  const char* Name;
  std::vector<std::string> Args;  // "@" stands for the test's folder
  bool LoadsQt, LoadsFluidSynth;
};

class ProgramLibraries : public ::testing::TestWithParam<LibraryRow> {};

// A batch command that needs neither the window nor the synth starts
// without loading them; the loader's own report says what was loaded.
TEST_P(ProgramLibraries, OnlyWhatTheCommandNeedsIsLoaded) {
  EnsureApp();
  TempDir dir;
  std::filesystem::copy(MELKO_BUILT_DATA_DIR, dir.Path() + "MELKO", std::filesystem::copy_options::recursive);
  MakeSongFile(dir.Path() + "song.mid", 2, 480, "Libs");
  QStringList args{QStringLiteral("--data-dir"), QString::fromStdString(dir.Path() + "MELKO")};
  for (std::string a : GetParam().Args) {
    if (a.rfind('@', 0) == 0) a = dir.Path() + a.substr(1);
    args << QString::fromStdString(a);
  }
  QProcessEnvironment env = CleanEnvironment();
  env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
  QProcess melko;
  melko.setProcessEnvironment(env);
  melko.start(QStringLiteral(MELKO_BIN), args);
  ASSERT_TRUE(melko.waitForFinished(120000));
  const QString err = QString::fromUtf8(melko.readAllStandardError());
  EXPECT_EQ(melko.exitCode(), 0) << err.toStdString();
  EXPECT_EQ(err.contains(QStringLiteral("file=libQt6Core")), GetParam().LoadsQt);
  EXPECT_EQ(err.contains(QStringLiteral("file=libfluidsynth")), GetParam().LoadsFluidSynth);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProgramLibraries,
    ::testing::Values(LibraryRow{"Help", {"--help"}, false, false},
                      LibraryRow{"Convert", {"--convert", "@song.mid", "@out.mid"}, false, false},
                      LibraryRow{"Dump", {"--dump", "@song.mid"}, false, false},
                      LibraryRow{"SysEx", {"--sysex", "F0 41 10 42 12 40 00 7F 00 41 F7"}, false, false},
                      LibraryRow{"RenderOpensTheSynth", {"--render", "@song.mid", "@out.wav"}, false, true},
                      LibraryRow{"ScreenshotOpensTheWindowAndTheSynth", {"--screenshot", "@shot.png"}, true, true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Program, MissingDataFilesStopTheScreenshot) {
  EnsureApp();
  TempDir dir;
  QProcess melko;
  melko.setProcessEnvironment(CleanEnvironment());
  melko.start(QStringLiteral(MELKO_BIN), {QStringLiteral("--data-dir"), QString::fromStdString(dir.Path()),
                                          QStringLiteral("--screenshot"),
                                          QString::fromStdString(dir.Path() + "x.png")});
  ASSERT_TRUE(melko.waitForFinished(30000));
  EXPECT_EQ(melko.exitCode(), 1);
  EXPECT_TRUE(QString::fromUtf8(melko.readAllStandardError()).contains(QStringLiteral("必要なファイルがありません！")));
}

// SIGTERM while the start-up is still going on (here: the box about the last
// run's abnormal end) ends the program: no windowless process is left to
// take the files of later starts, and the recovery stays pending.
TEST(Program, ASignalDuringStartupEndsTheProgramAndFreesTheName) {
  EnsureApp();
  TempDir dir;
  std::filesystem::copy(MELKO_BUILT_DATA_DIR, dir.Path() + "MELKO", std::filesystem::copy_options::recursive);
  WriteFile(dir.Path() + "MELKO/MELKO.INI",
            "[Error]\r\nTerminatedAbnormally=1\r\n[Files]\r\nTemporary=" + dir.Path() + "\r\n");
  // A private folder for the instance socket, so no other run interferes.
  std::filesystem::create_directory(dir.Path() + "tmp");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("TMPDIR"), QString::fromStdString(dir.Path() + "tmp"));
  QProcess melko;
  melko.setProcessEnvironment(env);
  melko.start(QStringLiteral(MELKO_BIN), {QStringLiteral("--data-dir"), QString::fromStdString(dir.Path() + "MELKO")});
  ASSERT_TRUE(melko.waitForStarted(10000));

  // While it starts, a second start is told to wait.
  const QString socket = QString::fromStdString(dir.Path() + "tmp/") + DefaultInstanceName();
  SingleInstance probe(socket);
  QElapsedTimer t;
  t.start();
  SingleInstance::HandOverResult r = SingleInstance::kNoServer;
  while (t.elapsed() < 20000 && (r = probe.HandOver("", 500)) != SingleInstance::kStarting) QThread::msleep(50);
  ASSERT_EQ(r, SingleInstance::kStarting) << melko.readAllStandardError().toStdString();
  QThread::msleep(1500);  // the window and its start-up box come up

  ::kill(static_cast<pid_t>(melko.processId()), SIGTERM);
  ASSERT_TRUE(melko.waitForFinished(10000)) << "still running after SIGTERM";
  EXPECT_EQ(melko.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(melko.exitCode(), 128 + SIGTERM);
  EXPECT_EQ(probe.HandOver("", 500), SingleInstance::kNoServer);
  EXPECT_NE(ReadFile(dir.Path() + "MELKO/MELKO.INI").find("TerminatedAbnormally=1"), std::string::npos);
}

// The shipped converter library turns an RCP song into the song the dump
// prints: one track with a looped note, the title as the song's name.
TEST(Program, DumpOpensAnRcpSongThroughTheShippedConverter) {
  TempDir dir;
  std::filesystem::copy(MELKO_BUILT_DATA_DIR, dir.Path() + "MELKO", std::filesystem::copy_options::recursive);
  ASSERT_TRUE(std::filesystem::exists(dir.Path() + "MELKO/RCPCV.so"));
  std::string rcp(0x586, '\0');
  rcp.replace(0, 30, "RCM-PC98V2.0(C)COME ON MUSIC\r\n");
  rcp.replace(0x20, 7, "OldSong");
  rcp[0x1C0] = 48;
  rcp[0x1C1] = 120;
  rcp[0x1E6] = 18;
  std::string track(0x2C, '\0');
  track[4] = 2;  // channel 3
  const unsigned char events[] = {0xF9, 1, 0, 0, 60, 24, 12, 100, 0xF8, 2, 0, 0, 0xFE, 0, 0, 0};
  track.append(reinterpret_cast<const char*>(events), sizeof events);
  track[0] = static_cast<char>(track.size());
  rcp += track;
  std::string file = dir.Path() + "OLD.RCP";
  WriteFile(file, rcp);
  QProcess melko;
  melko.setProcessEnvironment(CleanEnvironment());
  melko.start(QStringLiteral(MELKO_BIN), {QStringLiteral("--data-dir"), QString::fromStdString(dir.Path() + "MELKO"),
                                          QStringLiteral("--dump"), QString::fromStdString(file)});
  ASSERT_TRUE(melko.waitForFinished(60000));
  std::string out = melko.readAllStandardOutput().toStdString();
  EXPECT_EQ(melko.exitCode(), 0) << melko.readAllStandardError().toStdString();
  EXPECT_NE(out.find("Name \"OldSong\""), std::string::npos) << out;
  EXPECT_NE(out.find("0 Note 60 100 64 12"), std::string::npos) << out;
  EXPECT_NE(out.find("24 Note 60 100 64 12"), std::string::npos) << out;
  EXPECT_NE(out.find("Ch 2 "), std::string::npos) << out;
}

// The demo songs the build makes in the RCP and G36 forms hold the same
// music: both convert to the same song but for the title, with the bass
// loop played four times and the piano's repeated measures played again.
TEST(Program, TheRcpAndG36DemoSongsConvertToTheSameSong) {
  TempDir dir;
  std::filesystem::copy(MELKO_BUILT_DATA_DIR, dir.Path() + "MELKO", std::filesystem::copy_options::recursive);
  const std::string demos = std::filesystem::path(MELKO_BIN).parent_path().string() + "/demos/";
  auto dump = [&](const std::string& file) {
    QProcess melko;
    melko.setProcessEnvironment(CleanEnvironment());
    melko.start(QStringLiteral(MELKO_BIN), {QStringLiteral("--data-dir"), QString::fromStdString(dir.Path() + "MELKO"),
                                            QStringLiteral("--dump"), QString::fromStdString(demos + file)});
    EXPECT_TRUE(melko.waitForFinished(60000));
    EXPECT_EQ(melko.exitCode(), 0) << melko.readAllStandardError().toStdString();
    std::string out = melko.readAllStandardOutput().toStdString();
    std::string kept;  // without the lines naming the file or the title
    size_t at = 0;
    while (at < out.size()) {
      size_t end = out.find('\n', at);
      if (end == std::string::npos) end = out.size();
      std::string line = out.substr(at, end - at);
      if (line.find("demo.") == std::string::npos && line.find("MELKO Demo") == std::string::npos) kept += line + "\n";
      at = end + 1;
    }
    return kept;
  };
  std::string rcp = dump("demo.rcp");
  std::string g36 = dump("demo.g36");
  EXPECT_EQ(rcp, g36);
  size_t notes = 0;
  for (size_t at = rcp.find(" Note "); at != std::string::npos; at = rcp.find(" Note ", at + 1)) ++notes;
  // 25 melody notes (26 struck, one of them a tie), 40 bass notes (4 passes),
  // 48 piano, 96 drums.
  EXPECT_EQ(notes, 209u) << rcp;
}

#endif

}  // namespace
}  // namespace melko::test
