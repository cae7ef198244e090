// The MIDI input callback on a thread of its own, as the ALSA reader runs it,
// while this thread does what the UI does meanwhile: takes start and stop
// (the buffer read and given back after each), the option dialog changes
// the filter, the thru mode and the ports, the thru target moves, and a
// failed device is reopened. Run under ThreadSanitizer by scripts/tsan.sh.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_input.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "midi/record_buffer.h"
#include "midi/recording_backend.h"
#include "song/song.h"

namespace melko::test {
namespace {

TEST(InputStress, TheInputThreadRunsWhileTakesSettingsAndDevicesChange) {
  SteadyClock clock;
  ManualTimer timer;
  NotifyQueue notify(1 << 12);
  RecordingBackend backend(clock, {"A", "B"});
  backend.Reserve(1 << 20);
  MidiPorts ports(backend, clock, [] { return std::make_unique<ManualTimer>(); }, {});
  ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 2, 0, 0}; });
  Song song;
  for (int t = 1; t <= 64; ++t) {
    song.OutPort[size_t(t)] = uint8_t(t & 1);
    song.Ch[size_t(t)] = uint8_t(t & 15);
  }
  PlaybackEngine engine(song, ports, clock, timer, notify);
  RecordBuffer buffer;
  MidiInput input(song, ports, engine, buffer, notify);
  input.ApplySettings({}, ThruSettings{kThruDynamic, true, false});

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> sent{0};
  std::thread reader([&] {
    uint32_t i = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      const uint32_t key = 40 + i % 40;
      input.InputCallback(ShortMsg(0x90 | (i & 3), key, 100), i);
      if (i % 5 == 0) input.InputCallback(ShortMsg(0xB0, 7, i & 127), i);
      input.InputCallback(ShortMsg(0x80 | (i & 3), key, 0), i);
      input.InputCallback(0xFE, i);
      ++i;
      sent.fetch_add(3, std::memory_order_relaxed);
    }
  });
  std::vector<Notification> drained;
  drained.reserve(1 << 12);
  size_t taken = 0;
  for (int round = 0; round < 300; ++round) {
    // A take: reset, record for a while, stop, wait for the last store, read.
    buffer.Reset();
    input.InputSource.store(kSourceNone);
    engine.SetFlag(kFlagRecording, true);
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    engine.SetFlag(kFlagRecording, false);
    input.WaitForStores();
    const size_t n = buffer.Count();
    for (size_t e = 0; e < n; ++e) {
      const uint32_t m = buffer.Entries()[e].Message;
      ASSERT_TRUE((m & 0xFF) >= 0x80 && (m & 0xFF) <= 0xEF) << e;
    }
    taken += n;
    buffer.Decommit();
    // Settings and targets as the option dialog and the windows change them.
    InputFilterSettings f;
    f.VeloType = round % 4;
    f.Receive = round % 7 == 0 ? uint8_t(kReceiveAll & ~kReceiveNote) : kReceiveAll;
    input.ApplySettings(f, ThruSettings{round % 6, true, false});
    input.SetThruTrack(1 + round % 64);
    if (round % 10 == 0) {
      std::lock_guard<PiMutex> handles(ports.HandleLock());
      ports.PortMap[0] = uint8_t(1 + (round / 10) % 2);
    }
    if (round % 25 == 0) {
      backend.FailDevice(2);
      MidiPorts::SendShort(ports.Handle(2), 0xF8);  // it notices
      ports.ReopenFailedDevices();
    }
    drained.clear();
    notify.Drain(drained);
  }
  stop = true;
  reader.join();
  input.ThruNotesOff();
  EXPECT_EQ(input.ThruNoteCount(), 0u);
  EXPECT_GT(sent.load(), 0u);
  EXPECT_GT(taken, 0u);
}

}  // namespace
}  // namespace melko::test
