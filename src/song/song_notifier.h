// SongNotifier: the one place where every change to a song announces itself,
// so that the windows showing it (strip, ExTrack, and the views to come) learn
// of it without calling each other. A notice says what changed (track data,
// track settings, the conductor's maps, song settings, or the whole song after
// a load) and which tracks.
//
// UI thread only: changes are made there, and notices are delivered there,
// synchronously, from inside the call that made the change. A batch
// (SongNotifier::Batch) collects the notices of a multi-step change (one edit
// command, one load) into one, delivered when the outermost batch ends.
// A change made by a subscriber while a notice is delivered is delivered after
// it, to everyone, in order; nobody sees a notice inside another's delivery.
//
// Ownership: the song owns its notifier. A subscriber owns its Subscription;
// a window keeps one as a member (made in its constructor), so that its
// destructor unsubscribes it. A Subscription that outlives its notifier is
// harmless. The playback engine is not a subscriber: it takes track hand-overs
// through the song's TrackSwapListener, which is called even inside a batch.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace melko {

struct SongNotifierState;

// Tracks 0..129: the song's 0..64 and the ExTrack's 65..129.
constexpr int kNoticeTracks = 130;
using TrackSet = std::bitset<kNoticeTracks>;

enum SongChangeKind : uint32_t {
  kChangeTrackData = 1,      // events of the tracks named (a revision was raised)
  kChangeTrackSettings = 2,  // mute, channel, port, patch and the other per-track settings
  kChangeMaps = 4,           // tempo, meter, key or marker maps rebuilt from the conductor track
  kChangeSongSettings = 8,   // title, copyright, TPQN, Note Off style and other song values
  kChangeWholeSong = 16,     // a new song or a load: everything may differ
};

struct SongChange {
  uint32_t What = 0;  // SongChangeKind bits
  TrackSet Tracks;    // the tracks concerned (empty for maps and song settings)

  bool Has(uint32_t kinds) const { return (What & kinds) != 0; }
  // Whether what was drawn of track t may be stale.
  bool Touches(int t) const {
    return Has(kChangeWholeSong) || (t >= 0 && t < kNoticeTracks && Tracks.test(static_cast<size_t>(t)));
  }
};

class SongNotifier {
 public:
  using Handler = std::function<void(const SongChange&)>;

  // Unsubscribes when destroyed or reset. Move-only.
  class Subscription {
   public:
    Subscription() = default;
    Subscription(Subscription&& o) noexcept : owner_(std::move(o.owner_)), id_(o.id_) { o.id_ = 0; }
    Subscription& operator=(Subscription&& o) noexcept;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { Reset(); }
    void Reset();
    bool Active() const { return id_ != 0 && !owner_.expired(); }

   private:
    friend class SongNotifier;
    std::weak_ptr<SongNotifierState> owner_;
    uint64_t id_ = 0;
  };

  // Holds notices back until the outermost batch ends, then delivers one
  // notice with everything that changed (none when nothing did).
  class Batch {
   public:
    explicit Batch(SongNotifier& n) : n_(n) { n_.BeginBatch(); }
    // Delivers; a handler's failure while unwinding is not let out of here.
    ~Batch() {
      try {
        n_.EndBatch();
      } catch (...) {
      }
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    SongNotifier& n_;
  };

  SongNotifier();
  ~SongNotifier();
  SongNotifier(const SongNotifier&) = delete;
  SongNotifier& operator=(const SongNotifier&) = delete;
  // A moved song takes its subscribers along; the source starts with none.
  SongNotifier(SongNotifier&& o) noexcept;
  SongNotifier& operator=(SongNotifier&& o) noexcept;

  // The handler is called for every notice until the subscription goes.
  [[nodiscard]] Subscription Subscribe(Handler handler);
  int SubscriberCount() const;

  // Announces a change; `track` -1 names no track.
  void Notify(uint32_t what, int track = -1);
  void Notify(const SongChange& change);
  // Announces a change of tracks from..to (clamped to 0..129).
  void NotifyTracks(uint32_t what, int fromTrack, int toTrack);

  void BeginBatch();
  void EndBatch();
  bool InBatch() const;

 private:
  void Deliver();
  std::shared_ptr<SongNotifierState> state_;
};

}  // namespace melko
