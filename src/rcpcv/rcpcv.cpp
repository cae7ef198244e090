#include "rcpcv/rcpcv.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include <unistd.h>

#include "rcpcv/rcp_song.h"

namespace {

struct Result {
  std::vector<uint8_t> Smf;
};

constexpr long kMaxSource = 64L << 20;

}  // namespace

void* rcpcvConvertFileFromBuffer(const void* source, int count, int, int, int, int, int) {
  Result* r = new (std::nothrow) Result;
  if (!r) return nullptr;
  try {
    if (source && count > 0) melko::rcpcv::ConvertRcp(static_cast<const uint8_t*>(source), static_cast<size_t>(count), r->Smf);
  } catch (...) {  // nothing may cross the C boundary; a failure is length 0
    r->Smf.clear();
  }
  return r;
}

void* rcpcvConvertFile(const char* path, int, int, int, int, int) {
  std::vector<uint8_t> bytes;
  if (path) {
    if (FILE* f = std::fopen(path, "rb")) {
      if (std::fseek(f, 0, SEEK_END) == 0) {
        long n = std::ftell(f);
        if (n > 0 && n <= kMaxSource && std::fseek(f, 0, SEEK_SET) == 0) {
          try {
            bytes.resize(static_cast<size_t>(n));
          } catch (...) {
            bytes.clear();
          }
          if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
        }
      }
      std::fclose(f);
    }
  }
  return rcpcvConvertFileFromBuffer(bytes.data(), static_cast<int>(bytes.size()), 0, 0, 0, 0, 0);
}

void rcpcvDeleteObject(void* handle) { delete static_cast<Result*>(handle); }

int rcpcvGetSMFLength(void* handle) {
  return handle ? static_cast<int>(static_cast<Result*>(handle)->Smf.size()) : 0;
}

const void* rcpcvGetSMF(void* handle) {
  if (!handle || static_cast<Result*>(handle)->Smf.empty()) return nullptr;
  return static_cast<Result*>(handle)->Smf.data();
}

int rcpcvSaveSMF(void* handle, const char* path) {
  if (!handle || !path || static_cast<Result*>(handle)->Smf.empty()) return 0;
  const auto& smf = static_cast<Result*>(handle)->Smf;
  std::string temp = std::string(path) + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return 0;
  bool ok = std::fwrite(smf.data(), 1, smf.size(), f) == smf.size();
  ok = std::fflush(f) == 0 && ok;
  ok = fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), path) != 0) {
    std::remove(temp.c_str());
    return 0;
  }
  return 1;
}
