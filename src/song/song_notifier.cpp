#include "song/song_notifier.h"

#include <algorithm>
#include <deque>

namespace melko {

struct SongNotifierState {
  struct Entry {
    uint64_t Id;
    SongNotifier::Handler Handler;
  };
  std::vector<Entry> Subscribers;
  uint64_t NextId = 1;
  int BatchDepth = 0;
  SongChange Pending;          // collected inside a batch
  std::deque<SongChange> Queue;  // waiting for delivery
  bool Delivering = false;
};

SongNotifier::Subscription& SongNotifier::Subscription::operator=(Subscription&& o) noexcept {
  if (this != &o) {
    Reset();
    owner_ = std::move(o.owner_);
    id_ = o.id_;
    o.id_ = 0;
  }
  return *this;
}

void SongNotifier::Subscription::Reset() {
  if (id_ == 0) return;
  if (auto state = owner_.lock()) {
    auto& subs = state->Subscribers;
    // Not erased while a notice is being delivered (the loop holds indexes):
    // an empty handler is skipped and swept after the delivery.
    for (auto& e : subs)
      if (e.Id == id_) {
        e.Handler = nullptr;
        e.Id = 0;
      }
    if (!state->Delivering)
      subs.erase(std::remove_if(subs.begin(), subs.end(), [](const auto& e) { return e.Id == 0; }), subs.end());
  }
  owner_.reset();
  id_ = 0;
}

SongNotifier::SongNotifier() : state_(std::make_shared<SongNotifierState>()) {}
SongNotifier::~SongNotifier() = default;
SongNotifier::SongNotifier(SongNotifier&& o) noexcept : state_(std::move(o.state_)) {
  o.state_ = std::make_shared<SongNotifierState>();
}
SongNotifier& SongNotifier::operator=(SongNotifier&& o) noexcept {
  if (this != &o) {
    state_ = std::move(o.state_);
    o.state_ = std::make_shared<SongNotifierState>();
  }
  return *this;
}

SongNotifier::Subscription SongNotifier::Subscribe(Handler handler) {
  Subscription s;
  if (!handler) return s;
  s.id_ = state_->NextId++;
  s.owner_ = state_;
  state_->Subscribers.push_back({s.id_, std::move(handler)});
  return s;
}

int SongNotifier::SubscriberCount() const {
  return static_cast<int>(std::count_if(state_->Subscribers.begin(), state_->Subscribers.end(),
                                        [](const auto& e) { return e.Id != 0; }));
}

void SongNotifier::Notify(uint32_t what, int track) {
  SongChange c;
  c.What = what;
  if (track >= 0 && track < kNoticeTracks) c.Tracks.set(static_cast<size_t>(track));
  Notify(c);
}

void SongNotifier::NotifyTracks(uint32_t what, int fromTrack, int toTrack) {
  SongChange c;
  c.What = what;
  for (int t = std::max(fromTrack, 0); t <= std::min(toTrack, kNoticeTracks - 1); ++t) c.Tracks.set(static_cast<size_t>(t));
  Notify(c);
}

void SongNotifier::Notify(const SongChange& change) {
  if (change.What == 0) return;
  SongNotifierState& s = *state_;
  if (s.BatchDepth > 0) {
    s.Pending.What |= change.What;
    s.Pending.Tracks |= change.Tracks;
    return;
  }
  s.Queue.push_back(change);
  Deliver();
}

void SongNotifier::BeginBatch() { ++state_->BatchDepth; }

void SongNotifier::EndBatch() {
  SongNotifierState& s = *state_;
  if (s.BatchDepth == 0 || --s.BatchDepth > 0) return;
  SongChange c = s.Pending;
  s.Pending = SongChange();
  Notify(c);
}

bool SongNotifier::InBatch() const { return state_->BatchDepth > 0; }

void SongNotifier::Deliver() {
  // The state is held alive in case a handler destroys the song.
  std::shared_ptr<SongNotifierState> keep = state_;
  SongNotifierState& s = *keep;
  if (s.Delivering) return;  // the outer loop delivers it next
  s.Delivering = true;
  // A handler that throws (out of memory) must not leave the notifier deaf.
  struct Done {
    SongNotifierState& s;
    ~Done() {
      s.Delivering = false;
      s.Queue.clear();
      auto& subs = s.Subscribers;
      subs.erase(std::remove_if(subs.begin(), subs.end(), [](const auto& e) { return e.Id == 0; }), subs.end());
    }
  } done{s};
  while (!s.Queue.empty()) {
    SongChange c = s.Queue.front();
    s.Queue.pop_front();
    // Subscribers added during this notice hear from the next one.
    const size_t count = s.Subscribers.size();
    for (size_t i = 0; i < count && i < s.Subscribers.size(); ++i) {
      if (s.Subscribers[i].Id == 0) continue;
      // A copy: the handler may unsubscribe itself (and so clear its own entry).
      Handler h = s.Subscribers[i].Handler;
      h(c);
    }
  }
}

}  // namespace melko
