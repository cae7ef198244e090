// The big song of the track sheet's benchmarks: 16 tracks × 100,000 notes,
// a controller or pitch bend with every fourth note.
#pragma once

#include <string>

#include "song/smf_reader.h"
#include "song/song.h"

namespace melko {

// Fills `song` afresh; returns the number of events written.
inline size_t FillBigSong(Song& song) {
  song.ClearSong();
  ApplySongLoaded(song);
  size_t events = 0;
  for (int t = 1; t <= 16; ++t) {
    TMidiData& d = song.Tracks[size_t(t)];
    d.Free();
    d.Touch();
    uint32_t last = 0;
    for (uint32_t i = 0; i < 100000; ++i) {
      TMidiEvent n;
      n.Time = i * 120;
      n.Status = 0x90;
      n.Data1 = uint8_t(40 + i % 40);
      n.Data2 = 100;
      n.Data3 = 64;
      n.Value = 100;
      EncodeEvent(d, n, last, 0, song.MaxGate());
      ++events;
      if (i % 4 == 0) {
        TMidiEvent c;
        c.Time = i * 120;
        c.Status = i % 8 == 0 ? 0xB0 : 0xE0;
        c.Data1 = uint8_t(i % 128);
        c.Data2 = 64;
        EncodeEvent(d, c, last, 0, song.MaxGate());
        ++events;
      }
    }
    song.TrackNames[size_t(t)] = "Track " + std::to_string(t);
  }
  return events;
}

}  // namespace melko
