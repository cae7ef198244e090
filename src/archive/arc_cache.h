// The archive cache: the member lists of archives listed before, each with
// the archive file's stamp when it was listed, kept between runs in
// ArcCache.dat in the data folder. An archive changed on disk is listed
// again and moves to the end of the list; one gone from disk is dropped.
//
// ArcCache.dat (integers 32-bit little-endian): "ache"; chunk "arcs" (tag,
// length, the archive paths, each line ended by CR LF); chunk "aldt" (tag,
// length 4n, the n stamps); then per archive a chunk "pacs" (its member
// names, one a line) and a chunk "infs" (length 8m, Size and Time of each).
// The reader stops at the first tag that is not the one expected there and
// keeps the archives read whole before it. Written only when changed.
//
// One object per user of it; not thread-safe (the file browser's thread).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/file_info.h"

namespace melko {

class TArcCache {
 public:
  struct Entry {
    std::string Archive;
    uint32_t Stamp = 0;
    TMemberList Members;
  };

  // The list of members, from the cache when the archive is there and has
  // not changed, else listed afresh and added. False when it cannot be listed.
  bool CachedList(const std::string& archive, TMemberList& list);
  // The member's Size and Time through CachedList; Size -1 when absent.
  TFileInfoObj CachedInfo(const std::string& archive, std::string_view member);

  // Reads the cache file and validates every entry. False when the file is
  // missing or not a cache file; what could be read is kept either way.
  bool Load(const std::string& file);
  // Writes the cache file when the cache has changed (true when nothing was
  // to be written).
  bool Save(const std::string& file);

  // Forgets an archive (after a store into it, which may come within the
  // resolution of its file's time stamp).
  void Forget(const std::string& archive);

  const std::vector<Entry>& Entries() const { return entries_; }
  bool Dirty() const { return dirty_; }

  // The cache file's bytes, and reading them; for Load/Save and the fuzzer.
  std::string Serialize() const;
  void Deserialize(std::string_view bytes);

  // Cache files larger than this are not read.
  static constexpr uint64_t kMaxFileBytes = uint64_t{64} << 20;

 private:
  // The index of entry i after validation, or -1 when it is not cached.
  int Validate(size_t i);
  int Find(const std::string& archive) const;
  int Add(const std::string& archive);

  std::vector<Entry> entries_;
  bool dirty_ = false;
};

}  // namespace melko
