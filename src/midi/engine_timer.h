// Periodic timers for the engine and the audition note. A timer calls its
// callback every period until the callback returns false (the callback
// "kills" its own timer that way) or Stop is called. From inside the callback
// the callback may also ask for one extra, earlier call (WakeAt), so that the
// engine is woken right when its next tick is due rather than at the next
// period. ThreadTimer runs the callback on its own thread, sleeping to
// absolute deadlines on the monotonic clock and asking for real-time
// priority; ManualTimer only calls back when a test or the offline renderer
// fires it, and just remembers the wish. Start and Stop belong to the owner's
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
  // Called from inside the callback: the next call should come at microsecond
  // `clockUs` of the engine's clock if that is before the next period. Only
  // the last wish of a call counts; periodic calls go on as before.
  virtual void WakeAt(uint64_t clockUs) { (void)clockUs; }
};

using TimerFactory = std::function<std::unique_ptr<EngineTimer>()>;

class ThreadTimer : public EngineTimer {
 public:
  // originNs: CLOCK_MONOTONIC nanoseconds that deadlines are aligned to
  // (the engine clock's millisecond 0), so each wake starts a new millisecond
  // and WakeAt's microseconds are the engine clock's.
  explicit ThreadTimer(int64_t originNs = 0) : originNs_(originNs) {}
  ~ThreadTimer() override { Stop(); }
  void Start(uint32_t periodMs, TimerCallback callback) override;
  void Stop() override;
  bool Active() const override { return active_.load(); }
  // An early wake never comes sooner than kMinStepNs after the call that
  // asked for it, so a very fast tempo cannot make the thread spin.
  void WakeAt(uint64_t clockUs) override { wakeUs_ = int64_t(clockUs); }
  // Whether the last Start got real-time scheduling.
  bool RealTime() const { return realTime_.load(); }

  static constexpr int64_t kMinStepNs = 100000;

 private:
  void Run(uint32_t periodMs);
  int64_t originNs_;
  int64_t wakeUs_ = -1;  // the callback's wish, on the timer thread only
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
    wakeUs_ = -1;
    if (!callback_()) active_ = false;
    return active_;
  }
  void WakeAt(uint64_t clockUs) override { wakeUs_ = int64_t(clockUs); }
  // The wish of the last call, -1 when it made none.
  int64_t WakeWish() const { return wakeUs_; }

 private:
  uint32_t period_ = 0;
  int64_t wakeUs_ = -1;
  TimerCallback callback_;
  bool active_ = false;
};

}  // namespace melko
