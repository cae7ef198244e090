// Bounded reads of definition files: a whole file up to a size limit, or its
// first line only (the display name of an instrument file), which never
// reads more than a line's worth whatever the file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace melko {

enum class ReadFileResult { Ok, Missing, Failed, TooLarge };

ReadFileResult ReadWholeFile(const std::string& path, uint64_t maxBytes, std::string& out);
// The first line without its line break (CR or LF) and a leading UTF-8 byte
// order mark, cut at maxBytes. Empty for a missing or empty file.
std::string ReadFirstLine(const std::string& path, size_t maxBytes = 4096);

}  // namespace melko
