// NoteName: a note spelled for a key signature, as the patch dialogs' monitor
// note and the score show it: letter, accidental mark ("#", "b", "n" for a
// natural sign, or a blank, also for an accidental the signature holds) and
// octave, "%s%s%2d". The octave is note div 12 - 2 + centerC (the "CenterC"
// setting), so note 60 in C major is "C  3" with centerC 0. The plain note
// text of the edit tools' boxes is NoteText (edit/tool_text.h), without the
// key signature. Pure, callable from any thread.
#pragma once

#include <string>

namespace melko {

// note is taken within 0..127 and keySignature within -7..7 (negative: the
// number of flats, positive: of sharps).
std::string NoteName(int note, int keySignature, int centerC = 0);

}  // namespace melko
