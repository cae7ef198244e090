// Fuzz harness of the RCP converter. An input that does not start with one
// of the two song headers gets one put in front (its first byte chooses
// which), so the fuzzer spends its time on the song data, not on finding the
// magic. The output, when there is one, must be a well-formed SMF.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "rcpcv/rcp_song.h"

namespace {

const char kRcp[] = "RCM-PC98V2.0(C)COME ON MUSIC\r\n";
const char kG36[] = "COME ON MUSIC RECOMPOSER RCP3.0";

void CheckSmf(const std::vector<uint8_t>& smf) {
  if (smf.size() < 14 || std::memcmp(smf.data(), "MThd", 4) != 0) __builtin_trap();
  size_t tracks = (smf[10] << 8) | smf[11];
  size_t at = 14;
  for (size_t t = 0; t < tracks; ++t) {
    if (at + 8 > smf.size() || std::memcmp(&smf[at], "MTrk", 4) != 0) __builtin_trap();
    size_t len = (size_t(smf[at + 4]) << 24) | (smf[at + 5] << 16) | (smf[at + 6] << 8) | smf[at + 7];
    at += 8 + len;
    if (at > smf.size() || smf[at - 3] != 0xFF || smf[at - 2] != 0x2F) __builtin_trap();
  }
  if (at != smf.size()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> image;
  if (melko::rcpcv::DetectForm(data, size) != melko::rcpcv::RcpForm::None || size == 0) {
    image.assign(data, data + size);
  } else {
    const char* magic = (data[0] & 1) ? kG36 : kRcp;
    image.assign(magic, magic + std::strlen(magic));
    image.insert(image.end(), data + 1, data + size);
  }
  melko::rcpcv::Limits limits;
  limits.MaxEvents = 50'000;
  limits.MaxBytes = 1u << 20;
  limits.MaxCommands = 100'000;
  std::vector<uint8_t> smf;
  bool ok = melko::rcpcv::ConvertRcp(image.data(), image.size(), smf, limits);
  if (ok) CheckSmf(smf);
  else if (!smf.empty()) __builtin_trap();
  return 0;
}
