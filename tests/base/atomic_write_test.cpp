// Whole-file writes: the target is replaced only by a complete file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

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

TEST_F(AtomicWrite, ANameAsLongAsTheFolderAllowsIsSaved) {
  // 85 three-byte characters: 255 bytes, the longest name a folder takes.
  std::string name;
  for (int i = 0; i < 85; ++i) name += "\xE6\x9B\xB2";
  fs::path target = dir_ / name;
  ASSERT_TRUE(WriteFileAtomically(target.string(), "song"));
  EXPECT_EQ(Read(target), "song");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(AtomicWrite, StaleTemporariesOfOursAreRemovedByTheNextSave) {
  auto make = [&](const std::string& name, int ageSeconds) {
    fs::path p = dir_ / name;
    std::ofstream(p) << "half a song";
    fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
    return p;
  };
  fs::path stale = make(".melko-a1B2c3.tmp", 3600);
  fs::path fresh = make(".melko-d4E5f6.tmp", 0);       // may belong to a save that just began
  fs::path held = make(".melko-g7H8i9.tmp", 3600);     // a live process still writes it
  fs::path notOurs = make(".melko-toolong.tmp", 3600);
  fs::path other = make("song.tmp", 3600);
  int fd = ::open(held.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  ASSERT_TRUE(WriteFileAtomically((dir_ / "song.mid").string(), "song"));
  ::close(fd);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_TRUE(fs::exists(held));
  EXPECT_TRUE(fs::exists(notOurs));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_TRUE(IsTemporaryName(".melko-Zz0912.tmp"));
  EXPECT_FALSE(IsTemporaryName(".melko-Zz09_2.tmp"));
}

// Runs `write` where the folder refuses new files but the file inside lets
// itself be written: as an unprivileged user when we are root (who ignores
// the modes), else by taking the folder's write permission away. Returns the
// result of `write`, or -1 when the situation cannot be made here.
int InReadOnlyFolder(const fs::path& dir, const std::function<bool()>& write) {
  ::chmod(dir.c_str(), 0555);
  if (::geteuid() != 0) {
    if (::access(dir.c_str(), W_OK) == 0) {
      ::chmod(dir.c_str(), 0755);
      return -1;
    }
    bool ok = write();
    ::chmod(dir.c_str(), 0755);
    return ok;
  }
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    if (::access(dir.c_str(), X_OK) != 0 || ::access(dir.c_str(), W_OK) == 0) ::_exit(3);
    ::_exit(write() ? 1 : 0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::chmod(dir.c_str(), 0755);
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
  return WEXITSTATUS(status);
}

TEST_F(AtomicWrite, AWritableFileInAReadOnlyFolderIsOverwrittenInPlaceOnlyWhenAsked) {
  fs::path target = dir_ / "song.mid";
  ASSERT_TRUE(WriteFileAtomically(target.string(), "a longer old version"));
  ::chmod(target.c_str(), 0666);
  int refused = InReadOnlyFolder(dir_, [&] { return WriteFileAtomically(target.string(), "new"); });
  if (refused < 0) GTEST_SKIP() << "no way to make a read-only folder here";
  EXPECT_EQ(refused, 0);
  EXPECT_EQ(Read(target), "a longer old version");
  int inPlace = InReadOnlyFolder(
      dir_, [&] { return WriteFileAtomically(target.string(), "new", FolderReadOnly::WriteInPlace); });
  EXPECT_EQ(inPlace, 1);
  EXPECT_EQ(Read(target), "new");  // the old tail is cut off
  // A file that is not there cannot be made in such a folder either way.
  fs::path missing = dir_ / "new.mid";
  EXPECT_EQ(InReadOnlyFolder(
                dir_, [&] { return WriteFileAtomically(missing.string(), "x", FolderReadOnly::WriteInPlace); }),
            0);
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace melko
