// The maps derived from the conductor track: tempo, meter, key and markers,
// and the tick <-> measure conversions that go through the meter map.
// Rebuilt on the UI thread after every change of the conductor track; the
// player reads TempoMap only while it holds the playback lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "song/midi_data.h"

namespace melko {

struct TTempoEntry {
  uint32_t Tick = 0;
  uint32_t Tempo = 500000;  // microseconds per quarter note
  float TicksPerMs = 0.96f;
};

struct TMeterEntry {
  uint32_t Tick = 0;
  uint32_t Measure = 0;
  uint32_t TicksPerBeat = 480;
  uint32_t Value = 0x04021808;  // numerator, denominator power, clocks, 32nds
  uint32_t BeatsPerMeasure() const { return Value >> 24; }
};

struct TKeyEntry {
  uint32_t Tick = 0;
  uint32_t Value = 0;  // sharps/flats (signed byte) << 8 | minor
};

struct TMeasurePos {
  uint32_t Measure = 0;  // from 0
  uint32_t Beat = 0;     // from 0
  uint32_t Tick = 0;     // tick within the beat
};

class SongMaps {
 public:
  std::vector<TTempoEntry> TempoMap;
  std::vector<TMeterEntry> MeterMap;
  std::vector<TKeyEntry> KeyMap;
  std::vector<std::string> MarkerList;

  SongMaps() { Reset(480); }
  void Reset(uint32_t tpqn);

  void BuildTempoMap(const TMidiData& conductor, uint32_t tpqn);
  void BuildMeterMap(const TMidiData& conductor, uint32_t tpqn);
  void BuildKeyMap(const TMidiData& conductor, uint32_t tpqn);
  void BuildMarkerList(const TMidiData& conductor);

  const TTempoEntry& TempoAt(uint32_t tick) const;
  const TMeterEntry& MeterAt(uint32_t tick) const;
  uint32_t KeyAt(uint32_t tick) const;

  TMeasurePos TickToMeasure(uint32_t tick) const;
  uint32_t MeasureToTick(uint32_t measure) const;
  bool IsMeasureStart(uint32_t tick) const {
    TMeasurePos p = TickToMeasure(tick);
    return p.Beat == 0 && p.Tick == 0;
  }
};

// "%.3d/%.2d/%.3d": the measure counted from 0, the beat from 1, the tick in the beat.
// A song starts at 000/01/000.
std::string LocText(const SongMaps& maps, uint32_t tick);

// The largest measure a typed position may name.
constexpr int kMaxTypedMeasure = 999;

// Reads a typed position, the form LocText writes (the range boxes, --edit
// and --play --from all read it). Fields are split at "/" from the right
// (tick, beat, measure; more are ignored); a missing or unreadable field
// keeps the value of `fallback` in its place. The measure is clamped to
// 0..999, the beat into the measure's meter, the tick to 0..ticks-per-beat - 1,
// so the result is never negative and never leaves the measure typed.
uint32_t LocTextToTick(const SongMaps& maps, std::string_view text, uint32_t fallback);

}  // namespace melko
