// Operations on the members of LHA (.LZH) and ZIP (.ZIP) archives. Every
// operation takes the archive's file path and dispatches on its kind; a path
// of no archive kind makes it fail (false, or Size -1).
//
// Listings are read by us (lha_format, zip_directory); decompression and ZIP
// writing are libarchive's. Nothing goes through a temporary file of the
// member's name: members are extracted into memory, and a store builds the
// whole new archive and writes it through WriteFileAtomically, so a failed
// store leaves the old archive as it was. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/file_info.h"

namespace melko {

// Archives larger than this are not read whole (LHA listings and every store).
constexpr uint64_t kMaxArchiveFileBytes = uint64_t{1} << 30;

// Fills `list` with every member in archive order. False when the archive
// cannot be read as its kind (`list` may then hold what was read).
bool ListMembers(const std::string& archive, TMemberList& list);

// The member's information; Size -1 when it is not there.
TFileInfoObj GetMemberInfo(const std::string& archive, std::string_view member);

// Extracts the member into `out`. A member with no file name ("dir/", ".",
// ".."), one larger than `maxBytes`, and one whose data does not decompress
// fail. `out` is only changed on success.
bool ExtractToMemory(const std::string& archive, std::string_view member, std::string& out,
                     uint64_t maxBytes = kMaxArchiveFileBytes);

// Extracts the member into `folder` as its file name alone (the part after
// its last "/"), written safely. False as ExtractToMemory, or when it cannot
// be written.
bool ExtractToFolder(const std::string& archive, const std::string& folder, std::string_view member);

// Stores `data` as the member (replacing one of that name where it stands,
// else adding it at the end); the archive is created when it is not there.
// LHA stores it uncompressed ("-lh0-") and copies the other members' bytes
// unchanged; ZIP rewrites the archive through libarchive. A member name with
// no file name is refused. `error` gets a short reason on failure.
bool StoreFromMemory(const std::string& archive, std::string_view member, std::string_view data,
                     std::string* error = nullptr);

// A 32-bit stamp of the archive file's modification time (and size), to see
// that it changed since it was listed. False when there is no such file.
bool ArchiveStamp(const std::string& archive, uint32_t& stamp);

}  // namespace melko
