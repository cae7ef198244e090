// The --dump and --convert commands as a script sees them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "smf_builder.h"
#include "song/smf_reader.h"
#include "song/song_cli.h"

namespace melko {
namespace {

using namespace melko::test;
namespace fs = std::filesystem;

class SongCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("melko_cli_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  std::string Write(const std::string& name, const Bytes& bytes) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  fs::path dir_;
};

TEST_F(SongCli, DumpPrintsTheLogThenTheSongInItsStableForm) {
  Bytes name{'S', 'o', 'n', 'g', ' ', '"', 'A', '"', '\\', 0x82, 0xA0};
  std::string file = Write(
      "a.mid", Smf(1, 96,
                   {TrackBody({{0, Meta(0x03, name)}, {0, Tempo(500000)}, {0, EndOfTrack()}}),
                    TrackBody({{0, Bytes{0xC3, 5}}, {0, Bytes{0x93, 60, 100}}, {0, Bytes{0xE3, 0x00, 0x00}},
                               {10, Bytes{0x83, 60, 0}}, {0, Bytes{0xF0, 2, 0x01, 0xF7}}, {0, Bytes{0xA3, 1, 2}},
                               {0, Bytes{0xB3, 7, 99}}, {0, Bytes{0xD3, 9}}, {0, Meta(0x7F, {0xAB})},
                               {0, EndOfTrack()}})}));
  std::ostringstream out, err;
  ASSERT_EQ(RunDump({"--dump", file}, out, err), 0);
  std::string text = out.str();
  EXPECT_NE(text.find("--- " + file + " ---\nFileSize: "), std::string::npos);
  size_t song = text.find("== song ==\n");
  ASSERT_NE(song, std::string::npos);
  EXPECT_EQ(text.substr(song),
            "== song ==\n"
            "TPQN 96\n"
            "Copyright \"\"\n"
            "LastTrack 1\n"
            "NoteOffStyle 1\n"
            "== track 0 ==\n"
            "Name \"Song \\\"A\\\"\\\\\\x82\\xA0\"\n"
            "Ch 0 Port 0 Pad 255 Delay 0 End 0\n"
            "0 Meta 51 3 07 A1 20\n"
            "== track 1 ==\n"
            "Name \"\"\n"
            "Ch 3 Port 0 Pad 255 Delay 0 End 10\n"
            "0 Prog 5\n"
            "0 Note 60 100 0 10\n"
            "0 Bend -8192\n"
            "10 SysEx F0 2 01 F7\n"
            "10 KyPrs 1 2\n"
            "10 Ctrl 7 99\n"
            "10 ChPrs 9\n"
            "10 Meta 7F 1 AB\n");
  EXPECT_TRUE(err.str().empty());
}

TEST_F(SongCli, FailuresPrintTheMessageAndExitWithOne) {
  std::ostringstream out, err;
  std::string missing = (dir_ / "missing.mid").string();
  EXPECT_EQ(RunDump({"--dump", missing}, out, err), 1);
  EXPECT_EQ(err.str(), missing + kMsgLoadFailed + "\n");
  EXPECT_NE(out.str().find("--- " + missing + " ---"), std::string::npos);

  std::ostringstream out2, err2;
  std::string zero = Write("zero.mid", Smf(0, 0, {TrackBody({{0, EndOfTrack()}})}));
  EXPECT_EQ(RunDump({"--dump", zero}, out2, err2), 1);
  EXPECT_EQ(err2.str(), std::string(kMsgUnreadable) + "\n");
}

TEST_F(SongCli, ConvertWritesFormat0AndKeepsTheOldFileOnFailure) {
  std::string in = Write("in.mid", Smf(1, 480, {TrackBody({{0, EndOfTrack()}}),
                                                TrackBody({{0, Bytes{0x90, 60, 100}}, {10, Bytes{0x80, 60, 0}},
                                                           {0, EndOfTrack()}})}));
  std::string out0 = (dir_ / "out0.mid").string();
  std::ostringstream out, err;
  ASSERT_EQ(RunConvert({"--convert", in, out0, "--format0"}, out, err), 0);
  std::ifstream f(out0, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 14u);
  EXPECT_EQ(bytes[9], 0);

  std::string target = Write("kept.mid", Bytes{'o', 'l', 'd'});
  std::ostringstream out2, err2;
  EXPECT_EQ(RunConvert({"--convert", in, (dir_ / "nofolder" / "x.mid").string()}, out2, err2), 1);
  EXPECT_EQ(err2.str().rfind("ファイルの書込みに失敗しました。\n", 0), 0u);
  fs::permissions(dir_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  if (access(dir_.c_str(), W_OK) != 0) {  // root may write anyway
    std::ostringstream out3, err3;
    EXPECT_EQ(RunConvert({"--convert", in, target}, out3, err3), 1);
  }
  fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
  std::ifstream k(target, std::ios::binary);
  std::string kept((std::istreambuf_iterator<char>(k)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, "old");
}

TEST(ExTrack, ReadsIntoTracks65OnwardsWithoutTouchingTheSong) {
  Song song;
  song.TrackNames[1] = "song track";
  song.Copyright = "mine";
  LoadedSmf file;
  file.Bytes = Smf(1, 480, {TrackBody({{0, MetaText(3, "Ex")}, {0, MetaText(2, "theirs")}, {0, Tempo(400000)},
                                       {0, EndOfTrack()}}),
                            TrackBody({{0, Bytes{0x92, 60, 100}}, {10, Bytes{0x82, 60, 0}}, {0, EndOfTrack()}})});
  RecordingPrompt prompt;
  ASSERT_TRUE(LoadImageBytes("ex.mid", file, song, prompt));
  TSmfHeader header;
  ASSERT_TRUE(ReadSmfHeader(file, header, 0, song, prompt));
  ReadExTrackTracks(song, file, header);
  EXPECT_EQ(song.ExLastTrack, 66);
  EXPECT_EQ(song.TrackNames[65], "Ex");
  EXPECT_EQ(song.Copyright, "mine");
  EXPECT_EQ(song.TrackNames[1], "song track");
  EXPECT_EQ(Events(song.Tracks[65]).size(), 1u);  // the tempo, in the ExTrack's own conductor
  EXPECT_EQ(Events(song.Tracks[66]).size(), 1u);
  EXPECT_EQ(song.TrackEnds[66], 10u);
  EXPECT_FALSE(song.NoteOffStyle);  // the ExTrack's note-offs do not change how the song saves
}

}  // namespace
}  // namespace melko
