#include "archive_fixture.h"

#include <archive.h>
#include <archive_entry.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/lha_format.h"

namespace melko::test {

void ArchiveTest::SetUp() {
  char tmpl[] = "/tmp/melko-archive-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  dir_ = tmpl;
}

void ArchiveTest::TearDown() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void ArchiveTest::MakeZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
  archive* w = archive_write_new();
  archive_write_set_format_zip(w);
  ASSERT_EQ(archive_write_open_filename(w, path.c_str()), ARCHIVE_OK);
  for (const auto& [name, data] : members) {
    archive_entry* e = archive_entry_new();
    archive_entry_copy_pathname(e, name.c_str());
    archive_entry_set_filetype(e, name.back() == '/' ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
    archive_entry_set_mtime(e, 1700000000, 0);
    ASSERT_EQ(archive_write_header(w, e), ARCHIVE_OK);
    if (!data.empty()) archive_write_data(w, data.data(), data.size());
    archive_entry_free(e);
  }
  archive_write_close(w);
  archive_write_free(w);
}

void ArchiveTest::WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string ArchiveTest::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int ArchiveTest::Run(const std::string& command) const {
  return std::system(("cd '" + dir_ + "' && " + command).c_str());
}

std::string ArchiveTest::RunOutput(const std::string& command) const {
  std::string out;
  FILE* p = popen(("cd '" + dir_ + "' && " + command).c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

std::string OldLhaMember(int level, const std::string& name, const std::string& data, uint32_t dosTime) {
  auto le = [](std::string& s, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  std::string h;
  h += "-lh0-";
  le(h, static_cast<uint32_t>(data.size()), 4);
  le(h, static_cast<uint32_t>(data.size()), 4);
  le(h, dosTime, 4);
  h += static_cast<char>(level == 1 ? 0x20 : 0);
  h += static_cast<char>(level);
  h += static_cast<char>(name.size());
  h += name;
  le(h, LhaCrc16(data), 2);
  if (level == 1) {
    h += 'M';
    le(h, 0, 2);  // no extended header
  }
  uint8_t sum = 0;
  for (char c : h) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  std::string m;
  m += static_cast<char>(h.size());
  m += static_cast<char>(sum);
  return m + h + data;
}

}  // namespace melko::test
