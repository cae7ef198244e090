// Measures how late the playback engine sends events against their ideal
// times from the tempo map, with the real timer thread (1 ms period plus the
// wakes the engine asks for at its next tick) and the recording backend, on a
// dense 16-track song; once with the machine otherwise idle and once with
// another core kept busy. Also counts the timer's calls and the CPU time the
// playback takes: the engine's timer thread's own CPU clock, read on that
// thread at its first and last call, so other processes and threads (the
// burner) cannot make it negative; the draining thread is shown apart. Then compares offline render speed with `fluidsynth -ni -F`
// on the same file and SoundFont.
//
//   midi_playback_bench [seconds=20] [--no-render] [--period-only]
//
// --period-only lets the timer ignore the engine's wishes, so it calls back
// on its 1 ms period alone: the engine as it ran before it asked for wakes.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_cli.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "midi/recording_backend.h"
#include "midi/synth/builtin_synth.h"
#include "song/smf_writer.h"
#include "song/song.h"

using namespace melko;

namespace {

constexpr uint32_t kTpqn = 480;

struct Expected {
  // Per channel, per kind (0 note-on, 1 note-off, 2 control change): ticks in
  // the order the engine sends them (each kind is sent in tick order).
  std::map<int, std::vector<int64_t>> Ticks[3];
};

void Put(Song& song, int t, TMidiEvent e, uint32_t& last) { EncodeEvent(song.Tracks[t], e, last, 0, MaxGate(kTpqn)); }

// 16 tracks: a sixteenth-note line with its note-offs and a controller sweep
// every 5 ticks on every track, tempo changes every few seconds.
// ccStep 0 leaves the controllers out (the render song).
void BuildDenseSong(Song& song, int seconds, int ccStep, int noteStep, Expected* expected) {
  song.ClearSong();
  song.TPQN = kTpqn;
  uint32_t lastCond = 0;
  const uint32_t tempos[] = {500000, 428571, 600000, 461538};
  uint32_t ticksPerSegment = 5 * 2 * kTpqn;  // about five seconds at 120 BPM
  int64_t totalTicks = int64_t(seconds) * 2 * kTpqn;
  for (int i = 0; int64_t(i) * ticksPerSegment < totalTicks; ++i) {
    TMidiEvent e;
    e.Time = i * ticksPerSegment;
    e.Status = 0xFF;
    e.Data1 = 0x51;
    e.Len = 3;
    e.Value = tempos[i % 4];
    EncodeEvent(song.Tracks[0], e, lastCond, 0, MaxGate(kTpqn));
  }
  for (int t = 1; t <= 16; ++t) {
    uint32_t last = 0;
    song.Tracks[t].Touch();
    int ch = (t - 1) % 16;
    for (int64_t tick = 0; tick < totalTicks; ++tick) {
      if (tick % noteStep == (t * 7) % noteStep) {
        TMidiEvent n;
        n.Time = uint32_t(tick);
        n.Status = 0x90;
        n.Data1 = uint8_t(36 + (tick / noteStep + t * 5) % 60);
        n.Data2 = 90;
        n.Data3 = 64;
        n.Value = uint32_t(noteStep - 10);
        Put(song, t, n, last);
        if (expected) {
          expected->Ticks[0][ch].push_back(tick);
          expected->Ticks[1][ch].push_back(tick + noteStep - 10);
        }
      }
      if (ccStep > 0 && tick % ccStep == t % ccStep) {
        TMidiEvent c;
        c.Time = uint32_t(tick);
        c.Status = 0xB0;
        c.Data1 = 1;
        c.Data2 = uint8_t(tick / ccStep % 128);
        Put(song, t, c, last);
        if (expected) expected->Ticks[2][ch].push_back(tick);
      }
    }
  }
  song.RebuildMaps();
  song.LastTrack = uint8_t(song.LastUsedTrack(0));
}

// Microseconds from the start of playback to tick `tick`, through the tempo map.
double IdealUs(const Song& song, int64_t tick) {
  const auto& map = song.Maps.TempoMap;
  double us = 0;
  for (size_t i = 0; i < map.size(); ++i) {
    int64_t from = map[i].Tick;
    if (from >= tick) break;
    int64_t to = i + 1 < map.size() ? std::min<int64_t>(map[i + 1].Tick, tick) : tick;
    us += double(to - from) * map[i].Tempo / kTpqn;
  }
  return us;
}

struct Figures {
  double Min = 0, Median = 0, P99 = 0, Max = 0;
  size_t Count = 0;
};

double CpuSeconds(clockid_t id) {
  timespec ts;
  clock_gettime(id, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The real timer thread, counting its calls and the CPU time of its thread
// from the first call to the last (the one that ends the timer); with
// PeriodOnly it ignores the engine's wake wishes.
class CountingTimer : public ThreadTimer {
 public:
  using ThreadTimer::ThreadTimer;
  void WakeAt(uint64_t clockUs) override {
    if (!PeriodOnly) ThreadTimer::WakeAt(clockUs);
  }
  bool PeriodOnly = false;
  void Start(uint32_t periodMs, TimerCallback callback) override {
    ThreadTimer::Start(periodMs, [this, cb = std::move(callback)] {
      if (Calls.fetch_add(1, std::memory_order_relaxed) == 0) cpuStart_ = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
      bool going = cb();
      if (!going) ThreadCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart_;
      return going;
    });
  }
  std::atomic<uint64_t> Calls{0};
  std::atomic<double> ThreadCpu{0};  // seconds, set by the last call

 private:
  double cpuStart_ = 0;
};

Figures Summarise(std::vector<double>& v) {
  Figures f;
  if (v.empty()) return f;
  std::sort(v.begin(), v.end());
  f.Count = v.size();
  f.Min = v.front();
  f.Median = v[v.size() / 2];
  f.P99 = v[std::min(v.size() - 1, size_t(v.size() * 0.99))];
  f.Max = v.back();
  return f;
}

void RunTiming(int seconds, bool busy, bool periodOnly) {
  Song song;
  Expected expected;
  BuildDenseSong(song, seconds, 5, 120, &expected);
  size_t events = 0;
  for (auto& kind : expected.Ticks)
    for (auto& [ch, list] : kind) events += list.size();

  SteadyClock clock;
  CountingTimer timer(clock.OriginNs());
  timer.PeriodOnly = periodOnly;
  NotifyQueue notify(1 << 16);
  RecordingBackend backend(clock, {"Recorder"});
  backend.SetRecordMonotonic(true);
  backend.Reserve(events * 2 + 10000);
  MidiPorts ports(backend, clock, nullptr, nullptr);
  ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 0, 0, 0}; });
  PlaybackEngine engine(song, ports, clock, timer, notify);

  std::atomic<bool> stopBusy{false};
  std::thread burner;
  if (busy)
    burner = std::thread([&] {
      volatile uint64_t x = 0;
      while (!stopBusy.load(std::memory_order_relaxed)) x = x * 6364136223846793005ull + 1;
    });

  backend.Clear();
  engine.StartPlayback(0);
  const uint32_t startMs = engine.PlayStartTime;
  const double drainCpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const auto wall0 = std::chrono::steady_clock::now();
  std::vector<Notification> drained;
  bool done = false;
  while (!done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the UI thread drains its queue
    drained.clear();
    notify.Drain(drained);
    for (auto& n : drained)
      if (n.Message == EngineNotify && n.WParam == kNotifyStop) done = true;
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  const double drainCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - drainCpu0;
  const uint64_t calls = timer.Calls.load();
  engine.StopPlayback();
  stopBusy = true;
  if (burner.joinable()) burner.join();
  const double cpu = timer.ThreadCpu.load();

  // Match every recorded message to its expected tick.
  std::map<int, size_t> next[3];
  std::vector<double> late;
  const int64_t baseNs = clock.OriginNs() + int64_t(startMs) * 1000000 + 10 * 1000000;  // + the lead
  for (const auto& m : backend.Snapshot()) {
    if (m.MonotonicNs == 0 || m.Bytes.size() < 3) continue;
    if (m.MonotonicNs < baseNs - 20 * 1000000) continue;  // the channel reset before the start
    int status = m.Bytes[0] & 0xF0, ch = m.Bytes[0] & 0x0F;
    int kind = status == 0x90 ? (m.Bytes[2] ? 0 : 1) : status == 0xB0 && m.Bytes[1] == 1 ? 2 : -1;
    if (kind < 0) continue;
    auto& list = expected.Ticks[kind][ch];
    size_t& i = next[kind][ch];
    if (i >= list.size()) continue;
    double idealNs = double(baseNs) + IdealUs(song, list[i]) * 1000.0;
    ++i;
    late.push_back((double(m.MonotonicNs) - idealNs) / 1e6);
  }
  Figures f = Summarise(late);
  std::printf("%s%s: %zu events in %d s (%.0f events/s), real-time priority: %s, queue drops: %zu\n",
              busy ? "second core busy" : "machine idle", periodOnly ? ", 1 ms period only" : "", f.Count, seconds, f.Count / double(seconds),
              timer.RealTime() ? "yes" : "no", notify.Dropped());
  std::printf("  late vs ideal time   median %.3f ms  p99 %.3f ms  max %.3f ms  (earliest %.3f ms)\n", f.Median, f.P99,
              f.Max, f.Min);
  std::printf("  timer calls %.0f/s, engine thread CPU %.1f%% of one core (draining thread %.1f%%)\n", calls / wall,
              100.0 * cpu / wall, 100.0 * drainCpu / wall);
}

double Seconds(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

void RunRenderSpeed() {
  std::string sf = DefaultSoundFont();
  if (sf.empty()) {
    std::printf("render: no SoundFont installed, skipped\n");
    return;
  }
  Song song;
  BuildDenseSong(song, 60, 0, 60, nullptr);  // 16 tracks of eighth notes, one minute
  std::string dir = "/tmp";
  std::string mid = dir + "/melko_bench_render.mid";
  if (!SaveSongFile(song, mid, false)) {
    std::printf("render: could not write %s\n", mid.c_str());
    return;
  }
  std::ostringstream out, err;
  auto t0 = std::chrono::steady_clock::now();
  int rc = RunRender({"--render", mid, dir + "/melko_bench_melko.wav", "--soundfont", sf}, dir, out, err);
  double melko = Seconds(t0);
  if (rc != 0) std::printf("melko --render failed: %s\n", err.str().c_str());
  std::string cmd = "fluidsynth -ni -F " + dir + "/melko_bench_fluid.wav -r 44100 '" + sf + "' " + mid +
                    " >/dev/null 2>&1";
  t0 = std::chrono::steady_clock::now();
  int frc = std::system(cmd.c_str());
  double fluid = Seconds(t0);
  double songSeconds = 60.0;
  std::printf("render of a 60 s, 16-track song with %s (whole command, SoundFont load included):\n", sf.c_str());
  std::printf("  melko --render      %.2f s wall, %.1f s of song per second\n", melko, songSeconds / melko);
  if (frc == 0)
    std::printf("  fluidsynth -ni -F   %.2f s wall, %.1f s of song per second\n", fluid, songSeconds / fluid);
  else
    std::printf("  fluidsynth -ni -F   not available (exit %d)\n", frc);
  std::remove(mid.c_str());
  std::remove((dir + "/melko_bench_melko.wav").c_str());
  std::remove((dir + "/melko_bench_fluid.wav").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 20;
  bool render = true, periodOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--no-render") render = false;
    else if (a == "--period-only") periodOnly = true;
    else seconds = std::max(1, std::atoi(argv[i]));
  }
  RunTiming(seconds, false, periodOnly);
  RunTiming(seconds, true, periodOnly);
  if (render) RunRenderSpeed();
  return 0;
}
