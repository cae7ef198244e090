// The event list's batch forms on files: --list as drawn, the --edit
// commands, their refusals, and the demo song typed back cell by cell.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "base/text_encoding.h"
#include "batch_file_test.h"
#include "edit/event_list_cli.h"
#include "edit/event_list_commit.h"
#include "edit/event_list_model.h"
#include "edit_test_util.h"
#include "song/smf_writer.h"

namespace melko {
namespace {

using test::Ctrl;
using test::Meta;
using test::Note;

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

class ListCli : public test::BatchFileTest {
 protected:
  ListCli() : BatchFileTest("melko_list_cli_") {}
  void SetUp() override {
    Song song;
    song.ClearSong();
    ApplySongLoaded(song);
    test::SetTrack(song, 0, {Meta(0, 0x58, 0x04021808, 4), Meta(0, 0x51, 500000, 3)});
    song.RebuildMaps();
    test::SetTrack(song, 1, {Note(0, 60), Ctrl(0, 7, 100), Note(480, 62), Note(1920, 64)});
    test::SetTrack(song, 2, {Note(1800, 60), Note(1920, 62)});
    ASSERT_TRUE(SaveSongFile(song, Path("in.mid"), false));
  }
  ListCliContext Context() const { return {MELKO_SHIPPED_DATA_DIR, nullptr}; }
  int List(std::vector<std::string> args, const std::string& file) {
    args.insert(args.begin(), {"--list", file});
    out_.str("");
    err_.str("");
    return RunList(args, Context(), out_, err_);
  }
  int Edit(std::vector<std::string> commands) {
    return RunEditWith(
        [&](const std::vector<std::string>& a, std::ostream& o, std::ostream& e) {
          return RunEdit(a, o, e, ListEditExtension(Context()));
        },
        std::move(commands));
  }
};

TEST_F(ListCli, PrintsTheRowsAsDrawn) {
  ASSERT_EQ(List({"1"}, Path("in.mid")), 0) << err_.str();
  EXPECT_EQ(out_.str(),
            "0\t  0/  1/   0\tNote   C  3\t100\t  0/120\n"
            "1\t\tCtrl      7\t100\t Volume\n"
            "2\t      2/   0\tNote   D  3\t100\t  0/120\n"
            "3\t  1/  1/   0\tNote   E  3\t100\t  0/120\n");
  ASSERT_EQ(List({"1", "filter=4", "settings=0", "selected=0"}, Path("in.mid")), 0);
  EXPECT_EQ(out_.str(), "0\t  0/  1/   0\tCtrl     07\t100\t Volume\t*\n");
  ASSERT_EQ(List({"1", "ctrl=10"}, Path("in.mid")), 0);
  EXPECT_EQ(out_.str().find("Ctrl"), std::string::npos);
  ASSERT_EQ(List({"0", "meta=88"}, Path("in.mid")), 0);
  EXPECT_EQ(out_.str(), "0\t  0/  1/   0\tMeter \t4/4\t\n");
  EXPECT_EQ(List({"65"}, Path("in.mid")), 2);
  EXPECT_EQ(List({"1", "bogus=1"}, Path("in.mid")), 2);
  EXPECT_EQ(List({"1"}, Path("missing.mid")), 1);
}

TEST_F(ListCli, EditCommandsRunTheEditor) {
  ASSERT_EQ(Edit({"cell=1:0:3:64", "cell=1:2:1:0/3/0", "delete=1:1", "step=0/240", "newrow=1"}), 0) << err_.str();
  Song s = Load();
  EXPECT_EQ(test::Events(s.Tracks[1]),
            (std::vector<test::Ev>{{0, 0x90, 60, 64, 120}, {960, 0x90, 62, 100, 120}, {1920, 0x90, 64, 100, 120},
                                   {2160, 0x90, 64, 100, 120}}));
  // Delete then Insert on the same row puts the event back.
  ASSERT_EQ(Edit({"delete=1:1", "insert=1:1"}), 0) << err_.str();
  EXPECT_EQ(ReadAll(Path("out.mid")), ReadAll(Path("in.mid")));
  ASSERT_EQ(Edit({"rpn=1:0/2/0:RPN:Pitch Bend Sensitivity:2", "rpn=1:0/3/0:GS Drum:Drum Instrument Panpot:10:38"}), 0)
      << err_.str();
  s = Load();
  EXPECT_EQ(test::Events(s.Tracks[1]).size(), 4u + 5u + 4u);
  ASSERT_EQ(Edit({"shift=2:1:2/1/0:track"}), 0) << err_.str();
  EXPECT_EQ(test::Ticks(Load().Tracks[2]), (std::vector<uint32_t>{1800, 3840}));
}

TEST_F(ListCli, RefusedCommandsSayWhyAndExitOne) {
  EXPECT_EQ(Edit({"cell=0:0:1:1/1/0"}), 1);
  EXPECT_NE(err_.str().find(kMsgMeterFixed), std::string::npos);
  EXPECT_EQ(Edit({"delete=0:0"}), 1);
  EXPECT_EQ(Edit({"shift=2:1:0/1/0:song"}), 1);
  EXPECT_NE(err_.str().find("Track 1 2 \n\r\rでシフトできません！"), std::string::npos) << err_.str();
  EXPECT_EQ(Edit({"sysex=1:0:F0 41 F7"}), 1);  // not a SysEx row
  EXPECT_EQ(Edit({"rpn=1:0:RPN:No Such Thing:1"}), 1);
  EXPECT_EQ(Edit({"cell=1:99:1:0"}), 1);
  EXPECT_EQ(Edit({"cell=1:0:0:x"}), 2);
  EXPECT_EQ(Edit({"rpn=1:0:RPN"}), 2);
  // The range operations and the sheet keep their names.
  EXPECT_EQ(Edit({"range=1-1:0/1/0-0/2/0", "insert"}), 0);
  EXPECT_NE(out_.str().find("insert: nothing to do"), std::string::npos) << out_.str();
}

TEST_F(ListCli, SysExTextGoesIntoASysExRow) {
  Song song;
  song.ClearSong();
  ApplySongLoaded(song);
  const std::string body("\x41\x10\x42\x12\x40\x00\x7F\x00\x41\xF7", 10);
  TMidiEvent sx = Meta(0, 0, 0, uint32_t(body.size()));
  sx.Status = 0xF0;
  sx.Data = reinterpret_cast<const uint8_t*>(body.data());
  test::SetTrack(song, 1, {sx, Note(10, 60)});
  ASSERT_TRUE(SaveSongFile(song, Path("in.mid"), false));
  EXPECT_EQ(Edit({"sysex=1:0:F0 41 10 42 12 40 00 80 00 41 F7"}), 1);
  EXPECT_EQ(Edit({"sysex=1:0:F0 43 10 4C 00 00 7E 00 F7"}), 0) << err_.str();
  ASSERT_EQ(List({"1"}, Path("out.mid")), 0);
  EXPECT_NE(out_.str().find("\t XG System On"), std::string::npos) << out_.str();
}

#ifdef MELKO_DEMO_FILE
// Every row of the demo song, every cell typed back as the selected row
// shows it, saves the same bytes as the song saved untouched.
TEST_F(ListCli, DemoSongTypedBackCellByCellStaysTheSame) {
  Song song;
  std::ostringstream sink;
  StreamPrompt prompt(sink);
  ASSERT_TRUE(OpenSongFile(song, MELKO_DEMO_FILE, prompt)) << "run the build to make the demo";
  ASSERT_TRUE(SaveSongFile(song, Path("in.mid"), false));
  ASSERT_EQ(Edit({}), 0) << err_.str();
  const std::string untouched = ReadAll(Path("out.mid"));
  std::vector<std::string> commands;
  ListTextContext c;
  c.Maps = &song.Maps;
  c.Tpqn = song.TPQN;
  for (int t = 0; t <= song.LastTrack; ++t) {
    TEventListModel m;
    m.Load(song, t);
    // One change and its reversal first, so that the whole track is written back.
    for (size_t row = 0; row < m.RowCount(); ++row)
      if (m.Events()[row].Status == 0x90 || m.Events()[row].IsMeta(0x51)) {
        const std::string cell = "cell=" + std::to_string(t) + ":" + std::to_string(row) + ":3:";
        commands.push_back(cell + "100");
        commands.push_back(cell + "99");
        commands.push_back(cell + m.CellText(row, 3, long(row), c));
        break;
      }
    for (size_t row = 0; row < m.RowCount(); ++row)
      for (int col = 1; col <= 4; ++col)
        commands.push_back("cell=" + std::to_string(t) + ":" + std::to_string(row) + ":" + std::to_string(col) + ":" +
                           DisplayText(m.CellText(row, col, long(row), c)));
  }
  ASSERT_GT(commands.size(), 400u);
  ASSERT_EQ(Edit(commands), 0) << err_.str();
  EXPECT_EQ(ReadAll(Path("out.mid")), untouched);
}
#endif

}  // namespace
}  // namespace melko
