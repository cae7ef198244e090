// Clocks for the engine. SteadyClock reads the monotonic clock; VirtualClock
// only moves when told to, so tests and offline rendering drive time by hand.
// Both read in milliseconds (wrapping like timeGetTime) and in microseconds
// (64 bits, not wrapping in practice); NowMs is always NowUs / 1000 taken
// modulo 2^32. NowMs and NowUs may be called from any thread; a VirtualClock
// is moved by one owner (the test or the renderer) while the engine reads it.
#pragma once

#include <atomic>
#include <cstdint>

namespace melko {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since the clock's origin, wrapping at 2^32 like timeGetTime.
  virtual uint32_t NowMs() = 0;
  // Microseconds since the clock's origin.
  virtual uint64_t NowUs() = 0;
  // Blocks for ms milliseconds (a virtual clock just moves on).
  virtual void SleepMs(uint32_t ms) = 0;
};

class SteadyClock : public Clock {
 public:
  SteadyClock();
  uint32_t NowMs() override;
  uint64_t NowUs() override;
  void SleepMs(uint32_t ms) override;
  // CLOCK_MONOTONIC nanoseconds of millisecond 0, so that timers can wake
  // right at the clock's millisecond boundaries (and at its microseconds).
  int64_t OriginNs() const { return originNs_; }
  static int64_t MonotonicNs();

 private:
  int64_t originNs_;
};

class VirtualClock : public Clock {
 public:
  uint32_t NowMs() override { return uint32_t(NowUs() / 1000); }
  uint64_t NowUs() override { return nowUs_.load(std::memory_order_acquire); }
  void SleepMs(uint32_t ms) override { Advance(ms); }
  void Advance(uint32_t ms) { AdvanceUs(uint64_t(ms) * 1000); }
  void AdvanceUs(uint64_t us) { nowUs_.fetch_add(us, std::memory_order_acq_rel); }
  void Set(uint32_t ms) { nowUs_.store(uint64_t(ms) * 1000, std::memory_order_release); }

 private:
  std::atomic<uint64_t> nowUs_{0};
};

}  // namespace melko
