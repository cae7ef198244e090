// Bounds shared by the event list's readers of typed text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "song/midi_event.h"

namespace melko {

// The largest tick an event can have: deltas carry 28 bits and the walkers
// keep 0x0FFFFFFF for "no more events". Typed positions, steps and shifts
// clamp here instead of wrapping.
constexpr uint32_t kMaxListTick = kStreamDoneTick - 1;
// The longest SysEx message typed as hexadecimal text, in bytes (F0..F7).
constexpr size_t kMaxTypedSysExBytes = 65536;

}  // namespace melko
