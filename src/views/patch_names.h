// Patch names for the track sheet's cells: a track's patch looked up in the
// instrument definition its Instrument setting names. UI thread; the
// definitions are the caller's and must outlive the lookup.
#pragma once

#include <functional>
#include <string>

#include "instruments/instruments.h"

namespace melko {

// The name of `patch` (drum bit << 24 | MSB << 16 | LSB << 8 | program) in
// the definition called `instrument`; empty when there is none or it does
// not know the patch.
std::function<std::string(const std::string& instrument, uint32_t patch)> PatchNamer(TmInstruments& instruments);

}  // namespace melko
