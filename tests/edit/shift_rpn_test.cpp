// Shift Location and the RPN/NRPN parameter files and events.
#include <gtest/gtest.h>

#include "edit/event_list_limits.h"
#include "edit/rpn_defs.h"
#include "edit/shift_location.h"
#include "edit_test_util.h"

namespace melko {
namespace {

using test::Ctrl;
using test::Meta;
using test::Note;

class ShiftLocationTest : public ::testing::Test {
 protected:
  ShiftLocationTest() : d(song, ui) {}
  void SetUp() override {
    test::SetTrack(song, 0, {Meta(0, 0x58, 0x04021808, 4), Meta(0, 0x51, 500000, 3), Meta(3840, 0x51, 400000, 3)});
    song.RebuildMaps();
    test::SetTrack(song, 1, {Note(0, 60), Note(1920, 62), Note(3840, 64)});
    test::SetTrack(song, 2, {Note(1800, 60), Note(1920, 62)});
  }
  Song song;
  test::FakeUi ui;
  EditDispatcher d;
};

TEST_F(ShiftLocationTest, TrackShiftMovesTheRestOfOneTrack) {
  ShiftOutcome o = ShiftLocation(song, d, 1, 1920, "  2/  1/   0", false);
  EXPECT_TRUE(o.Shifted);
  EXPECT_EQ(test::Ticks(song.Tracks[1]), (std::vector<uint32_t>{0, 3840, 5760}));
  EXPECT_EQ(test::Ticks(song.Tracks[2]), (std::vector<uint32_t>{1800, 1920}));
  EXPECT_EQ(d.Undo().ButtonHint, "<List>Shift Location");
  d.sbtUndoClick();
  EXPECT_EQ(test::Ticks(song.Tracks[1]), (std::vector<uint32_t>{0, 1920, 3840}));
}

TEST_F(ShiftLocationTest, SongShiftMovesEveryTrackAndTheConductorMaps) {
  ShiftOutcome o = ShiftLocation(song, d, 1, 1920, "2/1/0", true);
  EXPECT_TRUE(o.Shifted);
  EXPECT_EQ(test::Ticks(song.Tracks[2]), (std::vector<uint32_t>{1800, 3840}));
  EXPECT_EQ(song.Maps.TempoMap.back().Tick, 5760u);
}

TEST_F(ShiftLocationTest, AnEarlierShiftPastThePreviousEventIsRefusedByName) {
  const auto before = test::Snapshot(song);
  // Track 1 could go back to 1/1/0 - 480 (nothing between), track 2 cannot.
  ShiftOutcome o = ShiftLocation(song, d, 1, 1920, "0/4/0", true);
  EXPECT_FALSE(o.Shifted);
  EXPECT_EQ(o.Message, "Track 2 \n\r\rでシフトできません！");
  EXPECT_EQ(test::Snapshot(song), before);
  o = ShiftLocation(song, d, 2, 1920, "0/1/0", false);
  EXPECT_EQ(o.Message, "Track 2 \n\r\rでシフトできません！");
  // Onto the previous event's tick is still possible.
  o = ShiftLocation(song, d, 2, 1920, "0/4/360", false);
  EXPECT_TRUE(o.Shifted);
  EXPECT_EQ(test::Ticks(song.Tracks[2]), (std::vector<uint32_t>{1800, 1800}));
}

TEST_F(ShiftLocationTest, EqualPositionsAndUnreadableTextDoNothing) {
  EXPECT_FALSE(ShiftLocation(song, d, 1, 1920, "1/1/0", false).Shifted);
  EXPECT_FALSE(ShiftLocation(song, d, 1, 1920, "", false).Shifted);
  EXPECT_FALSE(d.Undo().UndoEnabled);
}

TEST_F(ShiftLocationTest, AShiftPastTheLargestTickIsRefused) {
  test::SetTrack(song, 3, {Note(0, 60), Note(kMaxListTick - 100, 62)});
  ShiftOutcome o = ShiftLocation(song, d, 3, 0, "999/1/0", false);
  EXPECT_EQ(o.Message, "Track 3 \n\r\rでシフトできません！");
}

TEST(RpnText, FixedColumnsGroupsAndBadLines) {
  RpnTable t;
  ParseRpnText(
      "[RPN]\r\n"
      "000 000 2 Pitch Bend Sensitivity\r\n"
      "  0   2 1 Coarse Tuning\r\n"
      "\r\n"
      "001 rr  1 Drum Pitch\n"
      "[GS Part]\n"
      "001 008 1 Vibrato Rate\n"
      "1 8 1 bad\n"
      "001 009 3 bad bytes\n"
      "200 000 1 too big\n"
      "001 010 1 \n",
      t);
  ASSERT_EQ(t.Groups.size(), 3u);
  EXPECT_EQ(t.Groups[0].Name, "RPN");
  ASSERT_EQ(t.Groups[0].Params.size(), 2u);
  EXPECT_EQ(t.Groups[0].Params[1].Name, "Coarse Tuning");
  EXPECT_EQ(t.Groups[0].Params[1].Lsb, 2);
  EXPECT_EQ(t.Groups[0].Params[0].DataBytes, 2);
  // After an empty line, a new (unnamed) group.
  ASSERT_EQ(t.Groups[1].Params.size(), 1u);
  EXPECT_TRUE(t.Groups[1].Params[0].LsbFromRr);
  EXPECT_EQ(t.Groups[2].Name, "GS Part");
  EXPECT_EQ(t.Groups[2].Params.size(), 1u);
  EXPECT_EQ(t.BadLines, 4);
  int g, i;
  EXPECT_TRUE(FindRpnParam(t, "GS Part", "Vibrato Rate", g, i));
  EXPECT_EQ(g, 2);
  EXPECT_FALSE(FindRpnParam(t, "GS Part", "Pitch Bend Sensitivity", g, i));
}

TEST(RpnText, ShippedFilesReadCleanly) {
  RpnTable t;
  ASSERT_TRUE(LoadRpnTables(MELKO_SHIPPED_DATA_DIR, t));
  EXPECT_EQ(t.BadLines, 0);
  ASSERT_GE(t.Groups.size(), 2u);
  int g, i;
  EXPECT_TRUE(FindRpnParam(t, "RPN", "Pitch Bend Sensitivity", g, i));
  EXPECT_EQ(g, 0);
  size_t params = 0;
  for (const auto& group : t.Groups) params += group.Params.size();
  EXPECT_GT(params, 20u);
  RpnTable none;
  EXPECT_FALSE(LoadRpnTables("/nonexistent", none));
}

TEST(RpnEvents, OneAndTwoByteDataWithClampsAndRr) {
  RpnParam one{0, 2, false, 1, "Coarse Tuning"};
  RpnParam two{0, 0, false, 2, "Pitch Bend Sensitivity"};
  RpnParam rr{24, 0, true, 1, "Drum Pitch"};
  std::string text;
  auto ev = MakeRpnEvents(one, false, 300, 0, 100, 10, text);
  ASSERT_EQ(ev.size(), 4u);
  EXPECT_EQ(text, "# Coarse Tuning #");
  EXPECT_TRUE(ev[0].IsMeta(1));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ev[0].Data), ev[0].Len), text);
  EXPECT_EQ(ev[1].Data1, 101);
  EXPECT_EQ(ev[2].Data1, 100);
  EXPECT_EQ(ev[2].Data2, 2);
  EXPECT_EQ(ev[3].Data1, 6);
  EXPECT_EQ(ev[3].Data2, 127);
  EXPECT_EQ(ev[3].Time, 130u);
  EXPECT_EQ(MakeRpnEvents(one, false, -5, 0, 0, 0, text)[3].Data2, 0);
  ev = MakeRpnEvents(two, true, -9000, 0, 0, 0, text);
  ASSERT_EQ(ev.size(), 5u);
  EXPECT_EQ(ev[1].Data1, 99);
  EXPECT_EQ(ev[2].Data1, 98);
  EXPECT_EQ(ev[3].Data2, 0);
  EXPECT_EQ(ev[4].Data1, 38);
  EXPECT_EQ(ev[4].Data2, 0);
  ev = MakeRpnEvents(two, false, 8191, 0, 0, 0, text);
  EXPECT_EQ(ev[3].Data2, 127);
  EXPECT_EQ(ev[4].Data2, 127);
  ev = MakeRpnEvents(two, false, 0, 0, 0, 0, text);
  EXPECT_EQ(ev[3].Data2, 64);
  EXPECT_EQ(ev[4].Data2, 0);
  ev = MakeRpnEvents(rr, true, 64, 36, 0, 0, text);
  EXPECT_EQ(ev[1].Data2, 24);
  EXPECT_EQ(ev[2].Data2, 36);
  EXPECT_EQ(MakeRpnEvents(rr, true, 64, 500, 0, 0, text)[2].Data2, 127);
  // Steps never carry an event past the largest tick.
  EXPECT_EQ(MakeRpnEvents(two, false, 0, 0, kMaxListTick - 1, 1000, text)[4].Time, kMaxListTick);
}

}  // namespace
}  // namespace melko
