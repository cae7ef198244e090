#include "song/song_maps.h"

#include <algorithm>
#include <vector>

#include "base/int_helpers.h"
#include "base/log_sink.h"
#include "song/midi_event.h"

namespace melko {

namespace {
// Walks every event of a conductor track with its absolute tick.
template <typename Fn>
void WalkConductor(const TMidiData& track, Fn&& fn) {
  if (track.IsNil()) return;
  const uint8_t* p = track.Top();
  const uint8_t* end = track.End();
  uint32_t tick = 0;
  TMidiEvent ev;
  while (p < end) {
    DecodeEvent(p, end, 0, ev);
    tick += ev.Time;
    fn(tick, ev);
  }
}

TMeterEntry DefaultMeter(uint32_t tpqn) {
  TMeterEntry m;
  m.TicksPerBeat = tpqn;
  return m;
}

// Ticks per beat of a meter value; 0 when the value is unusable (no beats, or a
// denominator finer than one tick) and the event must not enter the map.
uint32_t TicksPerBeatOf(uint32_t value, uint32_t tpqn) {
  uint32_t power = (value >> 16) & 0xFF;
  if ((value >> 24) == 0 || power > 24) return 0;
  return static_cast<uint32_t>((static_cast<uint64_t>(tpqn) * 4) >> power);
}
}  // namespace

void SongMaps::Reset(uint32_t tpqn) {
  TempoMap.assign(1, TTempoEntry{0, 500000, static_cast<float>(tpqn) * 1000.0f / 500000.0f});
  MeterMap.assign(1, DefaultMeter(tpqn));
  KeyMap.assign(1, TKeyEntry{});
  MarkerList.clear();
}

void SongMaps::BuildTempoMap(const TMidiData& conductor, uint32_t tpqn) {
  TempoMap.assign(1, TTempoEntry{0, 500000, static_cast<float>(tpqn) * 1000.0f / 500000.0f});
  WalkConductor(conductor, [&](uint32_t tick, const TMidiEvent& ev) {
    if (!ev.IsMeta(0x51) || ev.Value == 0) return;  // a zero tempo would stop time
    TTempoEntry e{tick, ev.Value, static_cast<float>(tpqn) * 1000.0f / static_cast<float>(ev.Value)};
    if (tick == 0) TempoMap[0] = e;
    else TempoMap.push_back(e);
  });
}

void SongMaps::BuildMeterMap(const TMidiData& conductor, uint32_t tpqn) {
  MeterMap.assign(1, DefaultMeter(tpqn));
  WalkConductor(conductor, [&](uint32_t tick, const TMidiEvent& ev) {
    if (!ev.IsMeta(0x58)) return;
    uint32_t tpb = TicksPerBeatOf(ev.Value, tpqn);
    if (tpb == 0) return;
    if (tick == 0) {
      MeterMap[0] = TMeterEntry{0, 0, tpb, ev.Value};
      return;
    }
    const TMeterEntry& prev = MeterMap.back();
    uint64_t measureTicks = static_cast<uint64_t>(prev.BeatsPerMeasure()) * prev.TicksPerBeat;
    if (tick < prev.Tick || (tick - prev.Tick) % measureTicks != 0) return;
    uint32_t measure = prev.Measure + static_cast<uint32_t>((tick - prev.Tick) / measureTicks);
    if (tick == prev.Tick) {
      MeterMap.back() = TMeterEntry{tick, prev.Measure, tpb, ev.Value};
    } else {
      MeterMap.push_back(TMeterEntry{tick, measure, tpb, ev.Value});
    }
  });
}

void SongMaps::BuildKeyMap(const TMidiData& conductor, uint32_t tpqn) {
  KeyMap.assign(1, TKeyEntry{});
  WalkConductor(conductor, [&](uint32_t tick, const TMidiEvent& ev) {
    if (!ev.IsMeta(0x59)) return;
    if (tick == 0) KeyMap[0] = TKeyEntry{0, ev.Value};
    else if (IsMeasureStart(tick)) KeyMap.push_back(TKeyEntry{tick, ev.Value});
  });
}

void SongMaps::BuildMarkerList(const TMidiData& conductor) {
  MarkerList.clear();
  WalkConductor(conductor, [&](uint32_t, const TMidiEvent& ev) {
    if (ev.IsMeta(0x06)) MarkerList.emplace_back(reinterpret_cast<const char*>(ev.Data), ev.Len);
  });
}

const TTempoEntry& SongMaps::TempoAt(uint32_t tick) const {
  auto it = std::upper_bound(TempoMap.begin(), TempoMap.end(), tick,
                             [](uint32_t t, const TTempoEntry& e) { return t < e.Tick; });
  return it == TempoMap.begin() ? TempoMap.front() : *(it - 1);
}

const TMeterEntry& SongMaps::MeterAt(uint32_t tick) const {
  auto it = std::upper_bound(MeterMap.begin(), MeterMap.end(), tick,
                             [](uint32_t t, const TMeterEntry& e) { return t < e.Tick; });
  return it == MeterMap.begin() ? MeterMap.front() : *(it - 1);
}

uint32_t SongMaps::KeyAt(uint32_t tick) const {
  auto it = std::upper_bound(KeyMap.begin(), KeyMap.end(), tick,
                             [](uint32_t t, const TKeyEntry& e) { return t < e.Tick; });
  return it == KeyMap.begin() ? KeyMap.front().Value : (it - 1)->Value;
}

TMeasurePos SongMaps::TickToMeasure(uint32_t tick) const {
  const TMeterEntry& m = MeterAt(tick);
  uint32_t bpm = std::max<uint32_t>(m.BeatsPerMeasure(), 1);
  uint32_t tpb = std::max<uint32_t>(m.TicksPerBeat, 1);
  uint64_t rel = tick >= m.Tick ? tick - m.Tick : 0;
  uint64_t measureTicks = static_cast<uint64_t>(bpm) * tpb;
  TMeasurePos pos;
  pos.Measure = static_cast<uint32_t>(rel / measureTicks + m.Measure);
  uint64_t r = rel % measureTicks;
  pos.Beat = static_cast<uint32_t>(r / tpb);
  pos.Tick = static_cast<uint32_t>(r % tpb);
  return pos;
}

uint32_t SongMaps::MeasureToTick(uint32_t measure) const {
  auto it = std::upper_bound(MeterMap.begin(), MeterMap.end(), measure,
                             [](uint32_t m, const TMeterEntry& e) { return m < e.Measure; });
  const TMeterEntry& m = it == MeterMap.begin() ? MeterMap.front() : *(it - 1);
  uint64_t tick = m.Tick + static_cast<uint64_t>(measure - std::min(measure, m.Measure)) *
                               m.TicksPerBeat * m.BeatsPerMeasure();
  return tick > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(tick);
}

std::string LocText(const SongMaps& maps, uint32_t tick) {
  TMeasurePos p = maps.TickToMeasure(tick);
  return Format("%.3u/%.2u/%.3u", p.Measure, p.Beat + 1, p.Tick);
}

namespace {

// Splits at '/' and keeps the last `count` fields, right-aligned: out[count-1]
// is the last field. Absent places stay empty views with `present` false.
struct Fields {
  std::string_view Text[3];
  bool Present[3] = {false, false, false};
};

Fields SplitFromRight(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t slash = text.find('/', start);
    if (slash == std::string_view::npos) {
      parts.push_back(text.substr(start));
      break;
    }
    parts.push_back(text.substr(start, slash - start));
    start = slash + 1;
  }
  Fields f;
  int place = 2;
  for (size_t i = parts.size(); i > 0 && place >= 0; --i, --place) {
    f.Text[place] = parts[i - 1];
    f.Present[place] = true;
  }
  return f;
}

int64_t FieldOr(const Fields& f, int place, int64_t fallback) {
  int64_t v;
  if (f.Present[place] && TryParseInt(f.Text[place], v)) return v;
  return fallback;
}

}  // namespace

uint32_t LocTextToTick(const SongMaps& maps, std::string_view text, uint32_t fallback) {
  TMeasurePos old = maps.TickToMeasure(fallback);
  Fields f = SplitFromRight(text);
  int64_t measure = FieldOr(f, 0, old.Measure);
  int64_t beat = FieldOr(f, 1, int64_t(old.Beat) + 1) - 1;
  int64_t tick = FieldOr(f, 2, old.Tick);
  // A typed position never goes below the song start.
  measure = ClampInt(measure, 0, kMaxTypedMeasure);
  uint32_t start = maps.MeasureToTick(static_cast<uint32_t>(measure));
  const TMeterEntry& meter = maps.MeterAt(start);
  int64_t beats = std::max<uint32_t>(meter.BeatsPerMeasure(), 1);
  int64_t tpb = std::max<uint32_t>(meter.TicksPerBeat, 1);
  beat = ClampInt(beat, 0, beats - 1);
  tick = ClampInt(tick, 0, tpb - 1);
  int64_t result = int64_t(start) + beat * tpb + tick;
  return static_cast<uint32_t>(ClampInt(result, 0, 0xFFFFFFFFll));
}

}  // namespace melko
