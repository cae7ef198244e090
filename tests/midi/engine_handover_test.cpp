// The hand-over between the UI thread and the timer callback: an edited
// track is placed through its index before the lock, the callback never
// waits for the lock, and loops at any position wrap without overflowing.
#include <gtest/gtest.h>

#include <climits>
#include <mutex>

#include "engine_rig.h"

namespace melko::test {
namespace {

// Replaces track t's data through the shadow buffer, as every edit does.
void Commit(EngineRig& rig, int t, const std::vector<TMidiEvent>& events) {
  TMidiData& shadow = rig.song.ShadowTracks[t];
  shadow.Free();
  shadow.Touch();
  uint32_t last = 0;
  for (auto e : events) EncodeEvent(shadow, e, last, 0, MaxGate(480));
  rig.song.SwapTrack(t);
}

TEST(EngineHandOver, AnEditedLongTrackGoesOnAtTheFirstEventNotYetPlayed) {
  EngineRig rig;
  rig.Add(1, Note(0, 60, 100, 10));
  rig.Add(1, Note(100000, 60, 100, 10));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(500);  // about tick 470
  const int32_t now = rig.engine.PlayTick;
  // Thousands of events before the position, several at the next ticks and
  // a loop start far into the track: each lands where a walk from the start
  // would have put it.
  std::vector<TMidiEvent> edited;
  for (uint32_t t = 0; t < uint32_t(now); t += 1) edited.push_back(Short(t, 0xB0, 7, uint8_t(t % 100)));
  edited.push_back(Note(uint32_t(now) + 3, 70, 100, 10));
  edited.push_back(Note(uint32_t(now) + 3, 71, 100, 10));
  edited.push_back(Note(uint32_t(now) + 40, 72, 100, 10));
  rig.backend.Clear();
  Commit(rig, 1, edited);
  {
    std::lock_guard<PiMutex> lock(rig.engine.PlaybackLock());
    const TrackPlayer& p = rig.engine.Players()[0];
    EXPECT_EQ(p.Tick, now + 3);
    ASSERT_LT(p.Read, p.End);
    EXPECT_EQ(p.Read[0], 70);  // the stored note's key: the body of the first note
    EXPECT_EQ(p.LoopRead, p.Start + 1);  // loop start 0: the first event's body
  }
  rig.RunMs(100);
  std::vector<int> keys;
  for (auto& m : rig.WithStatus(0x90))
    if (m.Bytes[2]) keys.push_back(m.Bytes[1]);
  EXPECT_EQ(keys, (std::vector<int>{70, 71, 72}));  // none of the old controllers replayed
  EXPECT_TRUE(rig.WithStatus(0xB0).empty());
}

TEST(EngineHandOver, TheTimerCallbackPutsItsWorkOffWhileTheLockIsHeldAndCatchesUp) {
  EngineRig rig;
  rig.Add(1, Note(0, 60, 100, 10));
  rig.Add(1, Note(480, 62, 100, 10));
  rig.Add(1, Note(960, 64, 100, 10));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(100);
  {
    std::unique_lock<PiMutex> held(rig.engine.PlaybackLock());
    rig.clock.Advance(600);  // past the note at 480
    EXPECT_TRUE(rig.timer.Fire());
    EXPECT_EQ(rig.engine.DeferredCalls.load(), 1u);
    EXPECT_EQ(rig.timer.WakeWish(), int64_t(rig.clock.NowUs() + PlaybackEngine::kDeferUs));
    for (auto& m : rig.WithStatus(0x90)) EXPECT_NE(m.Bytes[1], 62) << "played while the lock was held";
  }
  rig.timer.Fire();  // the time that passed is taken at once
  bool played = false;
  for (auto& m : rig.WithStatus(0x90)) played |= m.Bytes[1] == 62 && m.Bytes[2] > 0;
  EXPECT_TRUE(played);
  EXPECT_GT(rig.engine.PlayTick.load(), 480 + 100);
}

TEST(EngineHandOver, ALoopAtTheTopOfTheTickRangeWrapsWithoutOverflow) {
  EngineRig rig;
  rig.song.LoopBeginTick = 0x7FFFFFF0u;  // as FILEINFO.INI may say
  rig.song.LoopEndTick = 0xFFFFFFFFu;
  rig.Add(1, Note(0, 60, 100, 10));
  ASSERT_TRUE(rig.Start(0));
  rig.engine.SetFlag(kFlagLoop, true);
  // Jump the engine to just before the loop end and let it wrap.
  {
    std::lock_guard<PiMutex> lock(rig.engine.PlaybackLock());
    rig.engine.EngineTick = rig.engine.LoopEndTick - 2;
    rig.engine.NextClockTick = INT32_MIN + 5;
  }
  rig.RunMs(20);
  EXPECT_GE(rig.engine.PlayTick.load(), rig.engine.LoopBeginTick);
  EXPECT_LT(rig.engine.PlayTick.load(), rig.engine.LoopEndTick);
  EXPECT_GE(rig.engine.NextClockTick, INT32_MIN);
}

// The guide click's "Beep" comes to the listener through the queue, from the
// timer thread, and sends no click note.
TEST(EngineNotices, TheBeepOfTheGuideClickIsQueuedOnEveryBeat) {
  EngineRig rig;
  rig.engine.Options.ClickBeep = true;
  rig.engine.SetFlag(kFlagClick, true);
  rig.Add(1, Note(0, 60, 100, 4000));
  ASSERT_TRUE(rig.Start(0));
  rig.RunMs(MsOfTick(1440, 500000, 480));  // beats at 0, 480, 960, 1440
  std::vector<uint32_t> beeps;
  for (auto& n : rig.Drain())
    if (n.Message == EngineNotify && n.WParam == kNotifyBeep) beeps.push_back(n.LParam);
  EXPECT_EQ(beeps, (std::vector<uint32_t>{0, 480, 960, 1440}));
  EXPECT_TRUE(rig.WithStatus(0x99).empty());
}

}  // namespace
}  // namespace melko::test
