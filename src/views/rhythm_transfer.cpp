#include "views/rhythm_transfer.h"

#include "edit/range_ops.h"
#include "song/midi_event.h"

namespace melko {

int ImportPattern(const Song& song, const TEditRange& range, TRhythmPattern& pattern) {
  pattern.ClearCells();
  const int t = range.EditFromTrack;
  const uint32_t stepTicks = pattern.StepTicks(song.TPQN);
  if (t < kFirstEditTrack || t > kLastEditTrack || stepTicks == 0) return 0;
  const TMidiData& data = song.Tracks[size_t(t)];
  const uint8_t* p = data.Top();
  const uint8_t* end = data.End();
  uint32_t tick = 0;
  int taken = 0;
  while (p < end) {
    TMidiEvent ev;
    DecodeEvent(p, end, 0, ev);
    tick += ev.Time;
    if (ev.IsMeta(0x2F)) break;
    if (tick >= range.EditToTick) break;
    if (tick < range.EditFromTick) continue;
    const uint64_t step = (tick - range.EditFromTick) / stepTicks;
    if (step >= uint64_t(pattern.PatternSteps())) break;
    if (ev.IsNote() && pattern.SetCell(int(step), ev.Data1, ev.Data2)) ++taken;
  }
  return taken;
}

void ExportPattern(Song& song, const TRhythmPattern& pattern) {
  ClearClipboard(song);
  song.ClipTrackSpan = 0;
  TMidiData& clip = song.Clipboard[0];
  uint32_t last = 0;
  for (const TRhythmEvent& h : pattern.PlayEvents(song.TPQN)) {
    TMidiEvent ev;
    ev.Time = h.Time;
    ev.Status = 0x90;  // stored notes carry no channel: the track's is added when played
    ev.Data1 = h.Data1;
    ev.Data2 = h.Data2;
    ev.Data3 = h.Data3;
    ev.Value = 0;  // the encoder makes it the shortest gate
    EncodeEvent(clip, ev, last, 0, song.MaxGate());
  }
  song.ClipLength = uint32_t(uint64_t(song.TPQN) * 4 * uint32_t(pattern.PatternSteps()) / pattern.PatternQuant);
}

}  // namespace melko
