// Conversion of one RCP, R36 or G36 song image into a format 1 Standard MIDI
// File. The image is untrusted: every read is bounded by its size, loops and
// measure repeats are bounded, and the conversion gives up (returns false,
// output empty) rather than produce more than the limits allow. Pure function
// of its input; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace melko::rcpcv {

struct Limits {
  size_t MaxEvents = 4'000'000;         // MIDI events in the whole output
  size_t MaxBytes = 64u << 20;           // size of the output file
  uint64_t MaxCommands = 20'000'000;     // song commands interpreted, loops counted out
};

// RCP and R36 share the header "RCM-PC98V2.0(C)COME ON MUSIC"; G36 starts with
// "COME ON MUSIC RECOMPOSER RCP3.0".
enum class RcpForm { None, Rcp, G36 };
RcpForm DetectForm(const uint8_t* data, size_t size);

bool ConvertRcp(const uint8_t* data, size_t size, std::vector<uint8_t>& smf, const Limits& limits = {});

}  // namespace melko::rcpcv
