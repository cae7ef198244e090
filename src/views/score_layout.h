// What the score draws for a span of one track: bar lines, chords (note
// heads on their diatonic steps with the accidentals a measure needs, the
// note value read from the gate and the next onset, ties across bar lines,
// stems and beams within a beat), rests where no note sounds, and the key
// and meter in force. The layout reads the track through a TickIndex, so its
// cost follows the span drawn, not the track's length: it starts at the
// measure before the span (for notes that sound into it) and stops past its
// end. Plain data; the window turns it into glyphs. UI thread.
#pragma once

#include <cstdint>
#include <vector>

#include "song/song.h"
#include "song/tick_index.h"

namespace melko {

// Note values: 0 whole, 1 half, 2 quarter, 3 eighth, 4 16th, 5 32nd, 6 64th.
constexpr int kScoreValues = 7;
// Ticks of a value (dotted: one and a half), at least 1.
uint32_t ValueTicks(uint32_t tpqn, int value, bool dotted);

struct ScoreHead {
  int Step = 0;          // diatonic step (line or space)
  int Note = 0;          // MIDI note
  int Alter = 0;         // -1, 0, +1
  bool Accidental = false;  // drawn with its accidental (Alter says which: 0 is a natural)
  uint8_t Velocity = 0;
  uint32_t Gate = 0;
};

struct ScoreChord {
  uint32_t Tick = 0;     // where it is drawn
  uint32_t Length = 0;   // ticks the drawn value stands for
  int Value = 2;
  bool Dotted = false;
  bool TieToNext = false;   // a tie to the next piece (across a bar line or to a tied value)
  bool Continued = false;   // the tied piece of a note that started earlier
  bool StemUp = true;
  int Beam = -1;         // index into Beams, or -1 (drawn with a flag)
  std::vector<ScoreHead> Heads;  // ascending steps
};

struct ScoreRest {
  uint32_t Tick = 0;
  int Value = 0;
  bool WholeMeasure = false;  // drawn in the middle of the measure
  uint32_t Length = 0;
};

struct ScoreBar {
  uint32_t Tick = 0;
  uint32_t Measure = 0;  // measure that starts here, from 0
};

struct ScoreBeam {
  size_t First = 0, Last = 0;  // chord indexes
  bool StemUp = true;
};

struct ScoreChange {
  uint32_t Tick = 0;
  bool Key = false;      // a key change (Value: sf << 8 | minor) or a meter change
  uint32_t Value = 0;
};

struct ScoreLayout {
  std::vector<ScoreBar> Bars;
  std::vector<ScoreChord> Chords;  // by tick
  std::vector<ScoreRest> Rests;
  std::vector<ScoreBeam> Beams;
  std::vector<ScoreChange> Changes;  // inside the span
  int KeyAtStart = 0;                // sf at `from`
  uint32_t MeterAtStart = 0x04021808;
  uint32_t NotesRead = 0;            // notes the layout looked at (for tests of its cost)
};

// Lays out ticks from..to (exclusive) of `track`, whose index `index` must
// describe song.Tracks[track]. clef is a ScoreClef (it sets stem directions).
ScoreLayout LayoutScore(const Song& song, int track, const TickIndex& index, uint32_t from, uint32_t to, int clef);

}  // namespace melko
