// Fuzz harness of the edit layer. The first byte picks what the rest is:
// 0 a name table file; 1 a typed text for every box reader (results checked
// against their ranges); otherwise an edit script: three tracks of events
// followed by commands, each run through the dispatcher, with undo required
// to give every track back byte for byte and redo to put the change back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "edit/edit_dispatcher.h"
#include "edit/name_tables.h"
#include "edit/tool_text.h"

namespace {

using namespace melko;

void Check(bool ok) {
  if (!ok) std::abort();
}

class ScriptUi : public EditUi {
 public:
  const uint8_t* Arg = nullptr;
  bool OpenToolDialog(int, ToolSettings& s) override {
    if (Arg[0] % 7 == 0) return false;
    s.Dynamics.Kind = Arg[0] % 5;
    s.Dynamics.Method = Arg[1] % 4;
    s.Dynamics.Add = static_cast<int8_t>(Arg[2]);
    s.Dynamics.CompPerc = Arg[2] % 101;
    s.Dynamics.Control = Arg[1] & 0x7F;
    s.Transpose.Mode = Arg[1] & 1;
    s.Transpose.FromNote = Arg[1] & 0x7F;
    s.Transpose.ToNote = Arg[2] & 0x7F;
    s.Gate.Method = Arg[2] % 4;
    s.Gate.Add = static_cast<int8_t>(Arg[1]) * 10;
    s.Quantize.Type = Arg[0] % 3;
    s.Quantize.Grid = static_cast<uint16_t>(Arg[1] * 4);
    s.Quantize.Strength = Arg[2] % 101;
    s.Quantize.Ratio = Arg[1];
    s.Quantize.Shift = static_cast<int8_t>(Arg[2]);
    s.Cutter.Kind = Arg[0] % 8;
    s.Cutter.FromNote = Arg[1] & 0x7F;
    s.Cutter.ToNote = Arg[2] & 0x7F;
    CutterBounds(s.Cutter, Arg[1]);
    return true;
  }
  bool OpenSetDialog(int, SetPositionValues& v) override {
    v.Bpm = Arg[1] * 3;
    v.Meter = MeterValue(1 + Arg[1] % 12, Arg[2] % 6);
    v.Key = KeyValue(static_cast<int8_t>(Arg[2]) % 8, Arg[1] & 1);
    return Arg[0] % 5 != 0;
  }
  void ShowMessage(const std::string&) override {}
};

std::vector<std::string> Snapshot(const Song& song) {
  std::vector<std::string> s;
  for (int t = 0; t < kSongTracks; ++t)
    s.push_back(song.Tracks[t].IsNil() ? std::string("<nil>")
                                       : std::string(reinterpret_cast<const char*>(song.Tracks[t].Top()),
                                                     song.Tracks[t].Length()));
  return s;
}

void Texts(const std::string& text) {
  SongMaps maps;
  uint32_t tick = LocTextToTick(maps, text, 12345);
  Check(tick <= maps.MeasureToTick(1000));
  for (bool isSigned : {false, true}) {
    int64_t len = ReadLengthText(text, -77, 480, isSigned);
    int64_t mag = len < 0 ? -len : len;
    Check(mag >= 1 && mag <= 479999 && (isSigned || len > 0));
  }
  int note = ReadNoteText(text, 60, 0);
  Check(note >= 0 && note <= 127);
  int track = ReadTrackBox(text, 5);
  Check(track >= 1 && track <= 64);
  int bpm = ReadBpmText(text);
  Check(bpm >= 5 && bpm <= 500);
  MeterText(MeterValueFromText(text));
}

void Script(const uint8_t* data, size_t size) {
  Song song;
  song.RebuildMaps();
  ScriptUi ui;
  EditDispatcher d(song, ui);
  // The edit count tells whether a command finished an edit.
  d.BackupConds = 2;
  d.BackupUndoCount = 1 << 30;
  // Three tracks of up to 64 events, five bytes each.
  size_t pos = 0;
  for (int t = 1; t <= 3 && pos < size; ++t) {
    size_t count = data[pos++] % 64;
    uint32_t tick = 0, last = 0;
    TMidiData& track = song.Tracks[t];
    track.Touch();
    for (size_t i = 0; i < count && pos + 5 <= size; ++i, pos += 5) {
      const uint8_t* e = data + pos;
      tick += e[0] * 4;
      TMidiEvent ev;
      ev.Time = tick;
      static const uint8_t kStatus[6] = {0x90, 0x90, 0xB0, 0xE0, 0xD0, 0xA0};
      ev.Status = kStatus[e[1] % 6];
      ev.Data1 = e[2] & 0x7F;
      ev.Data2 = e[3] & 0x7F;
      ev.Value = 1 + e[4] * 8;
      EncodeEvent(track, ev, last, 0, song.MaxGate());
    }
  }
  static const int kCommands[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 20};
  for (; pos + 8 <= size; pos += 8) {
    const uint8_t* c = data + pos;
    d.Range.EditFromTrack = 1 + c[1] % 5;
    d.Range.EditToTrack = 1 + c[2] % 5;
    d.Range.EditFromTick = c[3] * 16u;
    d.Range.EditToTick = c[4] * 16u;
    d.Range.RepeatCount = static_cast<int8_t>(c[1]) / 16;
    ui.Arg = c + 5;
    int command = kCommands[c[0] % std::size(kCommands)];
    auto before = Snapshot(song);
    int edits = d.EditCount;
    d.PopUpEditClick(command);
    if (command == 20) continue;
    if (d.EditCount != edits) {
      auto after = Snapshot(song);
      d.PopUpEditClick(20);
      Check(Snapshot(song) == before);
      d.PopUpEditClick(21);
      Check(Snapshot(song) == after);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0]) {
    case 0: ParseNameTable(rest, "CONTROL.TXT", [](const std::string&) {}); break;
    case 1: Texts(rest); break;
    default: Script(data + 1, size - 1); break;
  }
  return 0;
}
