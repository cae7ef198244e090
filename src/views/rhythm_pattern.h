// One drum pattern of the rhythm pattern editor: its layout (quant, meter,
// measures, shuffle), the instrument and drum set that name its rows, the
// drum map in use, and the grid of steps by note numbers 0..127 holding
// velocities (0 = empty). The grid is stored into and rebuilt from the
// pattern stream, the byte form kept in the pattern list and in RYM files;
// it also gives the event list that is played, exported and stored.
// A stream is untrusted bytes: LoadStream never reads past its end, skips
// cells outside the grid and refuses layouts that cannot be a pattern.
// Plain data, used on the UI thread; the player gets copies of event lists.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace melko {

// The quant combo's choices, steps per whole note.
constexpr std::array<int, 8> kPatternQuants = {8, 12, 16, 24, 32, 48, 64, 96};
// Stretch is offered while the quant is below this.
constexpr int kStretchQuantLimit = 48;
constexpr int kMaxShuffle = 200;
// Longer grids are refused (255 measures of 4/4 at quant 96 still fit): with
// every row written a grid takes at most 128 times this many bytes.
constexpr int64_t kMaxPatternSteps = 1 << 17;

// One hit as played, exported and stored: Status 0x99 (note-on, channel 10).
struct TRhythmEvent {
  uint32_t Time = 0;
  uint8_t Status = 0x99;
  uint8_t Data1 = 0;  // note
  uint8_t Data2 = 0;  // velocity
  uint8_t Data3 = 0;
};

// Steps of a layout (quant × measures × beats div unit, in 64 bits), or -1
// when the layout is not one a pattern may have: a quant off the combo, a
// meter numerator or denominator of 0, no steps, or more than kMaxPatternSteps.
int64_t LayoutSteps(int quant, int beats, int unit, int measures);

// TPQN × 4 div quant.
inline uint32_t StepTicksOf(uint32_t tpqn, int quant) { return quant > 0 ? tpqn * 4 / uint32_t(quant) : 0; }

class TRhythmPattern {
 public:
  TRhythmPattern();

  uint8_t PatternQuant = 16;
  uint8_t PatternBeats = 4;
  uint8_t PatternBeatUnit = 4;
  uint8_t PatternMeasures = 2;
  int32_t PatternShuffle = 0;
  std::string PatternInstrument;  // raw bytes
  uint8_t PatternDrumSet = 0;
  uint8_t PatternMap = 0;

  int32_t PatternSteps() const { return steps_; }
  // 3 when the quant is divisible by 3, else 2.
  int ShuffleGroup() const { return PatternQuant % 3 == 0 ? 3 : 2; }
  uint32_t StepTicks(uint32_t tpqn) const { return StepTicksOf(tpqn, PatternQuant); }
  // StepTicks × PatternSteps: the loop length and the Export length.
  uint32_t LengthTicks(uint32_t tpqn) const { return StepTicks(tpqn) * uint32_t(steps_); }

  // 0 for an empty cell and for one outside the grid.
  uint8_t Cell(int step, int note) const;
  // Sets a cell (velocity 0 empties it), allocating its row on the first
  // write; false, changing nothing, outside the grid. Velocities above 127
  // are taken as 127.
  bool SetCell(int step, int note, int velocity);
  bool RowUsed(int note) const { return note >= 0 && note < 128 && !rows_[size_t(note)].empty(); }
  // Every cell empty, the rows freed.
  void ClearCells();
  // Number of non-empty cells.
  int CellCount() const;

  // Takes a new layout and recomputes PatternSteps, clearing the cells
  // beyond the old length. False, changing nothing, when LayoutSteps refuses it.
  bool SetLayout(int quant, int beats, int unit, int measures);
  // The shuffle, clamped to 0..200.
  void SetShuffle(int shuffle);

  // The hits step by step, within a step by ascending note. unit: ticks per
  // step; with shuffle each step i with i mod ShuffleGroup = ShuffleGroup - 1
  // is delayed by (stepTicks div 3) × PatternShuffle div 100 ticks.
  std::vector<TRhythmEvent> BuildEvents(uint32_t unit, bool shuffle, uint32_t stepTicks) const;
  // For playing and exporting: unit StepTicks, with shuffle.
  std::vector<TRhythmEvent> PlayEvents(uint32_t tpqn) const { return BuildEvents(StepTicks(tpqn), true, StepTicks(tpqn)); }

  // The pattern stream with step positions × factor (1 stores, 2 stretches:
  // the quant is then written doubled).
  std::string StoreStream(int factor = 1) const;
  // Rebuilds the pattern from a stream: the layout and names from the meta
  // records (any order, unknown ids skipped), then the cells; cells outside
  // the grid are skipped. False when the stream is damaged (a tag missing, a
  // length past its end, a layout refused by LayoutSteps): the fields then
  // hold what was read before the damage, with the default layout if the
  // layout itself was refused.
  bool LoadStream(std::string_view stream);

  // Stores with factor 2 and reloads: twice the resolution, the hits at the
  // same musical places. False, changing nothing, when the quant is not below
  // kStretchQuantLimit.
  bool Stretch();
  bool CanStretch() const { return PatternQuant < kStretchQuantLimit; }

 private:
  int32_t steps_ = 32;
  std::array<std::vector<uint8_t>, 128> rows_;
};

}  // namespace melko
