// A benchmark track of `count` random events: seven in ten notes (gates up
// to two beats at 480), the rest volume and pan, 0..60 ticks apart. The same
// seed gives the same track. Returns the tick after the last event.
#pragma once

#include <cstdint>
#include <random>

#include "song/song.h"
#include "song/track_ops.h"

namespace melko {

inline uint32_t FillRandomTrack(Song& song, int t, int64_t count, unsigned seed = 7) {
  std::mt19937 rng(seed);
  TMidiData& d = song.Tracks[t];
  d.Free();
  uint32_t last = 0, tick = 0;
  for (int64_t i = 0; i < count; ++i) {
    tick += rng() % 61;
    TMidiEvent ev;
    ev.Time = tick;
    if (rng() % 10 < 7) {
      ev.Status = 0x90;
      ev.Data1 = static_cast<uint8_t>(36 + rng() % 60);
      ev.Data2 = static_cast<uint8_t>(1 + rng() % 127);
      ev.Value = 1 + rng() % 960;
    } else {
      ev.Status = 0xB0;
      ev.Data1 = rng() % 2 ? 7 : 10;
      ev.Data2 = static_cast<uint8_t>(rng() % 128);
    }
    EncodeEvent(d, ev, last, 0, song.MaxGate());
  }
  return tick + 1;
}

}  // namespace melko
