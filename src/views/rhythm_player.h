// The rhythm pattern editor's looped player, on a timer of its own (a
// ThreadTimer in the program, a ManualTimer in tests). Each call of the
// timer moves the play tick on from the clock's microseconds at the tempo
// (microseconds per quarter note) and sends every hit due as a note-on
// followed at once by its note-off; at the pattern's length the tick wraps
// to the start. Each step reached is posted to Notify as RhythmPosition
// (LParam: the step's tick) for the window to show; a failure inside the
// timer routine posts a stop with kMsgRhythmException.
// Threads: Start, Update and Stop belong to the UI thread; the timer thread
// runs TimerCallback. They share only the play list and its state, behind a
// priority-inheriting lock that the UI thread holds just to exchange two
// lists: the timer thread never waits for it (it tries, and comes back soon
// when it is taken) and never allocates.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_device.h"
#include "midi/notify_queue.h"
#include "midi/pi_mutex.h"
#include "views/rhythm_pattern.h"

namespace melko {

// Posted per step reached: WParam 0, LParam the tick of the step.
constexpr uint32_t RhythmPosition = 1824;
// Posted when the timer routine failed: WParam kNotifyStop, Text set.
constexpr uint32_t RhythmStop = 1825;

// Sends one short message on the timer thread; must not block for long.
using RhythmSender = std::function<void(uint32_t message)>;

class TRhythmPlayer {
 public:
  TRhythmPlayer(Clock& clock, TimerFactory timers);
  ~TRhythmPlayer();

  RhythmSender Send;  // set before Start
  NotifyQueue Notify{1024};
  uint32_t TimerPeriod = 1;  // the engine's timer resolution, ms

  // Starts looping `events` (sorted by Time) over lengthTicks, posting a
  // position every stepTicks; tempo in microseconds per quarter note. A
  // running play is stopped first. False when the length is 0.
  bool Start(std::vector<TRhythmEvent> events, uint32_t lengthTicks, uint32_t stepTicks, uint32_t tempo,
             uint32_t tpqn);
  // After an edit: the new list takes over from the first hit at or after
  // the play tick; the length and step follow the new layout (a tick beyond
  // the new length wraps at the next call). Nothing when stopped.
  void Update(std::vector<TRhythmEvent> events, uint32_t lengthTicks, uint32_t stepTicks);
  void Stop();
  bool Playing() const { return timer_ && timer_->Active(); }

  uint32_t PlayTick() const { return playTick_.load(std::memory_order_relaxed); }
  // The clock's microsecond that play tick 0 of the first loop stands for.
  uint64_t StartUs() const { return startUs_; }
  // Times the timer found the lock taken and came back.
  std::atomic<uint32_t> DeferredCalls{0};

  // One call of the timer (public for tests driving a ManualTimer).
  bool TimerCallback();

 private:
  void SendDue();

  Clock& clock_;
  TimerFactory timers_;
  std::unique_ptr<EngineTimer> timer_;
  PiMutex lock_;
  // Under lock_:
  std::vector<TRhythmEvent> list_;
  size_t index_ = 0;
  uint32_t length_ = 0, step_ = 0, nextStep_ = 0;
  uint32_t tempo_ = 500000, tpqn_ = 480;
  uint64_t accumulator_ = 0, lastUs_ = 0;
  uint32_t tick_ = 0;
  // Read by the UI thread:
  std::atomic<uint32_t> playTick_{0};
  uint64_t startUs_ = 0;
};

}  // namespace melko
