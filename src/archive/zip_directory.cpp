#include "archive/zip_directory.h"

#include <algorithm>

namespace melko {

namespace {

uint64_t Le(const std::string& b, size_t at, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + size_t(i)]);
  return v;
}

// A directory larger than this is not read (it would list millions of members).
constexpr uint64_t kMaxDirectoryBytes = uint64_t{256} << 20;

}  // namespace

bool ReadZipDirectory(const ByteReader& read, uint64_t fileSize, std::vector<ZipEntry>& list,
                      std::string_view only) {
  list.clear();
  if (fileSize < 22) return false;
  // The end record sits in the last 22 bytes plus a comment of up to 65535.
  uint64_t tailSize = std::min<uint64_t>(fileSize, 22 + 65535);
  std::string tail;
  if (!read(fileSize - tailSize, static_cast<size_t>(tailSize), tail) || tail.size() != tailSize) return false;
  size_t eocd = std::string::npos;
  for (size_t i = tail.size() - 22 + 1; i-- > 0;) {
    if (tail.compare(i, 4, "PK\x05\x06") == 0) {
      eocd = i;
      break;
    }
  }
  if (eocd == std::string::npos) return false;
  uint64_t count = Le(tail, eocd + 10, 2);
  uint64_t dirSize = Le(tail, eocd + 12, 4);
  uint64_t dirOffset = Le(tail, eocd + 16, 4);
  // ZIP64: the locator is the 20 bytes before the end record.
  if ((count == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) && eocd >= 20 &&
      tail.compare(eocd - 20, 4, "PK\x06\x07") == 0) {
    uint64_t at = Le(tail, eocd - 20 + 8, 8);
    std::string rec;
    if (at < fileSize && read(at, 56, rec) && rec.size() == 56 && rec.compare(0, 4, "PK\x06\x06") == 0) {
      count = Le(rec, 32, 8);
      dirSize = Le(rec, 40, 8);
      dirOffset = Le(rec, 48, 8);
    }
  }
  if (dirOffset > fileSize || dirSize > fileSize - dirOffset || dirSize > kMaxDirectoryBytes) return false;
  std::string dir;
  if (!read(dirOffset, static_cast<size_t>(dirSize), dir) || dir.size() != dirSize) return false;
  size_t at = 0, seen = 0;
  while (at + 46 <= dir.size() && dir.compare(at, 4, "PK\x01\x02") == 0) {
    if (seen >= kMaxArchiveMembers || seen >= count) break;
    size_t nameLen = Le(dir, at + 28, 2), extraLen = Le(dir, at + 30, 2), commentLen = Le(dir, at + 32, 2);
    if (at + 46 + nameLen + extraLen + commentLen > dir.size()) return false;
    ++seen;
    if (!only.empty() && std::string_view(dir).substr(at + 46, nameLen) != only) {
      at += 46 + nameLen + extraLen + commentLen;
      continue;
    }
    ZipEntry e;
    e.Info.Name = dir.substr(at + 46, nameLen);
    e.Info.Time = static_cast<uint32_t>(Le(dir, at + 14, 2) << 16 | Le(dir, at + 12, 2));
    e.Flags = static_cast<uint16_t>(Le(dir, at + 8, 2));
    uint64_t size = Le(dir, at + 24, 4);
    e.CompressedSize = Le(dir, at + 20, 4);
    e.LocalOffset = Le(dir, at + 42, 4);
    e.CentralOffset = dirOffset + at;
    // The ZIP64 extra field holds, in this order, the sizes and the offset
    // that did not fit.
    size_t x = at + 46 + nameLen, xEnd = x + extraLen;
    while (x + 4 <= xEnd) {
      size_t id = Le(dir, x, 2), len = Le(dir, x + 2, 2);
      if (x + 4 + len > xEnd) break;
      if (id == 1) {
        size_t v = x + 4, vEnd = v + len;
        if (size == 0xFFFFFFFF && v + 8 <= vEnd) size = Le(dir, v, 8), v += 8;
        if (e.CompressedSize == 0xFFFFFFFF && v + 8 <= vEnd) e.CompressedSize = Le(dir, v, 8), v += 8;
        if (e.LocalOffset == 0xFFFFFFFF && v + 8 <= vEnd) e.LocalOffset = Le(dir, v, 8);
      }
      x += 4 + len;
    }
    // A member of 4 GiB or more shows as the largest size that is not "absent".
    e.Info.Size = static_cast<uint32_t>(std::min<uint64_t>(size, 0xFFFFFFFEu));
    list.push_back(std::move(e));
    at += 46 + nameLen + extraLen + commentLen;
  }
  return seen == count || seen >= kMaxArchiveMembers;
}

}  // namespace melko
