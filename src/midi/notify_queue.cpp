#include "midi/notify_queue.h"

namespace melko {

NotifyQueue::NotifyQueue(size_t capacity) : ring_(capacity == 0 ? 1 : capacity) {}

void NotifyQueue::Post(const Notification& n) {
  {
    std::lock_guard<PiMutex> lock(mutex_);
    if (count_ < ring_.size() && overflow_.empty()) {
      ring_[(head_ + count_) % ring_.size()] = n;
      ++count_;
    } else if (n.Message == EngineNotify) {
      overflow_.push_back(n);  // rare: the listener has not drained for a long time
    } else {
      ++dropped_;
    }
  }
  if (wakeup_) wakeup_();
}

bool NotifyQueue::Pop(Notification& out) {
  std::lock_guard<PiMutex> lock(mutex_);
  if (count_ > 0) {
    out = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --count_;
    return true;
  }
  if (!overflow_.empty()) {
    out = overflow_.front();
    overflow_.erase(overflow_.begin());
    return true;
  }
  return false;
}

void NotifyQueue::Drain(std::vector<Notification>& out) {
  std::lock_guard<PiMutex> lock(mutex_);
  for (; count_ > 0; --count_) {
    out.push_back(ring_[head_]);
    head_ = (head_ + 1) % ring_.size();
  }
  out.insert(out.end(), overflow_.begin(), overflow_.end());
  overflow_.clear();
}

size_t NotifyQueue::Dropped() const {
  std::lock_guard<PiMutex> lock(mutex_);
  return dropped_;
}

}  // namespace melko
