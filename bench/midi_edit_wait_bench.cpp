// Measures how long the engine's timer callback is held up while the UI
// thread edits a long track during playback: a song with one long track
// (about 1 MB and 10 MB of stored events) plays from three quarters of its
// length through the real timer thread; meanwhile this thread replaces that
// track (as every edit does, through SwapTrack), changes its channel and
// mutes and unmutes it, every few milliseconds. Prints the longest and the
// 99th percentile duration of a timer call, the calls that found the lock
// taken and put their work off, and what each hand-over costs the UI thread.
//
//   midi_edit_wait_bench [edits=200]
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "song/song.h"

using namespace melko;

namespace {

constexpr uint32_t kTpqn = 480;

int64_t NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// One output device that only counts what it is sent: it allocates nothing
// and takes no lock, so a call's time is the engine's own.
class CountingBackend : public MidiBackend {
 public:
  std::vector<std::string> OutDeviceNames() override { return {"Counter"}; }
  std::vector<std::string> InDeviceNames() override { return {}; }
  int OpenOut(int d, std::unique_ptr<MidiOutDevice>& out) override {
    if (d != 1) return kMidiBadDevice;
    out = std::make_unique<Device>(Sent);
    return kMidiOk;
  }
  int OpenIn(int, MidiInCallback, std::unique_ptr<MidiInDevice>&) override { return kMidiBadDevice; }
  std::atomic<uint64_t> Sent{0};

 private:
  class Device : public MidiOutDevice {
   public:
    explicit Device(std::atomic<uint64_t>& sent) : sent_(sent) {}
    int SendShort(uint32_t) override {
      sent_.fetch_add(1, std::memory_order_relaxed);
      return kMidiOk;
    }
    int SendLong(const uint8_t*, size_t) override { return SendShort(0); }

   private:
    std::atomic<uint64_t>& sent_;
  };
};

// The real timer thread, timing every call of the engine's callback.
class TimingTimer : public ThreadTimer {
 public:
  using ThreadTimer::ThreadTimer;
  void Start(uint32_t periodMs, TimerCallback callback) override {
    durations.reserve(1 << 20);
    ThreadTimer::Start(periodMs, [this, cb = std::move(callback)] {
      int64_t t0 = NowNs();
      bool going = cb();
      if (durations.size() < durations.capacity()) durations.push_back(double(NowNs() - t0) / 1e3);
      return going;
    });
  }
  std::vector<double> durations;  // microseconds; read after Stop
};

// One track of notes two ticks apart until it holds about `bytes` bytes.
uint32_t BuildLongTrack(Song& song, size_t bytes) {
  song.ClearSong();
  song.TPQN = kTpqn;
  TMidiData& d = song.Tracks[1];
  d.Touch();
  uint32_t last = 0, tick = 0;
  while (d.Length() < bytes) {
    TMidiEvent n;
    n.Time = tick;
    n.Status = 0x90;
    n.Data1 = uint8_t(48 + tick / 2 % 24);
    n.Data2 = 80;
    n.Data3 = 64;
    n.Value = 1;
    EncodeEvent(d, n, last, 0, MaxGate(kTpqn));
    tick += 2;
  }
  song.Ch[1] = 0;
  song.RebuildMaps();
  song.LastTrack = uint8_t(song.LastUsedTrack(0));
  return tick;
}

void Run(size_t bytes, int edits) {
  Song song;
  uint32_t lastTick = BuildLongTrack(song, bytes);
  SteadyClock clock;
  TimingTimer timer(clock.OriginNs());
  NotifyQueue notify(1 << 16);
  CountingBackend backend;
  MidiPorts ports(backend, clock, nullptr, nullptr);
  ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 0, 0, 0}; });
  PlaybackEngine engine(song, ports, clock, timer, notify);
  engine.StartPlayback(lastTick / 4 * 3);

  std::vector<double> handOver;  // microseconds of each call on this thread
  std::vector<Notification> drained;
  for (int i = 0; i < edits; ++i) {
    int64_t t0 = NowNs();
    switch (i % 4) {
      case 0:
      case 1:
        // An edit: the shadow buffer gets the new data and is swapped in.
        song.ShadowTracks[1].Assign(song.Tracks[1]);
        t0 = NowNs();
        song.SwapTrack(1);
        break;
      case 2:
        song.Ch[1] = uint8_t(i % 16);
        engine.ApplyTrackSettings(1);
        break;
      case 3:
        song.Mute[1] = !song.Mute[1];
        song.Mute[0] = true;
        engine.UpdateSilent();
        break;
    }
    handOver.push_back(double(NowNs() - t0) / 1e3);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    drained.clear();
    notify.Drain(drained);
  }
  engine.StopPlayback();

  auto& d = timer.durations;
  std::sort(d.begin(), d.end());
  std::sort(handOver.begin(), handOver.end());
  auto pct = [](const std::vector<double>& v, double p) {
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
  };
  std::printf("track of %.1f MB, %d edits/settings/mutes while playing, real-time priority: %s\n",
              double(song.Tracks[1].Length()) / 1e6, edits, timer.RealTime() ? "yes" : "no");
  std::printf("  timer call   max %.1f us  p99.9 %.1f us  p99 %.1f us  median %.1f us  (%zu calls, %llu put off, %llu sent)\n",
              pct(d, 1.0), pct(d, 0.999), pct(d, 0.99), pct(d, 0.5), d.size(),
              (unsigned long long)engine.DeferredCalls.load(), (unsigned long long)backend.Sent.load());
  std::printf("  hand-over on the UI thread   max %.1f us  median %.1f us\n", pct(handOver, 1.0),
              pct(handOver, 0.5));
}

}  // namespace

int main(int argc, char** argv) {
  int edits = argc > 1 ? std::max(4, std::atoi(argv[1])) : 200;
  Run(1000000, edits);
  Run(10000000, edits);
  return 0;
}
