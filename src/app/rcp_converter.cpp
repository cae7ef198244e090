#include "app/rcp_converter.h"

#include <dlfcn.h>

#include <cstring>

namespace melko {

DlRcpConverter::DlRcpConverter(std::vector<std::string> libraryPaths) : paths_(std::move(libraryPaths)) {}

DlRcpConverter::~DlRcpConverter() {
  if (lib_) dlclose(lib_);
}

std::vector<std::string> DlRcpConverter::DefaultPaths(const std::string& dataDir) {
  std::string dir = dataDir;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return {dir + "RCPCV.so", "librcpcv.so"};
}

bool DlRcpConverter::Load() {
  if (tried_) return lib_ != nullptr;
  tried_ = true;
  for (const auto& path : paths_) {
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) continue;
    void* fromBuffer = dlsym(lib, "rcpcvConvertFileFromBuffer");
    void* fromFile = dlsym(lib, "rcpcvConvertFile");
    void* del = dlsym(lib, "rcpcvDeleteObject");
    void* len = dlsym(lib, "rcpcvGetSMFLength");
    void* get = dlsym(lib, "rcpcvGetSMF");
    void* save = dlsym(lib, "rcpcvSaveSMF");
    if (!fromBuffer || !fromFile || !del || !len || !get || !save) {
      dlclose(lib);
      continue;
    }
    lib_ = lib;
    convert_ = reinterpret_cast<ConvertFromBuffer>(fromBuffer);
    delete_ = reinterpret_cast<DeleteObject>(del);
    length_ = reinterpret_cast<GetLength>(len);
    smf_ = reinterpret_cast<GetSmf>(get);
    return true;
  }
  return false;
}

bool DlRcpConverter::Available() { return Load(); }

bool DlRcpConverter::Convert(const FileImage& source, FileImage& smf) {
  if (!Load() || source.size() > 0x7FFFFFFF) return false;
  void* handle = convert_(source.data(), static_cast<int>(source.size()), 0, 0, 0, 0, 0);
  if (!handle) return false;
  bool ok = false;
  int n = length_(handle);
  if (n > 0) {
    const void* bytes = smf_(handle);
    if (bytes) {
      smf.resize(static_cast<size_t>(n));
      std::memcpy(smf.data(), bytes, static_cast<size_t>(n));
      ok = true;
    }
  }
  delete_(handle);
  return ok;
}

}  // namespace melko
