#include "archive/archive_path.h"

#include <cstdio>
#include <ctime>

namespace melko {

namespace {
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
}  // namespace

ArchiveKind GetArchiveKind(std::string_view path) {
  size_t gt = path.find('>');
  if (gt != std::string_view::npos) path = path.substr(0, gt);
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return ArchiveKind::None;
  std::string ext;
  for (char c : path.substr(dot)) ext += Upper(c);
  // The position of the extension in ".LZH.ZIP", counted from 1, + 3, div 4;
  // only whole four-character extensions can match at a multiple of four.
  static const std::string kKinds = ".LZH.ZIP";
  if (ext.size() != 4) return ArchiveKind::None;
  size_t at = kKinds.find(ext);
  if (at == std::string::npos || at % 4 != 0) return ArchiveKind::None;
  return static_cast<ArchiveKind>((at + 1 + 3) / 4);
}

bool SplitArchivePath(std::string_view path, std::string& archive, std::string& member) {
  size_t gt = path.find('>');
  if (gt == std::string_view::npos) {
    archive.clear();
    member.clear();
    return false;
  }
  archive = std::string(path.substr(0, gt));
  member = std::string(path.substr(gt + 1));
  return true;
}

bool IsArchivePath(std::string_view path) {
  size_t gt = path.find('>');
  return gt != std::string_view::npos && gt + 1 < path.size() && GetArchiveKind(path.substr(0, gt)) != ArchiveKind::None;
}

std::string JoinArchivePath(std::string_view archive, std::string_view member) {
  std::string path(archive);
  path += '>';
  path += member;
  return path;
}

std::string MemberFileName(std::string_view member) {
  size_t cut = member.find_last_of("/\\");
  std::string name(cut == std::string_view::npos ? member : member.substr(cut + 1));
  if (name == "." || name == "..") return {};
  return name;
}

std::string DosTimeText(uint32_t dosTime) {
  unsigned time = dosTime & 0xFFFF, date = dosTime >> 16;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9), (date >> 5) & 15, date & 31,
                time >> 11, (time >> 5) & 63, (time & 31) * 2);
  return text;
}

uint32_t UnixToDosTime(int64_t unixTime) {
  std::time_t t = static_cast<std::time_t>(unixTime);
  std::tm tm{};
  if (!localtime_r(&t, &tm) || tm.tm_year < 80) return (1u << 5 | 1u) << 16;  // 1980-01-01
  if (tm.tm_year > 80 + 127) tm.tm_year = 80 + 127;
  uint32_t date = uint32_t(tm.tm_year - 80) << 9 | uint32_t(tm.tm_mon + 1) << 5 | uint32_t(tm.tm_mday);
  uint32_t time = uint32_t(tm.tm_hour) << 11 | uint32_t(tm.tm_min) << 5 | uint32_t(tm.tm_sec / 2);
  return date << 16 | time;
}

int64_t DosToUnixTime(uint32_t dosTime) {
  unsigned time = dosTime & 0xFFFF, date = dosTime >> 16;
  std::tm tm{};
  tm.tm_year = int(date >> 9) + 80;
  tm.tm_mon = int((date >> 5) & 15) - 1;
  tm.tm_mday = int(date & 31);
  tm.tm_hour = int(time >> 11);
  tm.tm_min = int((time >> 5) & 63);
  tm.tm_sec = int(time & 31) * 2;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

}  // namespace melko
