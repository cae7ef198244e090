// LINE.TXT: the shipped form read, damaged lines skipped, values clamped, and
// what is written read back the same.
#include <gtest/gtest.h>

#include "edit/line_presets.h"

namespace melko {
namespace {

TEST(LinePresets, ReadsEachLineType) {
  auto p = ParseLinePresets(
      "Crescendo: 1, 0, 40, 120\r\n"
      "Vibrato Bend: 4, 1, 8, 32, -90\r\n"
      "Swell: 9, 2, 10, 120, 2, 60, 100, 180, 30\r\n");
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].Name, "Crescendo");
  EXPECT_EQ(p[0].KindIndex, 1);
  EXPECT_EQ(p[0].From, 40);
  EXPECT_EQ(p[0].To, 120);
  EXPECT_EQ(p[1].Frequency2, 8);
  EXPECT_EQ(p[1].Phase, -90);
  EXPECT_EQ(p[2].Inner[1], (CurvePoint{180, 30}));

  MakeValueSettings s;
  ApplyLinePreset(p[1], s);
  EXPECT_EQ(s.KindIndex, 4);
  EXPECT_EQ(s.LineType, kLineSine);
  EXPECT_EQ(s.Frequency, 4.0);
  EXPECT_EQ(s.Amplitude, 32);
  ApplyLinePreset(p[2], s);
  EXPECT_EQ(s.Points[1], (CurvePoint{60, 28})) << "graph value 100 is 28 pixels from the top";
  EXPECT_EQ(s.Points[0], (CurvePoint{0, 118})) << "the ends at from and to";
}

TEST(LinePresets, DamagedLinesAreSkippedAndValuesClamped) {
  auto p = ParseLinePresets(
      "no colon here\n"
      "\n"
      "Bad number: 1, x, 3\n"
      "Too short: 1\n"
      "Wild: 999, 7, -5000, 5000\n"
      "Many points: 1, 2, 0, 128, 3, 0, 500, 20, 50, 60, 70\n"
      "Few: 3, 1\n");
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].Name, "Wild");
  EXPECT_EQ(p[0].KindIndex, 132);
  EXPECT_EQ(p[0].LineType, kLineSpline);
  EXPECT_EQ(p[0].From, 0);
  EXPECT_EQ(p[0].To, 128);
  EXPECT_EQ(p[1].Inner[0], (CurvePoint{1, 128})) << "x kept inside the graph";
  EXPECT_EQ(p[1].Inner[1], (CurvePoint{20, 50})) << "two inner points of three";
  EXPECT_EQ(p[2].Frequency2, 2) << "missing values keep their defaults";
}

TEST(LinePresets, WrittenPresetsReadBackTheSame) {
  MakeValueSettings s;
  s.KindIndex = 6;
  s.LineType = kLineSpline;
  s.From = 5;
  s.To = 100;
  s.Points[1] = {30, 40};
  s.Points[2] = {200, 90};
  std::vector<LinePreset> p = {LinePresetOf("My: curve\nsecond line", s)};
  s.LineType = kLineSine;
  s.Frequency = 2.5;
  p.push_back(LinePresetOf("\x83\x7B\x83\x8A", s));  // raw CP932 bytes stay as they are
  auto back = ParseLinePresets(FormatLinePresets(p));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].Name, "My; curve second line");
  EXPECT_EQ(back[0], p[0]);
  EXPECT_EQ(back[1], p[1]);
  EXPECT_EQ(back[1].Frequency2, 5);
}

TEST(LinePresets, ReadingIsBounded) {
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "P: 1, 0, 1, 2\n";
  EXPECT_EQ(ParseLinePresets(many).size(), kMaxLinePresets);
}

}  // namespace
}  // namespace melko
