// A test of a batch form on files: a temporary folder, the command run on
// IN and OUT there with its output kept, and OUT loaded as opening does.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "song/smf_reader.h"
#include "song/song_cli.h"

namespace melko::test {

class BatchFileTest : public ::testing::Test {
 protected:
  using Runner = std::function<int(const std::vector<std::string>&, std::ostream&, std::ostream&)>;
  explicit BatchFileTest(const std::string& prefix)
      : dir_(std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  // `--edit IN OUT COMMAND...` through `runner`.
  int RunEditWith(const Runner& runner, std::vector<std::string> commands) {
    std::vector<std::string> args = {"--edit", Path("in.mid"), Path("out.mid")};
    args.insert(args.end(), commands.begin(), commands.end());
    out_.str("");
    err_.str("");
    return runner(args, out_, err_);
  }
  Song Load() {
    Song song;
    std::ostringstream sink;
    StreamPrompt prompt(sink);
    EXPECT_TRUE(OpenSongFile(song, Path("out.mid"), prompt));
    return song;
  }
  std::filesystem::path dir_;
  std::ostringstream out_, err_;
};

}  // namespace melko::test
