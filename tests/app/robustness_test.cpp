// The application under adverse conditions: settings files that cannot be
// read or hold values out of range.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/edit_hookup.h"
#include "app/file_info.h"
#include "app/song_document.h"
#include "app_rig.h"
#include "edit/ui/edit_controller.h"

namespace melko::test {
namespace {

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
