// Run-time binding of the Parmix conversion library: opened by file name from
// the SysEx folder, each conversion looked up by name ("sxGet"/"sxSet" + the
// type's function name). A missing library or export gives the fallback
// conversions, which show and read plain decimal integers. Owned by
// TSysExParamNodes; UI thread only. Function pointers handed out stay valid
// until Close().
#pragma once

#include <string>
#include <string_view>

#include "sysex/sysex_records.h"

namespace melko {

// Writes value as a decimal integer.
void SysExFallbackGetText(int32_t value, char* buffer);
// Reads a decimal integer (or "$" hexadecimal); current when text is not one.
int32_t SysExFallbackSetText(const char* text, int32_t current);

class TParmixLibrary {
 public:
  static constexpr const char* kFileName = "Parmix.so";

  TParmixLibrary() = default;
  ~TParmixLibrary() { Close(); }
  TParmixLibrary(const TParmixLibrary&) = delete;
  TParmixLibrary& operator=(const TParmixLibrary&) = delete;

  // Opens folder + kFileName; false (and no handle) when it cannot be loaded.
  bool Open(const std::string& folder);
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }

  // The export "sxGet" + func / "sxSet" + func, or the fallback.
  TSysExGetText GetText(std::string_view func) const;
  TSysExSetText SetText(std::string_view func) const;

 private:
  void* Find(const std::string& symbol) const;
  void* handle_ = nullptr;
};

}  // namespace melko
