// Whole-file writes that never leave a half-written target: the bytes go to a
// temporary file in the same folder, are synced to disk and the temporary is
// renamed over the target. Callable from any thread (no shared state).
#pragma once

#include <string>
#include <string_view>

namespace melko {

// False on any failure (folder missing or read-only, disk full ...); the old
// file is then untouched and no temporary is left behind. A new file gets
// mode 0666 less the umask; an existing file keeps its permission bits.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

}  // namespace melko
