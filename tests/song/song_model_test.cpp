// The song's tables, maps and in-place setters.
#include <gtest/gtest.h>

#include "smf_builder.h"
#include "song/song.h"
#include "song/track_ops.h"

namespace melko {
namespace {

using test::Event;
using test::Events;

TMidiEvent Ctrl(uint32_t tick, uint8_t cc, uint8_t value) {
  TMidiEvent ev;
  ev.Time = tick;
  ev.Status = 0xB0;
  ev.Data1 = cc;
  ev.Data2 = value;
  return ev;
}

void Put(TMidiData& track, uint32_t& last, TMidiEvent ev) { EncodeEvent(track, ev, last, 0, MaxGate(480)); }

TEST(SongModel, ClearSongSetsTheDefaults) {
  Song song;
  song.TPQN = 96;
  song.TrackNames[3] = "x";
  song.Ch[5] = 2;
  song.Tracks[4].PutByte(0);
  song.Options.DefaultTPQN = 480;
  song.ClearSong();
  EXPECT_EQ(song.TPQN, 480);
  EXPECT_EQ(song.LoopEndTick, 96u * 4);  // with the timebase in force before the reset
  EXPECT_TRUE(song.Tracks[4].IsNil());
  EXPECT_TRUE(song.TrackNames[3].empty());
  EXPECT_EQ(song.Ch[5], 4);
  EXPECT_EQ(song.Ch[17], 0);
  EXPECT_EQ(song.Pad[1], kNoPad);
  EXPECT_EQ(song.ProgramChange[1], kNoPatch);
  EXPECT_EQ(song.DrumChannels, 512);
}

TEST(SongModel, LastUsedTrack) {
  Song song;
  EXPECT_EQ(song.LastUsedTrack(0), 0);
  song.TrackNames[5] = "Bass";
  EXPECT_EQ(song.LastUsedTrack(0), 5);
  song.Tracks[9].Touch();
  EXPECT_EQ(song.LastUsedTrack(0), 9);
  EXPECT_EQ(song.LastUsedTrack(kExTrackBase), kExTrackBase);
  song.TrackNames[70] = "ex";
  EXPECT_EQ(song.LastUsedTrack(kExTrackBase), 70);
}

TEST(SongModel, SetSongTempoInsertsTheSpecifiedBytes) {
  Song song;
  song.SetSongTempo(120);
  test::Bytes got(song.Tracks[0].Top(), song.Tracks[0].Top() + song.Tracks[0].Length());
  EXPECT_EQ(got, (test::Bytes{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}));
  EXPECT_EQ(song.GetSongTempo(), 120u);
  EXPECT_EQ(song.ClipLength, 0u);  // inserting empties the clipboard
  song.SetSongTempo(100);  // changed in place now
  EXPECT_EQ(song.Tracks[0].Length(), 7u);
  EXPECT_EQ(song.GetSongTempo(), 100u);
}

TEST(SongModel, ConductorDefaultsGoInKeyMeterTempoOrder) {
  Song song;
  ApplySongLoaded(song);
  auto ev = Events(song.Tracks[0]);
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].Data1, 0x59);
  EXPECT_EQ(ev[1].Data1, 0x58);
  EXPECT_EQ(ev[1].Value, 0x04021808u);
  EXPECT_EQ(ev[2].Data1, 0x51);
  EXPECT_TRUE(song.SongSaved);
}

TEST(SongModel, TickToMeasureFollowsMeterChanges) {
  Song song;
  song.RebuildMaps();
  TMeasurePos p = song.Maps.TickToMeasure(1920);
  EXPECT_EQ(p.Measure, 1u);
  EXPECT_EQ(p.Beat, 0u);
  EXPECT_EQ(p.Tick, 0u);
  // 3/4 from tick 1920: tick 3360 = 1920 + 1440 is measure 2, beat 0.
  TMidiEvent meter;
  meter.Time = 1920;
  meter.Status = 0xFF;
  meter.Data1 = 0x58;
  meter.Len = 4;
  meter.Value = 0x03021808;
  song.InsertEvent(0, meter, false);
  // A meter off a measure start stays in the track but not in the map.
  meter.Time = 2000;
  meter.Value = 0x05021808;
  song.InsertEvent(0, meter, false);
  song.RebuildMaps();
  ASSERT_EQ(song.Maps.MeterMap.size(), 2u);
  p = song.Maps.TickToMeasure(3360);
  EXPECT_EQ(p.Measure, 2u);
  EXPECT_EQ(p.Beat, 0u);
  EXPECT_EQ(song.Maps.MeasureToTick(3), 3360u + 1440u);
  EXPECT_EQ(LocText(song.Maps, 3360 + 480 + 5), "002/02/005");
  EXPECT_EQ(LocText(song.Maps, 0), "000/01/000");
  EXPECT_EQ(Events(song.Tracks[0]).size(), 2u);
}

TEST(SongModel, UnusableMeterAndTempoValuesStayOutOfTheMaps) {
  Song song;
  TMidiData& c = song.Tracks[0];
  uint32_t last = 0;
  TMidiEvent ev;
  ev.Status = 0xFF;
  ev.Data1 = 0x58;
  ev.Len = 4;
  ev.Value = 0x00021808;  // no beats per measure
  Put(c, last, ev);
  ev.Data1 = 0x51;
  ev.Len = 3;
  ev.Value = 0;  // zero microseconds per quarter
  Put(c, last, ev);
  song.RebuildMaps();
  EXPECT_EQ(song.Maps.MeterMap[0].Value, 0x04021808u);
  EXPECT_EQ(song.Maps.TempoMap[0].Tempo, 500000u);
  EXPECT_EQ(song.Maps.TickToMeasure(1920).Measure, 1u);
}

TEST(SongModel, InsertEventPlacesBeforeOrAfterEventsOfTheSameTick) {
  Song song;
  uint32_t last = 0;
  Put(song.Tracks[1], last, Ctrl(0, 7, 1));
  Put(song.Tracks[1], last, Ctrl(480, 7, 2));
  Put(song.Tracks[1], last, Ctrl(960, 7, 3));
  song.InsertEvent(1, Ctrl(480, 10, 9), true);
  song.InsertEvent(1, Ctrl(480, 11, 9), false);
  auto ev = Events(song.Tracks[1]);
  ASSERT_EQ(ev.size(), 5u);
  EXPECT_EQ(ev[1].Data1, 10);
  EXPECT_EQ(ev[2].Data1, 7);
  EXPECT_EQ(ev[3].Data1, 11);
  EXPECT_EQ(ev[4].Tick, 960u);
  EXPECT_EQ(song.UndoFlags[1], 1);
  EXPECT_FALSE(song.SongSaved);
}

TEST(SongModel, TrackPatchReadAndWrittenBeforeTheFirstNote) {
  Song song;
  song.Ch[1] = 9;  // a drum channel by default
  uint32_t last = 0;
  Put(song.Tracks[1], last, Ctrl(0, 0, 1));
  Put(song.Tracks[1], last, Ctrl(0, 32, 2));
  TMidiEvent prog;
  prog.Status = 0xC0;
  prog.Data1 = 25;
  Put(song.Tracks[1], last, prog);
  song.GetTrackPatch(1);
  EXPECT_EQ(song.ProgramChange[1], 1u << 24 | 1u << 16 | 2u << 8 | 25u);
  song.SetTrackPatch(1, 3, 4, 40);
  song.GetTrackPatch(1);
  EXPECT_EQ(song.ProgramChange[1], 1u << 24 | 3u << 16 | 4u << 8 | 40u);
  EXPECT_EQ(Events(song.Tracks[1]).size(), 3u);

  // A track without a program change gets bank select and program at tick 0, first.
  last = 0;
  TMidiEvent note;
  note.Status = 0x90;
  note.Data1 = 60;
  note.Data2 = 100;
  note.Value = 10;
  Put(song.Tracks[2], last, note);
  song.SetTrackPatch(2, 255, 0, 5);
  auto ev = Events(song.Tracks[2]);
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].Status, 0xB0);
  EXPECT_EQ(ev[0].Data1, 32);
  EXPECT_EQ(ev[1].Status, 0xC0);
  EXPECT_EQ(ev[2].Status, 0x90);
}

TEST(TrackOps, MixRepeatsTheClipAndKeepsOldEventsFirst) {
  TMidiData old, clip, out;
  uint32_t last = 0;
  Put(old, last, Ctrl(0, 1, 0));
  Put(old, last, Ctrl(100, 1, 1));
  Put(old, last, Ctrl(150, 1, 2));
  Put(old, last, Ctrl(500, 1, 3));
  last = 0;
  Put(clip, last, Ctrl(0, 2, 0));
  Put(clip, last, Ctrl(50, 2, 1));
  MixTrack(out, old, clip, 100, 100, 3, false);
  std::vector<std::pair<uint32_t, uint8_t>> got;
  for (const Event& e : Events(out)) got.emplace_back(e.Tick, e.Data1);
  std::vector<std::pair<uint32_t, uint8_t>> want = {{0, 1},   {100, 1}, {100, 2}, {150, 1}, {150, 2},
                                                    {200, 2}, {250, 2}, {300, 2}, {350, 2}, {500, 1}};
  EXPECT_EQ(got, want);
}

TEST(TrackOps, SplitAndFindEvents) {
  TMidiData track, match, rest;
  uint32_t last = 0;
  for (uint32_t t = 0; t < 10; ++t) Put(track, last, Ctrl(t * 10, static_cast<uint8_t>(t % 2 ? 7 : 10), 1));
  EXPECT_EQ(FindEvent(track, 0, 100, 0xB0, 7, false), 10);
  EXPECT_EQ(FindEvent(track, 0, 100, 0xB0, 7, true), 90);
  EXPECT_EQ(FindEvent(track, 0, 100, 0xC0, 255, false), -1);
  SplitEvents(track, &match, &rest, 0xB0, 7, 7, 20, 80);
  auto m = Events(match);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].Tick, 30u);
  EXPECT_EQ(Events(rest).size(), 7u);
  EXPECT_EQ(Events(rest).back().Tick, 90u);
}

}  // namespace
}  // namespace melko
