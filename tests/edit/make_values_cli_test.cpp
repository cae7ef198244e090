// melko --edit makevalues=...: the batch form of the value-curve tool.
#include <gtest/gtest.h>

#include "batch_file_test.h"
#include "edit/edit_cli.h"
#include "edit_test_util.h"
#include "song/smf_writer.h"

namespace melko {
namespace {

using test::Ctrl;
using test::Ev;
using test::Events;
using test::Note;

class MakeValuesCli : public test::BatchFileTest {
 protected:
  MakeValuesCli() : BatchFileTest("melko_makevalues_cli_") {}
  void SetUp() override {
    Song song;
    song.ClearSong();
    ApplySongLoaded(song);
    test::SetTrack(song, 1, {Note(0, 60), Note(960, 62), Note(1920, 64)});
    test::SetTrack(song, 2, {Ctrl(0, 7, 100), Ctrl(480, 7, 90), Ctrl(480, 10, 64)});
    ASSERT_TRUE(SaveSongFile(song, Path("in.mid"), false));
  }
  int Run(std::vector<std::string> commands) { 
    return RunEditWith([](const std::vector<std::string>& a, std::ostream& o, std::ostream& e) { return RunEdit(a, o, e); },
                       std::move(commands));
   }
};

TEST_F(MakeValuesCli, StraightVelocityInTheKindsUnits) {
  ASSERT_EQ(Run({"range=1-1:0/1/0-1/1/0", "makevalues=velocity:straight:1:127"}), 0) << err_.str();
  auto ev = Events(Load().Tracks[1]);
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].D2, 1);
  EXPECT_EQ(ev[1].D2, 64);
  EXPECT_EQ(ev[2].D2, 100) << "outside the range";
  EXPECT_NE(out_.str().find("Undo"), std::string::npos) << out_.str();
}

TEST_F(MakeValuesCli, ControllerWithIntervalAndUndo) {
  ASSERT_EQ(Run({"range=2-2:0/1/0-1/1/0", "makevalues=ctrl:7:straight:0:127:interval=480"}), 0) << err_.str();
  auto ev = Events(Load().Tracks[2]);
  std::vector<int> cc7;
  for (const Ev& e : ev)
    if (e.D1 == 7) cc7.push_back(static_cast<int>(e.Tick));
  EXPECT_EQ(cc7, (std::vector<int>{0, 480, 960, 1440, 1919}));
  ASSERT_EQ(Run({"range=2-2:0/1/0-1/1/0", "makevalues=ctrl:7:sine:2:40:90", "undo"}), 0) << err_.str();
  Song a, b = Load();
  {
    std::ostringstream sink;
    StreamPrompt prompt(sink);
    ASSERT_TRUE(OpenSongFile(a, Path("in.mid"), prompt));
  }
  for (int t = 0; t < kSongTracks; ++t) EXPECT_EQ(test::Bytes(a.Tracks[t]), test::Bytes(b.Tracks[t])) << t;
}

TEST_F(MakeValuesCli, TempoSplineAndBadForms) {
  ASSERT_EQ(Run({"range=1-1:0/1/0-1/1/0", "makevalues=tempo:spline:60:180:60:60:180:40:interval=240"}), 0)
      << err_.str();
  Song s = Load();
  EXPECT_EQ(s.Maps.TempoAt(0).Tempo, 1000000u) << "60 BPM at the start";
  EXPECT_EQ(s.Maps.TempoAt(1919).Tempo, 333333u) << "180 BPM at the end";
  for (const char* bad : {"makevalues=", "makevalues=volume:straight:0:1", "makevalues=ctrl:straight:0:1",
                          "makevalues=ctrl:200:straight:0:1", "makevalues=bend:sine:x:1:0",
                          "makevalues=chprs:straight:0", "makevalues=chprs:spline:0:1:2:3:4",
                          "makevalues=chprs:straight:0:1:interval=z", "makevalues"})
    EXPECT_EQ(Run({bad}), 2) << bad;
  EXPECT_EQ(Run({"range=1-1:0/1/0-0/1/0", "makevalues=chprs:straight:0:1"}), 0);
  EXPECT_NE(out_.str().find("nothing to do"), std::string::npos) << "an empty range is skipped: " << out_.str();
  EXPECT_EQ(Run({"makevalues=cancel"}), 0);
}

}  // namespace
}  // namespace melko
