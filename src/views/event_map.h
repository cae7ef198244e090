// The track sheet's event map: per track, one byte per map cell saying what
// kinds of events start in it (a note, a controller-like message, a program
// change, a system-exclusive event). A cell spans MapCellTicks = TPQN × 4
// div MapQuant ticks. Building a track's map walks its stored bytes once
// without decoding them, so a long song maps in a few milliseconds; the
// same walk finds the track's end (the start of the measure after its last
// event), which the map's length follows.
// UI thread (the song's); the maps belong to whoever builds them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "song/song.h"

namespace melko {

// Marks of a map cell.
constexpr uint8_t kMapNote = 1;     // a note starts here
constexpr uint8_t kMapControl = 2;  // key pressure, control change, channel pressure or pitch bend
constexpr uint8_t kMapProgram = 4;  // a program change
constexpr uint8_t kMapSysEx = 8;    // a system-exclusive event

constexpr int kMinMapQuant = 1;
constexpr int kMaxMapQuant = 64;

// Ticks per map cell (at least 1).
uint32_t MapCellTicksOf(uint32_t tpqn, int mapQuant);

// Fills `cells` with the map of `track` (one byte per cell up to the start
// of the measure after its last event) and returns that end tick.
uint32_t BuildTrackMap(const TMidiData& track, const SongMaps& maps, uint32_t cellTicks, std::vector<uint8_t>& cells);

class TEventMaps {
 public:
  int MapQuant = 16;              // cells per whole note, 1..64
  uint32_t MapCellTicks = 120;    // TPQN × 4 div MapQuant
  std::array<std::vector<uint8_t>, kSongTracks> MapCells;  // [1..64]

  // Halves or doubles MapQuant ("-"/"+"), within 1..64; true when it changed.
  bool SetMapQuant(int quant);
  // Track t's map, and TrackEnds[t] with the song's MeasureEnd raised to it.
  void Build(Song& song, int t);
  // Every track 1..64.
  void BuildAll(Song& song);
  // The marks of track t's cell, 0 past its end.
  uint8_t Cell(int t, size_t cell) const {
    const auto& c = MapCells[size_t(t)];
    return cell < c.size() ? c[cell] : 0;
  }
};

}  // namespace melko
