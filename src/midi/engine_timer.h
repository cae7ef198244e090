// Periodic timers for the engine and the audition note. A timer calls its
// callback every period until the callback returns false (the callback
// "kills" its own timer that way) or Stop is called. ThreadTimer runs the
// callback on its own thread, sleeping to absolute deadlines on the monotonic
// clock and asking for real-time priority; ManualTimer only calls back when a
// test or the offline renderer fires it. Start and Stop belong to the owner's
// thread; Stop must not be called from inside the callback.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace melko {

using TimerCallback = std::function<bool()>;

class EngineTimer {
 public:
  virtual ~EngineTimer() = default;
  // Starts calling back every periodMs, the first call one period from now.
  virtual void Start(uint32_t periodMs, TimerCallback callback) = 0;
  // Stops; when it returns the callback is not running and will not run.
  virtual void Stop() = 0;
  // True between Start and Stop while the callback has not ended the timer.
  virtual bool Active() const = 0;
};

using TimerFactory = std::function<std::unique_ptr<EngineTimer>()>;

class ThreadTimer : public EngineTimer {
 public:
  // originNs: CLOCK_MONOTONIC nanoseconds that deadlines are aligned to
  // (the engine clock's millisecond 0), so each wake starts a new millisecond.
  explicit ThreadTimer(int64_t originNs = 0) : originNs_(originNs) {}
  ~ThreadTimer() override { Stop(); }
  void Start(uint32_t periodMs, TimerCallback callback) override;
  void Stop() override;
  bool Active() const override { return active_.load(); }
  // Whether the last Start got real-time scheduling.
  bool RealTime() const { return realTime_.load(); }

 private:
  void Run(uint32_t periodMs);
  int64_t originNs_;
  TimerCallback callback_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> active_{false};
  std::atomic<bool> realTime_{false};
};

class ManualTimer : public EngineTimer {
 public:
  void Start(uint32_t periodMs, TimerCallback callback) override {
    period_ = periodMs;
    callback_ = std::move(callback);
    active_ = true;
  }
  void Stop() override { active_ = false; }
  bool Active() const override { return active_; }
  uint32_t Period() const { return period_; }
  // Calls the callback once if active; returns whether the timer goes on.
  bool Fire() {
    if (!active_) return false;
    if (!callback_()) active_ = false;
    return active_;
  }

 private:
  uint32_t period_ = 0;
  TimerCallback callback_;
  bool active_ = false;
};

}  // namespace melko
