// NoteName: spelling by key signature, the octave with "CenterC", and the
// bounds of its arguments.
#include <gtest/gtest.h>

#include "instruments/note_name.h"

namespace melko {
namespace {

struct NoteCase {
  const char* Label;
  int Note, Key, CenterC;
  const char* Text;
};

class NoteNameCases : public ::testing::TestWithParam<NoteCase> {};

TEST_P(NoteNameCases, Spells) {
  const NoteCase& c = GetParam();
  EXPECT_EQ(NoteName(c.Note, c.Key, c.CenterC), c.Text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoteNameCases,
    ::testing::Values(NoteCase{"MiddleCInCMajor", 60, 0, 0, "C  3"},
                      NoteCase{"CenterCShiftsTheOctave", 60, 0, 1, "C  4"},
                      NoteCase{"SharpInCMajor", 61, 0, 0, "C# 3"},
                      // Seven sharps: pitch class 0 is B sharp, in the octave of the note itself.
                      NoteCase{"SevenSharpsSpellCAsB", 60, 7, 0, "B  3"},
                      NoteCase{"SevenSharpsNaturalB", 71, 7, 0, "Bn 3"},
                      NoteCase{"OneFlatHoldsBFlat", 70, -1, 0, "B  3"},
                      NoteCase{"OneFlatNaturalB", 71, -1, 0, "Bn 3"},
                      NoteCase{"TwoFlatsEFlatIsNatural", 63, -2, 0, "E  3"},
                      NoteCase{"ThreeFlatsDFlat", 61, -3, 0, "Db 3"},
                      NoteCase{"SevenFlatsCNatural", 60, -7, 0, "Cn 3"},
                      NoteCase{"SevenFlatsBIsC", 71, -7, 0, "C  3"},
                      NoteCase{"OneSharpFNatural", 65, 1, 0, "Fn 3"},
                      NoteCase{"LowestNote", 0, 0, 0, "C -2"},
                      NoteCase{"HighestNote", 127, 0, 0, "G  8"},
                      NoteCase{"NoteClampedHigh", 200, 0, 0, "G  8"},
                      NoteCase{"NoteClampedLow", -5, 0, 0, "C -2"},
                      NoteCase{"KeyClamped", 60, 9, 0, "B  3"},
                      NoteCase{"NegativeCenterC", 0, 0, -2, "C -4"}),
    [](const ::testing::TestParamInfo<NoteCase>& info) { return std::string(info.param.Label); });

}  // namespace
}  // namespace melko
