// The drum set that names the rhythm editor's rows: the pattern names a drum
// definition (its display name, or an instrument's name that the drum
// definition's carries with " Drums") and a set within it. A name not found falls
// back to the GM drum definition (or the first there is), a set beyond the
// definition's to its first set. The set's patch is what the editor sends on
// selection: B9 00 msb, B9 20 lsb, C9 program, each only when below 128.
// UI thread; the definitions are the caller's.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "instruments/instruments.h"

namespace melko {

constexpr const char* kFallbackDrumInstrument = "GM Drums";

struct TRhythmDrumSet {
  int DrumIndex = -1;  // in TmInstruments::DrmFiles; -1 when there are none
  int Set = 0;         // within the definition
  std::string Instrument;  // the definition's display name
};

TRhythmDrumSet ResolveDrumSet(TmInstruments& insts, const std::string& instrument, int set);

// The messages that select the set's patch on channel 10.
std::vector<uint32_t> DrumSetPatchMessages(TmInstruments& insts, const TRhythmDrumSet& d);

// The 128 row names: the set's tone names (empty where it names none).
std::array<std::string, 128> DrumRowNames(TmInstruments& insts, const TRhythmDrumSet& d);

}  // namespace melko
