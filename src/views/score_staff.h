// The score's staff geometry: the continuous column of diatonic steps that
// the staff image is (one step for each line and each space, NoteHeight
// pixels apart), the letter offsets of each key signature (KeyPitch), the
// mouse's pixel-to-tick and pixel-to-note rules, the grid snap, and the
// spelling of a note on its line or space for the key in force. The drawing
// and the mouse both use these, so a head is drawn where a click enters it.
// Pure functions, callable from any thread.
#pragma once

#include <cstdint>

namespace melko {

constexpr int kTopStepMax = 74;     // G of octave 10, note 127
constexpr int kScoreVertMax = 40;   // scbScoreVert runs 0..40
constexpr int kDefaultNoteHeight = 3;
constexpr int kMinPixelsPer16th = 1;
constexpr int kMaxPixelsPer16th = 64;

// The pitch offset of letter 0..6 (C D E F G A B) in key signature ks
// (-7..7, sharps positive): the first ks letters of F C G D A E B raised,
// the first -ks of B E A D G C F lowered. ks = -7 gives -1 for C.
int KeyPitch(int ks, int letter);
// -1, 0 or +1: how the signature alters the letter.
int KeyAlter(int ks, int letter);

// The step at the top edge for a position of the vertical scroll bar.
inline int TopStep(int scroll) { return kTopStepMax - scroll; }
// The step under height y: TopStep - (y + NoteHeight div 2) div NoteHeight, not below 0.
int StepAtY(int y, int topStep, int noteHeight);
// The centre height of step s (the inverse of StepAtY).
inline int StepY(int step, int topStep, int noteHeight) { return (topStep - step) * noteHeight; }
// The note of step s in key ks: (s div 7) × 12 + KeyPitch, clamped to 0..127.
int NoteAtStep(int step, int ks);

// Horizontal position to tick: TPQN × (x + offset) div (4 × PixelsPer16th).
// This equals (TPQN div 4) × (x + offset) div PixelsPer16th whenever TPQN
// is a multiple of 4, and still tells ticks apart below 4 ticks a quarter.
uint32_t TickAtX(int x, int offset, int pixelsPer16th, uint32_t tpqn);
// The left pixel (before the scroll offset) where a tick is drawn.
int64_t XOfTick(uint32_t tick, int pixelsPer16th, uint32_t tpqn);
// The tick snapped down to a multiple of grid (a grid below 1 counts as 1).
uint32_t SnapDown(uint32_t tick, int32_t grid);
// Distance of the drawn grid lines: TPQN × 4 div q, q the first of 16, 8,
// 4, 2 smaller than PixelsPer16th, else 1; at least 1 tick.
uint32_t GridLineTicks(uint32_t tpqn, int pixelsPer16th);

// A note as the staff shows it in a key: its step (line or space), its
// alteration (-1, 0, +1) and the accidental mark NoteName spells for the
// key ('#', 'b', 'n' or ' ' when the signature already says it).
struct StaffSpelling {
  int Step = 0;
  int Alter = 0;
  char Mark = ' ';
};
StaffSpelling SpellForStaff(int note, int ks);

// Staff lines of the clefs (the steps of their five lines, bottom first).
enum ScoreClef { kClefTreble = 0, kClefBass = 1, kClefGrand = 2 };
constexpr int kTrebleBottomLine = 37;  // E of octave 5 (note 64)
constexpr int kBassBottomLine = 25;    // G of octave 3 (note 43)
constexpr int kMiddleC = 35;           // note 60
// Whether step s lies on a line of the clef's staff (or staves).
bool IsStaffLine(int clef, int step);
// The lowest and highest staff line of the clef (grand: bass bottom, treble top).
int LowestLine(int clef);
int HighestLine(int clef);

}  // namespace melko
