// Messages from the engine's timer thread to whoever listens (the main window,
// the command line): EngineNotify (stop, beat, tempo, beep) and EventSent
// (every channel message sent). Post may be called from any thread and never
// blocks for long; Drain and Pop belong to the one listening thread. The queue
// holds a fixed ring of entries allocated once; when it is full, EventSent
// entries are dropped (counted) while EngineNotify entries are kept in an
// overflow list reserved up front. Nothing allocates while holding the lock
// the timer posts under, unless that overflow list outgrows its reserve.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "midi/pi_mutex.h"

namespace melko {

constexpr uint32_t EngineNotify = 1624;
constexpr uint32_t EventSent = 1724;

enum EngineNotifyKind : int32_t {
  kNotifyStop = 1,   // lParam 0, or Text set: stop and show the text
  kNotifyBeat = 2,   // lParam: tick of the beat
  kNotifyTempo = 3,  // lParam: microseconds per quarter note
  kNotifyBeep = 4,   // the guide click as a system beep; lParam: tick of the beat
};

struct Notification {
  uint32_t Message = 0;   // EngineNotify or EventSent
  int32_t WParam = 0;     // EngineNotify: kind; EventSent: PlayTick
  uint32_t LParam = 0;    // see the kinds; EventSent: message | track << 24
  const char* Text = nullptr;  // static text of a stop with a message
  // Kept like an engine notice when the ring is full, as far as the overflow
  // list's reserve goes (a log line that must not be lost).
  bool Keep = false;
};

class NotifyQueue {
 public:
  explicit NotifyQueue(size_t capacity = 65536);
  void Post(const Notification& n);
  void Post(uint32_t message, int32_t wParam, uint32_t lParam, const char* text = nullptr) {
    Post(Notification{message, wParam, lParam, text});
  }
  bool Pop(Notification& out);
  // Moves what is queued into `out` (appended), in posting order. Room in
  // `out` is made before the lock is taken; entries posted meanwhile wait for
  // the next call.
  void Drain(std::vector<Notification>& out);
  size_t Dropped() const;
  // Called (outside the lock) after each post, e.g. to wake an event loop.
  // Set it before the engine runs; it must not block.
  void SetWakeup(std::function<void()> wakeup) { wakeup_ = std::move(wakeup); }

 private:
  mutable PiMutex mutex_;
  std::vector<Notification> ring_;
  std::vector<Notification> overflow_;  // engine notices that found the ring full
  std::vector<Notification> spare_;     // swapped with overflow_ by Drain, same reserve
  size_t head_ = 0, count_ = 0, dropped_ = 0;
  std::function<void()> wakeup_;
};

}  // namespace melko
