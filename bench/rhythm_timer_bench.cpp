// How late the rhythm pattern editor's player sends its hits against their
// ideal times, with the real timer thread (1 ms period plus the wakes the
// player asks for) and the steady clock: a dense pattern (quant 96, three
// hits on every step, a tempo of 150) looped for a while, with the pattern
// edited every 50 ms as a user clicking cells would (each edit exchanges the
// play list under the player's lock). Once with the machine otherwise idle
// and once with another thread spinning. Prints the median, p99 and maximum
// lateness of the note-ons and how often the timer found the lock taken.
//
//   rhythm_timer_bench [seconds=10]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "views/rhythm_pattern.h"
#include "views/rhythm_player.h"

using namespace melko;

namespace {

constexpr uint32_t kTpqn = 480;
constexpr uint32_t kTempo = 400000;  // 150 bpm

TRhythmPattern DensePattern(int velocity) {
  TRhythmPattern p;
  p.SetLayout(96, 4, 4, 2);
  p.SetShuffle(60);
  for (int s = 0; s < p.PatternSteps(); ++s) {
    p.SetCell(s, 42, velocity);
    if (s % 24 == 0) p.SetCell(s, 36, velocity);
    if (s % 48 == 24) p.SetCell(s, 38, velocity);
    if (s % 3 == 0) p.SetCell(s, 44, velocity);
  }
  return p;
}

void RunOnce(const char* title, int seconds, bool burn) {
  SteadyClock clock;
  const int64_t origin = clock.OriginNs();
  TRhythmPlayer player(clock, [origin] { return std::make_unique<ThreadTimer>(origin); });
  TRhythmPattern pattern = DensePattern(100);
  const std::vector<TRhythmEvent> events = pattern.PlayEvents(kTpqn);
  const uint32_t length = pattern.LengthTicks(kTpqn);
  // Note-on send times, kept without allocating on the timer thread.
  std::vector<uint64_t> sentUs;
  sentUs.reserve(size_t(seconds) * 2000 + 10000);
  std::atomic<size_t> count{0};
  player.Send = [&](uint32_t msg) {
    if (((msg >> 16) & 0x7F) == 0) return;  // the note-offs follow at once
    const size_t i = count.load(std::memory_order_relaxed);
    if (i < sentUs.capacity()) {
      sentUs.push_back(clock.NowUs());
      count.store(i + 1, std::memory_order_relaxed);
    }
  };
  std::atomic<bool> stop{false};
  std::thread burner;
  if (burn)
    burner = std::thread([&] {
      volatile uint64_t x = 0;
      while (!stop.load(std::memory_order_relaxed)) x = x + 1;
    });
  player.Start(events, length, pattern.StepTicks(kTpqn), kTempo, kTpqn);
  // The UI thread's edits: the same hits at other velocities.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int edits = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    TRhythmPattern edited = DensePattern(60 + edits % 60);
    player.Update(edited.PlayEvents(kTpqn), length, edited.StepTicks(kTpqn));
    ++edits;
  }
  player.Stop();
  stop = true;
  if (burner.joinable()) burner.join();

  // The k-th note-on is hit k mod n of round k div n.
  const size_t n = count.load();
  std::vector<double> lateMs;
  lateMs.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    const uint64_t tick = uint64_t(k / events.size()) * length + events[k % events.size()].Time;
    const uint64_t idealUs = player.StartUs() + (tick * kTempo + kTpqn - 1) / kTpqn;
    lateMs.push_back((double(sentUs[k]) - double(idealUs)) / 1000.0);
  }
  std::sort(lateMs.begin(), lateMs.end());
  auto at = [&](double q) { return lateMs.empty() ? 0.0 : lateMs[std::min(lateMs.size() - 1, size_t(q * lateMs.size()))]; };
  std::printf("%-22s %7zu note-ons, %4d edits: lateness median %.3f ms, p99 %.3f ms, max %.3f ms, min %.3f ms; "
              "deferred calls %u\n",
              title, n, edits, at(0.5), at(0.99), lateMs.empty() ? 0.0 : lateMs.back(),
              lateMs.empty() ? 0.0 : lateMs.front(), player.DeferredCalls.load());
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  RunOnce("pattern timer, idle", seconds, false);
  RunOnce("pattern timer, busy", seconds, true);
  return 0;
}
