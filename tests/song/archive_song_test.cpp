// Songs opened from and saved into archive members ("pack.zip>dir/song.mid"),
// through the same calls as plain files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/archive_access.h"
#include "smf_builder.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"

namespace melko::test {
namespace {

class ArchiveSongTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melko-arcsong-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& n) const { return dir_ + "/" + n; }
  static std::string Read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }
  std::string dir_;
};

const Bytes kSmf = Smf(1, 96, {TrackBody({{0, Tempo(500000)}, {0, EndOfTrack()}}),
                              TrackBody({{0, MetaText(0x03, "Piano")}, {0, {0x90, 60, 100}}, {96, {0x80, 60, 0}},
                                         {0, EndOfTrack()}})});

TEST_F(ArchiveSongTest, AMemberOpensAsAFileAndSavesBackIntoItsArchive) {
  ASSERT_TRUE(StoreFromMemory(Path("p.zip"), "other.txt", "keep me"));
  ASSERT_TRUE(StoreFromMemory(Path("p.zip"), "songs/a.mid", Text(kSmf)));
  Song song;
  RecordingPrompt prompt;
  ASSERT_TRUE(OpenSongFile(song, Path("p.zip") + ">songs/a.mid", prompt));
  EXPECT_EQ(song.TPQN, 96);
  EXPECT_EQ(song.TrackNames[1], "Piano");

  song.TrackNames[1] = "Organ";
  ASSERT_TRUE(SaveSongFile(song, Path("p.zip") + ">songs/a.mid", false));
  ASSERT_TRUE(SaveSongFile(song, Path("q.lzh") + ">b.mid", false));  // a new LHA archive
  std::string kept;
  ASSERT_TRUE(ExtractToMemory(Path("p.zip"), "other.txt", kept));
  EXPECT_EQ(kept, "keep me");
  for (const std::string& path : {Path("p.zip") + ">songs/a.mid", Path("q.lzh") + ">b.mid"}) {
    Song again;
    ASSERT_TRUE(OpenSongFile(again, path, prompt)) << path;
    EXPECT_EQ(again.TrackNames[1], "Organ") << path;
  }
}

TEST_F(ArchiveSongTest, MissingMembersFailWithTheLoadMessageAndFailedStoresKeepTheArchive) {
  ASSERT_TRUE(StoreFromMemory(Path("p.zip"), "a.mid", Text(kSmf)));
  Song song;
  RecordingPrompt prompt;
  EXPECT_FALSE(OpenSongFile(song, Path("p.zip") + ">b.mid", prompt));
  ASSERT_EQ(prompt.Errors.size(), 1u);
  EXPECT_EQ(prompt.Errors[0], Path("p.zip") + ">b.mid" + kMsgLoadFailed);
  EXPECT_FALSE(OpenSongFile(song, Path("p.zip") + ">", prompt));

  ASSERT_TRUE(OpenSongFile(song, Path("p.zip") + ">a.mid", prompt));
  std::ofstream(Path("bad.lzh"), std::ios::binary) << "-lh5- this is no archive";
  std::string before = Read(Path("bad.lzh"));
  std::string why;
  EXPECT_FALSE(SaveSongFile(song, Path("bad.lzh") + ">a.mid", false, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(Read(Path("bad.lzh")), before);
}

TEST_F(ArchiveSongTest, APlainFileWhoseNameHoldsTheMarkIsThatFile) {
  std::ofstream(Path("x.zip>y.mid"), std::ios::binary) << Text(kSmf);
  Song song;
  RecordingPrompt prompt;
  EXPECT_TRUE(OpenSongFile(song, Path("x.zip>y.mid"), prompt));
  EXPECT_FALSE(std::filesystem::exists(Path("x.zip")));
}

}  // namespace
}  // namespace melko::test
