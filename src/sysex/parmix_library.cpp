#include "sysex/parmix_library.h"

#include <dlfcn.h>

#include <cstdio>

#include "base/int_helpers.h"

namespace melko {

void SysExFallbackGetText(int32_t value, char* buffer) { std::snprintf(buffer, 256, "%d", value); }

int32_t SysExFallbackSetText(const char* text, int32_t current) {
  std::string_view t(text ? text : "");
  // Decimal, or hexadecimal after "$"; the "0x" form is not a decimal here.
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) return current;
  int64_t v = 0;
  if (!TryParseInt(t, v)) return current;
  return static_cast<int32_t>(v);
}

bool TParmixLibrary::Open(const std::string& folder) {
  Close();
  std::string path = folder.empty() ? std::string("./") : folder;
  if (path.back() != '/') path += '/';
  path += kFileName;
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void TParmixLibrary::Close() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

void* TParmixLibrary::Find(const std::string& symbol) const {
  if (!handle_) return nullptr;
  return ::dlsym(handle_, symbol.c_str());
}

TSysExGetText TParmixLibrary::GetText(std::string_view func) const {
  void* f = Find("sxGet" + std::string(func));
  return f ? reinterpret_cast<TSysExGetText>(f) : &SysExFallbackGetText;
}

TSysExSetText TParmixLibrary::SetText(std::string_view func) const {
  void* f = Find("sxSet" + std::string(func));
  return f ? reinterpret_cast<TSysExSetText>(f) : &SysExFallbackSetText;
}

}  // namespace melko
