// What the engine sends: chase, loop, clock, end of song, delays, pending
// note-offs, edits during playback, muting and the failures it must survive.
#include "engine_rig.h"

namespace melko::test {
namespace {

// Messages of device 1 after the 64 of the channel reset at the start.
std::vector<Bytes> AfterStartReset(const EngineRig& rig) {
  auto all = BytesOf(rig.Sent(1));
  return all.size() > 64 ? std::vector<Bytes>(all.begin() + 64, all.end()) : std::vector<Bytes>{};
}

struct ChaseRow {
  const char* Name;
  uint8_t SendOptions;
  std::vector<Bytes> Expected;
};

class EngineChase : public ::testing::TestWithParam<ChaseRow> {};

TEST_P(EngineChase, StartInTheMiddleSendsTheStateInOrder) {
  EngineRig rig;
  rig.ports.SendOptions = GetParam().SendOptions;
  // Track 1 plays on channel 0; everything before measure 5.
  for (auto e : {Short(0, 0xB0, 7, 100), Short(0, 0xB0, 0, 1), Short(0, 0xB0, 32, 2), Short(0, 0xC0, 5),
                 Short(10, 0xB0, 10, 64), Short(20, 0xE0, 0, 0x50), Short(30, 0xB0, 101, 0), Short(30, 0xB0, 100, 0),
                 Short(30, 0xB0, 6, 12), Short(40, 0xB0, 64, 127), Short(50, 0xA0, 60, 30), Short(60, 0xD0, 40),
                 Short(70, 0xB0, 121, 0), Short(80, 0xB0, 7, 90)})
    rig.Add(1, e);
  rig.Add(1, Note(100, 60, 100, 240));
  rig.Add(1, Note(7680, 62, 100, 240));
  ASSERT_TRUE(rig.Start(7680));
  EXPECT_EQ(AfterStartReset(rig), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EngineChase,
    ::testing::Values(
        ChaseRow{"BankChangeOn", kSendBankChange | kSendSystemExclusive,
                 {{0xB0, 121, 0}, {0xB0, 101, 0}, {0xB0, 100, 0}, {0xB0, 6, 12}, {0xB0, 64, 127}, {0xA0, 60, 30},
                  {0xB0, 10, 64}, {0xB0, 7, 90}, {0xB0, 0, 1}, {0xB0, 32, 2}, {0xC0, 5}, {0xD0, 40}, {0xE0, 0, 0x50}}},
        ChaseRow{"BankChangeOff", kSendSystemExclusive,
                 {{0xB0, 121, 0}, {0xB0, 101, 0}, {0xB0, 100, 0}, {0xB0, 6, 12}, {0xB0, 64, 127}, {0xA0, 60, 30},
                  {0xB0, 10, 64}, {0xB0, 7, 90}, {0xC0, 5}, {0xD0, 40}, {0xE0, 0, 0x50}}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(EngineChase, ThrottlesBurstsWithShortSleeps) {
  EngineRig rig;
  for (int cc = 0; cc < 70; ++cc)
    if (cc != 6 && cc != 38 && cc != 0 && cc != 32) rig.Add(1, Short(0, 0xB0, uint8_t(cc), 1));
  rig.Add(1, Note(960, 60, 100, 10));
  uint32_t before = rig.clock.NowMs();
  ASSERT_TRUE(rig.Start(960));
  // 66 controllers: one sleep of 33 ms after 33 messages, another 33, then
  // the remainder (0) at the end; plus the 150 ms wait and the channel
  // resets' 2 × 16 ms.
  EXPECT_EQ(rig.engine.PlayStartTime - before, 33u + 33u + 0u + 150u + 32u);
}

TEST(EngineChase, RunsOnTheTrackChannel) {
  EngineRig rig;
  rig.song.Ch[3] = 9;
  rig.Add(3, Short(0, 0xC0, 25));
  rig.Add(3, Note(480, 36, 100, 10));
  ASSERT_TRUE(rig.Start(480));
  EXPECT_EQ(AfterStartReset(rig), (std::vector<Bytes>{{0xC9, 25}}));
}

struct LoopRow {
  const char* Name;
  uint32_t Begin, End;
  uint32_t WantBegin, WantEnd;
};

class EngineLoopPoints : public ::testing::TestWithParam<LoopRow> {};

TEST_P(EngineLoopPoints, AreOrderedAndAtLeastThreeQuarters) {
  EngineRig rig;
  rig.song.LoopBeginTick = GetParam().Begin;
  rig.song.LoopEndTick = GetParam().End;
  rig.Add(1, Note(0, 60, 100, 10));
  ASSERT_TRUE(rig.Start(0));
  EXPECT_EQ(rig.song.LoopBeginTick, GetParam().WantBegin);
  EXPECT_EQ(rig.song.LoopEndTick, GetParam().WantEnd);
  EXPECT_EQ(rig.engine.LoopEndTick, int32_t(GetParam().WantEnd));
}

INSTANTIATE_TEST_SUITE_P(Rows, EngineLoopPoints,
                         ::testing::Values(LoopRow{"Short", 960, 1200, 960, 2400},
                                           LoopRow{"Reversed", 1200, 960, 960, 2400},
                                           LoopRow{"ExactlyThree", 0, 1440, 0, 1440},
                                           LoopRow{"Long", 480, 4320, 480, 4320},
                                           // Values read from FILEINFO.INI may lie anywhere.
                                           LoopRow{"BothAtTheTop", 0xFFFFFFFFu, 0xFFFFFFFFu, 0x7FFFFFFFu - 1440,
                                                   0x7FFFFFFFu},
                                           LoopRow{"EndAtTheTop", 0, 0xFFFFFFFFu, 0, 0x7FFFFFFFu},
                                           LoopRow{"BeginPastTheSignedLimit", 0x80000000u, 0x80000010u,
                                                   0x7FFFFFFFu - 1440, 0x7FFFFFFFu}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(EngineLoop, NotesSoundingAtTheLoopEndAreTurnedOffAtTheWrap) {
  EngineRig rig;
  rig.song.LoopBeginTick = 0;
  rig.song.LoopEndTick = 1920;
  rig.engine.SetFlag(kFlagLoop, true);
  rig.Add(1, Note(0, 60, 100, 240));
  rig.Add(1, Note(1440, 64, 100, 960));  // would end at 2400, past the loop end
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(MsOfTick(1920, 500000, 480) + 100);
  auto notes = rig.WithStatus(0x90);
  std::vector<Bytes> seq = BytesOf(notes);
  std::vector<Bytes> want = {{0x90, 60, 100}, {0x90, 60, 0}, {0x90, 64, 100}, {0x90, 64, 0}, {0x90, 60, 100}};
  ASSERT_GE(seq.size(), want.size());
  EXPECT_EQ(std::vector<Bytes>(seq.begin(), seq.begin() + 5), want);
  // The note-off of key 64 came at the wrap, not at its own end.
  EXPECT_EQ(notes[3].TimeMs - rig.StartMs(), MsOfTick(1920, 500000, 480));
  EXPECT_TRUE(rig.timer.Active());  // a loop never ends by itself
}

TEST(EngineLoop, AMeterChangeInsideTheLoopIsUndoneAtTheWrap) {
  EngineRig rig;
  rig.Add(0, Meter(0, 4, 2));
  rig.Add(0, Meter(1920, 6, 3));  // 6/8: beats of 240 ticks
  rig.Add(1, Note(0, 60, 100, 100));
  rig.song.LoopBeginTick = 0;
  rig.song.LoopEndTick = 1920 + 6 * 240;
  rig.engine.SetFlag(kFlagLoop, true);
  rig.engine.SetFlag(kFlagBeat, true);
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(MsOfTick(3360 + 1000, 500000, 480));
  std::vector<uint32_t> beats;
  for (auto& n : rig.Drain())
    if (n.Message == EngineNotify && n.WParam == kNotifyBeat) beats.push_back(n.LParam);
  std::vector<uint32_t> want = {0, 480, 960, 1440, 1920, 2160, 2400, 2640, 2880, 3120, 0, 480, 960};
  ASSERT_GE(beats.size(), want.size());
  EXPECT_EQ(std::vector<uint32_t>(beats.begin(), beats.begin() + want.size()), want);
}

struct SyncRow {
  const char* Name;
  uint32_t Start;
  Bytes SongPosition;
  uint8_t StartMessage;
};

class EngineSync : public ::testing::TestWithParam<SyncRow> {};

TEST_P(EngineSync, SendsSongPositionStartAndClocksAtTheirTicks) {
  EngineRig rig;
  rig.engine.SyncOut = true;
  rig.Add(1, Note(0, 60, 100, 100));
  rig.Add(1, Note(4000, 60, 100, 100));
  ASSERT_TRUE(rig.Start(GetParam().Start));
  rig.RunMs(300);
  std::vector<RecordedMessage> sync;
  for (auto& m : rig.Sent(1))
    if (m.Bytes[0] >= 0xF0) sync.push_back(m);
  ASSERT_GE(sync.size(), 6u);
  EXPECT_EQ(sync[0].Bytes, GetParam().SongPosition);
  EXPECT_EQ(sync[1].Bytes, Bytes{GetParam().StartMessage});
  // Four clocks (80 ticks) of lead-in: the start message goes one clock
  // before the start tick, then F8 at the start tick and every 20 ticks.
  EXPECT_EQ(sync[1].TimeMs - rig.StartMs(), MsOfTick(61, 500000, 480));
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(sync[2 + k].Bytes, Bytes{0xF8});
    EXPECT_EQ(sync[2 + k].TimeMs - rig.StartMs(), MsOfTick(81 + 20 * k, 500000, 480)) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, EngineSync,
                         ::testing::Values(SyncRow{"FromTheStart", 0, {0xF2, 0, 0}, 0xFA},
                                           SyncRow{"FromMeasure2", 1930, {0xF2, 16, 0}, 0xFB},
                                           SyncRow{"PastSixteenth128", 24000, {0xF2, 200 - 128, 1}, 0xFB}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(EngineCountIn, StartsWholeBeatsEarlyAndSoundsTheFirstNoteAtTheStart) {
  EngineRig rig;
  rig.engine.SetFlag(kFlagBeat, true);
  rig.Add(0, Meter(0, 3, 2));
  rig.Add(1, Note(1440, 60, 100, 10));
  rig.Build();
  rig.backend.Clear();
  // Tick 1500 is cut down to 1440 (a sixteenth is 120 ticks); two beats of
  // count-in put the run's start at 480.
  ASSERT_TRUE(rig.engine.StartPlayback(1500, 2));
  EXPECT_EQ(rig.engine.StartTick, 1440);
  EXPECT_EQ(rig.engine.PlayTick.load(), 480);
  rig.RunMs(MsOfTick(1000, 500000, 480));
  std::vector<uint32_t> beats;
  for (auto& n : rig.Drain())
    if (n.Message == EngineNotify && n.WParam == kNotifyBeat) beats.push_back(n.LParam);
  EXPECT_EQ(beats, (std::vector<uint32_t>{480, 960, 1440}));
  auto ons = rig.WithStatus(0x90);
  ASSERT_FALSE(ons.empty());
  EXPECT_EQ(ons[0].TimeMs - rig.StartMs(), MsOfTick(1440 - 480, 500000, 480));
}

struct EndRow {
  const char* Name;
  uint32_t Flags;
  bool Sync;
  bool StopsByItself;
};

class EngineSongEnd : public ::testing::TestWithParam<EndRow> {};

TEST_P(EngineSongEnd, StopsByItselfOnlyWhenNothingKeepsItGoing) {
  EngineRig rig;
  rig.engine.SetFlag(GetParam().Flags, true);
  rig.engine.SyncOut = GetParam().Sync;
  rig.song.LoopEndTick = 9600;
  rig.Add(1, Note(0, 60, 100, 480));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(1000);
  bool stopped = false;
  for (auto& n : rig.Drain())
    if (n.Message == EngineNotify && n.WParam == kNotifyStop) {
      stopped = true;
      EXPECT_EQ(n.Text, nullptr);
    }
  EXPECT_EQ(stopped, GetParam().StopsByItself);
  EXPECT_EQ(rig.timer.Active(), !GetParam().StopsByItself);
  rig.engine.StopPlayback();
  EXPECT_FALSE(rig.engine.Playing());
}

INSTANTIATE_TEST_SUITE_P(Rows, EngineSongEnd,
                         ::testing::Values(EndRow{"Plain", 0, false, true}, EndRow{"Loop", kFlagLoop, false, false},
                                           EndRow{"Recording", kFlagRecording, false, false},
                                           EndRow{"SyncOut", 0, true, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(EngineDelay, APositiveDelaySoundsLaterAndKeepsTheNoteLength) {
  EngineRig rig;
  rig.song.Delay[1] = 240;
  rig.Add(1, Note(0, 60, 100, 480));
  rig.Add(1, Short(300, 0xB0, 7, 50));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(1000);
  auto sent = rig.Sent(1);
  std::vector<std::pair<Bytes, uint32_t>> got;
  for (auto& m : sent)
    if (m.TimeMs > rig.StartMs()) got.emplace_back(m.Bytes, m.TimeMs - rig.StartMs());
  std::vector<std::pair<Bytes, uint32_t>> want = {{{0x90, 60, 100}, MsOfTick(240, 500000, 480)},
                                                  {{0xB0, 7, 50}, MsOfTick(540, 500000, 480)},
                                                  {{0x90, 60, 0}, MsOfTick(720, 500000, 480)}};
  EXPECT_EQ(got, want);
}

TEST(EngineDelay, TheChaseHonoursTheDelay) {
  EngineRig rig;
  rig.song.Delay[1] = 240;
  rig.Add(1, Short(100, 0xB0, 7, 11));  // due at 340: before the start, chased
  rig.Add(1, Short(300, 0xB0, 7, 22));  // due at 540: after the start, played
  rig.Add(1, Note(600, 60, 100, 10));
  ASSERT_TRUE(rig.Start(480));
  EXPECT_EQ(AfterStartReset(rig), (std::vector<Bytes>{{0xB0, 7, 11}}));
  rig.RunMs(200);
  auto cc = rig.WithStatus(0xB0);
  ASSERT_FALSE(cc.empty());
  EXPECT_EQ(cc.back().Bytes, (Bytes{0xB0, 7, 22}));
}

TEST(EnginePending, MoreThan64SoundingNotesKeepOnly64NoteOffs) {
  EngineRig rig;
  for (int k = 0; k < 70; ++k) rig.Add(1, Note(0, uint8_t(30 + k), 100, 480));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(700);
  int ons = 0, offs = 0;
  for (auto& m : rig.WithStatus(0x90)) (m.Bytes[2] ? ons : offs)++;
  EXPECT_EQ(ons, 70);
  EXPECT_EQ(offs, 64);
  rig.engine.StopPlayback();
  // The channel reset at the stop ends the rest.
  auto cc = rig.WithStatus(0xB0);
  ASSERT_FALSE(cc.empty());
  EXPECT_TRUE(std::any_of(cc.begin(), cc.end(), [](auto& m) { return m.Bytes == Bytes{0xB0, 0x7B, 0}; }));
}

TEST(EnginePending, NoteOffsFollowTheNoteOffStyle) {
  EngineRig rig;
  rig.song.NoteOffStyle = true;
  rig.Add(1, Note(0, 60, 100, 10, 33));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(100);
  auto offs = rig.WithStatus(0x80);
  ASSERT_EQ(offs.size(), 1u);
  EXPECT_EQ(offs[0].Bytes, (Bytes{0x80, 60, 33}));
}

TEST(EngineReload, AnEditedTrackGoesOnFromTheCurrentPosition) {
  EngineRig rig;
  for (int i = 0; i < 4; ++i) rig.Add(1, Note(uint32_t(480 * i), uint8_t(60 + i), 100, 100));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(600);  // past tick 480, before 960
  // The edit builds the new version in the shadow buffer and commits it.
  TMidiData& shadow = rig.song.ShadowTracks[1];
  shadow.Free();
  uint32_t last = 0;
  for (int i = 0; i < 4; ++i) {
    TMidiEvent e = Note(uint32_t(480 * i), uint8_t(70 + i), 100, 100);
    EncodeEvent(shadow, e, last, 0, MaxGate(480));
  }
  rig.song.SwapTrack(1);
  rig.RunMs(1200);
  std::vector<int> keys;
  for (auto& m : rig.WithStatus(0x90))
    if (m.Bytes[2]) keys.push_back(m.Bytes[1]);
  EXPECT_EQ(keys, (std::vector<int>{60, 61, 72, 73}));
}

TEST(EngineReload, ANewTrackJoinsThePlayback) {
  EngineRig rig;
  rig.Add(1, Note(0, 60, 100, 4000));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(100);
  TMidiData& shadow = rig.song.ShadowTracks[2];
  uint32_t last = 0;
  TMidiEvent e = Note(480, 50, 90, 10);
  EncodeEvent(shadow, e, last, 0, MaxGate(480));
  rig.song.SwapTrack(2);
  EXPECT_EQ(rig.engine.PlayerCount, 2);
  rig.RunMs(500);
  auto notes = rig.WithStatus(0x91);  // track 2 plays on channel 1
  EXPECT_EQ(BytesOf(notes), (std::vector<Bytes>{{0x91, 50, 90}, {0x91, 50, 0}}));
}

TEST(EngineReload, ApplyTrackSettingsMovesTheTrackToItsNewPortAndChannel) {
  EngineRig rig;
  rig.Add(1, Note(0, 60, 100, 100));
  rig.Add(1, Note(960, 62, 100, 100));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(300);
  rig.song.OutPort[1] = 1;  // device 2
  rig.song.Ch[1] = 4;
  rig.engine.ApplyTrackSettings(1);
  rig.RunMs(1000);
  auto dev2 = BytesOf(rig.Sent(2));
  // The old channel was reset on the old device, the next note went to the new place.
  ASSERT_FALSE(dev2.empty());
  EXPECT_EQ(dev2.back(), (Bytes{0x94, 62, 0}));
  auto dev1 = BytesOf(rig.Sent(1));
  EXPECT_NE(std::find(dev1.begin(), dev1.end(), Bytes{0xB0, 0x7B, 0}), dev1.end());
}

struct SilentRow {
  const char* Name;
  uint8_t Solo, MuteMaster, MuteTrack1;
  bool Track1Sounds;
};

class EngineSilent : public ::testing::TestWithParam<SilentRow> {};

TEST_P(EngineSilent, MuteAndSoloSilenceNotesOnly) {
  EngineRig rig;
  rig.song.Solo = GetParam().Solo;
  rig.song.Mute[0] = GetParam().MuteMaster;
  rig.song.Mute[1] = GetParam().MuteTrack1;
  rig.Add(1, Short(0, 0xB0, 7, 99));
  rig.Add(1, Note(0, 60, 100, 10));
  rig.Add(2, Note(0, 61, 100, 10));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(100);
  bool track1Note = !rig.WithStatus(0x90).empty();
  EXPECT_EQ(track1Note, GetParam().Track1Sounds);
  EXPECT_EQ(rig.WithStatus(0xB0).back().Bytes, (Bytes{0xB0, 7, 99}));  // still sent
  EXPECT_EQ(rig.WithStatus(0x91).size(), 2u);                       // track 2 on and off
}

INSTANTIATE_TEST_SUITE_P(Rows, EngineSilent,
                         ::testing::Values(SilentRow{"Nothing", 0, 0, 0, true}, SilentRow{"SoloOther", 2, 0, 0, false},
                                           SilentRow{"MutedWithMaster", 0, 1, 1, false},
                                           SilentRow{"MutedWithoutMaster", 0, 0, 1, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(EngineSilent, MutingDuringPlaybackSendsThePendingNoteOffs) {
  EngineRig rig;
  rig.Add(1, Note(0, 60, 100, 4800));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(50);
  rig.song.Mute[0] = rig.song.Mute[1] = 1;
  rig.engine.UpdateSilent();
  EXPECT_EQ(BytesOf(rig.WithStatus(0x90)), (std::vector<Bytes>{{0x90, 60, 100}, {0x90, 60, 0}}));
}

TEST(EnginePlay, PadKeyReplacesEveryNote) {
  EngineRig rig;
  rig.song.Pad[1] = 36;
  rig.Add(1, Note(0, 60, 100, 10));
  rig.Add(1, Note(20, 64, 90, 10));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(100);
  EXPECT_EQ(BytesOf(rig.WithStatus(0x90)),
            (std::vector<Bytes>{{0x90, 36, 100}, {0x90, 36, 0}, {0x90, 36, 90}, {0x90, 36, 0}}));
}

TEST(EnginePlay, StoredF7PiecesAreSkippedAndTheRestOfTheTrackPlays) {
  EngineRig rig;
  const uint8_t gs[] = {0x41, 0x10, 0x42, 0xF7};
  const uint8_t piece[] = {0x01, 0x02, 0x03};
  TMidiEvent sx;
  sx.Time = 0;
  sx.Status = 0xF0;
  sx.Len = sizeof gs;
  sx.Data = gs;
  TMidiEvent cont = sx;
  cont.Status = 0xF7;
  cont.Len = sizeof piece;
  cont.Data = piece;
  rig.Add(1, sx);
  rig.Add(1, cont);
  rig.Add(1, Note(10, 60, 100, 10));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(100);
  auto sent = AfterStartReset(rig);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], (Bytes{0xF0, 0x41, 0x10, 0x42, 0xF7}));
  EXPECT_EQ(sent[1], (Bytes{0x90, 60, 100}));
}

TEST(EnginePlay, SystemExclusiveIsSkippedWithoutItsSendOption) {
  EngineRig rig;
  rig.ports.SendOptions = kSendBankChange;
  const uint8_t gs[] = {0x41, 0x10, 0xF7};
  TMidiEvent sx;
  sx.Status = 0xF0;
  sx.Len = sizeof gs;
  sx.Data = gs;
  rig.Add(1, sx);
  rig.Add(1, Note(10, 60, 100, 10));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(100);
  EXPECT_EQ(AfterStartReset(rig), (std::vector<Bytes>{{0x90, 60, 100}, {0x90, 60, 0}}));
}

TEST(EnginePlay, ALongSystemExclusiveIsSentWhole) {
  EngineRig rig;
  std::vector<uint8_t> dump(70000, 0x11);
  dump.back() = 0xF7;
  TMidiEvent sx;
  sx.Status = 0xF0;
  sx.Len = uint32_t(dump.size());
  sx.Data = dump.data();
  rig.Add(1, sx);
  rig.Add(1, Note(10, 60, 100, 10));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(100);
  auto sent = AfterStartReset(rig);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0].size(), dump.size() + 1);
  EXPECT_EQ(sent[0].back(), 0xF7);
}

TEST(EngineChase, EventsBeyondTheLargestTickAreNotChased) {
  EngineRig rig;
  rig.Build();
  // Program 1 just before a start near the largest signed tick, program 2
  // the largest delta later: past that tick, it must not wrap round into
  // the chase.
  const uint8_t near[] = {0xFF, 0xFF, 0xFF, 0x7F};  // 0x0FFFFFFF per delta
  for (int i = 0; i < 7; ++i) {
    rig.song.Tracks[1].PutBytes(near, sizeof near);
    const uint8_t meta[] = {0xFF, 0x01, 0x00};  // an empty text event
    rig.song.Tracks[1].PutBytes(meta, sizeof meta);
  }
  const uint8_t tail[] = {0xFF, 0xFF, 0xFE, 0x00, 0xC0, 1, 0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 2};  // 0x0FFFFF00, then 0x0FFFFFFF
  rig.song.Tracks[1].PutBytes(tail, sizeof tail);
  rig.backend.Clear();
  ASSERT_TRUE(rig.engine.StartPlayback(0x7FFFFFFFu));  // tick 0x7FFFFFF8 after the cut
  EXPECT_EQ(AfterStartReset(rig), (std::vector<Bytes>{{0xC0, 1}}));
  rig.engine.StopPlayback();
}

TEST(EnginePlay, ATimebaseBelow24PlaysWithClockOutput) {
  EngineRig rig(12);
  rig.engine.SyncOut = true;
  rig.Add(1, Note(0, 60, 100, 6));
  rig.Add(1, Note(25, 62, 100, 6));
  ASSERT_TRUE(rig.Start(13));  // cut down to a sixteenth: 6 ticks at this timebase... 12
  EXPECT_EQ(rig.engine.ClockInterval, 1);
  EXPECT_EQ(rig.engine.SppUnit, 6);
  EXPECT_EQ(rig.engine.StartTick, 12);
  rig.RunMs(2000);
  auto ons = rig.WithStatus(0x90);
  ASSERT_FALSE(ons.empty());
  EXPECT_EQ(ons[0].Bytes, (Bytes{0x90, 62, 100}));
  EXPECT_GT(rig.WithStatus(0xF8).size(), 10u);
}

TEST(EnginePlay, GuideClickSoundsOnEveryBeatAtTheClickPort) {
  EngineRig rig;
  rig.ports.ClickPort = 1;  // device 2
  rig.engine.SetFlag(kFlagClick, true);
  rig.Add(1, Note(0, 60, 100, 4000));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(MsOfTick(1440, 500000, 480));  // beats at 0, 480, 960, 1440
  EXPECT_EQ(BytesOf(rig.WithStatus(0x99, 2)),
            (std::vector<Bytes>{{0x99, 56, 0x7F}, {0x99, 56, 0}, {0x99, 56, 0x7F}, {0x99, 56, 0},
                                {0x99, 56, 0x7F}, {0x99, 56, 0}, {0x99, 56, 0x7F}, {0x99, 56, 0}}));
}

TEST(EnginePlay, EventSentCarriesTheTrackInTheTopByte) {
  EngineRig rig;
  rig.Add(5, Note(0, 60, 100, 10));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(20);
  std::vector<Notification> sent;
  for (auto& n : rig.Drain())
    if (n.Message == EventSent) sent.push_back(n);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].LParam, 0x05643C94u);  // 94 3C 64 (channel 4) from track 5
  EXPECT_GT(sent[0].WParam, 0);
}

TEST(EngineFailure, ADeviceThatFailsWhilePlayingStopsPlaybackWithAMessage) {
  EngineRig rig;
  rig.Add(1, Note(0, 60, 100, 100));
  rig.Add(1, Note(480, 62, 100, 100));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(100);
  rig.backend.FailDevice(1);
  rig.RunMs(500);
  const char* text = nullptr;
  for (auto& n : rig.Drain())
    if (n.Message == EngineNotify && n.WParam == kNotifyStop) text = n.Text;
  EXPECT_EQ(text, kDeviceFailedText);
  EXPECT_FALSE(rig.timer.Active());
  rig.engine.StopPlayback();  // returns; sends to the dead device fail quietly
  EXPECT_FALSE(rig.engine.Playing());
}

TEST(EnginePlay, AnEmptySongDoesNotStart) {
  EngineRig rig;
  EXPECT_FALSE(rig.Start(0));
  EXPECT_FALSE(rig.timer.Active());
}

}  // namespace
}  // namespace melko::test
