// The text forms of the edit tools' boxes: note names ("C  3", typed as
// "c3", "F#" or "60") and lengths ("  1/  0", quarter notes and ticks), each
// with its lenient reader that falls back to the box's previous value.
// Pure functions, callable from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace melko {

// "%s%2d": the pitch name of note mod 12 and the octave note div 12 - 2 + centerC.
std::string NoteText(int note, int centerC);
// A typed note: a letter A..G (with "#" or "+" for sharp) and an octave, or
// a plain note number; empty text gives the fallback.
int ReadNoteText(std::string_view text, int fallback, int centerC);

// "%3d/%3d" of quarter notes and remaining ticks, "-" in front when negative.
std::string LengthText(int64_t ticks, uint32_t tpqn);
// A typed length: "quarters/ticks" split from the right (the tick field falls
// back to old mod tpqn, quarters to 0), clamped to 1..tpqn × 1000 - 1. A
// signed length drops every "-" and is negated when one was there.
int64_t ReadLengthText(std::string_view text, int64_t old, uint32_t tpqn, bool isSigned);

}  // namespace melko
