// The engine under its real timer thread while this thread edits, mutes and
// moves tracks, as the UI does during playback. Built as its own binary with
// the CTest label "tsan" so that scripts/tsan.sh can run it under
// ThreadSanitizer; in the ordinary build it runs with the other tests.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "midi/recording_backend.h"
#include "song/song.h"

namespace melko::test {
namespace {

constexpr uint32_t kTpqn = 480;

// Notes every `step` ticks for `ticks` ticks, with a controller now and then.
void FillTrack(TMidiData& d, uint32_t ticks, uint32_t step, uint8_t baseKey) {
  d.Free();
  d.Touch();
  uint32_t last = 0;
  for (uint32_t t = 0; t < ticks; t += step) {
    TMidiEvent n;
    n.Time = t;
    n.Status = 0x90;
    n.Data1 = uint8_t(baseKey + t / step % 12);
    n.Data2 = 90;
    n.Data3 = 64;
    n.Value = step * 3;  // notes overlap, so some are always sounding
    EncodeEvent(d, n, last, 0, MaxGate(kTpqn));
    if (t % (step * 8) == 0) {
      TMidiEvent c;
      c.Time = t;
      c.Status = 0xB0;
      c.Data1 = 7;
      c.Data2 = uint8_t(t / step % 128);
      EncodeEvent(d, c, last, 0, MaxGate(kTpqn));
    }
  }
}

// Per device and channel, which keys sound; a note-off for a key that does
// not sound on its channel is a note the engine lost track of (sent to a
// channel or port the note-on never went to).
struct NoteLedger {
  std::array<std::array<std::array<int, 128>, 16>, 3> On{};
  int StrayOffs = 0, NoteOns = 0;
  void Take(const RecordedMessage& m) {
    if (m.IsVolume || m.Bytes.size() < 3 || m.Device < 1 || m.Device > 2) return;
    uint8_t st = m.Bytes[0] & 0xF0, ch = m.Bytes[0] & 0x0F, key = m.Bytes[1] & 0x7F;
    auto& chan = On[m.Device][ch];
    if (st == 0xB0 && (m.Bytes[1] == 120 || m.Bytes[1] == 123)) chan.fill(0);
    if (st == 0x90 && m.Bytes[2] > 0) {
      ++chan[key];
      ++NoteOns;
    } else if (st == 0x80 || (st == 0x90 && m.Bytes[2] == 0)) {
      if (chan[key] > 0) --chan[key];
      else ++StrayOffs;
    }
  }
};

TEST(EngineStress, EditsMutesAndChannelChangesWhileTheTimerThreadPlays) {
  Song song;
  song.TPQN = kTpqn;
  song.Maps.Reset(kTpqn);
  // Each track keeps to channels of its own (and off the click's channel
  // 10), so a reset of one track's channel never cuts another track's notes.
  static const uint8_t kChannels[5][3] = {{}, {0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {10, 11, 12}};
  for (int t = 1; t <= 4; ++t) {
    FillTrack(song.Tracks[t], 200000, 5 + uint32_t(t), uint8_t(40 + 6 * t));
    song.Ch[t] = kChannels[t][0];
    song.OutPort[t] = 0;
  }
  song.LoopBeginTick = 0;
  song.LoopEndTick = 2 * kTpqn * 8;  // eight measures, played over and over
  song.RebuildMaps();
  song.LastTrack = uint8_t(song.LastUsedTrack(0));

  SteadyClock clock;
  ThreadTimer timer(clock.OriginNs());
  NotifyQueue notify(1 << 16);
  RecordingBackend backend(clock, {"Synth", "External"});
  backend.Reserve(1 << 20);
  MidiPorts ports(backend, clock, nullptr, nullptr);
  ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 2, 0, 0}; });
  PlaybackEngine engine(song, ports, clock, timer, notify);
  engine.SetFlag(kFlagLoop, true);
  engine.SetFlag(kFlagClick, true);
  engine.SetFlag(kFlagBeat, true);
  ASSERT_TRUE(engine.StartPlayback(kTpqn * 4));

  NoteLedger ledger;
  std::vector<Notification> drained;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  int round = 0;
  int32_t lastTick = engine.PlayTick;
  bool moved = false;
  while (std::chrono::steady_clock::now() < until) {
    const int t = 1 + round % 4;
    switch (round % 5) {
      case 0:  // an edit: the track's new version comes through the shadow buffer
        FillTrack(song.ShadowTracks[t], 200000 - uint32_t(round % 7) * 1000, 5 + uint32_t(round % 4),
                  uint8_t(40 + 6 * t));
        song.SwapTrack(t);
        break;
      case 1:
        song.Ch[t] = kChannels[t][round / 5 % 3];
        song.OutPort[t] = uint8_t(round / 5 % 2);
        engine.ApplyTrackSettings(t);
        break;
      case 2:
        song.Mute[0] = true;
        song.Mute[t] = !song.Mute[t];
        engine.UpdateSilent();
        break;
      case 3:
        song.Solo = round % 3 == 0 ? uint8_t(t) : 0;
        engine.UpdateSilent();
        break;
      case 4:  // a tempo edit on the conductor track
        song.ShadowTracks[0].Free();
        song.ShadowTracks[0].Touch();
        {
          TMidiEvent e;
          e.Status = 0xFF;
          e.Data1 = 0x51;
          e.Len = 3;
          e.Value = 400000 + uint32_t(round % 5) * 20000;
          uint32_t last = 0;
          EncodeEvent(song.ShadowTracks[0], e, last, 0, MaxGate(kTpqn));
        }
        song.SwapTrack(0);
        break;
    }
    ++round;
    std::this_thread::sleep_for(std::chrono::microseconds(700));
    drained.clear();
    notify.Drain(drained);
    int32_t tick = engine.PlayTick;
    if (tick != lastTick) moved = true;
    lastTick = tick;
  }
  ASSERT_TRUE(engine.Playing());
  engine.StopPlayback();
  for (const auto& m : backend.Snapshot()) ledger.Take(m);

  EXPECT_GT(round, 100);
  EXPECT_TRUE(moved);
  EXPECT_GT(ledger.NoteOns, 100) << "the engine stopped playing during the edits";
  EXPECT_EQ(ledger.StrayOffs, 0);
  // StopPlayback sends every pending note-off and resets the channels.
  for (auto& device : ledger.On)
    for (auto& chan : device)
      for (int n : chan) EXPECT_EQ(n, 0);
}

}  // namespace
}  // namespace melko::test
