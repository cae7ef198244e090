#include "song/tick_index.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "song/midi_event.h"

namespace melko {
namespace {

// The walk every reader did before the index: from the start to the first
// event at or after `tick`.
TickIndex::Position LinearSeek(const TMidiData& d, int32_t tick) {
  return TickIndex::SeekFrom(d.Top(), d.End(), TickIndex::Mark{}, tick);
}

void Put(TMidiData& d, TMidiEvent e, uint32_t& last) { EncodeEvent(d, e, last, 0, MaxGate(480)); }

// Notes, controllers, a SysEx and metas of every size, several at one tick.
TMidiData MixedTrack(uint32_t events) {
  TMidiData d;
  uint32_t last = 0;
  static const uint8_t sysex[] = {0x41, 0x10, 0x42, 0x12, 0xF7};
  for (uint32_t i = 0; i < events; ++i) {
    TMidiEvent e;
    e.Time = i / 3 * 7;  // three events a tick, then a gap
    switch (i % 4) {
      case 0: e.Status = 0x90; e.Data1 = 60; e.Data2 = 100; e.Data3 = 64; e.Value = 300; break;
      case 1: e.Status = 0xB0; e.Data1 = 7; e.Data2 = 90; break;
      case 2: e.Status = 0xF0; e.Len = sizeof sysex; e.Data = sysex; break;
      default: e.Status = 0xFF; e.Data1 = 0x51; e.Len = 3; e.Value = 500000; break;
    }
    Put(d, e, last);
  }
  return d;
}

TEST(TickIndex, SeeksLikeTheWalkFromTheStartEverywhere) {
  TMidiData d = MixedTrack(1000);
  TickIndex index;
  index.Build(d);
  EXPECT_EQ(index.EventCount(), 1000u);
  EXPECT_EQ(index.MarkCount(), (1000 + TickIndex::kStride - 1) / TickIndex::kStride);
  for (int32_t tick = -5; tick < 2400; ++tick) {
    TickIndex::Position a = index.Seek(d, tick), b = LinearSeek(d, tick);
    ASSERT_EQ(a.Body, b.Body) << "tick " << tick;
    ASSERT_EQ(a.Tick, b.Tick) << "tick " << tick;
  }
  // Past the end: the track's length and its last tick.
  TickIndex::Position end = index.Seek(d, 1 << 30);
  EXPECT_EQ(end.Body, d.Length());
  EXPECT_EQ(end.Tick, int32_t(999 / 3 * 7));
}

TEST(TickIndex, FindsTheFirstOfSeveralEventsAtOneTickAcrossAMark) {
  // 200 events at tick 100: the answer lies before marks whose tick is 100.
  TMidiData d;
  uint32_t last = 0;
  for (int i = 0; i < 200; ++i) {
    TMidiEvent e;
    e.Time = i == 0 ? 0 : 100;
    e.Status = 0xC0;
    e.Data1 = uint8_t(i % 128);
    Put(d, e, last);
  }
  TickIndex index;
  index.Build(d);
  TickIndex::Position p = index.Seek(d, 100);
  EXPECT_EQ(p.Tick, 100);
  EXPECT_EQ(p.Body, 1u + 2u + 1u);  // delta and body of the first event, then this delta
}

TEST(TickIndex, KnowsWhenItNoLongerDescribesTheBuffer) {
  TMidiData d = MixedTrack(10), other = MixedTrack(10);
  TickIndex index;
  EXPECT_FALSE(index.Matches(d));
  index.Update(d);
  EXPECT_TRUE(index.Matches(d));
  EXPECT_FALSE(index.Matches(other));  // same contents, another block
  d.PutByte(0);
  EXPECT_FALSE(index.Matches(d));  // grew
  index.Update(d);
  EXPECT_TRUE(index.Matches(d));
  index.Clear();
  EXPECT_FALSE(index.Matches(d));
}

TEST(TickIndex, EmptyTruncatedAndHugeTracksAreSafe) {
  TickIndex index;
  TMidiData never;
  index.Build(never);
  EXPECT_EQ(index.Seek(never, 10).Body, 0u);
  EXPECT_EQ(index.MarkCount(), 0u);

  // A SysEx claiming more bytes than the track holds ends the walk at the end.
  TMidiData cut;
  const uint8_t bytes[] = {0x00, 0xF0, 0x8F, 0xFF, 0x7F, 0x01, 0x02};
  cut.PutBytes(bytes, sizeof bytes);
  index.Build(cut);
  EXPECT_EQ(index.EventCount(), 1u);
  EXPECT_EQ(index.Seek(cut, 1).Body, cut.Length());

  // Deltas that add up past the largest tick stay at it instead of wrapping.
  TMidiData huge;
  uint32_t last = 0;
  for (int i = 1; i <= 20; ++i) {
    TMidiEvent e;
    e.Status = 0xC0;
    e.Time = last + 0x0FFFFFFF;
    if (e.Time < last) break;
    Put(huge, e, last);
  }
  index.Build(huge);
  TickIndex::Position p = index.Seek(huge, INT32_MAX);
  EXPECT_EQ(p.Tick, INT32_MAX);
  EXPECT_LT(p.Body, huge.Length());
}

}  // namespace
}  // namespace melko

namespace melko {
namespace {

// The index steps over events exactly as the codec reads them, damaged
// bytes included.
TEST(TickIndex, SkipsEveryBodyAsFarAsTheCodecReadsIt) {
  const std::vector<std::vector<uint8_t>> bodies = {
      {60, 100, 64, 0x83, 0x60}, {0xB0, 7, 100}, {0xC0, 5}, {0xD0, 9}, {0xE0, 0, 64}, {0xA0, 60, 1},
      {0xF0, 3, 1, 2, 0xF7},     {0xF7, 1, 0xF7}, {0xFF, 0x51, 3, 7, 0xA1, 0x20}, {0xF1, 5},
      {0x80, 60, 0},             {0x9F, 60},      {0xFF, 0x01, 0x90, 0x00, 'a'},  {60, 100},
  };
  for (const auto& b : bodies) {
    const uint8_t* p = b.data();
    SkipStoredBody(p, b.data() + b.size());
    const uint8_t* q = b.data();
    TMidiEvent ev;
    DecodeBody(q, b.data() + b.size(), 0, ev);
    EXPECT_EQ(p - b.data(), q - b.data()) << "status " << int(b[0]);
  }
}

}  // namespace
}  // namespace melko
