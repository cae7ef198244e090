// The track sheet's event map: cell size, marks by kind, the map's length
// from the track's end, and the byte walk against a decoding walk.
#include "views/event_map.h"

#include <gtest/gtest.h>

#include <random>

#include "song/smf_reader.h"
#include "song/track_ops.h"

namespace melko {
namespace {

TMidiEvent Ev(uint32_t tick, uint8_t status, uint8_t d1 = 60, uint8_t d2 = 100) {
  TMidiEvent e;
  e.Time = tick;
  e.Status = status;
  e.Data1 = d1;
  e.Data2 = d2;
  if (status == 0x90) {
    e.Data3 = 64;
    e.Value = 120;
  }
  if (status == 0xFF) {
    e.Data1 = 0x06;  // a marker
    e.Len = 0;
  }
  return e;
}

void Fill(Song& song, int t, std::vector<TMidiEvent> events) {
  song.Tracks[size_t(t)].Free();
  song.Tracks[size_t(t)].Touch();
  uint32_t last = 0;
  for (TMidiEvent& e : events) EncodeEvent(song.Tracks[size_t(t)], e, last, 0, song.MaxGate());
}

Song FreshSong() {
  Song song;
  song.ClearSong();
  ApplySongLoaded(song);
  return song;
}

TEST(EventMap, CellsSpanAWholeNoteDividedByTheQuant) {
  EXPECT_EQ(MapCellTicksOf(480, 4), 480u);
  EXPECT_EQ(MapCellTicksOf(480, 8), 240u);  // "+"
  EXPECT_EQ(MapCellTicksOf(480, 64), 30u);
  EXPECT_EQ(MapCellTicksOf(480, 500), 30u);  // at most 64
  EXPECT_EQ(MapCellTicksOf(1, 64), 1u);      // never 0
  TEventMaps m;
  m.MapQuant = 4;
  EXPECT_TRUE(m.SetMapQuant(8));
  EXPECT_FALSE(m.SetMapQuant(8));
  EXPECT_TRUE(m.SetMapQuant(128));
  EXPECT_EQ(m.MapQuant, 64);
}

TEST(EventMap, EachKindSetsItsMarkAndMetaEventsNone) {
  Song song = FreshSong();
  Fill(song, 1,
       {Ev(0, 0x90), Ev(0, 0xC0, 5), Ev(480, 0xB0, 7), Ev(960, 0xA0), Ev(1000, 0xD0, 40), Ev(1440, 0xE0, 0, 64),
        Ev(2000, 0xFF), Ev(2400, 0x90), Ev(2400, 0xE0, 0, 64)});
  TEventMaps m;
  m.MapQuant = 4;  // 480 ticks a cell
  m.Build(song, 1);
  EXPECT_EQ(m.MapCellTicks, 480u);
  // The track ends at the start of measure 2 (3840): 8 cells.
  EXPECT_EQ(song.TrackEnds[1], 3840u);
  EXPECT_EQ(m.MapCells[1], (std::vector<uint8_t>{kMapNote | kMapProgram, kMapControl, kMapControl, kMapControl, 0,
                                                 kMapNote | kMapControl, 0, 0}));
  EXPECT_GE(song.MeasureEnd, 3840);
  EXPECT_EQ(m.Cell(1, 100), 0);
}

TEST(EventMap, SystemExclusiveIsMarked) {
  Song song = FreshSong();
  TMidiEvent sx;
  sx.Time = 500;
  sx.Status = 0xF0;
  static const uint8_t body[] = {0x41, 0x10, 0x42, 0x12, 0xF7};
  sx.Data = body;
  sx.Len = sizeof body;
  Fill(song, 2, {sx});
  TEventMaps m;
  m.MapQuant = 4;
  m.Build(song, 2);
  ASSERT_EQ(m.MapCells[2].size(), 4u);
  EXPECT_EQ(m.MapCells[2][1], kMapSysEx);
}

TEST(EventMap, AnEmptyTrackMapsOneEmptyMeasure) {
  Song song = FreshSong();
  TEventMaps m;
  m.MapQuant = 16;
  m.Build(song, 5);
  EXPECT_EQ(m.MapCells[5], std::vector<uint8_t>(16, 0));
}

// The byte walk against a decoding one, on random tracks.
TEST(EventMap, TheByteWalkAgreesWithDecodingEveryEvent) {
  std::mt19937 rng(7);
  const uint8_t kinds[] = {0x90, 0x80, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xFF};
  for (int round = 0; round < 50; ++round) {
    Song song = FreshSong();
    std::vector<TMidiEvent> events;
    uint32_t tick = 0;
    for (int i = 0; i < 300; ++i) {
      tick += rng() % 200;
      events.push_back(Ev(tick, kinds[rng() % 8], uint8_t(rng() % 128), uint8_t(1 + rng() % 127)));
    }
    Fill(song, 3, events);
    TEventMaps m;
    m.MapQuant = 1 << (rng() % 7);
    m.Build(song, 3);
    std::vector<uint8_t> want(m.MapCells[3].size(), 0);
    for (TrackWalker w(song.Tracks[3]); !w.AtEnd(); w.Advance()) {
      const TMidiEvent& e = w.Next();
      const size_t cell = e.Time / m.MapCellTicks;
      ASSERT_LT(cell, want.size());
      uint8_t bit = 0;
      switch (e.Status & 0xF0) {
        case 0x90: bit = kMapNote; break;
        case 0xA0: case 0xB0: case 0xD0: case 0xE0: bit = kMapControl; break;
        case 0xC0: bit = kMapProgram; break;
      }
      want[cell] |= bit;
    }
    ASSERT_EQ(m.MapCells[3], want) << "round " << round;
    EXPECT_EQ(song.TrackEnds[3], song.MeasureTrack(3));
  }
}

}  // namespace
}  // namespace melko
