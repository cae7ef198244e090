// The track sheet's commands in `melko --edit`, and their names shared with
// the range operations.
#include "views/sheet_cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "edit/edit_test_util.h"
#include "edit/batch_file_test.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"
#include "song/song_cli.h"

namespace melko {
namespace {

using test::Note;

class SheetCli : public test::BatchFileTest {
 protected:
  SheetCli() : BatchFileTest("melko_sheet_cli_") {}
  void SetUp() override {
    Song song;
    song.ClearSong();
    ApplySongLoaded(song);
    for (int t = 1; t <= 3; ++t) {
      test::SetTrack(song, t, {Note(0, uint8_t(60 + t)), Note(960, uint8_t(60 + t))});
      song.TrackNames[size_t(t)] = "T" + std::to_string(t);
    }
    ASSERT_TRUE(SaveSongFile(song, Path("in.mid"), false));
  }
  int Run(std::vector<std::string> commands) { return RunEditWith(RunSheetEdit, std::move(commands)); }
};

TEST_F(SheetCli, RowsCellsAndFlags) {
  // What the file keeps: the rows' order, names and channels, and the patch.
  ASSERT_EQ(Run({"row=2", "new", "set=2:name=Lead", "set=3:ch=17", "set=4:ch=x", "set=3:patch=5:0:0"}), 0)
      << err_.str();
  Song s = Load();
  EXPECT_EQ(s.TrackNames[1], "T1");
  EXPECT_EQ(s.TrackNames[2], "Lead");
  EXPECT_EQ(s.TrackNames[3], "T2");
  EXPECT_EQ(s.TrackNames[4], "T3");
  EXPECT_EQ(s.Ch[3], 15);
  EXPECT_EQ(s.Ch[4], 2) << "text that is no number keeps the channel";
  s.GetTrackPatch(3);
  EXPECT_EQ(s.ProgramChange[3] & 0xFF, 4u);
}

TEST_F(SheetCli, InsertAndEraseAfterRowAreTheSheetsAndOtherwiseTheRangeOperations) {
  // After row=, insert moves the range's tracks before the row.
  ASSERT_EQ(Run({"range=3-3:0/1/0-1/1/0", "row=1", "insert"}), 0) << err_.str();
  EXPECT_EQ(Load().TrackNames[1], "T3");
  // Without it, insert is the range operation (nothing in the clipboard).
  EXPECT_EQ(Run({"range=3-3:0/1/0-1/1/0", "insert"}), 0);
  EXPECT_NE(out_.str().find("nothing to do"), std::string::npos) << out_.str();
  // erase after row= empties the range's tracks with their names.
  ASSERT_EQ(Run({"range=2-2:0/1/0-0/2/0", "row=2", "erase"}), 0);
  Song s = Load();
  EXPECT_TRUE(s.TrackNames[2].empty());
  EXPECT_NE(out_.str().find("TR 2 ～ TR 2 を消去します。よろしいですか？"), std::string::npos);
  // The range operation erase keeps the track and its name.
  ASSERT_EQ(Run({"range=2-2:0/1/0-0/2/0", "erase"}), 0);
  EXPECT_EQ(Load().TrackNames[2], "T2");
}

TEST_F(SheetCli, MarkersAndRefusals) {
  ASSERT_EQ(Run({"range=1-1:1/1/0-1/2/0", "marker=Verse"}), 0) << err_.str();
  EXPECT_EQ(Run({"range=1-1:1/1/0-1/2/0", "marker=A", "marker=B"}), 1);
  EXPECT_NE(err_.str().find("同じ位置に既にマーカーがあります!"), std::string::npos);
  EXPECT_EQ(Run({"padtonote"}), 1);
  EXPECT_EQ(Run({"set=2:colour=red"}), 2);
  EXPECT_EQ(Run({"mute=99"}), 2);
}

}  // namespace
}  // namespace melko
