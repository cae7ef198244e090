// The score's step entry in `melko --edit score=TRACK:KEYS`.
#include "views/score_cli.h"

#include <gtest/gtest.h>

#include "edit/batch_file_test.h"
#include "edit/edit_test_util.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"
#include "views/sheet_cli.h"

namespace melko {
namespace {

using test::Ev;

class ScoreCli : public test::BatchFileTest {
 protected:
  ScoreCli() : BatchFileTest("melko_score_cli_") {}
  void SetUp() override {
    Song song;
    song.ClearSong();
    ApplySongLoaded(song);
    test::SetTrack(song, 2, {test::Note(0, 72)});
    ASSERT_TRUE(SaveSongFile(song, Path("in.mid"), false));
  }
  int Run(std::vector<std::string> commands) { return RunEditWith(RunSheetEdit, std::move(commands)); }
};

TEST_F(ScoreCli, EntersAMelodyAndAChordAsTheKeysSay) {
  ASSERT_EQ(Run({"score=1:pen,at=1/1/0,F3,C,Enter,Dot,E,Enter",
                 "score=1:hold=67,hold=71,G,velocity=200,Enter,release=67,release=71"}),
            0)
      << err_.str();
  EXPECT_NE(out_.str().find("score: track 1 at 001/03/240"), std::string::npos) << out_.str();
  Song s = Load();
  EXPECT_EQ(test::Events(s.Tracks[1]), (std::vector<Ev>{{1920, 0x90, 60, 100, 432},
                                                        {2400, 0x90, 64, 100, 648},
                                                        {3120, 0x90, 67, 127, 648},
                                                        {3120, 0x90, 71, 127, 648}}));
}

TEST_F(ScoreCli, UndoTakesBackOneStepAndBadItemsChangeNothing) {
  ASSERT_EQ(Run({"score=2:pen,at=0,Delete", "undo"}), 0) << err_.str();
  EXPECT_EQ(test::Events(Load().Tracks[2]).size(), 1u);
  for (const char* bad : {"score=1:pen,Bogus,Enter", "score=0:pen", "score=1:grid=5", "score=1", "score=1:note=300",
                          "score=2:pen,Delete,grid=5"})
    EXPECT_EQ(Run({bad}), 2) << bad;
  int vk, mods;
  ASSERT_TRUE(ParseScoreKey("Ctrl+Shift+Left", vk, mods));
  EXPECT_EQ(vk, kVkLeft);
  EXPECT_EQ(mods, kModShift | kModCtrl);
  ASSERT_TRUE(ParseScoreKey("Num7", vk, mods));
  EXPECT_EQ(vk, kVkNumpad1 + 6);
  EXPECT_FALSE(ParseScoreKey("F8", vk, mods));
}

TEST_F(ScoreCli, GEditDrawsThePenPathAndUndoesIt) {
  ASSERT_EQ(Run({"gedit=1:ctrl:7:straight:480=120;0=0:interval=120", "gedit=2:velocity:freehand:0=50;"}), 0)
      << err_.str();
  EXPECT_NE(out_.str().find("gedit: track 1 2 points, ticks 0..480"), std::string::npos) << out_.str();
  Song s = Load();
  EXPECT_EQ(test::Events(s.Tracks[1]), (std::vector<Ev>{{0, 0xB0, 7, 0, 0},
                                                        {120, 0xB0, 7, 30, 0},
                                                        {240, 0xB0, 7, 60, 0},
                                                        {360, 0xB0, 7, 90, 0},
                                                        {480, 0xB0, 7, 120, 0}}));
  EXPECT_EQ(test::Events(s.Tracks[2])[0].D2, 50);
  ASSERT_EQ(Run({"gedit=2:velocity:curve:0=10;100=20", "undo"}), 0) << err_.str();
  EXPECT_EQ(test::Events(Load().Tracks[2])[0].D2, 100);
  for (const char* bad : {"gedit=1:ctrl:straight:0=1;9=2", "gedit=1:velocity:wavy:0=1", "gedit=1:velocity:straight:",
                          "gedit=1:velocity:straight:0=129", "gedit=0:bend:curve:0=1", "gedit=1:tempo:curve:x=1",
                          "gedit=1:chprs:freehand:0=1:interval=0", "gedit=1:kyprs:freehand"})
    EXPECT_EQ(Run({bad}), 2) << bad;
}

}  // namespace
}  // namespace melko
