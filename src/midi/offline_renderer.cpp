#include "midi/offline_renderer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"

namespace melko {

namespace {

// A backend with one output device: the given synth.
class SynthOnlyBackend : public MidiBackend {
 public:
  explicit SynthOnlyBackend(BuiltinSynth& synth) : synth_(synth) {}
  std::vector<std::string> OutDeviceNames() override { return {"MELKO Synth (FluidSynth)"}; }
  std::vector<std::string> InDeviceNames() override { return {}; }
  int OpenOut(int d, std::unique_ptr<MidiOutDevice>& out) override {
    if (d != 1) return kMidiBadDevice;
    out = std::make_unique<Device>(synth_);
    return kMidiOk;
  }
  int OpenIn(int, MidiInCallback, std::unique_ptr<MidiInDevice>&) override { return kMidiBadDevice; }

 private:
  class Device : public MidiOutDevice {
   public:
    explicit Device(BuiltinSynth& s) : s_(s) {}
    int SendShort(uint32_t msg) override { return s_.SendShort(msg); }
    int SendLong(const uint8_t* data, size_t count) override { return s_.SendLong(data, count); }
    int SetVolume(uint32_t volume) override {
      s_.SetVolume(volume);
      return kMidiOk;
    }

   private:
    BuiltinSynth& s_;
  };
  BuiltinSynth& synth_;
};

}  // namespace

bool RenderSong(Song& song, BuiltinSynth& synth, const RenderOptions& options, const FrameSink& sink,
                RenderStats& stats, std::string& error, LogSink* log,
                const std::function<void(uint32_t songMs)>& progress) {
  auto wallStart = std::chrono::steady_clock::now();
  stats = RenderStats{};
  VirtualClock clock;
  ManualTimer timer;
  NotifyQueue notify;
  SynthOnlyBackend backend(synth);
  std::string portError;
  MidiPorts ports(backend, clock, nullptr, [&](const std::string& t) { portError = t; });
  ports.InitPorts([&](MidiPorts& p) {
    // One device only: every port plays through the synth.
    p.PortMap = {1, 1, 1, 1};
    p.SendOptions = options.SendOptions;
  });
  if (!ports.OutOpen[1]) {
    error = portError.empty() ? "The built-in synthesizer could not be opened." : portError;
    return false;
  }

  PlaybackEngine engine(song, ports, clock, timer, notify, log);
  engine.Options = options.Engine;
  if (!engine.StartPlayback(options.FromTick)) {
    error = "The song has no events to play.";
    return false;
  }

  const uint64_t rate = options.SampleRate;
  std::vector<int16_t> buffer;
  uint64_t framesDone = 0;
  bool aborted = false;
  // Renders the samples up to the start of millisecond msEnd.
  auto renderTo = [&](uint64_t msEnd) {
    uint64_t target = msEnd * rate / 1000;
    if (target <= framesDone || aborted) return;
    size_t n = size_t(target - framesDone);
    buffer.resize(n * 2);
    synth.Render(buffer.data(), int(n));
    if (!sink(buffer.data(), n)) aborted = true;
    framesDone = target;
  };

  uint32_t ms = 0;
  std::vector<Notification> notes;
  renderTo(1);  // millisecond 0, with the chased state
  bool stop = false;
  while (!stop && !aborted) {
    clock.Advance(1);
    ++ms;
    bool going = timer.Fire();
    notes.clear();
    notify.Drain(notes);
    for (const auto& n : notes) {
      if (n.Message == EngineNotify && n.WParam == kNotifyStop) {
        stop = true;
        if (n.Text) stats.StopText = n.Text;
      }
    }
    renderTo(uint64_t(ms) + 1);
    if (!going || ms >= options.MaxSongMs) stop = true;
    if (progress && ms % 1000 == 0) progress(ms);
  }
  stats.SongMs = ms;
  engine.StopPlayback();
  // The release and reverb tails: until no voice sounds and a 50 ms stretch
  // is quiet, at most MaxTailMs.
  uint64_t msDone = uint64_t(ms) + 1;
  uint32_t tail = 0;
  while (!aborted && tail < options.MaxTailMs) {
    renderTo(msDone + 50);
    msDone += 50;
    tail += 50;
    int peak = 0;
    for (size_t i = 0; i < buffer.size(); ++i) peak = std::max(peak, std::abs(int(buffer[i])));
    if (synth.ActiveVoices() == 0 && peak <= 4) break;
  }
  stats.Frames = framesDone;
  stats.WallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  if (aborted) {
    error = "The audio could not be written.";
    return false;
  }
  return true;
}

}  // namespace melko
