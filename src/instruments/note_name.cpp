#include "instruments/note_name.h"

#include <algorithm>
#include <cstdio>

namespace melko {

namespace {

// Letter and mark of each pitch class, one row per key signature -7..7.
constexpr const char* kSpelling[15][12] = {
    {"Cn", "D ", "Dn", "E ", "F ", "Fn", "G ", "Gn", "A ", "An", "B ", "C "},  // -7
    {"Cn", "D ", "Dn", "E ", "En", "F ", "G ", "Gn", "A ", "An", "B ", "C "},  // -6
    {"C ", "D ", "Dn", "E ", "En", "F ", "G ", "Gn", "A ", "An", "B ", "Bn"},  // -5
    {"C ", "D ", "Dn", "E ", "En", "F ", "Gb", "G ", "A ", "An", "B ", "Bn"},  // -4
    {"C ", "Db", "D ", "E ", "En", "F ", "Gb", "G ", "A ", "An", "B ", "Bn"},  // -3
    {"C ", "Db", "D ", "E ", "En", "F ", "Gb", "G ", "Ab", "A ", "B ", "Bn"},  // -2
    {"C ", "Db", "D ", "Eb", "E ", "F ", "Gb", "G ", "Ab", "A ", "B ", "Bn"},  // -1
    {"C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B "},  // 0
    {"C ", "C#", "D ", "D#", "E ", "Fn", "F ", "G ", "G#", "A ", "A#", "B "},  // 1
    {"Cn", "C ", "D ", "D#", "E ", "Fn", "F ", "G ", "G#", "A ", "A#", "B "},  // 2
    {"Cn", "C ", "D ", "D#", "E ", "Fn", "F ", "Gn", "G ", "A ", "A#", "B "},  // 3
    {"Cn", "C ", "Dn", "D ", "E ", "Fn", "F ", "Gn", "G ", "A ", "A#", "B "},  // 4
    {"Cn", "C ", "Dn", "D ", "E ", "Fn", "F ", "Gn", "G ", "An", "A ", "B "},  // 5
    {"Cn", "C ", "Dn", "D ", "En", "E ", "F ", "Gn", "G ", "An", "A ", "B "},  // 6
    {"B ", "C ", "Dn", "D ", "En", "E ", "F ", "Gn", "G ", "An", "A ", "Bn"},  // 7
};

}  // namespace

std::string NoteName(int note, int keySignature, int centerC) {
  note = std::clamp(note, 0, 127);
  keySignature = std::clamp(keySignature, -7, 7);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%2d", kSpelling[keySignature + 7][note % 12], note / 12 - 2 + centerC);
  return buf;
}

}  // namespace melko
