#include "midi/notify_queue.h"

#include <algorithm>

namespace melko {

namespace {
constexpr size_t kOverflowReserve = 1024;
}

NotifyQueue::NotifyQueue(size_t capacity) : ring_(capacity == 0 ? 1 : capacity) {
  overflow_.reserve(kOverflowReserve);
  spare_.reserve(kOverflowReserve);
}

void NotifyQueue::Post(const Notification& n) {
  {
    std::lock_guard<PiMutex> lock(mutex_);
    if (count_ < ring_.size() && overflow_.empty()) {
      ring_[(head_ + count_) % ring_.size()] = n;
      ++count_;
    } else if (n.Message == EngineNotify || (n.Keep && overflow_.size() < overflow_.capacity())) {
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
  size_t pending;
  {
    std::lock_guard<PiMutex> lock(mutex_);
    pending = count_;
  }
  if (out.capacity() - out.size() < pending) out.reserve(out.size() + pending);
  {
    std::lock_guard<PiMutex> lock(mutex_);
    // Only what fits in the room made above; the rest waits for the next call.
    size_t n = std::min(count_, out.capacity() - out.size());
    for (size_t i = 0; i < n; ++i) {
      out.push_back(ring_[head_]);
      head_ = (head_ + 1) % ring_.size();
    }
    count_ -= n;
    // Overflow entries came after everything in the ring.
    if (count_ == 0 && !overflow_.empty()) overflow_.swap(spare_);
  }
  out.insert(out.end(), spare_.begin(), spare_.end());
  spare_.clear();
}

size_t NotifyQueue::Dropped() const {
  std::lock_guard<PiMutex> lock(mutex_);
  return dropped_;
}

}  // namespace melko
