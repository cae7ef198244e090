// Text encodings of stored texts. The model keeps every text as raw bytes so
// files save back byte for byte; for display a text is taken as UTF-8 when it
// is valid UTF-8 and as CP932 (Shift-JIS) otherwise; text typed by the user is
// stored as CP932 when it can be, else as UTF-8. Pure functions, callable from
// any thread.
#pragma once

#include <string>
#include <string_view>

namespace melko {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// Raw bytes to UTF-8 for display: valid UTF-8 unchanged, otherwise read as
// CP932 with every byte that does not convert shown as U+FFFD.
std::string DisplayText(std::string_view rawBytes);

// UTF-8 to raw bytes for storing: CP932 when every character converts (and
// the result would not be mistaken for UTF-8 when read back), else the UTF-8
// unchanged. ASCII stays as it is.
std::string StoreText(std::string_view utf8);

}  // namespace melko
