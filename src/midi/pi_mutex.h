// A mutex with priority inheritance, for locks that the real-time timer thread
// shares with ordinary threads: while the timer thread waits for it, the
// holder runs at the timer thread's priority, so a busy machine cannot park
// the holder and stall playback. Usable with std::lock_guard/unique_lock.
#pragma once

#include <pthread.h>

namespace melko {

class PiMutex {
 public:
  PiMutex() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT);
    pthread_mutex_init(&m_, &attr);
    pthread_mutexattr_destroy(&attr);
  }
  ~PiMutex() { pthread_mutex_destroy(&m_); }
  PiMutex(const PiMutex&) = delete;
  PiMutex& operator=(const PiMutex&) = delete;
  void lock() { pthread_mutex_lock(&m_); }
  void unlock() { pthread_mutex_unlock(&m_); }
  bool try_lock() { return pthread_mutex_trylock(&m_) == 0; }

 private:
  pthread_mutex_t m_;
};

}  // namespace melko
