#include "views/mixer_follow.h"

#include <algorithm>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_ports.h"
#include "midi/no_device_backend.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"

namespace melko {

namespace {
constexpr uint32_t kDrainMs = 20;
constexpr uint32_t kDecayMs = 50;
// A song that never stops (a loop point set by a damaged file cannot make
// one, but a very long song may): six hours of music is the most we follow.
constexpr uint32_t kMaxFollowMs = 6u * 3600u * 1000u;
}  // namespace

FollowStats FollowSong(Song& song, MixerState& mixer) {
  FollowStats stats;
  TrackSwapListener* savedPlayer = song.Player;
  {
    VirtualClock clock;
    NoDeviceBackend backend;
    MidiPorts ports(backend, clock, [] { return std::make_unique<ManualTimer>(); }, ErrorReporter{});
    ports.InitPorts();
    ManualTimer timer;
    NotifyQueue notify;
    PlaybackEngine engine(song, ports, clock, timer, notify, nullptr);
    engine.LeadUs = 0;
    std::vector<Notification> notes;
    notes.reserve(4096);
    bool stopped = false;
    auto drain = [&] {
      notes.clear();
      notify.Drain(notes);
      stats.MaxBacklog = std::max(stats.MaxBacklog, notes.size());
      for (const Notification& n : notes) {
        if (n.Message == EventSent) {
          ++stats.Events;
          if (mixer.ApplyPlayed(n.LParam, false).What != MixerUpdate::kNothing) ++stats.Applied;
        } else if (n.Message == EngineNotify && n.WParam == kNotifyStop) {
          stopped = true;
        }
      }
    };
    const uint64_t startUs = clock.NowUs();
    stats.Started = engine.StartPlayback(0);
    if (stats.Started) {
      drain();  // the chase's messages
      for (uint32_t ms = 1; !stopped && timer.Active() && ms <= kMaxFollowMs; ++ms) {
        clock.Advance(1);
        timer.Fire();
        if (ms % kDrainMs == 0) drain();
        if (ms % kDecayMs == 0) mixer.DecayMeters();
      }
      drain();
      engine.StopPlayback();
      drain();
    }
    stats.Milliseconds = uint32_t((clock.NowUs() - startUs) / 1000);
    stats.Dropped = notify.Dropped();
  }
  song.Player = savedPlayer;
  return stats;
}

}  // namespace melko
