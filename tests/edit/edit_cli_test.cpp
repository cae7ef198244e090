// melko --edit on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "edit/edit_cli.h"
#include "edit_test_util.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"
#include "song/song_cli.h"

namespace melko {
namespace {

using test::Note;
using test::Ticks;

class EditCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("melko_edit_cli_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    Song song;
    song.ClearSong();
    ApplySongLoaded(song);
    test::SetTrack(song, 1, {Note(0, 60), Note(1920, 62), Note(2400, 64), Note(4000, 120)});
    test::SetTrack(song, 2, {test::Ctrl(1920, 7, 100), test::Ctrl(1930, 10, 64), test::Ctrl(5000, 7, 90)});
    ASSERT_TRUE(SaveSongFile(song, In(), false));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string In() const { return (dir_ / "in.mid").string(); }
  std::string Out() const { return (dir_ / "out.mid").string(); }

  int Run(std::vector<std::string> commands) {
    std::vector<std::string> args = {"--edit", In(), Out()};
    args.insert(args.end(), commands.begin(), commands.end());
    out_.str("");
    err_.str("");
    return RunEdit(args, out_, err_);
  }
  Song Load(const std::string& path) {
    Song song;
    std::ostringstream sink;
    StreamPrompt prompt(sink);
    EXPECT_TRUE(OpenSongFile(song, path, prompt));
    return song;
  }

  std::filesystem::path dir_;
  std::ostringstream out_, err_;
};

TEST_F(EditCli, CutMovesLaterEventsAndUndoGivesTheSongBack) {
  ASSERT_EQ(Run({"range=1-2:1/1/0-2/1/0", "cut"}), 0) << err_.str();
  Song s = Load(Out());
  EXPECT_EQ(Ticks(s.Tracks[1]), (std::vector<uint32_t>{0, 4000 - 1920}));
  EXPECT_EQ(Ticks(s.Tracks[2]), (std::vector<uint32_t>{5000 - 1920}));
  ASSERT_EQ(Run({"range=1-2:1/1/0-2/1/0", "cut", "undo"}), 0);
  Song a = Load(In()), b = Load(Out());
  for (int t = 0; t < kSongTracks; ++t) EXPECT_EQ(test::Bytes(a.Tracks[t]), test::Bytes(b.Tracks[t])) << t;
}

TEST_F(EditCli, ToolsCarryTheirDialogSettings) {
  ASSERT_EQ(Run({"range=1-1:0/1/0-9/1/0", "transpose=+12", "gate=set:1/0", "quantize=grid:4:100"}), 0) << err_.str();
  auto ev = test::Events(Load(Out()).Tracks[1]);
  ASSERT_EQ(ev.size(), 4u);
  EXPECT_EQ(ev[0].D1, 72);
  EXPECT_EQ(ev[3].D1, 127);
  for (const auto& e : ev) EXPECT_EQ(e.Gate, 480u);
  EXPECT_EQ(ev[2].Tick, 2400u);
  EXPECT_EQ(ev[3].Tick, 4080u) << "4000 on an eighth grid";
}

TEST_F(EditCli, CutterThenPasteElsewhere) {
  ASSERT_EQ(Run({"range=2-2:1/1/0-2/1/0", "cutter=ctrl:7", "range=3-3:4/1/0-4/1/0", "paste"}), 0) << err_.str();
  Song s = Load(Out());
  EXPECT_EQ(Ticks(s.Tracks[2]), (std::vector<uint32_t>{1930, 5000}));
  EXPECT_EQ(Ticks(s.Tracks[3]), (std::vector<uint32_t>{4 * 1920}));
}

TEST_F(EditCli, SetCommandsAndTheirRefusal) {
  ASSERT_EQ(Run({"range=1-1:2/1/0-2/1/0", "tempo=90", "meter=3/4", "key=-2:minor"}), 0) << err_.str();
  Song s = Load(Out());
  EXPECT_EQ(s.Maps.TempoAt(3840).Tempo, 60000000u / 90);
  EXPECT_EQ(s.Maps.MeterAt(3840).Value, 0x03021808u);
  EXPECT_EQ(KeyText(s.Maps.KeyAt(3840)), "G  Min");
  EXPECT_EQ(Run({"range=1-1:2/2/0-2/2/0", "meter=3/4"}), 1);
  EXPECT_NE(err_.str().find("このイベントは小節の頭になければいけません！"), std::string::npos);
}

TEST_F(EditCli, CancelledToolKeepsThePreviousUndo) {
  ASSERT_EQ(Run({"range=1-1:1/1/0-2/1/0", "cut", "quantize=cancel", "undo"}), 0) << err_.str();
  Song a = Load(In()), b = Load(Out());
  EXPECT_EQ(test::Bytes(a.Tracks[1]), test::Bytes(b.Tracks[1]));
}

TEST_F(EditCli, CommandsWithNothingToDoKeepTheUndoOfTheLastEdit) {
  struct Row {
    const char* name;
    std::vector<std::string> commands;
    std::vector<std::string> skipped;
  } rows[] = {
      {"empty range", {"range=1-2:1/1/0-2/1/0", "cut", "range=1-2:3/1/0-3/1/0", "erase", "copy", "transpose=+2", "undo"},
       {"erase", "copy", "transpose=+2"}},
      {"empty clipboard", {"range=1-2:1/1/0-2/1/0", "transpose=+2", "paste", "insert", "mix", "undo"},
       {"paste", "insert", "mix"}},
  };
  Song in = Load(In());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(Run(row.commands), 0) << err_.str();
    for (const auto& c : row.skipped) EXPECT_NE(out_.str().find(c + ": nothing to do; "), std::string::npos) << c;
    EXPECT_EQ(out_.str().find("undo: nothing"), std::string::npos) << out_.str();
    Song out = Load(Out());
    for (int t = 0; t < kSongTracks; ++t)
      EXPECT_EQ(test::Bytes(in.Tracks[t]), test::Bytes(out.Tracks[t])) << "the undo took back the first edit, " << t;
  }
}

TEST_F(EditCli, BadCommandsAreUsageErrors) {
  for (const char* bad : {"frobnicate", "range=x", "transpose", "quantize=grid:12:100", "cut=3", "key=9:major",
                          "dynamics=note:twice:1", "cutter=ctrl:200"}) {
    EXPECT_EQ(Run({bad}), 2) << bad;
    EXPECT_FALSE(std::filesystem::exists(Out())) << bad;
  }
}

}  // namespace
}  // namespace melko
