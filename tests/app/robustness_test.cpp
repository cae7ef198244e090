// The application under adverse conditions: memory running out in a
// command, and settings files that cannot be read or hold values out of
// range.
#include <gtest/gtest.h>

#include <QPushButton>
#include <filesystem>
#include <new>

#include "app/edit_hookup.h"
#include "app/file_info.h"
#include "app/out_of_memory.h"
#include "app/song_document.h"
#include "app_rig.h"
#include "edit/ui/edit_controller.h"

namespace melko::test {
namespace {

// A format 1 file of a conductor track and one track whose FF 04 names its
// instrument "GM" (the reader asks the song whether it knows that name).
std::string SongWithInstrumentEvent() {
  std::string conductor = std::string("\x00\xFF\x2F\x00", 4);
  std::string track = std::string("\x00\xFF\x03\x04" "Bass", 8) + std::string("\x00\xFF\x04\x02GM", 6) +
                      std::string("\x00\x90\x3C\x64\x60\x80\x3C\x40\x00\xFF\x2F\x00", 12);
  auto chunk = [](const std::string& body) {
    std::string c = "MTrk";
    for (int shift : {24, 16, 8, 0}) c += static_cast<char>((body.size() >> shift) & 0xFF);
    return c + body;
  };
  return std::string("MThd\x00\x00\x00\x06\x00\x01\x00\x02\x00\x60", 14) + chunk(conductor) + chunk(track);
}

TEST(OutOfMemory, ALoadThatRunsOutKeepsTheOpenSong) {
  AppRig rig;
  rig.Start();
  std::string good = rig.ProgramDir + "good.mid";
  MakeSongFile(good, 3, 480, "Kept");
  rig.doc().OpenFile(good);
  const uint32_t size = rig.song().Tracks[1].Length();
  rig.song().SongSaved = false;  // unsaved work, which must survive

  std::string big = rig.ProgramDir + "big.mid";
  WriteFile(big, SongWithInstrumentEvent());
  rig.song().IsKnownInstrument = [](const std::string&) -> bool { throw std::bad_alloc(); };
  rig.doc().OpenFile(big);
  ASSERT_EQ(rig.prompt.Errors.size(), 1u);
  EXPECT_EQ(rig.prompt.Errors[0], kMsgOutOfMemory);
  EXPECT_EQ(rig.doc().DocumentName, good);
  EXPECT_EQ(rig.song().TrackNames[0], "Kept");
  EXPECT_EQ(rig.song().TrackNames[1], "Piano");
  EXPECT_EQ(rig.song().Tracks[1].Length(), size);
  EXPECT_EQ(rig.song().TPQN, 480);
  EXPECT_FALSE(rig.song().SongSaved);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // With memory back the same file loads.
  rig.song().IsKnownInstrument = [](const std::string& name) { return name == "GM"; };
  rig.song().SongSaved = true;
  rig.doc().OpenFile(big);
  EXPECT_EQ(rig.doc().DocumentName, big);
  EXPECT_EQ(rig.song().TrackNames[1], "Bass");
  EXPECT_EQ(rig.song().TPQN, 96);
}

// Throws when it gets its event, as a command that runs out of memory does.
class Greedy : public QObject {
 public:
  bool Ran = false;
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    Ran = true;
    throw std::bad_alloc();
  }
};

TEST(OutOfMemory, TheApplicationEndsTheCommandAndGoesOn) {
  auto* app = dynamic_cast<MelkoApplication*>(&EnsureApp());
  ASSERT_NE(app, nullptr);
  int shown = 0;
  app->OutOfMemory = [&] { ++shown; };
  Greedy greedy;
  QCoreApplication::postEvent(&greedy, new QEvent(QEvent::User));
  QCoreApplication::processEvents();
  EXPECT_TRUE(greedy.Ran);
  EXPECT_EQ(shown, 1);
  app->OutOfMemory = nullptr;
}

TEST(OutOfMemory, AnEditThatRunsOutLeavesAConsistentUndo) {
  AppRig rig;
  rig.Start();
  std::string good = rig.ProgramDir + "good.mid";
  MakeSongFile(good, 2);
  rig.doc().OpenFile(good);
  auto* edit = rig.form->findChild<TEditController*>();
  ASSERT_NE(edit, nullptr);
  Song& song = rig.song();
  auto bytes = [&](int t) { return std::string(reinterpret_cast<const char*>(song.Tracks[t].Top()), song.Tracks[t].Length()); };
  const std::string before = bytes(1);
  ASSERT_FALSE(before.empty());

  // Memory runs out before any track was exchanged: no undo step appears.
  edit->Hooks.ValueCurves = []() -> bool { throw std::bad_alloc(); };
  EXPECT_THROW(edit->Run(kCmdMakeValues), std::bad_alloc);
  EXPECT_FALSE(rig.form->sbtUndo->isEnabled());
  EXPECT_EQ(bytes(1), before);

  // It runs out after track 1 was exchanged: that change stays, and one undo
  // takes it back.
  edit->Hooks.ValueCurves = [&]() -> bool {
    song.ShadowTracks[1].Free();
    song.SwapTrack(1);
    throw std::bad_alloc();
  };
  EXPECT_THROW(edit->Run(kCmdMakeValues), std::bad_alloc);
  EXPECT_TRUE(bytes(1).empty());
  EXPECT_TRUE(rig.form->sbtUndo->isEnabled());
  edit->Run(kCmdUndo);
  EXPECT_EQ(bytes(1), before);
}

TEST(Settings, FilesThatCannotBeReadAreReportedOnceAndNotOverwritten) {
  AppRig rig;
  // A folder where the file should be gives a read error even to root.
  std::filesystem::create_directory(rig.DataDir + "MELKO.INI");
  std::filesystem::create_directory(rig.DataDir + "FILEINFO.INI");
  rig.Start();
  ASSERT_EQ(rig.prompt.Errors.size(), 2u);
  EXPECT_EQ(rig.prompt.Errors[0], rig.DataDir + "MELKO.INI" + kMsgSettingsFileUnreadable);
  EXPECT_EQ(rig.prompt.Errors[1], rig.DataDir + "FILEINFO.INI" + kMsgSettingsFileUnreadable);
  std::string song = rig.ProgramDir + "s.mid";
  MakeSongFile(song, 1);
  rig.doc().OpenFile(song);
  rig.song().SongSaved = false;
  EXPECT_TRUE(rig.doc().SaveCommand());
  ASSERT_TRUE(rig.Close());
  EXPECT_EQ(rig.prompt.Errors.size(), 2u);
  EXPECT_TRUE(std::filesystem::is_directory(rig.DataDir + "MELKO.INI"));
  EXPECT_TRUE(std::filesystem::is_directory(rig.DataDir + "FILEINFO.INI"));
  // Nothing of ours was left beside them either.
  for (const auto& entry : std::filesystem::directory_iterator(rig.DataDir))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST(Settings, ValuesFromTheFilesAreClampedToTheirUse) {
  struct Case {
    const char* name;
    const char* fields;
    uint32_t loopBegin, loopEnd;
    int countIn, preRange;
    uint16_t drums;
    uint8_t pad;
  } cases[] = {
      {"near the 32-bit limits", "BgnLoop=2147483647\r\nEndLoop=-2147483648\r\nCountIn=2147483647\r\n"
                                 "PreRange=-2147483648\r\nDrumAssign=-1\r\nPad=FF 80 \r\n",
       kTrackEndTick, 0, 16, 1, 0xFFFF, kNoPad},
      {"hexadecimal far out", "BgnLoop=$7FFFFFF0\r\nEndLoop=0x7FFFFFFF\r\nCountIn=-5\r\nPreRange=400\r\n"
                              "DrumAssign=$10200\r\nPad=24 \r\n",
       kTrackEndTick, kTrackEndTick, 0, 24, 0x0200, 0x24},
      {"in range stays", "BgnLoop=960\r\nEndLoop=7680\r\nCountIn=3\r\nPreRange=32\r\nDrumAssign=512\r\nPad=7F \r\n",
       960, 7680, 3, 8, 512, 0x7F},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IniFile info;
    info.LoadFromBytes(std::string("[song.mid]\r\n") + c.fields);
    Song song;
    song.ClearSong();
    song.LastTrack = 1;
    RecordingRange rec;
    ReadFileInfo(info, "/x/song.mid", song, rec);
    EXPECT_EQ(song.LoopBeginTick, c.loopBegin);
    EXPECT_EQ(song.LoopEndTick, c.loopEnd);
    EXPECT_EQ(rec.CountIn, c.countIn);
    EXPECT_EQ(rec.PreRange, c.preRange);
    EXPECT_EQ(song.DrumChannels, c.drums);
    EXPECT_EQ(song.Pad[1], c.pad);
  }
}

TEST(Settings, CenterCIsTakenWithinItsBounds) {
  struct Case {
    const char* value;
    int centerC;
  } cases[] = {{"2147483647", kMaxCenterC}, {"-2147483648", kMinCenterC}, {"1", 1}, {"abc", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    AppRig rig(std::string("[User]\r\nCenterC=") + c.value + "\r\n");
    rig.Start();
    auto* edit = rig.form->findChild<TEditController*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->CenterC, c.centerC);
  }
}

}  // namespace
}  // namespace melko::test
