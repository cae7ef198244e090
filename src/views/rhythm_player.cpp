#include "views/rhythm_player.h"

#include <algorithm>

#include "views/rhythm_file.h"

namespace melko {

namespace {
// How soon the timer comes back when the UI thread holds the lock.
constexpr uint64_t kDeferUs = 200;
}  // namespace

TRhythmPlayer::TRhythmPlayer(Clock& clock, TimerFactory timers) : clock_(clock), timers_(std::move(timers)) {}

TRhythmPlayer::~TRhythmPlayer() { Stop(); }

bool TRhythmPlayer::Start(std::vector<TRhythmEvent> events, uint32_t lengthTicks, uint32_t stepTicks, uint32_t tempo,
                          uint32_t tpqn) {
  Stop();
  if (lengthTicks == 0 || tpqn == 0) return false;
  {
    std::lock_guard<PiMutex> lock(lock_);
    list_ = std::move(events);
    index_ = 0;
    length_ = lengthTicks;
    step_ = std::max<uint32_t>(stepTicks, 1);
    nextStep_ = 0;
    tempo_ = std::max<uint32_t>(tempo, 1);
    tpqn_ = tpqn;
    accumulator_ = 0;
    tick_ = 0;
    // Time counts from the start of the current millisecond, as the engine's does.
    lastUs_ = startUs_ = clock_.NowUs() / 1000 * 1000;
    playTick_.store(0, std::memory_order_relaxed);
  }
  timer_ = timers_();
  // The hits of tick 0 go at once.
  if (!TimerCallback()) {
    timer_.reset();
    return false;
  }
  timer_->Start(std::max<uint32_t>(TimerPeriod, 1), [this] { return TimerCallback(); });
  return true;
}

void TRhythmPlayer::Update(std::vector<TRhythmEvent> events, uint32_t lengthTicks, uint32_t stepTicks) {
  if (!Playing() || lengthTicks == 0) return;
  {
    std::lock_guard<PiMutex> lock(lock_);
    // The first hit not yet played: a binary search, so the lock is short.
    const auto it = std::lower_bound(events.begin(), events.end(), tick_ + 1,
                                     [](const TRhythmEvent& e, uint32_t t) { return e.Time < t; });
    index_ = size_t(it - events.begin());
    list_.swap(events);
    length_ = lengthTicks;
    step_ = std::max<uint32_t>(stepTicks, 1);
  }
  // `events` holds the old list now; it is freed here, outside the lock.
}

void TRhythmPlayer::Stop() {
  if (timer_) timer_->Stop();
  timer_.reset();
}

void TRhythmPlayer::SendDue() {
  // Hits due are sent; at the length the pattern starts over, and hits due
  // in the new round go in the same call.
  for (;;) {
    while (index_ < list_.size() && list_[index_].Time <= tick_) {
      const TRhythmEvent& e = list_[index_++];
      if (Send) {
        Send(ShortMsg(e.Status, e.Data1, e.Data2));
        Send(ShortMsg(e.Status, e.Data1, 0));
      }
    }
    if (tick_ >= nextStep_ && nextStep_ < length_) {
      Notify.Post(RhythmPosition, 0, nextStep_);
      nextStep_ += step_;
      // Steps skipped in one call are not posted one by one.
      while (nextStep_ <= tick_) nextStep_ += step_;
    }
    if (tick_ < length_) break;
    tick_ -= length_;
    tick_ %= length_;
    index_ = 0;
    nextStep_ = 0;
  }
}

bool TRhythmPlayer::TimerCallback() {
  try {
    std::unique_lock<PiMutex> lock(lock_, std::try_to_lock);
    if (!lock.owns_lock()) {
      DeferredCalls.fetch_add(1, std::memory_order_relaxed);
      if (timer_) timer_->WakeAt(clock_.NowUs() + kDeferUs);
      return true;
    }
    const uint64_t nowUs = clock_.NowUs();
    if (nowUs > lastUs_) accumulator_ += (nowUs - lastUs_) * tpqn_;
    lastUs_ = nowUs;
    // Whole ticks out of the accumulator (one division, not a loop per tick).
    const uint64_t ticks = accumulator_ / tempo_;
    accumulator_ -= ticks * tempo_;
    uint64_t t = uint64_t(tick_) + ticks;
    // After a long stall the rounds missed entirely are not played.
    if (t >= uint64_t(length_) * 2) t = length_ + t % length_;
    tick_ = uint32_t(t);
    SendDue();
    playTick_.store(tick_, std::memory_order_relaxed);
    // The microsecond of the next tick that has something to do: a hit, a
    // step mark or the loop's end.
    uint32_t due = length_;
    if (index_ < list_.size()) due = std::min(due, list_[index_].Time);
    if (nextStep_ < length_) due = std::min(due, nextStep_);
    due = std::max(due, tick_ + 1);
    const uint64_t owed = uint64_t(due - tick_) * tempo_ - accumulator_;
    if (timer_) timer_->WakeAt(lastUs_ + (owed + tpqn_ - 1) / tpqn_);
    return true;
  } catch (...) {
    Notify.Post(RhythmStop, kNotifyStop, 0, kMsgRhythmException);
    return false;
  }
}

}  // namespace melko
