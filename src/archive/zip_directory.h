// The central directory of a ZIP archive, read by us for listings: raw member
// names (whatever encoding the writer used), sizes and the DOS time words
// exactly as stored. Reads only the archive's tail and its directory, through
// a reader that never goes past the bytes there are. Any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/file_info.h"

namespace melko {

struct ZipEntry {
  TFileInfoObj Info;
  uint64_t LocalOffset = 0;     // of the member's local header
  uint64_t CentralOffset = 0;   // of its entry in the central directory
  uint64_t CompressedSize = 0;
  uint16_t Flags = 0;
};

// Reads `length` bytes at `offset` into `out`; false past the end or on error.
using ByteReader = std::function<bool(uint64_t offset, size_t length, std::string& out)>;

// False when no end-of-directory record is found or the directory is
// damaged before its last entry (`list` then holds the entries read so far).
// With `only` given, just the entries of exactly that raw name are kept (a
// lookup in a large directory then allocates nothing per entry).
bool ReadZipDirectory(const ByteReader& read, uint64_t fileSize, std::vector<ZipEntry>& list,
                      std::string_view only = {});

}  // namespace melko
