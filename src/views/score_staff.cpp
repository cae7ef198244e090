#include "views/score_staff.h"

#include <algorithm>

#include "instruments/note_name.h"

namespace melko {

namespace {
constexpr int kNatural[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr int kSharpOrder[7] = {3, 0, 4, 1, 5, 2, 6};  // F C G D A E B
constexpr int kFlatOrder[7] = {6, 2, 5, 1, 4, 0, 3};   // B E A D G C F

int LetterIndex(char c) {
  switch (c) {
    case 'C': return 0;
    case 'D': return 1;
    case 'E': return 2;
    case 'F': return 3;
    case 'G': return 4;
    case 'A': return 5;
    case 'B': return 6;
  }
  return 0;
}
}  // namespace

int KeyAlter(int ks, int letter) {
  ks = std::clamp(ks, -7, 7);
  letter = std::clamp(letter, 0, 6);
  for (int i = 0; i < ks; ++i)
    if (kSharpOrder[i] == letter) return 1;
  for (int i = 0; i < -ks; ++i)
    if (kFlatOrder[i] == letter) return -1;
  return 0;
}

int KeyPitch(int ks, int letter) { return kNatural[std::clamp(letter, 0, 6)] + KeyAlter(ks, letter); }

int StepAtY(int y, int topStep, int noteHeight) {
  if (noteHeight < 1) noteHeight = 1;
  // Floor division, so that a pointer above the top edge is still above.
  const int q = y + noteHeight / 2;
  const int steps = q >= 0 ? q / noteHeight : -((-q + noteHeight - 1) / noteHeight);
  return std::max(0, topStep - steps);
}

int NoteAtStep(int step, int ks) {
  if (step < 0) step = 0;
  return std::clamp(step / 7 * 12 + KeyPitch(ks, step % 7), 0, 127);
}

uint32_t TickAtX(int x, int offset, int pixelsPer16th, uint32_t tpqn) {
  const int64_t px = int64_t(x) + offset;
  if (px <= 0) return 0;
  const int64_t pp = std::clamp(pixelsPer16th, kMinPixelsPer16th, kMaxPixelsPer16th);
  return uint32_t(std::min<int64_t>(int64_t(tpqn) * px / (4 * pp), 0x7FFFFFFF));
}

int64_t XOfTick(uint32_t tick, int pixelsPer16th, uint32_t tpqn) {
  const int64_t pp = std::clamp(pixelsPer16th, kMinPixelsPer16th, kMaxPixelsPer16th);
  if (tpqn == 0) tpqn = 1;
  // The smallest x whose TickAtX reaches the tick.
  return (int64_t(tick) * 4 * pp + tpqn - 1) / tpqn;
}

uint32_t SnapDown(uint32_t tick, int32_t grid) {
  if (grid < 1) grid = 1;
  return tick - tick % uint32_t(grid);
}

uint32_t GridLineTicks(uint32_t tpqn, int pixelsPer16th) {
  int q = 1;
  for (int c : {16, 8, 4, 2})
    if (c < pixelsPer16th) {
      q = c;
      break;
    }
  return std::max<uint32_t>(1, tpqn * 4 / uint32_t(q));
}

StaffSpelling SpellForStaff(int note, int ks) {
  note = std::clamp(note, 0, 127);
  ks = std::clamp(ks, -7, 7);
  const std::string name = NoteName(note, ks);
  StaffSpelling s;
  const int letter = LetterIndex(name[0]);
  s.Mark = name.size() > 1 ? name[1] : ' ';
  // The letter's natural pitch in the note's octave may lie a semitone or
  // two away across the octave line (B sharp, C flat).
  int octave = note / 12;
  const int pc = note % 12;
  if (letter == 6 && pc <= 1) --octave;
  if (letter == 0 && pc >= 10) ++octave;
  s.Step = octave * 7 + letter;
  int alter = pc - kNatural[letter];
  if (alter > 6) alter -= 12;
  if (alter < -6) alter += 12;
  s.Alter = alter;
  return s;
}

bool IsStaffLine(int clef, int step) {
  auto on = [step](int bottom) { return step >= bottom && step <= bottom + 8 && (step - bottom) % 2 == 0; };
  if (clef == kClefBass) return on(kBassBottomLine);
  if (clef == kClefGrand) return on(kBassBottomLine) || on(kTrebleBottomLine);
  return on(kTrebleBottomLine);
}

int LowestLine(int clef) { return clef == kClefBass || clef == kClefGrand ? kBassBottomLine : kTrebleBottomLine; }
int HighestLine(int clef) { return (clef == kClefBass ? kBassBottomLine : kTrebleBottomLine) + 8; }

}  // namespace melko
