// Helpers for the edit tests: events built by hand, tracks laid from event
// lists, tracks read back with absolute ticks, and a scripted window for the
// dispatcher that records what it was asked to do.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "edit/edit_dispatcher.h"
#include "song/song.h"
#include "song/track_ops.h"

namespace melko::test {

inline TMidiEvent Note(uint32_t tick, uint8_t note, uint8_t velocity = 100, uint32_t gate = 120) {
  TMidiEvent ev;
  ev.Time = tick;
  ev.Status = 0x90;
  ev.Data1 = note;
  ev.Data2 = velocity;
  ev.Value = gate;
  return ev;
}

inline TMidiEvent Chan(uint32_t tick, uint8_t status, uint8_t d1, uint8_t d2 = 0) {
  TMidiEvent ev;
  ev.Time = tick;
  ev.Status = status;
  ev.Data1 = d1;
  ev.Data2 = d2;
  return ev;
}

inline TMidiEvent Ctrl(uint32_t tick, uint8_t cc, uint8_t value) { return Chan(tick, 0xB0, cc, value); }

inline TMidiEvent Meta(uint32_t tick, uint8_t type, uint32_t value, uint32_t len) {
  TMidiEvent ev;
  ev.Time = tick;
  ev.Status = 0xFF;
  ev.Data1 = type;
  ev.Len = len;
  ev.Value = value;
  return ev;
}

// Replaces track t with the events (in the order given, ticks absolute).
inline void SetTrack(Song& song, int t, std::vector<TMidiEvent> events) {
  TMidiData& d = song.Tracks[t];
  d.Free();
  d.Touch();
  uint32_t last = 0;
  for (TMidiEvent& ev : events) EncodeEvent(d, ev, last, 0, song.MaxGate());
}

// What a test compares: tick, status, data bytes and gate.
struct Ev {
  uint32_t Tick;
  int Status, D1, D2;
  uint32_t Gate;
  bool operator==(const Ev&) const = default;
};

inline std::vector<Ev> Events(const TMidiData& d) {
  std::vector<Ev> out;
  for (TrackWalker w(d); !w.AtEnd(); w.Advance()) {
    const TMidiEvent& e = w.Next();
    out.push_back({e.Time, e.Status, e.Data1, e.Status == 0xFF ? 0 : e.Data2, e.Status == 0x90 ? e.Value : 0});
  }
  return out;
}

inline std::vector<uint32_t> Ticks(const TMidiData& d) {
  std::vector<uint32_t> out;
  for (TrackWalker w(d); !w.AtEnd(); w.Advance()) out.push_back(w.NextTick());
  return out;
}

inline std::string Bytes(const TMidiData& d) {
  if (d.IsNil()) return "<nil>";
  return std::string(reinterpret_cast<const char*>(d.Top()), d.Length());
}

// Every song track's bytes, for exact comparisons.
inline std::vector<std::string> Snapshot(const Song& song) {
  std::vector<std::string> s;
  for (int t = 0; t < kSongTracks; ++t) s.push_back(Bytes(song.Tracks[t]));
  return s;
}

inline std::ostream& operator<<(std::ostream& o, const Ev& e) {
  return o << "{" << e.Tick << " " << std::hex << e.Status << std::dec << " " << e.D1 << " " << e.D2 << " g" << e.Gate
           << "}";
}

// A window whose dialogs answer as the test says.
class FakeUi : public EditUi {
 public:
  std::function<bool(int, ToolSettings&)> Tool = [](int, ToolSettings&) { return true; };
  std::function<bool(int, SetPositionValues&)> Set = [](int, SetPositionValues&) { return true; };
  std::vector<std::string> Messages;
  int ToolDialogs = 0;
  int Backups = 0;
  bool BackupResult = true;
  bool Playing = false;

  bool OpenToolDialog(int command, ToolSettings& s) override {
    ++ToolDialogs;
    return Tool(command, s);
  }
  bool OpenSetDialog(int command, SetPositionValues& v) override { return Set(command, v); }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  bool IsPlaying() override { return Playing; }
  bool WriteBackup() override {
    ++Backups;
    return BackupResult;
  }
};

// Every notice the song's notifier delivers, as a window would see them.
struct NoticeLog {
  explicit NoticeLog(Song& song)
      : Watch(song.Changes.Subscribe([this](const SongChange& c) { Notices.push_back(c); })) {}
  std::vector<SongChange> Notices;
  SongNotifier::Subscription Watch;
};

}  // namespace melko::test
