// The recording merge: which entries of a take reach a track, how notes are
// paired, how the take is laid into the track, and what else it changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "edit/record_merge.h"
#include "edit_test_util.h"
#include "record_merge_reference.h"

namespace melko {
namespace {

using test::Ctrl;
using test::Ev;
using test::Events;
using test::Note;
using test::SetTrack;

constexpr int32_t M = 1920;  // one 4/4 measure at TPQN 480

RecordEntry Msg(int32_t tick, uint8_t status, uint8_t d1, uint8_t d2) {
  return {tick, uint32_t(status) | uint32_t(d1) << 8 | uint32_t(d2) << 16};
}
RecordEntry On(int32_t tick, uint8_t key, uint8_t vel = 100, uint8_t ch = 0) { return Msg(tick, 0x90 | ch, key, vel); }
RecordEntry Off(int32_t tick, uint8_t key, uint8_t vel = 64, uint8_t ch = 0) { return Msg(tick, 0x80 | ch, key, vel); }

struct Fixture {
  Song song;
  std::vector<RecordEntry> entries;
  RecordTake take;
  Fixture() {
    song.RebuildMaps();
    song.Rec[1] = 1;
    take.StartTick = M;
    take.StopTick = 2 * M;
  }
  RecordMergeResult Merge() {
    take.Entries = entries.data();
    take.Count = entries.size();
    return MergeRecording(song, take);
  }
  std::vector<Ev> Track(int t = 1) const { return Events(song.Tracks[t]); }
};

// A note as the merge stores it: the default velocity, and its gate.
Ev N(uint32_t tick, int key, uint32_t gate, int vel = 100) { return {tick, 0x90, key, vel, gate}; }

// Note-off velocities, which Ev leaves out.
std::vector<int> OffVelocities(const TMidiData& d) {
  std::vector<int> out;
  for (TrackWalker w(d); !w.AtEnd(); w.Advance())
    if (w.Next().IsNote()) out.push_back(w.Next().Data3);
  return out;
}

TEST(RecordMerge, EarlyNotesWithinThePreRangeLandOnTheFirstTickOthersAreLost) {
  struct Case {
    int preRange;
    int32_t tick;
    bool kept;
  } cases[] = {
      {4, M - 120, true},   // 480 div 4 early: just within
      {4, M - 121, false},  // one tick more: played too early
      {4, M - 1, true},
      {24, M - 20, true},
      {24, M - 21, false},
      {1, M - 480, true},
      {0, M - 480, true},  // read as 1
  };
  for (const Case& c : cases) {
    Fixture f;
    f.take.PreRange = c.preRange;
    f.entries = {On(c.tick, 60), Off(M + 240, 60), On(M + 480, 62), Off(M + 600, 62)};
    f.Merge();
    std::vector<Ev> want;
    if (c.kept) want.push_back(N(M, 60, M + 240 - c.tick));
    want.push_back(N(M + 480, 62, 120));
    EXPECT_EQ(f.Track(), want) << "PreRange " << c.preRange << " tick " << c.tick;
  }
}

TEST(RecordMerge, NotesArePairedWithTheFirstUnusedEndOfTheirKeyInOrder) {
  struct Case {
    const char* name;
    std::vector<RecordEntry> entries;
    std::vector<Ev> want;
  } cases[] = {
      {"two overlapping notes on one key take the first two note-offs in order",
       {On(M, 60), On(M + 100, 60, 90), Off(M + 200, 60), Off(M + 300, 60)},
       {N(M, 60, 200), N(M + 100, 60, 200, 90)}},
      {"a note-on of velocity 0 ends a note; other keys' ends are passed over",
       {On(M, 60), On(M + 50, 61), Off(M + 60, 61), On(M + 100, 60, 0)},
       {N(M, 60, 100), N(M + 50, 61, 10)}},
      {"a note-off of another channel does not end the note",
       {On(M, 60), Off(M + 50, 60, 64, 3), Off(M + 80, 60)},
       {N(M, 60, 80)}},
      {"three notes, the ends arriving after all of them",
       {On(M, 64), On(M + 10, 64), On(M + 20, 64), Off(M + 30, 64), Off(M + 40, 64), Off(M + 50, 64)},
       {N(M, 64, 30), N(M + 10, 64, 30), N(M + 20, 64, 30)}},
      {"an end used by one note is not used again; the last note lasts to the stop",
       {On(M, 60), Off(M + 10, 60), On(M + 20, 60)},
       {N(M, 60, 10), N(M + 20, 60, M - 20)}},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.entries = c.entries;
    f.Merge();
    EXPECT_EQ(f.Track(), c.want) << c.name;
  }
}

TEST(RecordMerge, EndsUsedOnOneChannelAreUsedForTheKeyOnEveryChannel) {
  // The last used end is kept per key, whatever the channel: with Single, a
  // note on channel 2 cannot take an end that lies before one already taken
  // on channel 1.
  Fixture f;
  f.take.Options = kRecSingle;
  f.entries = {On(M, 60, 100, 2), On(M + 10, 60, 100, 1), Off(M + 20, 60, 64, 2), Off(M + 30, 60, 64, 1)};
  f.Merge();
  EXPECT_EQ(f.Track(), (std::vector<Ev>{N(M, 60, 20), N(M + 10, 60, 20)}));
  Fixture g;
  g.take.Options = kRecSingle;
  g.entries = {On(M, 60, 100, 1), On(M + 10, 60, 100, 2), Off(M + 20, 60, 64, 2), Off(M + 30, 60, 64, 1)};
  g.Merge();
  EXPECT_EQ(g.Track(), (std::vector<Ev>{N(M, 60, 30), N(M + 10, 60, M - 10)}))
      << "channel 2's end comes before the index channel 1 used";
}

TEST(RecordMerge, UnansweredNoteLastsToTheStopTickWithinTheLargestGate) {
  Fixture f;
  f.entries = {On(M + 100, 60)};
  f.Merge();
  EXPECT_EQ(f.Track(), (std::vector<Ev>{N(M + 100, 60, M - 100)}));
  EXPECT_EQ(OffVelocities(f.song.Tracks[1]), std::vector<int>{64});

  Fixture g;
  g.take.StopTick = M + 480 * 1000 + 500;
  g.entries = {On(M, 60)};
  g.Merge();
  EXPECT_EQ(g.Track(), (std::vector<Ev>{N(M, 60, 480 * 1000 - 1)}));
}

TEST(RecordMerge, RealNoteOffKeepsItsVelocityAndSwitchesNoteOffStyleOn) {
  Fixture f;
  f.entries = {On(M, 60), Off(M + 100, 60, 33), On(M + 200, 62), On(M + 300, 62, 0)};
  RecordMergeResult r = f.Merge();
  EXPECT_EQ(OffVelocities(f.song.Tracks[1]), (std::vector<int>{33, 64}));
  EXPECT_TRUE(f.song.NoteOffStyle);
  EXPECT_TRUE(r.NoteOffStyleSet);

  Fixture g;
  g.entries = {On(M, 60), On(M + 100, 60, 0), On(M + 200, 62)};
  r = g.Merge();
  EXPECT_FALSE(g.song.NoteOffStyle) << "velocity-0 note-ons and unanswered notes leave it alone";
  EXPECT_FALSE(r.NoteOffStyleSet);
}

TEST(RecordMerge, ReplaceClearsTheSpanEvenWhereNothingWasPlayed) {
  Fixture f;
  SetTrack(f.song, 1, {Note(100, 40), Note(M, 41), Note(M + 900, 42), Note(2 * M - 1, 43), Note(2 * M, 44),
                       Ctrl(3 * M, 7, 90)});
  f.entries = {On(M + 100, 60), Off(M + 200, 60)};
  RecordMergeResult r = f.Merge();
  EXPECT_EQ(r.From, M);
  EXPECT_EQ(r.ClipLength, M);
  EXPECT_EQ(r.TracksMerged, 1);
  EXPECT_EQ(f.Track(), (std::vector<Ev>{{100, 0x90, 40, 100, 120},
                                        N(M + 100, 60, 100),
                                        {2 * M, 0x90, 44, 100, 120},
                                        {3 * M, 0xB0, 7, 90, 0}}));
}

TEST(RecordMerge, OverDubKeepsTheOldEvents) {
  Fixture f;
  f.take.Options = kRecOverDub;
  SetTrack(f.song, 1, {Note(100, 40), Note(M + 100, 41), Note(M + 900, 42), Note(2 * M, 44)});
  f.entries = {On(M + 100, 60), Off(M + 200, 60)};
  f.Merge();
  EXPECT_EQ(f.Track(), (std::vector<Ev>{{100, 0x90, 40, 100, 120},
                                        {M + 100, 0x90, 41, 100, 120},
                                        N(M + 100, 60, 100),
                                        {M + 900, 0x90, 42, 100, 120},
                                        {2 * M, 0x90, 44, 100, 120}}));
}

TEST(RecordMerge, PunchChangesOnlyTheEditRangeHoweverLongTheTake) {
  Fixture f;
  f.take.Options = kRecPunch;
  f.take.StartTick = 0;
  f.take.StopTick = 10 * M;
  f.take.EditFromTick = 2 * M;
  f.take.EditToTick = 3 * M;
  SetTrack(f.song, 1, {Note(100, 40), Note(2 * M + 10, 41), Note(3 * M, 42), Note(9 * M, 43)});
  for (int32_t t = 0; t < 10 * M; t += 480) {
    f.entries.push_back(On(t, 60));
    f.entries.push_back(Off(t + 240, 60));
  }
  f.entries.push_back(On(3 * M - 100, 62));  // held past the range end: its note-off still ends it
  f.entries.push_back(Off(3 * M + 300, 62));
  std::stable_sort(f.entries.begin(), f.entries.end(),
                   [](const RecordEntry& a, const RecordEntry& b) { return a.Tick < b.Tick; });
  RecordMergeResult r = f.Merge();
  EXPECT_EQ(r.From, 2 * M);
  EXPECT_EQ(r.ClipLength, M);
  EXPECT_EQ(f.Track(), (std::vector<Ev>{{100, 0x90, 40, 100, 120},
                                        N(2 * M, 60, 240),
                                        N(2 * M + 480, 60, 240),
                                        N(2 * M + 960, 60, 240),
                                        N(2 * M + 1440, 60, 240),
                                        N(3 * M - 100, 62, 400),
                                        {3 * M, 0x90, 42, 100, 120},
                                        {9 * M, 0x90, 43, 100, 120}}));
}

TEST(RecordMerge, SingleTakesEveryChannelAndTrChSetsTheTrackChannelFromTheTake) {
  Fixture f;
  f.song.Rec[1] = 0;
  f.song.Rec[3] = 1;
  f.song.Ch[3] = 0;
  f.take.Options = kRecSingle | kRecTrChFromMidi;
  f.entries = {On(M, 60, 100, 4), Off(M + 10, 60, 64, 4), Msg(M + 20, 0xB4, 7, 80)};
  test::NoticeLog log(f.song);
  f.Merge();
  EXPECT_EQ(f.song.Ch[3], 4) << "channel 5";
  EXPECT_EQ(f.Track(3), (std::vector<Ev>{N(M, 60, 10), {M + 20, 0xB0, 7, 80, 0}}));
  ASSERT_EQ(log.Notices.size(), 1u);
  EXPECT_TRUE(log.Notices[0].Has(kChangeTrackSettings));
  EXPECT_TRUE(log.Notices[0].Touches(3));

  struct Case {
    const char* name;
    uint32_t options;
    std::vector<RecordEntry> entries;
    int wantChannel;
  } cases[] = {
      {"the last entry that passed the checks decides, a note-off too", kRecSingle | kRecTrChFromMidi,
       {On(M, 60, 100, 4), Off(M + 10, 60, 64, 9)}, 9},
      {"an entry too early decides nothing", kRecSingle | kRecTrChFromMidi,
       {On(M, 60, 100, 4), On(M - 400, 60, 100, 9)}, 4},
      {"a take with nothing that passed keeps the old channel", kRecSingle | kRecTrChFromMidi,
       {On(0, 60, 100, 4)}, 6},
      {"without Single the box does nothing", kRecTrChFromMidi, {On(M, 60, 100, 6), On(M, 61, 100, 4)}, 6},
      {"without the box Single keeps the channel", kRecSingle, {On(M, 60, 100, 4)}, 6},
  };
  for (const Case& c : cases) {
    Fixture g;
    g.song.Ch[1] = 6;
    g.take.Options = c.options;
    g.entries = c.entries;
    g.Merge();
    EXPECT_EQ(g.song.Ch[1], c.wantChannel) << c.name;
  }
}

TEST(RecordMerge, WithoutSingleEachTrackTakesItsOwnChannel) {
  Fixture f;
  f.song.Rec[2] = 1;
  f.song.Ch[1] = 0;
  f.song.Ch[2] = 1;
  f.entries = {On(M, 60, 100, 0), On(M + 10, 61, 100, 1), On(M + 20, 62, 100, 2), Off(M + 30, 60, 64, 0),
               Off(M + 40, 61, 64, 1), Msg(M + 50, 0xE1, 0, 64), Msg(M + 60, 0xB0, 10, 0)};
  RecordMergeResult r = f.Merge();
  EXPECT_EQ(r.TracksMerged, 2);
  EXPECT_EQ(f.Track(1), (std::vector<Ev>{N(M, 60, 30), {M + 60, 0xB0, 10, 0, 0}}));
  EXPECT_EQ(f.Track(2), (std::vector<Ev>{N(M + 10, 61, 30), {M + 50, 0xE0, 0, 64, 0}}));
  EXPECT_EQ(f.song.Ch[1], 0);
  EXPECT_EQ(f.song.Ch[2], 1);
}

TEST(RecordMerge, PadKeyKeepsOnlyItsNotesAndEveryOtherKind) {
  Fixture f;
  f.song.Pad[1] = 36;
  f.entries = {On(M, 36), On(M + 10, 38), Off(M + 20, 36), Off(M + 30, 38), Msg(M + 40, 0xA0, 38, 50),
               On(M + 50, 36)};
  f.Merge();
  EXPECT_EQ(f.Track(), (std::vector<Ev>{N(M, 36, 20), {M + 40, 0xA0, 38, 50, 0}, N(M + 50, 36, M - 50)}));
}

TEST(RecordMerge, ReceiveFilterDropsItsKindsAndChannelNibblesAreCleared) {
  const std::vector<RecordEntry> oneOfEach = {On(M, 60, 100, 2),          Off(M + 10, 60, 64, 2),
                                              Msg(M + 20, 0xA2, 60, 30),  Msg(M + 30, 0xB2, 7, 100),
                                              Msg(M + 40, 0xC2, 5, 0),    Msg(M + 50, 0xD2, 70, 0),
                                              Msg(M + 60, 0xE2, 0, 72),   Msg(M + 70, 0xF8, 0, 0)};
  const Ev all[] = {N(M, 60, 10),           {M + 20, 0xA0, 60, 30, 0}, {M + 30, 0xB0, 7, 100, 0},
                    {M + 40, 0xC0, 5, 0, 0}, {M + 50, 0xD0, 70, 0, 0},  {M + 60, 0xE0, 0, 72, 0}};
  const uint8_t bits[] = {kReceiveNote,    kReceiveKeyPressure,     kReceiveControl,
                          kReceiveProgram, kReceiveChannelPressure, kReceivePitchBend};
  for (int off = -1; off < 6; ++off) {
    Fixture f;
    f.song.Ch[1] = 2;
    f.take.Receive = off < 0 ? kReceiveAll : uint8_t(kReceiveAll & ~bits[off]);
    f.entries = oneOfEach;
    f.Merge();
    std::vector<Ev> want;
    for (int k = 0; k < 6; ++k)
      if (k != off) want.push_back(all[k]);
    EXPECT_EQ(f.Track(), want) << "kind " << off << " switched off";
  }
}

TEST(RecordMerge, EmptyOrReversedSpanChangesNothing) {
  struct Case {
    const char* name;
    uint32_t options;
    int32_t start, stop;
    uint32_t editFrom, editTo;
  } cases[] = {
      {"stopped during the count-in", 0, M, M - 300, 0, 0},
      {"stopped at the start", 0, M, M, 0, 0},
      {"reversed punch range", kRecPunch, 0, 4 * M, 2 * M, M},
      {"empty punch range", kRecPunch, 0, 4 * M, M, M},
      {"a count-in before tick 0 that never reached it", 0, -500, -100, 0, 0},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.song.Rec[2] = 1;
    f.take.Options = c.options | kRecSingle | kRecTrChFromMidi;
    f.take.StartTick = c.start;
    f.take.StopTick = c.stop;
    f.take.EditFromTick = c.editFrom;
    f.take.EditToTick = c.editTo;
    SetTrack(f.song, 1, {Note(0, 40), Note(M - 200, 41), Note(M, 42), Note(2 * M, 43)});
    SetTrack(f.song, 2, {Note(M, 50)});
    f.song.Clipboard[3].PutByte(0);
    f.song.ClipLength = 77;
    f.song.UndoFlags.fill(0);
    const auto before = test::Snapshot(f.song);
    f.entries = {On(M - 400, 60, 100, 5), On(M - 100, 61, 100, 5)};
    test::NoticeLog log(f.song);
    RecordMergeResult r = f.Merge();
    EXPECT_EQ(test::Snapshot(f.song), before) << c.name;
    EXPECT_EQ(r.ClipLength, 0) << c.name;
    EXPECT_EQ(r.TracksMerged, 0) << c.name;
    EXPECT_EQ(f.song.ClipLength, 77u) << c.name << ": the clipboard is kept";
    EXPECT_TRUE(f.song.Clipboard[3].HasData()) << c.name;
    EXPECT_EQ(f.song.Ch[1], 0) << c.name;
    EXPECT_EQ(f.song.UndoFlags[1], 0) << c.name;
    EXPECT_TRUE(log.Notices.empty()) << c.name;
  }
}

TEST(RecordMerge, SpanReachingBackBeforeTickZeroStartsThere) {
  Fixture f;
  f.take.StartTick = -480;
  f.take.StopTick = 480;
  SetTrack(f.song, 1, {Note(100, 40), Note(600, 41)});
  f.entries = {On(-470, 60), On(-100, 61), On(200, 62)};
  RecordMergeResult r = f.Merge();
  EXPECT_EQ(r.From, 0);
  EXPECT_EQ(r.ClipLength, 480);
  EXPECT_EQ(f.Track(), (std::vector<Ev>{N(0, 61, 580), N(200, 62, 280), {600, 0x90, 41, 100, 120}}));
}

TEST(RecordMerge, OneNoticeForTheWholeMergeAndTheClipboardLeftEmpty) {
  Fixture f;
  f.song.Rec[5] = 1;
  f.song.Rec[64] = 1;
  f.song.Ch[5] = 0;
  f.song.Ch[64] = 0;
  f.song.Clipboard[0].PutByte(0);
  f.song.Clipboard[2].PutByte(0);
  f.song.ClipLength = 50;
  f.song.ClipTrackSpan = 2;
  f.song.UndoFlags.fill(0);
  f.entries = {On(M, 60), Off(M + 10, 60)};
  test::NoticeLog log(f.song);
  f.Merge();
  ASSERT_EQ(log.Notices.size(), 1u);
  const SongChange& c = log.Notices[0];
  EXPECT_TRUE(c.Has(kChangeTrackData));
  EXPECT_TRUE(c.Has(kChangeSongSettings)) << "the note-off style";
  EXPECT_FALSE(c.Has(kChangeTrackSettings)) << "no channel changed";
  for (int t = 0; t < kSongTracks; ++t) {
    bool armed = t == 1 || t == 5 || t == 64;
    EXPECT_EQ(c.Tracks.test(size_t(t)), armed) << t;
    EXPECT_EQ(f.song.UndoFlags[t], armed ? 1 : 0) << t;
  }
  EXPECT_EQ(f.Track(64), (std::vector<Ev>{N(M, 60, 10)}));
  EXPECT_TRUE(f.song.Clipboard[0].IsNil());
  EXPECT_EQ(f.song.ClipLength, 0u);
}

TEST(RecordMerge, UndoGivesTheTracksBack) {
  Fixture f;
  test::FakeUi ui;
  EditDispatcher d(f.song, ui);
  f.song.Rec[2] = 1;
  SetTrack(f.song, 1, {Note(M + 10, 40)});
  SetTrack(f.song, 2, {Note(M + 20, 41)});
  const auto before = test::Snapshot(f.song);
  f.entries = {On(M, 60)};
  d.BeginEdit();
  f.Merge();
  d.FinishEdit("");
  ASSERT_NE(test::Snapshot(f.song), before);
  d.sbtUndoClick();
  EXPECT_EQ(test::Snapshot(f.song), before);
}

// Random takes with heavy overlapping on few keys, held to the plain
// forward search.
TEST(RecordMerge, PairingMatchesTheForwardSearchOnRandomTakes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    Song song;
    RecordTake take;
    std::vector<RecordEntry> entries;
    const int n = int(rng() % 200);
    int32_t tick = int32_t(rng() % 2000) - 500;
    for (int i = 0; i < n; ++i) {
      tick += int32_t(rng() % 40);
      const uint8_t kinds[] = {0x80, 0x90, 0x90, 0x90, 0xB0, 0xE0, 0xF0, 0x20};
      const uint8_t status = kinds[rng() % 8] | uint8_t(rng() % 3);
      const uint8_t d2 = rng() % 4 == 0 ? 0 : uint8_t(rng() % 256);  // high bits too
      entries.push_back(Msg(tick, status, uint8_t(60 + rng() % 4 + (rng() % 9 == 0 ? 128 : 0)), d2));
    }
    take.Entries = entries.data();
    take.Count = entries.size();
    take.StartTick = int32_t(rng() % 1000);
    take.StopTick = tick + int32_t(rng() % 100);
    take.Options = rng() & kRecOptionMask;
    take.PreRange = int(rng() % 30);
    take.EditFromTick = rng() % 1000;
    take.EditToTick = rng() % 3000;
    take.Receive = uint8_t(rng() % 64);
    song.Ch[1] = uint8_t(rng() % 3);
    song.Pad[1] = rng() % 3 == 0 ? uint8_t(60 + rng() % 4) : kNoPad;
    const int32_t from = int32_t(rng() % 1500);
    bool realOff = false, refOff = false;
    TMidiData want;
    int wantChannel = test::ReferenceTrackRecording(song, take, 1, from, want, refOff);
    int channel = BuildTrackRecording(song, take, 1, from, realOff);
    ASSERT_EQ(test::Bytes(song.Clipboard[0]), test::Bytes(want)) << "round " << round;
    ASSERT_EQ(channel, wantChannel) << "round " << round;
    ASSERT_EQ(realOff, refOff) << "round " << round;
  }
}

TEST(RecordMerge, FullBufferOfNoteOnsWithoutNoteOffsMerges) {
  Fixture f;
  f.take.StartTick = 0;
  f.take.StopTick = int32_t(kRecordBufferEntries);
  f.entries.reserve(kRecordBufferEntries);
  for (size_t i = 0; i < kRecordBufferEntries; ++i) f.entries.push_back(On(int32_t(i), uint8_t(60 + i % 2)));
  f.Merge();
  size_t notes = 0;
  for (TrackWalker w(f.song.Tracks[1]); !w.AtEnd(); w.Advance()) notes += w.Next().IsNote();
  EXPECT_EQ(notes, kRecordBufferEntries);
}

}  // namespace
}  // namespace melko
