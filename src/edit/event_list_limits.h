// Bounds shared by the event list's readers of typed text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace melko {

// The largest tick a stored delta sum can name (variable-length numbers carry
// 28 bits): typed positions, steps and shifts clamp here instead of wrapping.
constexpr uint32_t kMaxListTick = 0x0FFFFFFF;
// The longest SysEx message typed as hexadecimal text, in bytes (F0..F7).
constexpr size_t kMaxTypedSysExBytes = 65536;

}  // namespace melko
