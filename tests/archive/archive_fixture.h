// Archives made in the test: a scratch folder, ZIP files written through
// libarchive or the `zip` tool, and LHA files from raw headers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace melko::test {

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Members written with libarchive (deflate).
  void MakeZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members);
  static void WriteFile(const std::string& path, const std::string& bytes);
  static std::string ReadFile(const std::string& path);
  // Runs a shell command in the scratch folder; its exit status.
  int Run(const std::string& command) const;
  std::string RunOutput(const std::string& command) const;

  std::string dir_;
};

// A level-0 or level-1 LHA member stored uncompressed ("-lh0-"), with a DOS
// time, as old DOS archivers wrote them.
std::string OldLhaMember(int level, const std::string& name, const std::string& data, uint32_t dosTime);

}  // namespace melko::test
