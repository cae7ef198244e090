#include "views/rhythm_pattern.h"

#include <algorithm>
#include <cstring>

#include "views/rhythm_bytes.h"

namespace melko {

namespace {

// Meta record ids.
constexpr uint8_t kMetaInstrument = 1;
constexpr uint8_t kMetaDrumSet = 2;
constexpr uint8_t kMetaMap = 16;
constexpr uint8_t kMetaLayout = 17;
constexpr uint8_t kMetaShuffle = 18;

}  // namespace

int64_t LayoutSteps(int quant, int beats, int unit, int measures) {
  if (std::find(kPatternQuants.begin(), kPatternQuants.end(), quant) == kPatternQuants.end()) return -1;
  if (beats <= 0 || unit <= 0 || measures <= 0) return -1;
  const int64_t steps = int64_t(quant) * measures * beats / unit;
  if (steps <= 0 || steps > kMaxPatternSteps) return -1;
  return steps;
}

TRhythmPattern::TRhythmPattern() = default;

uint8_t TRhythmPattern::Cell(int step, int note) const {
  if (note < 0 || note >= 128 || step < 0 || step >= steps_) return 0;
  const auto& row = rows_[size_t(note)];
  return row.empty() ? 0 : row[size_t(step)];
}

bool TRhythmPattern::SetCell(int step, int note, int velocity) {
  if (note < 0 || note >= 128 || step < 0 || step >= steps_) return false;
  auto& row = rows_[size_t(note)];
  velocity = std::clamp(velocity, 0, 127);
  if (row.empty()) {
    if (velocity == 0) return true;
    row.assign(size_t(steps_), 0);
  }
  row[size_t(step)] = uint8_t(velocity);
  return true;
}

void TRhythmPattern::ClearCells() {
  for (auto& row : rows_) std::vector<uint8_t>().swap(row);
}

int TRhythmPattern::CellCount() const {
  int n = 0;
  for (const auto& row : rows_)
    for (uint8_t v : row) n += v != 0;
  return n;
}

bool TRhythmPattern::SetLayout(int quant, int beats, int unit, int measures) {
  if (beats > 255 || unit > 255 || measures > 255) return false;
  const int64_t steps = LayoutSteps(quant, beats, unit, measures);
  if (steps < 0) return false;
  PatternQuant = uint8_t(quant);
  PatternBeats = uint8_t(beats);
  PatternBeatUnit = uint8_t(unit);
  PatternMeasures = uint8_t(measures);
  steps_ = int32_t(steps);
  // Cells beyond the new length go; a longer grid starts them empty.
  for (auto& row : rows_)
    if (!row.empty()) row.resize(size_t(steps_), 0);
  return true;
}

void TRhythmPattern::SetShuffle(int shuffle) { PatternShuffle = std::clamp(shuffle, 0, kMaxShuffle); }

std::vector<TRhythmEvent> TRhythmPattern::BuildEvents(uint32_t unit, bool shuffle, uint32_t stepTicks) const {
  std::vector<TRhythmEvent> events;
  events.reserve(size_t(CellCount()));
  const int group = ShuffleGroup();
  const uint32_t delay = shuffle ? uint32_t(int64_t(stepTicks / 3) * PatternShuffle / 100) : 0;
  // Only the rows in use are looked at, in ascending note order.
  std::array<const uint8_t*, 128> used{};
  std::array<uint8_t, 128> notes{};
  int usedCount = 0;
  for (int n = 0; n < 128; ++n)
    if (!rows_[size_t(n)].empty()) {
      used[size_t(usedCount)] = rows_[size_t(n)].data();
      notes[size_t(usedCount++)] = uint8_t(n);
    }
  for (int i = 0; i < steps_; ++i) {
    const uint32_t time = uint32_t(i) * unit + (i % group == group - 1 ? delay : 0);
    for (int k = 0; k < usedCount; ++k) {
      const uint8_t v = used[size_t(k)][i];
      if (v == 0) continue;
      TRhythmEvent e;
      e.Time = time;
      e.Data1 = notes[size_t(k)];
      e.Data2 = v;
      events.push_back(e);
    }
  }
  return events;
}

std::string TRhythmPattern::StoreStream(int factor) const {
  std::string out;
  // A meta record's length is one byte: a longer name is cut there.
  const std::string name = PatternInstrument.substr(0, 255);
  out += "meta";
  PutU32(out, uint32_t(name.size() + 20));
  out += char(kMetaInstrument);
  out += char(name.size());
  out += name;
  out += char(kMetaDrumSet);
  out += char(1);
  out += char(PatternDrumSet);
  out += char(kMetaMap);
  out += char(1);
  out += char(PatternMap);
  out += char(kMetaLayout);
  out += char(4);
  out += char(uint8_t(std::min(PatternQuant * factor, 255)));
  out += char(PatternBeats);
  out += char(PatternBeatUnit);
  out += char(PatternMeasures);
  out += char(kMetaShuffle);
  out += char(4);
  PutU32(out, uint32_t(PatternShuffle));
  out += "data";
  const size_t countAt = out.size();
  PutU32(out, 0);
  uint32_t count = 0;
  for (const TRhythmEvent& e : BuildEvents(uint32_t(factor), false, 0)) {
    PutU32(out, e.Time);
    out += char(e.Data1);
    out += char(e.Data2);
    ++count;
  }
  std::memcpy(&out[countAt], PutU32Bytes(count).data(), 4);
  return out;
}

bool TRhythmPattern::LoadStream(std::string_view stream) {
  ByteReader r(stream);
  *this = TRhythmPattern();
  if (!r.Tag("meta")) return false;
  uint32_t metaLength;
  if (!r.U32(metaLength) || metaLength > r.Left()) return false;
  ByteReader meta(r.Take(metaLength));
  int quant = PatternQuant, beats = PatternBeats, unit = PatternBeatUnit, measures = PatternMeasures;
  while (meta.Left() > 0) {
    uint8_t id, length;
    if (!meta.U8(id) || !meta.U8(length) || length > meta.Left()) return false;
    ByteReader value(meta.Take(length));
    switch (id) {
      case kMetaInstrument: PatternInstrument = std::string(value.Rest()); break;
      case kMetaDrumSet: value.U8(PatternDrumSet); break;
      case kMetaMap: value.U8(PatternMap); break;
      case kMetaLayout:
        if (length >= 4) {
          uint8_t b[4];
          for (uint8_t& x : b) value.U8(x);
          quant = b[0], beats = b[1], unit = b[2], measures = b[3];
        }
        break;
      case kMetaShuffle: {
        uint32_t s;
        if (value.U32(s)) PatternShuffle = std::clamp(int32_t(s), 0, kMaxShuffle);
        break;
      }
      default: break;  // another id: skipped by its length
    }
  }
  if (!SetLayout(quant, beats, unit, measures)) return false;
  if (!r.Tag("data")) return false;
  uint32_t count;
  if (!r.U32(count)) return false;
  // The count is checked against the bytes there, never trusted to allocate.
  const bool whole = uint64_t(count) * 6 <= r.Left();
  const uint32_t present = whole ? count : uint32_t(r.Left() / 6);
  for (uint32_t i = 0; i < present; ++i) {
    uint32_t step = 0;
    uint8_t note = 0, velocity = 0;
    r.U32(step);
    r.U8(note);
    r.U8(velocity);
    if (step < uint32_t(steps_) && note < 128) SetCell(int(step), note, velocity);
  }
  return whole;
}

bool TRhythmPattern::Stretch() {
  if (!CanStretch() || LayoutSteps(PatternQuant * 2, PatternBeats, PatternBeatUnit, PatternMeasures) < 0) return false;
  const std::string stream = StoreStream(2);
  return LoadStream(stream);
}

}  // namespace melko
