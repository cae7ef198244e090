// Writing a whole file so that a failure never leaves half of it: the bytes go
// to a temporary file in the target's folder, are synced, and the temporary
// file is renamed over the target. The old file stays intact on any failure.
// Any thread; no shared state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace melko {

// False (with errno-style text in `error` when given) when any step fails.
bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* error = nullptr);

// Copies a file byte for byte through WriteFileAtomic.
bool CopyFileAtomic(const std::string& from, const std::string& to, std::string* error = nullptr);

}  // namespace melko
