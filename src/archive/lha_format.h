// The LHA archive layout, read and written by us: the header walk that lists
// an archive's members with their raw names and finds each member's bytes,
// and the writer that stores one member uncompressed (method "-lh0-", a
// level-2 header with the header's and the data's CRC-16) while every other
// member is copied byte for byte. Decompression is libarchive's
// (archive_access.cpp). Pure functions over byte buffers, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/file_info.h"

namespace melko {

struct LhaMember {
  TFileInfoObj Info;   // name with "/" between folders ("dir/" for a folder entry)
  std::string Method;  // "-lh5-", "-lhd-" ...
  uint8_t Level = 0;
  size_t Offset = 0;   // of its header in the archive
  size_t Length = 0;   // header and data
  size_t DataOffset = 0;  // of its packed data
  uint16_t Crc = 0;       // of its unpacked data
};

struct LhaListing {
  std::vector<LhaMember> Members;
  // False when the walk stopped at a header it could not read before the
  // end mark or the end of the bytes (what came before is in Members).
  bool Complete = true;
};

// Walks the headers of levels 0, 1 and 2; never reads past `bytes`.
LhaListing ReadLhaListing(std::string_view bytes);

// CRC-16 as LHA uses it (polynomial 0xA001, reflected, initial 0).
uint16_t LhaCrc16(std::string_view bytes, uint16_t crc = 0);

// One member as a level-2 entry: header and the packed data as given.
std::string MakeLhaEntry(std::string_view method, std::string_view name, uint32_t originalSize, uint16_t crc,
                         std::string_view packed, int64_t unixTime);
// One member stored uncompressed ("-lh0-").
std::string MakeLh0Member(std::string_view name, std::string_view data, int64_t unixTime);

// The archive `old` (empty for a new one) with member `name` stored from
// `data`: a member of that name is replaced where it stood, otherwise the new
// one goes at the end. False (and `out` untouched) when `old` is not an LHA
// archive read to its end, so no member could be lost.
bool StoreLhaMember(std::string_view old, std::string_view name, std::string_view data, int64_t unixTime,
                    std::string& out);

}  // namespace melko
