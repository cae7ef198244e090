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
  engine.LeadUs = 0;  // no device to give a head start: tick 0 is sample 0
  if (!engine.StartPlayback(options.FromTick)) {
    error = "The song has no events to play.";
    return false;
  }

  const uint64_t rate = options.SampleRate;
  // Sample 0 is the moment the timer started; sample n is n / rate later.
  const uint64_t startUs = engine.LastTimeUs;
  std::vector<int16_t> buffer;
  uint64_t framesDone = 0;
  bool aborted = false;
  // Renders the samples before microsecond `us` of the song.
  auto renderToUs = [&](uint64_t us) {
    uint64_t target = us * rate / 1000000;
    if (target <= framesDone || aborted) return;
    size_t n = size_t(target - framesDone);
    buffer.resize(n * 2);
    synth.Render(buffer.data(), int(n));
    if (!sink(buffer.data(), n)) aborted = true;
    framesDone = target;
  };

  // The timer fires at every moment the engine asks for (the microsecond its
  // next tick falls due) and at least every millisecond, as the real one
  // does; before each call the synth renders up to that moment, so whatever
  // a call sends starts with the synth's next 64-sample block.
  uint64_t songUs = 0, nextProgress = 1000000;
  std::vector<Notification> notes;
  bool stop = false;
  while (!stop && !aborted) {
    bool going = timer.Fire();
    notes.clear();
    notify.Drain(notes);
    for (const auto& n : notes) {
      if (n.Message == EngineNotify && n.WParam == kNotifyStop) {
        stop = true;
        if (n.Text) stats.StopText = n.Text;
      }
    }
    if (!going || songUs >= uint64_t(options.MaxSongMs) * 1000) stop = true;
    if (stop) break;
    uint64_t nextUs = songUs + 1000;
    const int64_t wish = timer.WakeWish();
    if (wish > int64_t(startUs + songUs) && uint64_t(wish) - startUs < nextUs) nextUs = uint64_t(wish) - startUs;
    renderToUs(nextUs);
    clock.AdvanceUs(nextUs - songUs);
    songUs = nextUs;
    if (progress && songUs >= nextProgress) {
      progress(uint32_t(songUs / 1000));
      nextProgress += 1000000;
    }
  }
  stats.SongMs = uint32_t(songUs / 1000);
  engine.StopPlayback();
  // The release and reverb tails: until no voice sounds and a 50 ms stretch
  // is quiet, at most MaxTailMs.
  uint64_t msDone = songUs / 1000 + 1;
  renderToUs(msDone * 1000);
  uint32_t tail = 0;
  while (!aborted && tail < options.MaxTailMs) {
    renderToUs((msDone + 50) * 1000);
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
