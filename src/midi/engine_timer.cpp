#include "midi/engine_timer.h"

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <cerrno>

#include "midi/clock.h"

namespace melko {

namespace {

timespec ToTimespec(int64_t ns) { return timespec{time_t(ns / 1000000000), long(ns % 1000000000)}; }

}  // namespace

void ThreadTimer::Start(uint32_t periodMs, TimerCallback callback) {
  Stop();
  callback_ = std::move(callback);
  stop_ = false;
  active_ = true;
  thread_ = std::thread([this, periodMs] { Run(periodMs == 0 ? 1 : periodMs); });
}

void ThreadTimer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  active_ = false;
}

void ThreadTimer::Run(uint32_t periodMs) {
  // Signals (Ctrl+C) belong to the program's main thread, not to this one.
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
  // Real-time priority when the system grants it; without it we go on.
  sched_param param{};
  param.sched_priority = 40;
  realTime_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;

  const int64_t period = int64_t(periodMs) * 1000000;
  int64_t now = SteadyClock::MonotonicNs();
  // First deadline: the next millisecond boundary of the clock one period on.
  int64_t sinceOrigin = now - originNs_;
  int64_t nextPeriod = originNs_ + (sinceOrigin / 1000000 + 1) * 1000000 + period - 1000000;
  if (nextPeriod <= now) nextPeriod += 1000000;
  int64_t wake = nextPeriod;
  while (!stop_.load(std::memory_order_relaxed)) {
    timespec ts = ToTimespec(wake);
    int rc;
    while ((rc = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr)) == EINTR) {
    }
    if (stop_.load(std::memory_order_relaxed)) break;
    wakeUs_ = -1;
    // The minimum step counts from when the call really came: counted from
    // the planned wake, a thread held up for a while would make up for it
    // in a burst of early calls.
    const int64_t called = SteadyClock::MonotonicNs();
    if (!callback_()) break;
    // A wake before the period's deadline was an extra one the callback asked
    // for; the periodic deadlines stay where they were.
    if (wake >= nextPeriod) nextPeriod += period;
    // After a long stall (suspend, debugger) skip the missed periods instead
    // of calling back in a burst; the engine catches up from the clock anyway.
    now = SteadyClock::MonotonicNs();
    if (now - nextPeriod > 50 * period) nextPeriod = now + period - (now - originNs_) % 1000000;
    wake = nextPeriod;
    if (wakeUs_ >= 0) {
      int64_t wish = std::max(originNs_ + wakeUs_ * 1000, called + kMinStepNs);
      if (wish < wake) wake = wish;
    }
  }
  active_ = false;
}

}  // namespace melko
