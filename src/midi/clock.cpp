#include "midi/clock.h"

#include <time.h>

#include <cerrno>

namespace melko {

int64_t SteadyClock::MonotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

SteadyClock::SteadyClock() : originNs_(MonotonicNs()) {}

uint32_t SteadyClock::NowMs() { return uint32_t((MonotonicNs() - originNs_) / 1000000); }

uint64_t SteadyClock::NowUs() { return uint64_t((MonotonicNs() - originNs_) / 1000); }

void SteadyClock::SleepMs(uint32_t ms) {
  timespec ts{time_t(ms / 1000), long(ms % 1000) * 1000000};
  while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
  }
}

}  // namespace melko
