#include "views/event_map.h"

#include <algorithm>

#include "song/midi_data.h"

namespace melko {

uint32_t MapCellTicksOf(uint32_t tpqn, int mapQuant) {
  const int quant = std::clamp(mapQuant, kMinMapQuant, kMaxMapQuant);
  return std::max<uint32_t>(tpqn * 4u / uint32_t(quant), 1u);
}

uint32_t BuildTrackMap(const TMidiData& track, const SongMaps& maps, uint32_t cellTicks, std::vector<uint8_t>& cells) {
  cells.clear();
  cellTicks = std::max<uint32_t>(cellTicks, 1);
  const uint8_t* p = track.Top();
  const uint8_t* end = p ? p + track.Length() : nullptr;
  uint64_t tick = 0, lastTick = 0;
  auto mark = [&](uint8_t bits) {
    const uint64_t cell = tick / cellTicks;
    // A stray tick beyond the 28-bit range stops growing the map.
    if (cell >= (1u << 28) / std::max<uint32_t>(cellTicks, 1) + 1) return;
    if (cell >= cells.size()) cells.resize(size_t(cell) + 1 + cells.size() / 2, 0);
    cells[size_t(cell)] |= bits;
  };
  auto skip = [&](uint64_t n) { p = uint64_t(end - p) < n ? end : p + n; };
  while (p && p < end) {
    tick += ReadVarLen(p, end);
    if (p >= end) break;
    lastTick = tick;
    const uint8_t status = *p;
    if (status < 0x80) {  // a stored note: key, velocity, note-off velocity, gate
      mark(kMapNote);
      skip(3);
      ReadVarLen(p, end);
      continue;
    }
    ++p;
    switch (status & 0xF0) {
      case 0x80: skip(2); break;
      case 0xA0: case 0xB0: case 0xE0: mark(kMapControl); skip(2); break;
      case 0xD0: mark(kMapControl); skip(1); break;
      case 0xC0: mark(kMapProgram); skip(1); break;
      case 0x90: skip(2); break;
      default:
        if (status == 0xF0 || status == 0xF7) {
          if (status == 0xF0) mark(kMapSysEx);
          skip(ReadVarLen(p, end));
        } else if (status == 0xFF) {
          skip(1);
          skip(ReadVarLen(p, end));
        }
        break;
    }
  }
  const uint32_t last = uint32_t(std::min<uint64_t>(lastTick, 0x0FFFFFFF));
  const uint32_t trackEnd = maps.MeasureToTick(maps.TickToMeasure(last).Measure + 1);
  cells.resize((uint64_t(trackEnd) + cellTicks - 1) / cellTicks, 0);
  return trackEnd;
}

bool TEventMaps::SetMapQuant(int quant) {
  quant = std::clamp(quant, kMinMapQuant, kMaxMapQuant);
  if (quant == MapQuant) return false;
  MapQuant = quant;
  return true;
}

void TEventMaps::Build(Song& song, int t) {
  if (t < 1 || t >= kSongTracks) return;
  MapCellTicks = MapCellTicksOf(song.TPQN, MapQuant);
  const uint32_t end = BuildTrackMap(song.Tracks[size_t(t)], song.Maps, MapCellTicks, MapCells[size_t(t)]);
  song.TrackEnds[size_t(t)] = end;
  if (int64_t(end) > song.MeasureEnd) song.MeasureEnd = int32_t(std::min<uint32_t>(end, 0x7FFFFFFF));
}

void TEventMaps::BuildAll(Song& song) {
  for (int t = 1; t < kSongTracks; ++t) Build(song, t);
}

}  // namespace melko
