// Whole-file writes: the target is replaced only by a complete file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/atomic_write.h"

namespace melko {
namespace {

namespace fs = std::filesystem;

class AtomicWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("melko_atomic_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Read(const fs::path& p) {
    std::string out;
    ReadWholeFile(p.string(), out);
    return out;
  }
  fs::path dir_;
};

TEST_F(AtomicWrite, ReplacesTheFileAndLeavesNoTemporary) {
  fs::path target = dir_ / "song.mid";
  ASSERT_TRUE(WriteFileAtomically(target.string(), "first"));
  ASSERT_TRUE(WriteFileAtomically(target.string(), "second"));
  EXPECT_EQ(Read(target), "second");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(AtomicWrite, ASongReachedThroughALinkIsSavedIntoTheLinkedFile) {
  fs::create_directories(dir_ / "songs");
  fs::path real = dir_ / "songs" / "real.mid";
  fs::path link = dir_ / "link.mid";
  ASSERT_TRUE(WriteFileAtomically(real.string(), "old"));
  fs::create_symlink(real, link);
  ASSERT_TRUE(WriteFileAtomically(link.string(), "new"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Read(real), "new");
  EXPECT_EQ(Read(link), "new");
}

TEST_F(AtomicWrite, AMissingFolderFailsAndWritesNothing) {
  EXPECT_FALSE(WriteFileAtomically((dir_ / "missing" / "x.mid").string(), "data"));
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

}  // namespace
}  // namespace melko
