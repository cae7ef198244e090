// The edit range, typed positions and the strip's text forms.
#include <gtest/gtest.h>

#include "edit/edit_range.h"
#include "song/song.h"

namespace melko {
namespace {

// A 4/4 song with TPQN 480 that changes to 3/4 at measure 4 (tick 7680).
Song MeterSong() {
  Song song;
  TMidiEvent meter;
  meter.Time = 7680;
  meter.Status = 0xFF;
  meter.Data1 = 0x58;
  meter.Len = 4;
  meter.Value = 0x03021808;
  song.InsertEvent(0, meter, false);
  song.RebuildMaps();
  return song;
}

struct LocCase {
  const char* Name;
  const char* Text;
  uint32_t Fallback;
  uint32_t Expected;
};

class LocTextToTickTest : public ::testing::TestWithParam<LocCase> {};

TEST_P(LocTextToTickTest, Reads) {
  Song song = MeterSong();
  EXPECT_EQ(LocTextToTick(song.Maps, GetParam().Text, GetParam().Fallback), GetParam().Expected);
}

// Fallback 5/3/120 in the 3/4 part: 7680 + 1440 + 2 × 480 + 120.
constexpr uint32_t kM5B3T120 = 7680 + 1440 + 960 + 120;

INSTANTIATE_TEST_SUITE_P(
    Rows, LocTextToTickTest,
    ::testing::Values(
        LocCase{"AllThreeFields", "5/1/0", 0, 7680 + 1440},
        LocCase{"BeatAndTickOnly", "2/0", kM5B3T120, 7680 + 1440 + 480},
        LocCase{"SingleNumberIsTheTick", "60", kM5B3T120, 7680 + 1440 + 960 + 60},
        LocCase{"FieldsFurtherLeftIgnored", "9/5/1/0", 0, 7680 + 1440},
        LocCase{"BeatAboveNumeratorIsLastBeat", "5/7/0", 0, 7680 + 1440 + 960},
        LocCase{"BeatAboveNumeratorIn44", "1/9/0", 0, 1920 + 1440},
        LocCase{"TickClampedToTheBeat", "1/1/9999", 0, 1920 + 479},
        LocCase{"UnreadableFieldKeepsFallback", "x/2/y", kM5B3T120, 7680 + 1440 + 480 + 120},
        LocCase{"EmptyTextKeepsFallback", "", kM5B3T120, kM5B3T120},
        LocCase{"MeasureClampedTo999", "1200/1/0", 0, 7680 + (999 - 4) * 1440},
        LocCase{"NegativeMeasureIsSongStart", "-3/1/0", kM5B3T120, 0},
        LocCase{"NegativeTickIsBeatStart", "1/2/-50", 0, 1920 + 480},
        LocCase{"BeatZeroIsFirstBeat", "2/0/10", 0, 3840 + 10}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(EditRange, PositionTextCountsMeasuresFromZeroAndBeatsFromOne) {
  Song song = MeterSong();
  EXPECT_EQ(TickToLocText(song.Maps, 0), "000/01/000");
  EXPECT_EQ(TickToLocText(song.Maps, kM5B3T120), "005/03/120");
  // What is shown reads back to the same tick.
  for (uint32_t t : {0u, 479u, 1921u, 7680u, kM5B3T120, 99999u})
    EXPECT_EQ(LocTextToTick(song.Maps, TickToLocText(song.Maps, t), 0), t) << t;
}

TEST(EditRange, TrackBoxesClampAndKeepOldOnGarbage) {
  EXPECT_EQ(ReadTrackBox("7", 1), 7);
  EXPECT_EQ(ReadTrackBox("0", 5), 1);
  EXPECT_EQ(ReadTrackBox("99", 5), 64);
  EXPECT_EQ(ReadTrackBox("ab", 5), 5);
  EXPECT_EQ(ReadTrackBox("", 5), 5);
}

TEST(EditRange, ReversedBoxesAreSwappedByNormalize) {
  Song song;
  TEditRange r;
  ReadRangeBoxes(r, song.Maps, "3", "1", "2/1/0", "1/1/0");
  EXPECT_EQ(r.EditFromTrack, 3);
  EXPECT_EQ(r.EditToTrack, 1);
  EXPECT_TRUE(r.Normalize());
  EXPECT_EQ(r.EditFromTrack, 1);
  EXPECT_EQ(r.EditToTrack, 3);
  EXPECT_EQ(r.EditFromTick, 1920u);
  EXPECT_EQ(r.EditToTick, 3840u);
  EXPECT_FALSE(r.Normalize());
}

TEST(EditRange, RepeatCountBelowOneNeverReachesTheOperations) {
  TEditRange r;
  r.RepeatCount = 0;
  EXPECT_EQ(r.Repeat(), 1);
  r.RepeatCount = -5;
  EXPECT_EQ(r.Repeat(), 1);
  r.RepeatCount = 8;
  EXPECT_EQ(r.Repeat(), 8);
  r.RepeatCount = 1000;
  EXPECT_EQ(r.Repeat(), 255);
}

TEST(EditRange, BpmBox) {
  EXPECT_EQ(ReadBpmText("abc"), 120);
  EXPECT_EQ(ReadBpmText("1000"), 500);
  EXPECT_EQ(ReadBpmText("2"), 5);
  EXPECT_EQ(ReadBpmText(" 96 "), 96);
}

TEST(EditRange, TimeMeterAndKeyTexts) {
  EXPECT_EQ(TimeText(0), "00:00:000");
  EXPECT_EQ(TimeText(61234), "01:01:234");
  EXPECT_EQ(MeterText(0x04021808), "4/4");
  EXPECT_EQ(MeterText(0x06031808), "6/8");
  EXPECT_EQ(MeterText(0x03001808), "3/1");
  EXPECT_EQ(KeyText(KeyValue(6, false)), "F# Maj");
  EXPECT_EQ(KeyText(KeyValue(-3, true)), "C  Min");
  EXPECT_EQ(KeyText(KeyValue(0, false)), "C  Maj");
  EXPECT_EQ(KeyText(0xF901), "Ab Min");  // seven flats, minor
  EXPECT_EQ(KeySigItemText(-7), "Cb Major / Ab Minor (b 7)");
  EXPECT_EQ(KeySigItemText(7), "C# Major / A# Minor (# 7)");
}

TEST(EditRange, MeterBoxText) {
  EXPECT_EQ(MeterValueFromText("3/4"), 0x03021808u);
  EXPECT_EQ(MeterValueFromText("6/8"), 0x06031808u);
  EXPECT_EQ(MeterValueFromText("x/8"), 0x04031808u);
  EXPECT_EQ(MeterValueFromText("5"), 0x05021808u);
}

TEST(EditRange, CountInShowsBeatsToCome) {
  Song song;
  EXPECT_EQ(PositionBoxText(song.Maps, 960, true, 1920), "        -2");
  EXPECT_EQ(PositionBoxText(song.Maps, 1920, true, 1920), "001/01/000");
  EXPECT_EQ(PositionBoxText(song.Maps, 960, false, 1920), "000/03/000");
}

}  // namespace
}  // namespace melko
