// Measures the mixer following playback: the playback benchmark's dense
// 16-track song (a note line and a controller every 5 ticks on every track,
// about 3,300 events a second) plays through the engine on its real timer
// thread into the recording backend, while this thread does what the main
// window does: drain the notification queue every 20 ms, hand each played
// event to the open mixer window (16 strips, offscreen), lower the meters
// every 50 ms and let Qt paint. It reports the share of one core this
// thread's updates take (its own CPU clock around the drains, the hand-over
// and the painting), the most notices waiting at one drain, and what the
// queue dropped. Run once with the controllers on CC 1 (no strip shows it),
// as the playback benchmark plays it, and once on the mixer's own rows (7,
// 10, 91, 93, 94 in turn), where every controller moves a knob or a fader.
// The closed mixer (the state alone) is measured the same way.
//
//   mixer_follow_bench [seconds=10]
#include <time.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "edit/edit_dispatcher.h"
#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "midi/recording_backend.h"
#include "song/song.h"
#include "views/mixer_state.h"
#include "views/ui/mixer_form.h"

using namespace melko;

namespace {

constexpr uint32_t kTpqn = 480;

double ThreadCpu() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void Put(Song& song, int t, TMidiEvent e, uint32_t& last) { EncodeEvent(song.Tracks[t], e, last, 0, MaxGate(kTpqn)); }

// The playback benchmark's song: 16 tracks, a note every 120 ticks, a
// controller every 5 ticks on every track, tempo changes every five seconds.
// `rows` puts the controllers on the mixer's rows instead of CC 1.
size_t BuildDenseSong(Song& song, int seconds, bool rows) {
  song.ClearSong();
  song.TPQN = kTpqn;
  uint32_t lastCond = 0;
  const uint32_t tempos[] = {500000, 428571, 600000, 461538};
  const uint32_t ticksPerSegment = 5 * 2 * kTpqn;
  const int64_t totalTicks = int64_t(seconds) * 2 * kTpqn;
  for (int i = 0; int64_t(i) * ticksPerSegment < totalTicks; ++i) {
    TMidiEvent e;
    e.Time = i * ticksPerSegment;
    e.Status = 0xFF;
    e.Data1 = 0x51;
    e.Len = 3;
    e.Value = tempos[i % 4];
    EncodeEvent(song.Tracks[0], e, lastCond, 0, MaxGate(kTpqn));
  }
  const uint8_t rowCcs[] = {7, 10, 91, 93, 94};
  size_t events = 0;
  for (int t = 1; t <= 16; ++t) {
    uint32_t last = 0;
    song.Tracks[t].Touch();
    for (int64_t tick = 0; tick < totalTicks; ++tick) {
      if (tick % 120 == (t * 7) % 120) {
        TMidiEvent n;
        n.Time = uint32_t(tick);
        n.Status = 0x90;
        n.Data1 = uint8_t(36 + (tick / 120 + t * 5) % 60);
        n.Data2 = 90;
        n.Data3 = 64;
        n.Value = 110;
        Put(song, t, n, last);
        events += 2;
      }
      if (tick % 5 == t % 5) {
        TMidiEvent c;
        c.Time = uint32_t(tick);
        c.Status = 0xB0;
        c.Data1 = rows ? rowCcs[(tick / 5) % 5] : 1;
        c.Data2 = uint8_t(tick / 5 % 128);
        Put(song, t, c, last);
        ++events;
      }
    }
  }
  song.RebuildMaps();
  song.LastTrack = uint8_t(song.LastUsedTrack(0));
  return events;
}

class NoUi : public EditUi {
 public:
  bool OpenToolDialog(int, ToolSettings&) override { return false; }
  bool OpenSetDialog(int, SetPositionValues&) override { return false; }
  void ShowMessage(const std::string&) override {}
};

void Run(int seconds, bool rows, bool windowOpen) {
  Song song;
  const size_t events = BuildDenseSong(song, seconds, rows);
  SteadyClock clock;
  ThreadTimer timer(clock.OriginNs());
  NotifyQueue notify(1 << 16);
  RecordingBackend backend(clock, {"Recorder"});
  backend.Reserve(events + 10000);
  MidiPorts ports(backend, clock, nullptr, nullptr);
  ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 0, 0, 0}; });
  PlaybackEngine engine(song, ports, clock, timer, notify);
  NoUi ui;
  EditDispatcher dispatcher(song, ui);
  MixerState mixer;
  TMixerForm form(song, dispatcher, mixer);
  form.Timer1->stop();  // this loop lowers the meters, at the window's pace
  if (windowOpen) form.show();
  QApplication::processEvents();

  engine.StartPlayback(0);
  std::vector<Notification> drained;
  drained.reserve(1 << 16);
  double busy = 0;
  size_t maxBacklog = 0, played = 0;
  bool done = false;
  const auto wall0 = std::chrono::steady_clock::now();
  auto nextDrain = wall0, nextDecay = wall0;
  while (!done) {
    nextDrain += std::chrono::milliseconds(20);
    std::this_thread::sleep_until(nextDrain);
    const double cpu0 = ThreadCpu();
    drained.clear();
    notify.Drain(drained);
    maxBacklog = std::max(maxBacklog, drained.size());
    for (const Notification& n : drained) {
      if (n.Message == EventSent) {
        ++played;
        if (windowOpen) form.PlayedEvent(n.LParam);
        else mixer.ApplyPlayed(n.LParam, false);
      } else if (n.Message == EngineNotify && n.WParam == kNotifyStop) {
        done = true;
      }
    }
    const auto now = std::chrono::steady_clock::now();
    while (now >= nextDecay) {
      if (windowOpen) form.Timer1Timer();
      else mixer.DecayMeters();
      nextDecay += std::chrono::milliseconds(50);
    }
    QApplication::processEvents();  // the strips paint what moved
    busy += ThreadCpu() - cpu0;
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  engine.StopPlayback();
  drained.clear();
  notify.Drain(drained);
  std::printf("%s, controllers %s: %zu events in %.1f s (%.0f events/s)\n", windowOpen ? "window open" : "window closed",
              rows ? "on the mixer's rows" : "on CC 1", played, wall, played / wall);
  std::printf("  updates on the UI thread: %.2f %% of a core (%.1f us per event)\n", 100.0 * busy / wall,
              played ? busy * 1e6 / double(played) : 0.0);
  std::printf("  most notices at one drain: %zu (ring of 65536), left after the stop: %zu, dropped: %zu\n",
              maxBacklog, drained.size(), notify.Dropped());
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
  Run(seconds, false, true);
  Run(seconds, true, true);
  Run(seconds, true, false);
  return 0;
}
