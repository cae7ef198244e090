// The track sheet's cell texts and `melko --tracks`.
#include "views/track_sheet_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "edit/edit_test_util.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"

namespace melko {
namespace {

TEST(SheetText, EveryColumnOfARow) {
  Song song;
  song.ClearSong();
  ApplySongLoaded(song);
  song.TrackNames[2] = "Bass";
  song.Mute[2] = 1;
  song.Solo = 2;
  song.Ch[2] = 9;
  song.Instrument[2] = "GS";
  song.Pad[2] = 36;
  song.Delay[2] = -12;
  song.OutPort[2] = 1;
  song.ProgramChange[2] = 0x00000021;  // program 34, no bank
  SheetTextContext c;
  c.PortDevices = {"Synth", "External", "", ""};
  c.PatchName = [](const std::string& inst, uint32_t patch) {
    return inst == "GS" && (patch & 0xFF) == 33 ? std::string("Fingered Bs.") : std::string();
  };
  std::vector<std::string> cells;
  for (int col = 0; col < kSheetColumns; ++col) cells.push_back(SheetCellText(song, 2, col, c));
  EXPECT_EQ(cells, (std::vector<std::string>{"2", "Bass", kSheetMark, kSheetMark, "", "10", "GS", "Fingered Bs.",
                                             "C  1", "-12", "B External"}));
  EXPECT_EQ(SheetCellText(song, 2, kColProgram, c, false), "34");
  EXPECT_EQ(SheetCellText(song, 2, kColOutPort, c, false), "B");
  song.ProgramChange[2] = kNoPatch;
  EXPECT_EQ(SheetCellText(song, 2, kColProgram, c), "- ");
  song.Pad[2] = kNoPad;
  EXPECT_EQ(SheetCellText(song, 2, kColPad, c), "-");
  c.PatchName = nullptr;
  song.ProgramChange[2] = 0x00000004;
  EXPECT_EQ(SheetCellText(song, 2, kColProgram, c), "5") << "without a definition, the program number";
}

TEST(SheetText, TracksPrintsTheRowsAndTheMap) {
  const auto dir = std::filesystem::temp_directory_path() / ("melko_tracks_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  Song song;
  song.ClearSong();
  ApplySongLoaded(song);
  test::SetTrack(song, 1, {test::Chan(0, 0xC0, 5), test::Note(0, 60), test::Ctrl(960, 7, 90)});
  song.TrackNames[1] = "Piano";
  const std::string file = (dir / "t.mid").string();
  ASSERT_TRUE(SaveSongFile(song, file, false));
  std::ostringstream out, err;
  ASSERT_EQ(RunTracks({"--tracks", file, "quant=4"}, SheetTextContext{}, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "1\tPiano\t\t\t\t1\tGM\t6\t-\t0\tA\n1\t5020\n");
  EXPECT_EQ(RunTracks({"--tracks", file, "quant=65"}, SheetTextContext{}, out, err), 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace melko
