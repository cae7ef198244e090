// Millisecond clocks for the engine. SteadyClock reads the monotonic clock;
// VirtualClock only moves when told to, so tests and offline rendering drive
// time by hand. NowMs may be called from any thread; a VirtualClock is moved
// by one owner (the test or the renderer) while the engine reads it.
#pragma once

#include <atomic>
#include <cstdint>

namespace melko {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since the clock's origin, wrapping at 2^32 like timeGetTime.
  virtual uint32_t NowMs() = 0;
  // Blocks for ms milliseconds (a virtual clock just moves on).
  virtual void SleepMs(uint32_t ms) = 0;
};

class SteadyClock : public Clock {
 public:
  SteadyClock();
  uint32_t NowMs() override;
  void SleepMs(uint32_t ms) override;
  // CLOCK_MONOTONIC nanoseconds of millisecond 0, so that timers can wake
  // right at the clock's millisecond boundaries.
  int64_t OriginNs() const { return originNs_; }
  static int64_t MonotonicNs();

 private:
  int64_t originNs_;
};

class VirtualClock : public Clock {
 public:
  uint32_t NowMs() override { return now_.load(std::memory_order_acquire); }
  void SleepMs(uint32_t ms) override { Advance(ms); }
  void Advance(uint32_t ms) { now_.fetch_add(ms, std::memory_order_acq_rel); }
  void Set(uint32_t ms) { now_.store(ms, std::memory_order_release); }

 private:
  std::atomic<uint32_t> now_{0};
};

}  // namespace melko
