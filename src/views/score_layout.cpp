#include "views/score_layout.h"

#include <algorithm>
#include <map>

#include "views/score_staff.h"

namespace melko {

uint32_t ValueTicks(uint32_t tpqn, int value, bool dotted) {
  uint32_t t = (std::max<uint32_t>(tpqn, 1) * 4) >> std::clamp(value, 0, kScoreValues - 1);
  if (dotted) t += t / 2;
  return std::max<uint32_t>(1, t);
}

namespace {

constexpr int kMaxPieces = 8;          // tied pieces of one note at most
constexpr uint32_t kMaxMeasures = 4096;  // measures one layout covers at most

struct RawNote {
  uint32_t Tick;
  uint8_t Note, Velocity;
  uint32_t Gate;
};

uint32_t NextBar(const SongMaps& maps, uint32_t tick) { return maps.MeasureToTick(maps.TickToMeasure(tick).Measure + 1); }

// The largest value (dotted or not) that fits in `ticks`; false when none does.
bool FitValue(uint32_t tpqn, uint32_t ticks, int& value, bool& dotted, bool allowDot) {
  for (int v = 0; v < kScoreValues; ++v)
    for (bool d : {true, false}) {
      if (d && (!allowDot || v == kScoreValues - 1)) continue;
      if (ValueTicks(tpqn, v, d) <= ticks) {
        value = v;
        dotted = d;
        return true;
      }
    }
  return false;
}

int MiddleLine(int clef, double averageStep) {
  if (clef == kClefBass) return kBassBottomLine + 4;
  if (clef == kClefGrand && averageStep < kMiddleC) return kBassBottomLine + 4;
  return kTrebleBottomLine + 4;
}

uint32_t BeamSpan(const TMeterEntry& m) {
  const uint32_t num = m.BeatsPerMeasure();
  const uint32_t denPower = (m.Value >> 16) & 0xFF;
  // Compound meters (6/8, 9/8, 12/16) group their beats in threes.
  if (num > 3 && num % 3 == 0 && denPower >= 3) return m.TicksPerBeat * 3;
  return std::max<uint32_t>(1, m.TicksPerBeat);
}

}  // namespace

ScoreLayout LayoutScore(const Song& song, int track, const TickIndex& index, uint32_t from, uint32_t to, int clef) {
  ScoreLayout out;
  const SongMaps& maps = song.Maps;
  const uint32_t tpqn = std::max<uint32_t>(1, song.TPQN);
  if (to <= from) to = from + 1;
  const uint32_t m0 = maps.TickToMeasure(from).Measure;
  const uint32_t start = maps.MeasureToTick(m0);
  const uint32_t lookStart = m0 > 0 ? maps.MeasureToTick(m0 - 1) : 0;
  uint32_t endTick = NextBar(maps, to - 1);
  out.KeyAtStart = int(int8_t(maps.KeyAt(from) >> 8));
  out.MeterAtStart = maps.MeterAt(from).Value;

  for (uint32_t m = m0, n = 0; n < kMaxMeasures; ++m, ++n) {
    const uint32_t t = maps.MeasureToTick(m);
    if (n > 0 && t <= out.Bars.back().Tick) break;  // the maps cannot go further
    out.Bars.push_back({t, m});
    if (t >= endTick) break;
  }
  endTick = out.Bars.back().Tick;
  for (const TKeyEntry& k : maps.KeyMap)
    if (k.Tick > from && k.Tick < to) out.Changes.push_back({k.Tick, true, k.Value});
  for (const TMeterEntry& m : maps.MeterMap)
    if (m.Tick > from && m.Tick < to) out.Changes.push_back({m.Tick, false, m.Value});

  // The notes from the measure before the span on, found through the index.
  std::vector<RawNote> notes;
  if (track >= 0 && track < kAllTracks) {
    const TMidiData& data = song.Tracks[size_t(track)];
    if (data.HasData() && index.Matches(data)) {
      const TickIndex::Position pos = index.Seek(data, int32_t(std::min<uint32_t>(lookStart, 0x7FFFFFFF)));
      const uint8_t* p = data.Top() + pos.Body;
      const uint8_t* end = data.End();
      uint32_t tick = uint32_t(pos.Tick);
      bool first = true;
      while (p < end) {
        TMidiEvent ev;
        if (first) {
          DecodeBody(p, end, 0, ev);
          first = false;
        } else {
          DecodeEvent(p, end, 0, ev);
          // Ticks add up as the player's do: past the largest int32 tick they stay there.
          tick = uint32_t(std::min<uint64_t>(uint64_t(tick) + ev.Time, 0x7FFFFFFF));
        }
        if (tick >= endTick) break;
        if (ev.IsNote()) notes.push_back({tick, uint8_t(ev.Data1 & 0x7F), ev.Data2, ev.Value});
      }
    }
  }
  out.NotesRead = uint32_t(notes.size());

  // Chords: the notes of one onset, each drawn as one or more tied pieces.
  const uint32_t quantum = std::max<uint32_t>(1, tpqn / 4);
  std::vector<ScoreChord> pieces;
  for (size_t i = 0; i < notes.size();) {
    size_t j = i;
    uint32_t gate = 0;
    while (j < notes.size() && notes[j].Tick == notes[i].Tick) gate = std::max(gate, notes[j++].Gate);
    const uint32_t tick = notes[i].Tick;
    uint64_t span = (uint64_t(gate) + quantum - 1) / quantum * quantum;
    if (j < notes.size()) span = std::min<uint64_t>(span, notes[j].Tick - tick);
    ScoreChord chord;
    for (size_t k = i; k < j; ++k) {
      ScoreHead h;
      const StaffSpelling s = SpellForStaff(notes[k].Note, int(int8_t(maps.KeyAt(tick) >> 8)));
      h.Step = s.Step;
      h.Alter = s.Alter;
      h.Note = notes[k].Note;
      h.Velocity = notes[k].Velocity;
      h.Gate = notes[k].Gate;
      chord.Heads.push_back(h);
    }
    std::sort(chord.Heads.begin(), chord.Heads.end(), [](const ScoreHead& a, const ScoreHead& b) { return a.Step < b.Step; });
    // Two notes on one step (C and C sharp) keep one head.
    chord.Heads.erase(std::unique(chord.Heads.begin(), chord.Heads.end(),
                                  [](const ScoreHead& a, const ScoreHead& b) { return a.Step == b.Step; }),
                      chord.Heads.end());
    uint32_t at = tick;
    uint64_t remaining = std::max<uint64_t>(span, 1);
    for (int n = 0; n < kMaxPieces && remaining > 0; ++n) {
      const uint32_t bar = NextBar(maps, at);
      const uint32_t seg = uint32_t(std::min<uint64_t>(remaining, bar > at ? bar - at : remaining));
      ScoreChord piece = chord;
      piece.Tick = at;
      piece.Continued = n > 0;
      if (!FitValue(tpqn, seg, piece.Value, piece.Dotted, true)) {
        if (n > 0) break;
        piece.Value = kScoreValues - 1;
        piece.Dotted = false;
      }
      piece.Length = std::min<uint32_t>(ValueTicks(tpqn, piece.Value, piece.Dotted), std::max<uint32_t>(seg, 1));
      if (n > 0) pieces.back().TieToNext = true;
      pieces.push_back(std::move(piece));
      at += pieces.back().Length;
      remaining -= std::min<uint64_t>(remaining, pieces.back().Length);
    }
    i = j;
  }

  // Accidentals: what the key says, changed by the accidentals met so far in the measure.
  {
    std::array<int, kTopStepMax + 8> alter{};
    uint32_t barEnd = 0;
    int key = 99;
    for (ScoreChord& c : pieces) {
      const int ks = int(int8_t(maps.KeyAt(c.Tick) >> 8));
      if (c.Tick >= barEnd || ks != key) {
        barEnd = NextBar(maps, c.Tick);
        key = ks;
        for (size_t s = 0; s < alter.size(); ++s) alter[s] = KeyAlter(ks, int(s % 7));
      }
      for (ScoreHead& h : c.Heads) {
        const size_t s = size_t(std::clamp(h.Step, 0, int(alter.size()) - 1));
        h.Accidental = !c.Continued && alter[s] != h.Alter;
        alter[s] = h.Alter;
      }
    }
  }

  // What the span shows: the pieces from its first measure on.
  for (ScoreChord& c : pieces)
    if (c.Tick >= start && c.Tick < endTick) out.Chords.push_back(std::move(c));

  // Stems, then beams over the flagged values that follow each other within a beat group.
  for (ScoreChord& c : out.Chords) {
    double sum = 0;
    for (const ScoreHead& h : c.Heads) sum += h.Step;
    const double avg = c.Heads.empty() ? 0 : sum / double(c.Heads.size());
    c.StemUp = avg < MiddleLine(clef, avg);
  }
  for (size_t i = 0; i < out.Chords.size();) {
    auto beamable = [](const ScoreChord& c) { return c.Value >= 3; };
    if (!beamable(out.Chords[i])) {
      ++i;
      continue;
    }
    const TMeterEntry& meter = maps.MeterAt(out.Chords[i].Tick);
    const uint32_t ms = maps.MeasureToTick(maps.TickToMeasure(out.Chords[i].Tick).Measure);
    const uint32_t group = BeamSpan(meter);
    const uint32_t g = (out.Chords[i].Tick - ms) / group;
    size_t j = i + 1;
    while (j < out.Chords.size() && beamable(out.Chords[j]) &&
           out.Chords[j - 1].Tick + out.Chords[j - 1].Length == out.Chords[j].Tick && out.Chords[j].Tick >= ms &&
           (out.Chords[j].Tick - ms) / group == g && out.Chords[j].Tick < NextBar(maps, out.Chords[i].Tick))
      ++j;
    if (j - i >= 2) {
      double sum = 0;
      int count = 0;
      for (size_t k = i; k < j; ++k)
        for (const ScoreHead& h : out.Chords[k].Heads) {
          sum += h.Step;
          ++count;
        }
      const double avg = count ? sum / count : 0;
      const bool up = avg < MiddleLine(clef, avg);
      for (size_t k = i; k < j; ++k) {
        out.Chords[k].StemUp = up;
        out.Chords[k].Beam = int(out.Beams.size());
      }
      out.Beams.push_back({i, j - 1, up});
    }
    i = j;
  }

  // Rests in what no drawn note covers, measure by measure.
  const uint32_t smallest = ValueTicks(tpqn, kScoreValues - 1, false);
  size_t c = 0;
  for (size_t b = 0; b + 1 < out.Bars.size(); ++b) {
    const uint32_t ms = out.Bars[b].Tick, me = out.Bars[b + 1].Tick;
    uint32_t pos = ms;
    bool any = false;
    auto fill = [&](uint32_t gapEnd) {
      while (gapEnd > pos && gapEnd - pos >= smallest) {
        int v = -1;
        for (int k = 0; k < kScoreValues; ++k) {
          const uint32_t len = ValueTicks(tpqn, k, false);
          if (len <= gapEnd - pos && (pos - ms) % len == 0) {
            v = k;
            break;
          }
        }
        bool dotted = false;
        if (v < 0 && !FitValue(tpqn, gapEnd - pos, v, dotted, false)) break;
        const uint32_t len = ValueTicks(tpqn, v, false);
        out.Rests.push_back({pos, v, false, len});
        pos += len;
      }
    };
    while (c < out.Chords.size() && out.Chords[c].Tick < me) {
      any = true;
      if (out.Chords[c].Tick > pos) fill(out.Chords[c].Tick);
      pos = std::max(pos, out.Chords[c].Tick + out.Chords[c].Length);
      ++c;
    }
    if (!any) out.Rests.push_back({ms, 0, true, me - ms});
    else fill(me);
  }
  return out;
}

}  // namespace melko
