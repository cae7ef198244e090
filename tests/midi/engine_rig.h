// A playback engine on a virtual clock, a hand-fired timer and a recording
// backend with two output devices, and helpers that build compact tracks.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "midi/recording_backend.h"
#include "song/song.h"

namespace melko::test {

using Bytes = std::vector<uint8_t>;

inline TMidiEvent Note(uint32_t tick, uint8_t key, uint8_t vel, uint32_t gate, uint8_t offVel = 64) {
  TMidiEvent e;
  e.Time = tick;
  e.Status = 0x90;
  e.Data1 = key;
  e.Data2 = vel;
  e.Data3 = offVel;
  e.Value = gate;
  return e;
}
inline TMidiEvent Short(uint32_t tick, uint8_t status, uint8_t d1, uint8_t d2 = 0) {
  TMidiEvent e;
  e.Time = tick;
  e.Status = status;
  e.Data1 = d1;
  e.Data2 = d2;
  return e;
}
inline TMidiEvent Meta(uint32_t tick, uint8_t type, uint32_t value, uint32_t len) {
  TMidiEvent e;
  e.Time = tick;
  e.Status = 0xFF;
  e.Data1 = type;
  e.Value = value;
  e.Len = len;
  return e;
}
inline TMidiEvent Tempo(uint32_t tick, uint32_t usPerQuarter) { return Meta(tick, 0x51, usPerQuarter, 3); }
// numerator / 2^power
inline TMidiEvent Meter(uint32_t tick, uint32_t num, uint32_t power) {
  return Meta(tick, 0x58, num << 24 | power << 16 | 24 << 8 | 8, 4);
}

class EngineRig {
 public:
  VirtualClock clock;
  ManualTimer timer;
  NotifyQueue notify{1 << 20};
  RecordingBackend backend{clock, {"Synth", "External"}, {"Keyboard"}};
  std::vector<std::string> errors;
  std::vector<ManualTimer*> oneShots;
  MidiPorts ports{backend, clock,
                  [this] {
                    auto t = std::make_unique<ManualTimer>();
                    oneShots.push_back(t.get());
                    return std::unique_ptr<EngineTimer>(std::move(t));
                  },
                  [this](const std::string& text) { errors.push_back(text); }};
  Song song;
  PlaybackEngine engine{song, ports, clock, timer, notify};
  std::map<int, std::vector<TMidiEvent>> events;

  explicit EngineRig(uint16_t tpqn = 480) {
    song.TPQN = tpqn;
    song.Maps.Reset(tpqn);
    song.LoopEndTick = tpqn * 4u;
    ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 2, 0, 0}; });
  }
  void Add(int track, TMidiEvent e) { events[track].push_back(e); }
  // Encodes the events added so far into the tracks (in the order given).
  void Build() {
    for (auto& [t, list] : events) {
      song.Tracks[t].Free();
      song.Tracks[t].Touch();
      uint32_t last = 0;
      for (auto e : list) EncodeEvent(song.Tracks[t], e, last, 0, MaxGate(song.TPQN));
    }
    song.RebuildMaps();
  }
  // Builds and starts; the log of the backend is cleared first.
  bool Start(uint32_t tick = 0) {
    Build();
    backend.Clear();
    return engine.StartPlayback(tick);
  }
  void RunMs(int n) {
    for (int i = 0; i < n; ++i) {
      clock.Advance(1);
      timer.Fire();
    }
  }
  // n calls, stepUs microseconds apart (the real timer also wakes between
  // whole milliseconds).
  void RunUs(uint64_t stepUs, int n) {
    for (int i = 0; i < n; ++i) {
      clock.AdvanceUs(stepUs);
      timer.Fire();
    }
  }
  uint32_t StartMs() const { return engine.PlayStartTime; }
  std::vector<RecordedMessage> Sent(int device = 0) const {
    std::vector<RecordedMessage> out;
    for (auto& m : backend.Snapshot())
      if (!m.IsVolume && (device == 0 || m.Device == device)) out.push_back(m);
    return out;
  }
  // Messages of one device with a given status byte (channel included).
  std::vector<RecordedMessage> WithStatus(uint8_t status, int device = 1) const {
    std::vector<RecordedMessage> out;
    for (auto& m : Sent(device))
      if (!m.Bytes.empty() && m.Bytes[0] == status) out.push_back(m);
    return out;
  }
  std::vector<Notification> Drain() {
    std::vector<Notification> out;
    notify.Drain(out);
    return out;
  }
};

inline std::vector<Bytes> BytesOf(const std::vector<RecordedMessage>& list) {
  std::vector<Bytes> out;
  for (auto& m : list) out.push_back(m.Bytes);
  return out;
}

// The first millisecond (from the timer start) at which tick m of the run
// has been counted: 10 ms of lead, then m × tempo / (tpqn × 1000) ms, rounded up.
inline uint32_t MsOfTick(int64_t m, int64_t tempo, int64_t tpqn) {
  int64_t scale = tpqn * 1000;
  return uint32_t(10 + (m * tempo + scale - 1) / scale);
}

}  // namespace melko::test
