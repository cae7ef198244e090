// What the file browser shows of a place: a folder's sub-folders and the
// files of the kinds it knows, or an archive's members as if they were the
// files of a folder (through the archive cache). Kinds by extension: "mid"
// (.MID, .RMI), "rcp" (.RCP, .R36, .G36), "doc" (.DOC, .HED, .TXT) and "arc"
// (.LZH, .ZIP). Qt-free; the browser's thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/arc_cache.h"

namespace melko {

enum class FilerKind { Other, Mid, Rcp, Doc, Arc };

FilerKind GetFilerKind(const std::string& name);
const char* FilerKindText(FilerKind kind);  // "mid", "rcp", "doc", "arc", ""

struct FilerEntry {
  std::string Name;   // file or folder name; for a member its name in the archive (UTF-8)
  std::string Path;   // what opening it takes: a file path or "archive>member"
  FilerKind Kind = FilerKind::Other;
  bool Folder = false;
  uint64_t Size = 0;
  uint32_t DosTime = 0;
};

// The sub-folders (sorted, hidden ones left out) and the files of known
// kinds (sorted by name, case ignored) of `folder`; false when it cannot be read.
bool ListFolder(const std::string& folder, std::vector<FilerEntry>& out);
// The members of an archive other than folder entries, in archive order;
// false when it cannot be read.
bool ListArchive(const std::string& archive, TArcCache& cache, std::vector<FilerEntry>& out);

}  // namespace melko
