// The notification queue, the timer thread and the system backend's device
// list on a machine that may have no sound hardware.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/notify_queue.h"
#include "midi/system_backend.h"

namespace melko {
namespace {

TEST(NotifyQueue, KeepsOrderAndNeverDropsEngineNotices) {
  NotifyQueue q(3);
  int wakeups = 0;
  q.SetWakeup([&] { ++wakeups; });
  q.Post(EventSent, 1, 0x10);
  q.Post(EventSent, 2, 0x20);
  q.Post(EngineNotify, kNotifyTempo, 500000);
  q.Post(EventSent, 3, 0x30);                // full: dropped
  q.Post(EngineNotify, kNotifyStop, 0, "x");  // full: kept anyway
  EXPECT_EQ(q.Dropped(), 1u);
  EXPECT_EQ(wakeups, 5);
  std::vector<Notification> got;
  q.Drain(got);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].WParam, 1);
  EXPECT_EQ(got[1].WParam, 2);
  EXPECT_EQ(got[2].LParam, 500000u);
  EXPECT_EQ(got[3].WParam, kNotifyStop);
  EXPECT_STREQ(got[3].Text, "x");
  Notification n;
  EXPECT_FALSE(q.Pop(n));
  q.Post(EventSent, 4, 0);
  ASSERT_TRUE(q.Pop(n));
  EXPECT_EQ(n.WParam, 4);
}

// A notice marked Keep (a log line) outlives a full ring, as far as the
// overflow's reserve goes; plain ones are dropped.
TEST(NotifyQueue, KeptNoticesSurviveAFullRingWithinTheReserve) {
  NotifyQueue q(1);
  q.Post(EventSent, 1, 0);
  Notification keep{0x23C3, 0, 8};
  keep.Keep = true;
  for (int i = 0; i < 2000; ++i) q.Post(keep);
  q.Post(EventSent, 2, 0);
  std::vector<Notification> got;
  q.Drain(got);
  ASSERT_EQ(got.size(), 1u + 1024u);  // the ring's one, then the reserve's worth
  EXPECT_EQ(got[1].Message, 0x23C3u);
  EXPECT_EQ(q.Dropped(), 2000u - 1024u + 1u);
}

// Drain makes its room before it takes the lock: entries beyond that room
// wait for the next call, overflow entries come after the ring's, and a
// reused vector is filled without growing.
TEST(NotifyQueue, DrainsIntoTheRoomItMadeAndKeepsTheOrderAcrossCalls) {
  NotifyQueue q(4);
  for (int i = 0; i < 4; ++i) q.Post(EventSent, i, 0);
  q.Post(EngineNotify, kNotifyBeat, 10);
  q.Post(EngineNotify, kNotifyBeat, 20);
  std::vector<Notification> got;
  got.reserve(64);
  const Notification* block = got.data();
  q.Drain(got);
  EXPECT_EQ(got.data(), block);
  ASSERT_EQ(got.size(), 6u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(got[size_t(i)].WParam, i);
  EXPECT_EQ(got[4].LParam, 10u);
  EXPECT_EQ(got[5].LParam, 20u);
  // The ring takes posts again once the overflow is gone.
  got.clear();
  q.Post(EventSent, 7, 0);
  q.Drain(got);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].WParam, 7);
  EXPECT_EQ(q.Dropped(), 0u);
}

TEST(ThreadTimer, CallsBackUntilTheCallbackEndsIt) {
  ThreadTimer timer;
  std::atomic<int> calls{0};
  timer.Start(1, [&] { return ++calls < 5; });
  for (int i = 0; i < 2000 && timer.Active(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(timer.Active());
  EXPECT_EQ(calls.load(), 5);
  timer.Stop();
}

TEST(ThreadTimer, StopWaitsForTheCallbackAndEndsTheCalls) {
  ThreadTimer timer;
  std::atomic<int> calls{0};
  timer.Start(1, [&] {
    ++calls;
    return true;
  });
  while (calls.load() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  timer.Stop();
  int after = calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(calls.load(), after);
  EXPECT_FALSE(timer.Active());
}

TEST(ThreadTimer, WakesAtTheMicrosecondTheCallbackAsksFor) {
  SteadyClock clock;
  ThreadTimer timer(clock.OriginNs());
  std::atomic<int> calls{0};
  // A 300 ms period; each call asks for the next one a millisecond later, so
  // twenty calls come long before the six seconds of twenty periods.
  timer.Start(300, [&] {
    timer.WakeAt(clock.NowUs() + 1000);
    return ++calls < 20;
  });
  for (int i = 0; i < 2000 && timer.Active(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(timer.Active());
  EXPECT_EQ(calls.load(), 20);
  timer.Stop();
}

TEST(ThreadTimer, AWishInThePastDoesNotMakeItSpin) {
  SteadyClock clock;
  ThreadTimer timer(clock.OriginNs());
  std::atomic<int> calls{0};
  std::atomic<uint64_t> firstUs{0};
  timer.Start(10, [&] {
    if (calls.fetch_add(1) == 0) firstUs = clock.NowUs();
    timer.WakeAt(0);
    return true;
  });
  while (calls.load() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  timer.Stop();
  // After the first call, at most one call per minimum step, counted from
  // when each call really came (a thread held up for a while must not make
  // up for it in a burst).
  const uint64_t since = clock.NowUs() - firstUs.load();
  EXPECT_LE(uint64_t(calls.load()), since * 1000 / ThreadTimer::kMinStepNs + since / 10000 + 2);
}

TEST(SystemBackend, DeviceOneIsTheBuiltInSynthAndAlsaDevicesFollow) {
  SystemMidiBackend backend(SynthOptions{}, true);
  auto names = backend.OutDeviceNames();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], kBuiltinSynthName);
  std::unique_ptr<MidiOutDevice> dev;
  EXPECT_EQ(backend.OpenOut(int(names.size()) + 1, dev), kMidiBadDevice);
  std::unique_ptr<MidiInDevice> in;
  EXPECT_EQ(backend.OpenIn(int(backend.InDeviceNames().size()) + 1, nullptr, in), kMidiBadDevice);
}

TEST(SystemBackend, AMissingSoundFontFailsTheOpenWithItsReason) {
  SynthOptions o;
  o.SoundFont = "/nonexistent/none.sf2";
  o.AudioOutput = false;
  SystemMidiBackend backend(o, false);
  std::unique_ptr<MidiOutDevice> dev;
  EXPECT_NE(backend.OpenOut(1, dev), kMidiOk);
  EXPECT_EQ(dev, nullptr);
  EXPECT_NE(backend.ErrorText(true, kMidiAllocated).find("none.sf2"), std::string::npos);
}

}  // namespace
}  // namespace melko
