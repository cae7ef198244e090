// The engine's clock arithmetic: ticks from elapsed time and the tempo map,
// exactly as the integer formula gives them at every whole millisecond, also
// when the timer calls between milliseconds; and the wake it asks for.
#include "engine_rig.h"

namespace melko::test {
namespace {

struct TimingRow {
  const char* Name;
  uint16_t Tpqn;
  uint32_t Tempo;
  int Ms;
};

class EngineTiming : public ::testing::TestWithParam<TimingRow> {};

TEST_P(EngineTiming, TickAfterNMillisecondsIsTheIntegerFormula) {
  const TimingRow& row = GetParam();
  EngineRig rig(row.Tpqn);
  rig.Add(0, Tempo(0, row.Tempo));
  rig.Add(1, Note(0, 60, 100, row.Tpqn * 900));  // keeps the song going
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(row.Ms);
  int64_t scaled = int64_t(row.Ms - 10) * row.Tpqn * 1000;
  int64_t expected = scaled < 0 ? 0 : scaled / row.Tempo;
  EXPECT_EQ(rig.engine.PlayTick.load(), expected);
  // PlayTime is the time of the last callback that moved the tick.
  EXPECT_LE(rig.engine.PlayTime.load(), row.Ms);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EngineTiming,
    ::testing::Values(TimingRow{"Bpm120Tpqn480", 480, 500000, 1000}, TimingRow{"OddTempo", 480, 428571, 777},
                      TimingRow{"SlowTpqn96", 96, 1500000, 2345}, TimingRow{"FastTpqn960", 960, 250000, 3001},
                      TimingRow{"InsideTheLead", 480, 500000, 7}, TimingRow{"Tpqn12", 12, 500000, 1500},
                      TimingRow{"LongRun", 480, 600000, 60000}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(EngineTempo, ATempoChangeTakesEffectOnItsTick) {
  EngineRig rig;
  rig.Add(0, Tempo(0, 500000));
  rig.Add(0, Tempo(960, 250000));
  rig.Add(1, Note(1440, 60, 100, 240));
  ASSERT_TRUE(rig.Start(0));
  // 960 ticks at 500000 take exactly 1000 ms after the 10 ms lead; then each
  // millisecond is 480000 / 250000 ticks.
  rig.RunMs(1100);
  EXPECT_EQ(rig.engine.PlayTick.load(), 960 + (1100 - 1010) * 480000 / 250000);
  EXPECT_EQ(rig.engine.CurrentTempo.load(), 250000);
  rig.RunMs(300);
  auto ons = rig.WithStatus(0x90);
  ASSERT_FALSE(ons.empty());
  EXPECT_EQ(ons[0].Bytes, (Bytes{0x90, 60, 100}));
  EXPECT_EQ(ons[0].TimeMs - rig.StartMs(), 1010u + 250u);
  std::vector<uint32_t> tempos;
  for (auto& n : rig.Drain())
    if (n.Message == EngineNotify && n.WParam == kNotifyTempo) tempos.push_back(n.LParam);
  ASSERT_GE(tempos.size(), 2u);
  EXPECT_EQ(tempos.front(), 500000u);
  EXPECT_EQ(tempos.back(), 250000u);
}

TEST(EngineTempo, SetTempoNowChangesTheSpeedAtOnce) {
  EngineRig rig;
  rig.Add(1, Note(0, 60, 100, 100000));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(510);  // 480 ticks at 120 BPM
  ASSERT_EQ(rig.engine.PlayTick.load(), 480);
  rig.engine.SetTempoNow(1000000);  // 60 BPM
  rig.RunMs(500);
  EXPECT_EQ(rig.engine.PlayTick.load(), 480 + 240);
}

struct StepRow {
  const char* Name;
  uint16_t Tpqn;
  uint32_t Tempo;
  uint32_t StepUs;
  int Ms;
};

class EngineMicroseconds : public ::testing::TestWithParam<StepRow> {};

// At every call the tick is the exact count of ticks in the elapsed
// microseconds; at whole milliseconds that is the millisecond formula.
TEST_P(EngineMicroseconds, CallsBetweenMillisecondsGiveTheExactTick) {
  const StepRow& row = GetParam();
  EngineRig rig(row.Tpqn);
  rig.Add(0, Tempo(0, row.Tempo));
  rig.Add(1, Note(0, 60, 100, row.Tpqn * 900));
  ASSERT_TRUE(rig.Start(0));
  const uint64_t startUs = uint64_t(rig.StartMs()) * 1000;
  int32_t last = 0;
  int wholeMs = 0;
  bool movedBetween = false;
  while (rig.clock.NowUs() - startUs < uint64_t(row.Ms) * 1000) {
    rig.RunUs(row.StepUs, 1);
    const int64_t us = int64_t(rig.clock.NowUs() - startUs);
    const int32_t tick = rig.engine.PlayTick.load();
    ASSERT_EQ(tick, us < 10000 ? 0 : (us - 10000) * row.Tpqn / row.Tempo) << "at " << us << " us";
    if (us % 1000 == 0) {
      ++wholeMs;
      int64_t scaled = (us / 1000 - 10) * row.Tpqn * 1000;
      ASSERT_EQ(tick, scaled < 0 ? 0 : scaled / row.Tempo) << "at " << us / 1000 << " ms";
    } else if (tick != last) {
      movedBetween = true;
    }
    last = tick;
  }
  EXPECT_GT(wholeMs, 0);
  EXPECT_TRUE(movedBetween);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EngineMicroseconds,
    ::testing::Values(StepRow{"Bpm120Step250", 480, 500000, 250, 1500},
                      StepRow{"ShortTicksStep100", 960, 250000, 100, 800},
                      StepRow{"OddTempoOddStep333", 480, 428571, 333, 3000},
                      StepRow{"Tpqn12Step40", 12, 500000, 40, 1500},
                      StepRow{"EveryMicrosecond", 480, 500000, 1, 40}),
    [](const auto& info) { return std::string(info.param.Name); });

// What a run has sent and posted so far, in a form that does not depend on
// how ticks were grouped into calls: each status byte's messages in order,
// and the tempo and beat notices.
struct Outcome {
  std::map<uint8_t, std::vector<Bytes>> ByStatus;
  std::vector<uint32_t> Tempos, Beats;
  bool operator==(const Outcome&) const = default;
};

void Collect(EngineRig& rig, Outcome& out) {
  out.ByStatus.clear();
  for (auto& m : rig.Sent(1)) out.ByStatus[m.Bytes[0]].push_back(m.Bytes);
  for (auto& n : rig.Drain()) {
    if (n.Message != EngineNotify) continue;
    if (n.WParam == kNotifyTempo) out.Tempos.push_back(n.LParam);
    if (n.WParam == kNotifyBeat) out.Beats.push_back(n.LParam);
  }
}

struct SameRow {
  const char* Name;
  bool Loop;
  bool Sync;
  uint32_t StepUs;
};

class EngineSubMillisecond : public ::testing::TestWithParam<SameRow> {};

// A run called every StepUs has, at every whole millisecond, the same tick,
// tempo, play time, messages and notices as a run called every millisecond.
TEST_P(EngineSubMillisecond, WholeMillisecondsMatchTheMillisecondRun) {
  const SameRow& row = GetParam();
  EngineRig byMs, byUs;
  for (EngineRig* rig : {&byMs, &byUs}) {
    rig->Add(0, Tempo(0, 500000));
    rig->Add(0, Meter(0, 3, 2));
    if (!row.Loop) {
      rig->Add(0, Tempo(600, 250000));  // two ticks a millisecond: calls every ms take both at once
      rig->Add(0, Meter(1440, 6, 3));
      rig->Add(0, Tempo(1500, 333333));
    }
    for (uint32_t t = 0; t < 2400; t += 60) rig->Add(1, Note(t, uint8_t(48 + t / 60 % 24), 100, 50 + t % 7));
    for (uint32_t t = 3; t < 2400; t += 7) rig->Add(2, Short(t, 0xB0, 1, uint8_t(t % 128)));
    rig->song.Ch[2] = 1;
    rig->song.LoopBeginTick = 480;
    rig->song.LoopEndTick = 1680;
    rig->engine.SetFlag(kFlagLoop, row.Loop);
    rig->engine.SetFlag(kFlagBeat, true);
    rig->engine.SyncOut = row.Sync;
    ASSERT_TRUE(rig->Start(0));
  }
  ASSERT_EQ(byMs.StartMs(), byUs.StartMs());
  Outcome a, b;
  for (int ms = 1; ms <= 4000; ++ms) {
    byMs.RunMs(1);
    byUs.RunUs(row.StepUs, int(1000 / row.StepUs));
    ASSERT_EQ(byUs.clock.NowUs(), byMs.clock.NowUs());
    ASSERT_EQ(byUs.engine.PlayTick.load(), byMs.engine.PlayTick.load()) << "at " << ms << " ms";
    ASSERT_EQ(byUs.engine.CurrentTempo.load(), byMs.engine.CurrentTempo.load()) << "at " << ms << " ms";
    ASSERT_EQ(byUs.engine.PlayTime.load(), byMs.engine.PlayTime.load()) << "at " << ms << " ms";
    Collect(byMs, a);
    Collect(byUs, b);
    ASSERT_TRUE(a == b) << "at " << ms << " ms";
    ASSERT_EQ(byUs.timer.Active(), byMs.timer.Active());
  }
  EXPECT_GT(a.ByStatus[0x90].size(), 40u);
  EXPECT_GE(a.Beats.size(), 7u);
}

INSTANTIATE_TEST_SUITE_P(Rows, EngineSubMillisecond,
                         ::testing::Values(SameRow{"TempoAndMeterChanges", false, false, 250},
                                           SameRow{"LoopWithClockOutput", true, true, 125},
                                           SameRow{"TempoChangesWithClockOutput", false, true, 50}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct WakeRow {
  const char* Name;
  uint16_t Tpqn;
  uint32_t Tempo;
};

class EngineWake : public ::testing::TestWithParam<WakeRow> {};

// After each call the engine asks to be woken at the microsecond its next
// tick comes due: a microsecond earlier the tick stays, at it the tick moves.
TEST_P(EngineWake, AsksForTheMicrosecondOfItsNextTick) {
  const WakeRow& row = GetParam();
  EngineRig rig(row.Tpqn);
  rig.Add(0, Tempo(0, row.Tempo));
  rig.Add(0, Tempo(10, row.Tempo / 2 + 1));
  rig.Add(1, Note(0, 60, 100, row.Tpqn * 100));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(1);
  for (int i = 0; i < 25; ++i) {
    const int32_t tick = rig.engine.PlayTick.load();
    const int64_t wish = rig.timer.WakeWish();
    ASSERT_GT(wish, int64_t(rig.clock.NowUs())) << i;
    rig.clock.AdvanceUs(uint64_t(wish) - rig.clock.NowUs() - 1);
    rig.timer.Fire();
    ASSERT_EQ(rig.engine.PlayTick.load(), tick) << i;
    ASSERT_EQ(rig.timer.WakeWish(), wish) << i;
    rig.RunUs(1, 1);
    ASSERT_EQ(rig.engine.PlayTick.load(), tick + 1) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, EngineWake,
                         ::testing::Values(WakeRow{"Bpm120", 480, 500000}, WakeRow{"OddTempo", 480, 428571},
                                           WakeRow{"Tpqn96Slow", 96, 1500000}, WakeRow{"Tpqn960Fast", 960, 250000}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace melko::test
