#include "instruments/read_file.h"

#include <cerrno>
#include <cstdio>

namespace melko {

ReadFileResult ReadWholeFile(const std::string& path, uint64_t maxBytes, std::string& out) {
  out.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return errno == ENOENT ? ReadFileResult::Missing : ReadFileResult::Failed;
  char buf[65536];
  ReadFileResult result = ReadFileResult::Ok;
  for (;;) {
    const size_t n = std::fread(buf, 1, sizeof buf, f);
    if (n > 0) {
      if (out.size() + n > maxBytes) {
        result = ReadFileResult::TooLarge;
        break;
      }
      out.append(buf, n);
    }
    if (n < sizeof buf) {
      if (std::ferror(f)) result = ReadFileResult::Failed;
      break;
    }
  }
  std::fclose(f);
  if (result != ReadFileResult::Ok) out.clear();
  return result;
}

std::string ReadFirstLine(const std::string& path, size_t maxBytes) {
  std::string line;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return line;
  int c;
  while (line.size() < maxBytes && (c = std::fgetc(f)) != EOF && c != '\n' && c != '\r') line += static_cast<char>(c);
  std::fclose(f);
  if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
  return line;
}

}  // namespace melko
