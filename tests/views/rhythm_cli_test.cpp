// The rhythm pattern editor's batch forms: its --edit commands among the
// range operations, and --rhythm.
#include "views/rhythm_cli.h"

#include <gtest/gtest.h>

#include <fstream>

#include "edit/batch_file_test.h"
#include "edit/edit_test_util.h"
#include "song/smf_writer.h"
#include "views/sheet_cli.h"

namespace melko {
namespace {

class RhythmCli : public test::BatchFileTest {
 protected:
  RhythmCli() : BatchFileTest("melko_rhythm_cli_") {}
  void SetUp() override {
    Song song;
    song.ClearSong();
    ApplySongLoaded(song);
    test::SetTrack(song, 1, {test::Note(0, 36, 100), test::Note(240, 38, 90), test::Note(240, 36, 80)});
    ASSERT_TRUE(SaveSongFile(song, Path("in.mid"), false));
  }
  int Run(std::vector<std::string> commands) { return RunEditWith(RunSheetEdit, std::move(commands)); }
  int Print(const std::string& file) {
    out_.str("");
    err_.str("");
    return RunRhythmPrint({"--rhythm", file}, out_, err_);
  }
};

TEST_F(RhythmCli, ImportEditSaveAndPrint) {
  const std::string rym = Path("p.rym");
  ASSERT_EQ(Run({"range=1-1:0/1/0-2/1/0", "rhythmimport", "rhythmset=shuffle=50,measures=1", "rhythmcell=4:42:64",
                 "rhythmcell=2:38:0", "rhythmsave=" + rym}),
            0)
      << err_.str();
  EXPECT_NE(out_.str().find("現在編集中のデータを破棄しますか？ Yes"), std::string::npos);
  EXPECT_NE(out_.str().find("rhythmimport: 3 notes"), std::string::npos);
  ASSERT_EQ(Print(rym), 0) << err_.str();
  EXPECT_EQ(out_.str(),
            "pattern 1: Pattern\nquant 16\nmeter 4/4\nmeasures 1\nshuffle 50\ninstrument \ndrumset 0\nmap 0\n"
            "0 36 100\n2 36 80\n4 42 64\n");
}

TEST_F(RhythmCli, ExportThenPasteIntoATrack) {
  ASSERT_EQ(Run({"rhythmset=shuffle=100", "rhythmcell=0:36:100", "rhythmcell=1:38:90", "rhythmexport",
                 "range=2-2:0/3/0-0/3/1", "paste"}),
            0)
      << err_.str();
  EXPECT_NE(out_.str().find("length 3840"), std::string::npos);
  Song song = Load();
  EXPECT_EQ(test::Events(song.Tracks[2]),
            (std::vector<test::Ev>{{960, 0x90, 36, 100, 1}, {960 + 160, 0x90, 38, 90, 1}}));
}

TEST_F(RhythmCli, OpenStretchAndRefusals) {
  const std::string rym = Path("p.rym");
  ASSERT_EQ(Run({"rhythmset=quant=32,measures=1", "rhythmcell=31:36:100", "rhythmstretch", "rhythmsave=" + rym}), 0)
      << err_.str();
  ASSERT_EQ(Run({"rhythmopen=" + rym + ":1", "rhythmcell=62:40:1", "rhythmsave=" + rym}), 0) << err_.str();
  ASSERT_EQ(Print(rym), 0);
  EXPECT_NE(out_.str().find("quant 64\n"), std::string::npos);
  EXPECT_NE(out_.str().find("\n62 36 100\n62 40 1\n"), std::string::npos);

  EXPECT_EQ(Run({"rhythmset=quant=48", "rhythmstretch"}), 1);
  EXPECT_EQ(Run({"rhythmcell=32:36:100"}), 1);   // outside the grid of 32 steps
  EXPECT_EQ(Run({"rhythmset=quant=20"}), 1);
  EXPECT_EQ(Run({"rhythmset=unit=0"}), 2);
  EXPECT_EQ(Run({"rhythmopen=" + rym + ":2"}), 1);
  std::ofstream(Path("old.rym"), std::ios::binary) << std::string("RYM\x02\0\0\0\0", 8);
  EXPECT_EQ(Run({"rhythmopen=" + Path("old.rym")}), 1);
  EXPECT_NE(err_.str().find("このファイルは読めない形式です！"), std::string::npos);
  EXPECT_EQ(Print(Path("old.rym")), 1);
}

}  // namespace
}  // namespace melko
