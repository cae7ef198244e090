// The engine's clock arithmetic: ticks from elapsed milliseconds and the tempo
// map, exactly as the integer formula gives them.
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

}  // namespace
}  // namespace melko::test
