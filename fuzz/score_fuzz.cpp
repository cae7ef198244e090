// Fuzz harness of the score. The first byte picks what the rest is: even, a
// stored track laid out over spans the next bytes choose (the layout must
// keep its chords in order, its beams within its chords, every head on the
// column); odd, a key script sent to a score window in pen mode, with the
// cursor, note and step held to their ranges and every edit undone again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "edit/edit_dispatcher.h"
#include "song/smf_reader.h"
#include "song/tick_index.h"
#include "views/score_layout.h"
#include "views/score_staff.h"
#include "views/score_step.h"

namespace {

using namespace melko;

#define Check(ok) CheckAt(ok, __LINE__)
void CheckAt(bool ok, int line) {
  if (!ok) fprintf(stderr, "check failed at %d\n", line);
  if (!ok) std::abort();
}

class NoUi : public EditUi {
 public:
  bool OpenToolDialog(int, ToolSettings&) override { return false; }
  bool OpenSetDialog(int, SetPositionValues&) override { return false; }
  void ShowMessage(const std::string&) override {}
};

void Layout(Song& song, const uint8_t* data, size_t size) {
  if (size < 8) return;
  const uint32_t from = uint32_t(data[0]) << 10 | uint32_t(data[1]) << 2;
  const uint32_t span = (uint32_t(data[2]) << 6) + 1;
  const int clef = data[3] % 3;
  song.TPQN = uint16_t(data[4] % 2 ? 1 + data[5] % 8 : 480);
  song.RebuildMaps();
  TMidiData& t = song.Tracks[1];
  t.Free();
  t.PutBytes(data + 6, uint32_t(size - 6));
  TickIndex index;
  index.Build(t);
  const ScoreLayout l = LayoutScore(song, 1, index, from, from + span, clef);
  for (size_t i = 1; i < l.Chords.size(); ++i) Check(l.Chords[i - 1].Tick <= l.Chords[i].Tick);
  for (const ScoreChord& c : l.Chords) {
    Check(c.Length >= 1 && c.Value >= 0 && c.Value < kScoreValues);
    for (const ScoreHead& h : c.Heads) Check(h.Step >= 0 && h.Step <= kTopStepMax + 7 && h.Alter >= -1 && h.Alter <= 1);
  }
  for (const ScoreBeam& b : l.Beams) Check(b.First < b.Last && b.Last < l.Chords.size());
  for (const ScoreRest& r : l.Rests) Check(r.Length >= 1);
}

void Keys(Song& song, const uint8_t* data, size_t size) {
  static const int kKeys[] = {kVkLeft, kVkRight, kVkUp, kVkDown, kVkPrior, kVkNext, kVkHome, kVkEnd,
                              kVkReturn, kVkBack, kVkDelete, kVkInsert, kVkAdd, kVkDecimal, kVkDivide,
                              kVkF1, kVkF1 + 3, kVkF1 + 6, kVkNumpad1 + 2, 'A', 'C', 'G', kVkShift};
  NoUi ui;
  EditDispatcher d(song, ui);
  d.SongLoaded();
  StepEntryState state;
  state.SongLoaded(song.TPQN);
  ScoreStep w(song, d, state, 1);
  w.SetPen(true);
  for (size_t i = 0; i + 1 < size; i += 2) {
    const uint8_t a = data[i], b = data[i + 1];
    if (a >= 0xF0) {
      // A box typed with a short text of the next byte.
      const std::string text = std::to_string(int(int8_t(b)) * (a & 7));
      if (a & 8) w.ApplyTuplet(text);
      else w.GateValueTyped(text);
    } else if (a >= 0xE0) {
      if (a & 1) state.HoldKey(b & 0x7F);
      else state.ReleaseKey(b & 0x7F);
    } else if (a >= 0xD0) {
      w.MidiMessage(int32_t(i) * 40, uint8_t(0x80 | (a & 0x10)), b & 0x7F, uint8_t(a & 0x0F) * 8);
    } else {
      const std::string before(reinterpret_cast<const char*>(song.Tracks[1].Top()), song.Tracks[1].Length());
      const uint64_t revision = song.TrackRevision(1);
      w.KeyDown(kKeys[a % (sizeof kKeys / sizeof kKeys[0])], b & 3);
      if (song.TrackRevision(1) != revision && (b & 4)) {
        d.sbtUndoClick();
        Check(std::string(reinterpret_cast<const char*>(song.Tracks[1].Top()), song.Tracks[1].Length()) == before);
      }
    }
    Check(w.Tick() <= 0x7FFFFFFF && w.Note() >= 0 && w.Note() <= 127);
    Check(state.StepTime >= 1 && state.StepEvent.Value >= 1 && state.GridStep >= 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  Song song;
  song.ClearSong();
  ApplySongLoaded(song);
  if (data[0] % 2 == 0) Layout(song, data + 1, size - 1);
  else Keys(song, data + 1, size - 1);
  return 0;
}
