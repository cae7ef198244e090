// The looped pattern player on a virtual clock, called by hand.
#include "views/rhythm_player.h"

#include <gtest/gtest.h>

#include <vector>

namespace melko {
namespace {

struct Sent {
  uint64_t Us;
  uint32_t Message;
  bool operator==(const Sent&) const = default;
};

class RhythmPlayerTest : public ::testing::Test {
 protected:
  RhythmPlayerTest()
      : player(clock, [this] {
          auto t = std::make_unique<ManualTimer>();
          timer = t.get();
          return t;
        }) {
    clock.Set(1000);
    player.Send = [this](uint32_t m) { sent.push_back({clock.NowUs(), m}); };
  }
  // Moves the clock in 1 ms periods, calling the timer at each.
  void RunMs(int ms) {
    for (int i = 0; i < ms; ++i) {
      clock.Advance(1);
      timer->Fire();
    }
  }
  std::vector<uint32_t> Positions() {
    std::vector<uint32_t> ticks;
    Notification n;
    while (player.Notify.Pop(n))
      if (n.Message == RhythmPosition) ticks.push_back(n.LParam);
    return ticks;
  }
  VirtualClock clock;
  ManualTimer* timer = nullptr;
  TRhythmPlayer player;
  std::vector<Sent> sent;
};

// 120 bpm at 480: a tick every 1.0417 ms; a step of 120 ticks is 125 ms.
constexpr uint32_t kTempo = 500000;

TEST_F(RhythmPlayerTest, PlaysLoopsAndPostsEverySteps) {
  // Hits 36 on step 0 and 38 on step 1 of a four-step pattern.
  ASSERT_TRUE(player.Start({{0, 0x99, 36, 100}, {120, 0x99, 38, 90}}, 480, 120, kTempo, 480));
  // Tick 0 goes at once, note-on then note-off.
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], (Sent{1000000, ShortMsg(0x99, 36, 100)}));
  EXPECT_EQ(sent[1], (Sent{1000000, ShortMsg(0x99, 36, 0)}));
  RunMs(124);
  EXPECT_EQ(sent.size(), 2u);
  RunMs(1);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[2], (Sent{1125000, ShortMsg(0x99, 38, 90)}));
  // The engine is asked to wake when the next thing is due (the step mark at 240).
  EXPECT_EQ(timer->WakeWish(), int64_t(1000000 + 250000));
  RunMs(375);  // the end of the first round: tick 480 is tick 0 again
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_EQ(sent[4], (Sent{1500000, ShortMsg(0x99, 36, 100)}));
  EXPECT_EQ(Positions(), (std::vector<uint32_t>{0, 120, 240, 360, 0}));
  player.Stop();
  EXPECT_FALSE(player.Playing());
}

TEST_F(RhythmPlayerTest, EditDuringPlayTakesOverAfterThePlayTick) {
  ASSERT_TRUE(player.Start({{0, 0x99, 36, 100}, {240, 0x99, 38, 90}}, 480, 120, kTempo, 480));
  RunMs(130);  // past tick 120
  sent.clear();
  // The new list: a hit at 120 (already past: not sent now) and one at 360.
  player.Update({{0, 0x99, 36, 100}, {120, 0x99, 40, 80}, {360, 0x99, 42, 70}}, 480, 120);
  RunMs(370);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].Message, ShortMsg(0x99, 42, 70));
  EXPECT_EQ(sent[0].Us, 1375000u);
  EXPECT_EQ(sent[2].Message, ShortMsg(0x99, 36, 100));  // the next round from its start
  RunMs(125);
  EXPECT_EQ(sent.back().Message, ShortMsg(0x99, 40, 0));
}

TEST_F(RhythmPlayerTest, ShorterPatternDuringPlayWraps) {
  ASSERT_TRUE(player.Start({{0, 0x99, 36, 100}}, 3840, 120, kTempo, 480));
  RunMs(600);  // tick 576
  sent.clear();
  player.Update({{0, 0x99, 38, 100}}, 240, 120);
  RunMs(1);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].Message, ShortMsg(0x99, 38, 100));
  EXPECT_LT(player.PlayTick(), 240u);
}

TEST_F(RhythmPlayerTest, AStallSkipsWholeRounds) {
  ASSERT_TRUE(player.Start({{0, 0x99, 36, 100}, {120, 0x99, 38, 90}}, 480, 120, kTempo, 480));
  sent.clear();
  clock.Advance(5 * 500 + 130);  // five rounds and a step
  timer->Fire();
  // The rest of the current round and the due part of the latest, not five rounds.
  EXPECT_EQ(sent.size(), 6u);
  EXPECT_EQ(player.PlayTick(), 124u);
}

TEST_F(RhythmPlayerTest, EmptyLengthDoesNotStart) {
  EXPECT_FALSE(player.Start({}, 0, 120, kTempo, 480));
  EXPECT_FALSE(player.Playing());
}

TEST_F(RhythmPlayerTest, ExceptionInTheSenderStopsWithTheMessage) {
  player.Send = [](uint32_t) { throw std::runtime_error("device"); };
  player.Start({{10, 0x99, 36, 100}}, 480, 120, kTempo, 480);
  RunMs(20);
  EXPECT_FALSE(timer->Active());
  Notification n;
  bool stopped = false;
  while (player.Notify.Pop(n))
    if (n.Message == RhythmStop) stopped = std::string(n.Text) == "演奏ルーチンで例外が発生しました。";
  EXPECT_TRUE(stopped);
}

}  // namespace
}  // namespace melko
