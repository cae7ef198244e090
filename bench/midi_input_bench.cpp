// Cost of the MIDI input callback per message: receive filter, velocity
// rule, thru to an output device (one that only counts, so the device's own
// cost stays out), and the store into the record buffer while recording, or
// the posted notice for the windows while not.
#include <benchmark/benchmark.h>

#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_input.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "midi/record_buffer.h"
#include "song/song.h"

namespace melko {
namespace {

class CountingOut : public MidiOutDevice {
 public:
  int SendShort(uint32_t msg) override {
    benchmark::DoNotOptimize(sum_ += msg);
    return kMidiOk;
  }
  int SendLong(const uint8_t*, size_t) override { return kMidiOk; }

 private:
  uint64_t sum_ = 0;
};

class CountingBackend : public MidiBackend {
 public:
  std::vector<std::string> OutDeviceNames() override { return {"Counter"}; }
  std::vector<std::string> InDeviceNames() override { return {}; }
  int OpenOut(int, std::unique_ptr<MidiOutDevice>& out) override {
    out = std::make_unique<CountingOut>();
    return kMidiOk;
  }
  int OpenIn(int, MidiInCallback, std::unique_ptr<MidiInDevice>&) override { return kMidiBadDevice; }
};

struct Rig {
  VirtualClock clock;
  ManualTimer timer;
  NotifyQueue notify{65536};
  CountingBackend backend;
  MidiPorts ports{backend, clock, [] { return std::make_unique<ManualTimer>(); }, {}};
  Song song;
  PlaybackEngine engine{song, ports, clock, timer, notify};
  RecordBuffer buffer;
  MidiInput input{song, ports, engine, buffer, notify};
  Rig(int thruMode) {
    ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 0, 0, 0}; });
    InputFilterSettings f;
    f.VeloType = kVeloChange;
    f.VeloChange = 90;
    ThruSettings t;
    t.ThruMode = thruMode;
    input.ApplySettings(f, t);
  }
};

// A played phrase: note-ons and note-offs with a controller now and then.
std::vector<uint32_t> Phrase() {
  std::vector<uint32_t> m;
  for (int i = 0; i < 1024; ++i) {
    const uint32_t key = 48 + uint32_t(i * 7 % 24);
    m.push_back(ShortMsg(0x90, key, 64 + uint32_t(i % 60)));
    if (i % 8 == 0) m.push_back(ShortMsg(0xB0, 1, uint32_t(i % 128)));
    m.push_back(ShortMsg(0x80, key, 64));
  }
  return m;
}

void BM_InputCallbackRecording(benchmark::State& state) {
  Rig rig(int(state.range(0)));
  rig.buffer.Reset();
  rig.engine.SetFlag(kFlagRecording, true);
  const std::vector<uint32_t> phrase = Phrase();
  size_t i = 0;
  for (auto _ : state) {
    rig.input.InputCallback(phrase[i], 0);
    if (++i == phrase.size()) i = 0;
    if (rig.buffer.Count() == kRecordBufferEntries) {
      state.PauseTiming();
      rig.buffer.Decommit();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_InputCallbackRecording)->Arg(kThruOff)->Arg(kThruDynamic)->Arg(2);

void BM_InputCallbackPosting(benchmark::State& state) {
  Rig rig(kThruDynamic);
  rig.input.SetNoteInputWindow(true);
  const std::vector<uint32_t> phrase = Phrase();
  std::vector<Notification> drained;
  drained.reserve(65536);
  size_t i = 0;
  for (auto _ : state) {
    rig.input.InputCallback(phrase[i], 0);
    if (++i == phrase.size()) {
      i = 0;
      state.PauseTiming();
      drained.clear();
      rig.notify.Drain(drained);
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_InputCallbackPosting);

}  // namespace
}  // namespace melko

BENCHMARK_MAIN();
