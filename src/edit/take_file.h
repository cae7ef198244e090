// The take file of the batch form's `record=TAKE`: one message a line,
// "<ms> <status> [<data1> [<data2>]]" in hexadecimal bytes after the
// decimal milliseconds since the record button went down, optionally
// prefixed by "kbd " for a note of the computer keyboard; "stop <ms>"
// releases the button. Blank lines and lines starting with "#" are skipped,
// and a word starting with "#" ends its line (a comment after a message).
// The reader takes untrusted text: it checks every field, never reads past
// the end and says which line is wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace melko {

struct TakeMessage {
  uint32_t TimeMs = 0;
  uint32_t Message = 0;    // status in the low byte, then data 1, data 2
  bool Keyboard = false;   // from the computer keyboard (source 2)
};

struct TakeFile {
  std::vector<TakeMessage> Messages;  // in time order (stable for equal times)
  std::optional<uint32_t> StopMs;     // "stop"; else 500 ms after the last message
  uint32_t ReleaseMs() const;
};

// The largest time a take may name: an hour (the batch run steps through
// every millisecond of it).
constexpr uint32_t kMaxTakeMs = 3600000;

// False with `error` ("line N: ...") when a line cannot be read.
bool ParseTakeFile(std::string_view text, TakeFile& take, std::string& error);

}  // namespace melko
