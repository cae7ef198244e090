// The mixer's commands in `melko --edit`, chained with the track sheet's,
// and `follow` playing a song through the engine into the mixer.
#include <gtest/gtest.h>

#include "edit/batch_file_test.h"
#include "edit/edit_test_util.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"
#include "views/sheet_cli.h"

namespace melko {
namespace {

using test::Ctrl;
using test::Ev;
using test::Events;
using test::Note;

class MixerCli : public test::BatchFileTest {
 protected:
  MixerCli() : BatchFileTest("melko_mixer_cli_") {}
  void SetUp() override {
    Song song;
    song.ClearSong();
    ApplySongLoaded(song);
    song.Ch[1] = 2;
    test::SetTrack(song, 1, {Ctrl(0, 7, 80), Ctrl(0, 10, 20), test::Chan(0, 0xC0, 12), Note(480, 60, 127),
                             Ctrl(960, 91, 55)});
    test::SetTrack(song, 2, {Ctrl(0, 0, 8), Ctrl(0, 32, 1), test::Chan(0, 0xC0, 3), Note(0, 40, 60)});
    ASSERT_TRUE(SaveSongFile(song, Path("in.mid"), false));
  }
  int Run(std::vector<std::string> commands) { return RunEditWith(RunSheetEdit, std::move(commands)); }
  bool Said(const std::string& text) const { return out_.str().find(text) != std::string::npos; }
};

TEST_F(MixerCli, KnobsSendOnlyNewValuesAndVolumeCannotBeAssigned) {
  ASSERT_EQ(Run({"mixer=1:3:64", "mixer=1:3:65", "mixer=1:4:127", "mixerctrl=0:74", "mixer=1:0:10"}), 0)
      << err_.str();
  EXPECT_TRUE(Said("mixer: track 1 controller 10 = 64: unchanged, nothing sent")) << out_.str();
  EXPECT_TRUE(Said("mixer: track 1 controller 10 = 65: sent B2 0A 41 to port A")) << out_.str();
  EXPECT_TRUE(Said("controller 7 = 127: sent B2 07 7F")) << out_.str();
  EXPECT_TRUE(Said("controller 74 = 10: sent B2 4A 0A")) << out_.str();
  EXPECT_EQ(Run({"mixerctrl=2:7"}), 1);
  EXPECT_NE(err_.str().find("Volumeはアサインできません。"), std::string::npos);
  EXPECT_EQ(Run({"mixer=1:5:0"}), 2) << "row 5 does not exist";
  EXPECT_EQ(Run({"mixerset=64:1:1"}), 2);
}

TEST_F(MixerCli, FollowTakesThePlayedValuesAndMixWritesThem) {
  // The sheet's commands and the mixer's run in one --edit.
  ASSERT_EQ(Run({"follow", "mixerset=56:0:120", "range=1-2:1/1/0-2/1/0", "mixermix", "row=1"}), 0) << err_.str();
  EXPECT_TRUE(Said("follow: track 1: 91=55 93=0 94=0 10=20 7=80 program 012 bank 255:255")) << out_.str();
  EXPECT_TRUE(Said("follow: track 2: 91=0 93=0 94=0 10=64 7=100 program 003 bank 8:1")) << out_.str();
  EXPECT_TRUE(Said("mixermix: tracks 1-2; Undo <Mixer> Mix")) << out_.str();
  Song s = Load();
  // Flags 56: rows 3 and 4 and the program, all at one tick; track 2 120 later.
  const uint32_t m1 = s.Maps.MeasureToTick(1);
  auto t1 = Events(s.Tracks[1]);
  const std::vector<Ev> mixed1{{m1, 0xB0, 10, 20, 0}, {m1, 0xB0, 7, 80, 0}, {m1, 0xC0, 12, 0, 0}};
  EXPECT_EQ(std::vector<Ev>(t1.end() - 3, t1.end()), mixed1);
  auto t2 = Events(s.Tracks[2]);
  const std::vector<Ev> mixed2{{m1 + 120, 0xB0, 10, 64, 0}, {m1 + 120, 0xB0, 7, 100, 0},
                               {m1 + 120, 0xB0, 0, 8, 0},   {m1 + 120, 0xB0, 32, 1, 0},
                               {m1 + 120, 0xC0, 3, 0, 0}};
  EXPECT_EQ(std::vector<Ev>(t2.end() - 5, t2.end()), mixed2);
}

TEST_F(MixerCli, FollowWithSyncOffKeepsWhatTheUserSet) {
  ASSERT_EQ(Run({"mixer=1:4:33", "mixersync=off", "follow", "mixerinit"}), 0) << err_.str();
  EXPECT_TRUE(Said("(Sync is off)")) << out_.str();
  EXPECT_TRUE(Said("follow: track 1: 91=0 93=0 94=0 10=64 7=33 program 000")) << out_.str();
  // Init writes the user's values into the set-up before the first note.
  auto t1 = Events(Load().Tracks[1]);
  ASSERT_GE(t1.size(), 3u);
  EXPECT_EQ(t1[0], (Ev{0, 0xB0, 7, 33, 0}));
  EXPECT_EQ(t1[1], (Ev{0, 0xB0, 10, 64, 0}));
  EXPECT_EQ(t1[2], (Ev{0, 0xC0, 0, 0, 0}));
  EXPECT_EQ(t1.back(), (Ev{960, 0xB0, 91, 55, 0})) << "after the first note nothing changes";
}

TEST_F(MixerCli, ProgramButtonSetsThePatchAndTheStrip) {
  ASSERT_EQ(Run({"mixerprog=2:99:0:0", "follow"}), 0) << err_.str();
  EXPECT_TRUE(Said("mixerprog: track 2 shows 099")) << out_.str();
  Song s = Load();
  s.GetTrackPatch(2);
  EXPECT_EQ(s.ProgramChange[2] & 0xFF, 99u);
  EXPECT_TRUE(Said("follow: track 2: 91=0 93=0 94=0 10=64 7=100 program 099 bank 0:0")) << out_.str();
}

}  // namespace
}  // namespace melko
