// The recording of one track built the plain way, each note-on searching
// forward through the whole take for its note-off: quadratic, but short
// enough to be read at a glance. The tests and the fuzz harness hold the
// real merge to it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "edit/record_merge.h"
#include "midi/input_settings.h"

namespace melko::test {

inline int ReferenceTrackRecording(const Song& song, const RecordTake& take, int t, int64_t from, TMidiData& out,
                                   bool& realNoteOff) {
  out.Free();
  realNoteOff = false;
  const bool single = take.Options & kRecSingle;
  const bool punch = take.Options & kRecPunch;
  const int pre = std::clamp(take.PreRange, 1, 24);
  auto received = [&](uint8_t kind) {
    switch (kind) {
      case 0x80:
      case 0x90: return (take.Receive & kReceiveNote) != 0;
      case 0xA0: return (take.Receive & kReceiveKeyPressure) != 0;
      case 0xB0: return (take.Receive & kReceiveControl) != 0;
      case 0xC0: return (take.Receive & kReceiveProgram) != 0;
      case 0xD0: return (take.Receive & kReceiveChannelPressure) != 0;
      case 0xE0: return (take.Receive & kReceivePitchBend) != 0;
    }
    return false;
  };
  std::array<int64_t, 128> lastUsed{};
  int lastChannel = -1;
  uint32_t lastTick = 0;
  for (size_t i = 0; i < take.Count; ++i) {
    const RecordEntry& e = take.Entries[i];
    const uint8_t s = e.Message & 0xFF, kind = s & 0xF0;
    const uint8_t d1 = (e.Message >> 8) & 0x7F, d2 = (e.Message >> 16) & 0x7F;
    if (!single && (s & 15) != song.Ch[t]) continue;
    if (!received(kind)) continue;
    if (e.Tick < from - song.TPQN / pre) continue;
    if (punch && e.Tick >= int64_t(take.EditToTick)) continue;
    lastChannel = s & 15;
    if (kind == 0x80 || (kind == 0x90 && d2 == 0)) continue;
    if (kind == 0x90 && song.Pad[t] <= 127 && d1 != song.Pad[t]) continue;
    TMidiEvent ev;
    ev.Status = kind;
    ev.Data1 = d1;
    ev.Data2 = d2;
    if (kind == 0x90) {
      int64_t gate = int64_t(take.StopTick) - e.Tick;
      ev.Data3 = 64;
      for (size_t j = i + 1; j < take.Count; ++j) {
        const uint32_t m = take.Entries[j].Message;
        const uint8_t sj = m & 0xFF;
        if (((m >> 8) & 0x7F) != d1 || int64_t(j) <= lastUsed[d1]) continue;
        const bool zeroOn = sj == s && ((m >> 16) & 0x7F) == 0;
        const bool off = sj == (0x80 | (s & 15));
        if (!zeroOn && !off) continue;
        lastUsed[d1] = int64_t(j);
        gate = int64_t(take.Entries[j].Tick) - e.Tick;
        if (off) {
          ev.Data3 = (m >> 16) & 0x7F;
          realNoteOff = true;
        }
        break;
      }
      ev.Value = static_cast<uint32_t>(std::clamp<int64_t>(gate, 0, UINT32_MAX));
    }
    ev.Time = static_cast<uint32_t>(std::clamp<int64_t>(int64_t(e.Tick) - from, 0, kTrackEndTick - 1));
    EncodeEvent(out, ev, lastTick, 0, song.MaxGate());
  }
  return lastChannel;
}

}  // namespace melko::test
