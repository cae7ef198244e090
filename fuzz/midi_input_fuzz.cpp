// Fuzz harness of the MIDI input callback: what a device may send (any
// status, data bytes with the high bit set, system messages), with the
// filter, velocity rule and thru mode from the first bytes, recording
// switched on and off by the stream itself. What is stored must be a clean
// channel message, and the thru output must be left silent after its notes
// are turned off.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_input.h"
#include "midi/recording_backend.h"

namespace {

using namespace melko;

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  VirtualClock clock;
  ManualTimer timer;
  NotifyQueue notify(256);
  RecordingBackend backend(clock, {"A", "B"});
  MidiPorts ports(backend, clock, [] { return std::make_unique<ManualTimer>(); }, {});
  ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 2, 0, 0}; });
  Song song;
  song.OutPort[1] = data[5] & 3;
  song.Ch[1] = data[5] >> 4;
  PlaybackEngine engine(song, ports, clock, timer, notify);
  RecordBuffer buffer;
  buffer.LimitCommitForTest(8192);
  MidiInput input(song, ports, engine, buffer, notify);
  InputFilterSettings f;
  f.Receive = data[0] & kReceiveAll;
  f.VeloType = data[1] & 3;
  f.VeloAdd = int(int8_t(data[2]));
  f.VeloChange = 1 + data[2] * 4;
  f.VeloSet = 1 + (data[2] & 0x7F) % 127;
  ThruSettings t;
  t.ThruMode = data[3] % 6;
  input.ApplySettings(f, t);
  input.SetNoteInputWindow(data[4] & 1);
  std::vector<Notification> drained;
  for (size_t i = 6; i + 3 <= size; i += 3) {
    const uint32_t msg = data[i] | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16;
    if (data[i] == 0xF4) engine.SetFlag(kFlagRecording, !(engine.EngineFlags & kFlagRecording));
    if (data[i] == 0xF5) input.SetThruTrack(1 + data[i + 1] % 64);
    if (data[i] == 0xF9) input.StoreFromKeyboard(msg);
    input.InputCallback(msg, uint32_t(i));
    drained.clear();
    notify.Drain(drained);
  }
  for (size_t i = 0; i < buffer.Count(); ++i) {
    const uint32_t m = buffer.Entries()[i].Message;
    Check((m & 0xFF) >= 0x80 && (m & 0xFF) <= 0xEF);
    Check((m & 0xFF808000u) == 0);  // seven-bit data bytes, nothing above them
  }
  input.ThruNotesOff();
  Check(input.ThruNoteCount() == 0);
  return 0;
}
