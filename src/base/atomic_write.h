// Whole-file writes that never leave a half-written target: the bytes go to a
// temporary file in the same folder, are synced to disk and the temporary is
// renamed over the target. Callable from any thread (no shared state).
//
// Temporaries are named ".melko-XXXXXX.tmp" (short, so any target name that
// fits its folder can be saved) and locked while they are written. One that a
// killed save left behind is removed by the next write into its folder once
// it is a minute old and no process holds its lock.
#pragma once

#include <string>
#include <string_view>

namespace melko {

// What to do when the folder does not let us create the temporary although
// the target itself may be writable.
enum class FolderReadOnly {
  Fail,          // the write fails
  WriteInPlace,  // overwrite the existing target directly; for callers that kept a copy of it
};

// False on any failure (folder missing or read-only, disk full ...); the old
// file is then untouched and no temporary is left behind (an in-place write
// that fails may leave the target damaged: its callers keep a copy first). A
// new file gets mode 0666 less the umask; an existing file keeps its
// permission bits.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         FolderReadOnly readOnlyFolder = FolderReadOnly::Fail);

// Removes the stale temporaries of ours in `folder` (see above). Run by every
// write; exposed for tests.
void RemoveStaleTemporaries(const std::string& folder);

// True for a file name of the form our temporaries have.
bool IsTemporaryName(std::string_view name);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

}  // namespace melko
