#include "views/track_commands.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/int_helpers.h"
#include "edit/edit_tools.h"
#include "edit/range_ops.h"
#include "edit/tool_text.h"
#include "song/track_ops.h"

namespace melko {

const char* const kMsgDeleteTracks = "TR %d ～ TR %d を削除します。よろしいですか？";
const char* const kMsgEraseTracks = "TR %d ～ TR %d を消去します。よろしいですか？";
const char* const kHintNoteToPad = "<Track>Note to Pad";
const char* const kHintPadToNote = "<Track>Pad to Note";
const char* const kHintNoteToLyric = "<Track>Note to Lyric";
const char* const kHintMarker = "<Track>マーカー入力";
const char* const kMsgMarkerExists = "同じ位置に既にマーカーがあります!";

std::string TrackRangeQuestion(const char* format, int from, int to) {
  char text[160];
  std::snprintf(text, sizeof text, format, from, to);
  return text;
}

namespace {

bool IsTrack(int t) { return t >= 1 && t <= 64; }

// The flag columns end with the Silent flags recomputed: the engine follows
// the track settings notice.
void FlagsChanged(Song& song) { song.Changes.NotifyTracks(kChangeTrackSettings, 1, 64); }

// Everything of one row: its events, its spare buffer, its name and settings.
struct RowRecord {
  TMidiData Track, Shadow;
  std::string Name, Instrument;
  uint8_t Mute = 0, Rec = 0, Ch = 0, Pad = kNoPad, OutPort = 0, Clef = 0, KanaOctave = 5, KanaTranspose = 0;
  uint32_t ProgramChange = kNoPatch, End = 0;
  int32_t Delay = 0;
};

RowRecord TakeRow(Song& song, int t) {
  const size_t i = size_t(t);
  RowRecord r;
  r.Track = std::move(song.Tracks[i]);
  r.Shadow = std::move(song.ShadowTracks[i]);
  r.Name = std::move(song.TrackNames[i]);
  r.Instrument = song.Instrument[i];
  r.Mute = song.Mute[i];
  r.Rec = song.Rec[i];
  r.Ch = song.Ch[i];
  r.Pad = song.Pad[i];
  r.OutPort = song.OutPort[i];
  r.Clef = song.Clef[i];
  // The keyboard's octave belongs to the track as well.
  r.KanaOctave = song.KanaOctave[i];
  r.KanaTranspose = song.KanaTranspose[i];
  r.ProgramChange = song.ProgramChange[i];
  r.Delay = song.Delay[i];
  r.End = song.TrackEnds[i];
  return r;
}

void PutRow(Song& song, int t, RowRecord&& r) {
  const size_t i = size_t(t);
  song.Tracks[i] = std::move(r.Track);
  song.ShadowTracks[i] = std::move(r.Shadow);
  song.TrackNames[i] = std::move(r.Name);
  song.Instrument[i] = std::move(r.Instrument);
  song.Mute[i] = r.Mute;
  song.Rec[i] = r.Rec;
  song.Ch[i] = r.Ch;
  song.Pad[i] = r.Pad;
  song.OutPort[i] = r.OutPort;
  song.Clef[i] = r.Clef;
  song.KanaOctave[i] = r.KanaOctave;
  song.KanaTranspose[i] = r.KanaTranspose;
  song.ProgramChange[i] = r.ProgramChange;
  song.Delay[i] = r.Delay;
  song.TrackEnds[i] = r.End;
}

// Rows lo.. take the rows listed in `order`, in that order.
void PlaceRows(Song& song, int lo, const std::vector<int>& order) {
  std::vector<RowRecord> rows;
  rows.reserve(order.size());
  for (int t : order) rows.push_back(TakeRow(song, t));
  for (size_t k = 0; k < rows.size(); ++k) PutRow(song, lo + int(k), std::move(rows[k]));
}

void ResetRow(Song& song, int t) {
  song.Tracks[size_t(t)].Free();
  song.ShadowTracks[size_t(t)].Free();
  song.TrackNames[size_t(t)].clear();
  song.TrackEnds[size_t(t)] = 0;
  song.ResetTrackSettings(t);
}

// What every row command ends with: no clipboard, no solo, no undo, a changed
// song, and every moved row announced.
void RowsMoved(Song& song, EditDispatcher& d, int from, int to) {
  ClearClipboard(song);
  song.Solo = 0;
  song.SongSaved = false;
  d.ClearUndo();
  for (int t = from; t <= to; ++t) song.TrackDataChanged(t);
  song.Changes.NotifyTracks(kChangeTrackSettings, from, to);
}

std::pair<int, int> RangeTracks(const EditDispatcher& d) {
  int a = std::clamp(d.Range.EditFromTrack, 1, 64), b = std::clamp(d.Range.EditToTrack, 1, 64);
  if (a > b) std::swap(a, b);
  return {a, b};
}

}  // namespace

void MuteClick(Song& song, const std::vector<int>& selected, bool ctrl) {
  if (ctrl) {
    for (int t = 1; t <= 64; ++t) song.Mute[size_t(t)] = 1;
    for (int t : selected)
      if (IsTrack(t)) song.Mute[size_t(t)] = 0;
  } else {
    for (int t : selected)
      if (IsTrack(t)) song.Mute[size_t(t)] ^= 1;
  }
  song.Mute[0] = 1;
  FlagsChanged(song);
}

void MuteHeaderClick(Song& song, bool ctrl) {
  if (ctrl) {
    for (int t = 1; t <= 64; ++t) song.Mute[size_t(t)] = 0;
  } else {
    song.Mute[0] ^= 1;
  }
  FlagsChanged(song);
}

void SoloClick(Song& song, int track) {
  if (!IsTrack(track)) return;
  song.Solo = song.Solo == track ? 0 : uint8_t(track);
  FlagsChanged(song);
}

void SoloHeaderClick(Song& song) {
  song.Solo = 0;
  FlagsChanged(song);
}

void RecClick(Song& song, const std::vector<int>& selected, int clicked, bool singleRec) {
  if (singleRec) {
    for (int t = 1; t <= 64; ++t) song.Rec[size_t(t)] = 0;
    if (IsTrack(clicked)) song.Rec[size_t(clicked)] = 1;
  } else {
    for (int t : selected)
      if (IsTrack(t)) song.Rec[size_t(t)] ^= 1;
  }
  FlagsChanged(song);
}

void SetTrackNameText(Song& song, int r, const std::string& text) {
  if (!IsTrack(r)) return;
  song.TrackNames[size_t(r)] = text;
  song.SongSaved = false;
  song.Changes.Notify(kChangeTrackSettings, r);
}

void SetChannelText(Song& song, int r, std::string_view text) {
  if (!IsTrack(r)) return;
  song.Ch[size_t(r)] = uint8_t(StrToIntClamp(text, song.Ch[size_t(r)] + 1, 1, 16) - 1);
  song.SongSaved = false;
  song.Changes.Notify(kChangeTrackSettings, r);
}

void SetPadText(Song& song, int r, std::string_view text, int centerC) {
  if (!IsTrack(r)) return;
  const int note = ReadNoteText(text, -1, centerC);
  song.Pad[size_t(r)] = note >= 0 && note <= 127 ? uint8_t(note) : kNoPad;
  song.SongSaved = false;
  song.Changes.Notify(kChangeTrackSettings, r);
}

void SetDelayText(Song& song, int r, std::string_view text) {
  if (!IsTrack(r)) return;
  const int64_t limit = 4 * int64_t(song.TPQN);
  song.Delay[size_t(r)] = int32_t(StrToIntClamp(text, song.Delay[size_t(r)], -limit, limit));
  song.SongSaved = false;
  song.Changes.Notify(kChangeTrackSettings, r);
}

bool TrackNew(Song& song, EditDispatcher& d, int sheetRow) {
  const int last = song.LastUsedTrack(0);
  if (!IsTrack(sheetRow) || sheetRow > last || last >= 64) return false;
  SongNotifier::Batch batch(song.Changes);
  std::vector<int> order;
  for (int t = sheetRow; t <= last; ++t) order.push_back(t);
  PlaceRows(song, sheetRow + 1, order);
  ResetRow(song, sheetRow);
  RowsMoved(song, d, sheetRow, last + 1);
  return true;
}

bool TrackInsert(Song& song, EditDispatcher& d, int sheetRow) {
  auto [from, to] = RangeTracks(d);
  if (!IsTrack(sheetRow) || (sheetRow >= from && sheetRow <= to + 1)) return false;
  SongNotifier::Batch batch(song.Changes);
  // The range moves to just before the sheet row; the rows between shift.
  std::vector<int> order;
  int lo, hi;
  if (sheetRow < from) {
    lo = sheetRow;
    hi = to;
    for (int t = from; t <= to; ++t) order.push_back(t);
    for (int t = sheetRow; t < from; ++t) order.push_back(t);
  } else {
    lo = from;
    hi = sheetRow - 1;
    for (int t = to + 1; t < sheetRow; ++t) order.push_back(t);
    for (int t = from; t <= to; ++t) order.push_back(t);
  }
  PlaceRows(song, lo, order);
  RowsMoved(song, d, lo, hi);
  return true;
}

void TrackDelete(Song& song, EditDispatcher& d) {
  auto [from, to] = RangeTracks(d);
  SongNotifier::Batch batch(song.Changes);
  for (int t = from; t <= to; ++t) ResetRow(song, t);
  std::vector<int> order;
  for (int t = to + 1; t <= 64; ++t) order.push_back(t);
  for (int t = from; t <= to; ++t) order.push_back(t);  // the emptied rows fill the end
  PlaceRows(song, from, order);
  // The rows that filled the end take the settings of their new place.
  for (int t = 64 - (to - from); t <= 64; ++t) ResetRow(song, t);
  RowsMoved(song, d, from, 64);
}

void TrackErase(Song& song, EditDispatcher& d) {
  auto [from, to] = RangeTracks(d);
  SongNotifier::Batch batch(song.Changes);
  for (int t = from; t <= to; ++t) ResetRow(song, t);
  RowsMoved(song, d, from, to);
}

bool NoteToPad(Song& song, EditDispatcher& d, int sourceTrack, bool mix) {
  if (!IsTrack(sourceTrack)) return false;
  auto [from, to] = RangeTracks(d);
  const uint32_t fromTick = d.Range.EditFromTick, toTick = d.Range.EditToTick;
  bool any = false;
  for (int t = from; t <= to; ++t) any = any || song.Pad[size_t(t)] < 128;
  if (!any || toTick <= fromTick) return false;
  SongNotifier::Batch batch(song.Changes);
  d.BeginEdit();
  for (int t = from; t <= to; ++t) {
    const uint8_t pad = song.Pad[size_t(t)];
    if (pad >= 128) continue;
    ClearClipboard(song);
    TMidiData& clip = song.Clipboard[0];
    clip.Touch();
    uint32_t last = 0;
    for (TrackWalker w(song.Tracks[size_t(sourceTrack)]); !w.AtEnd(); w.Advance()) {
      const TMidiEvent& e = w.Next();
      if (e.Time < fromTick || e.Time >= toTick || e.Status != 0x90 || e.Data1 != pad) continue;
      TMidiEvent n = e;
      n.Time = e.Time - fromTick;
      EncodeEvent(clip, n, last, 0, song.MaxGate());
    }
    song.ClipLength = toTick - fromTick;
    song.ClipTrackSpan = 0;
    TEditRange r = d.Range;
    r.EditFromTrack = r.EditToTrack = t;
    r.RepeatCount = 1;
    if (mix) RangeMix(song, r);
    else RangePaste(song, r);
    song.Ch[size_t(t)] = song.Ch[size_t(sourceTrack)];
  }
  ClearClipboard(song);
  song.Changes.NotifyTracks(kChangeTrackSettings, from, to);
  d.FinishEdit(kHintNoteToPad);
  return true;
}

bool PadToNote(Song& song, EditDispatcher& d) {
  auto [from, to] = RangeTracks(d);
  bool any = false;
  for (int t = from; t <= to; ++t) any = any || song.Pad[size_t(t)] < 128;
  if (!any) return false;
  SongNotifier::Batch batch(song.Changes);
  d.BeginEdit();
  for (int t = from; t <= to; ++t) {
    const uint8_t pad = song.Pad[size_t(t)];
    if (pad >= 128) continue;
    TMidiData& dest = song.ShadowTracks[size_t(t)];
    const TMidiData& src = song.Tracks[size_t(t)];
    StartRebuild(dest, src);
    uint32_t last = 0;
    for (TrackWalker w(src); !w.AtEnd();) {
      if (w.Next().Status != 0x90) {
        AppendNext(dest, w, w.NextTick(), last);
        continue;
      }
      TMidiEvent n = w.Next();
      n.Data1 = pad;
      EncodeEvent(dest, n, last, 0, song.MaxGate());
      w.Advance();
    }
    FinishRebuild(dest, src);
    song.SwapTrack(t);
  }
  d.FinishEdit(kHintPadToNote);
  return true;
}

bool NoteToLyric(Song& song, EditDispatcher& d, int sheetRow) {
  if (!IsTrack(sheetRow)) return false;
  SongNotifier::Batch batch(song.Changes);
  d.BeginEdit();
  TMidiData& dest = song.ShadowTracks[size_t(sheetRow)];
  const TMidiData& src = song.Tracks[size_t(sheetRow)];
  StartRebuild(dest, src);
  uint32_t last = 0;
  bool haveTick = false;
  uint32_t lyricTick = 0;
  for (TrackWalker w(src); !w.AtEnd();) {
    const bool note = w.Next().Status == 0x90;
    const uint32_t tick = w.NextTick();
    AppendNext(dest, w, tick, last);
    // An empty lyric after the first note of each tick that holds one.
    if (note && !(haveTick && lyricTick == tick)) {
      TMidiEvent lyric;
      lyric.Time = tick;
      lyric.Status = 0xFF;
      lyric.Data1 = 0x05;
      lyric.Len = 0;
      EncodeEvent(dest, lyric, last, 0, song.MaxGate());
      haveTick = true;
      lyricTick = tick;
    }
  }
  FinishRebuild(dest, src);
  song.SwapTrack(sheetRow);
  d.FinishEdit(kHintNoteToLyric);
  return true;
}

bool AddMarker(Song& song, EditDispatcher& d, const std::string& text) {
  const uint32_t tick = d.Range.EditFromTick;
  for (TrackWalker w(song.Tracks[0]); !w.AtEnd() && w.NextTick() <= tick; w.Advance())
    if (w.NextTick() == tick && w.Next().Status == 0xFF && w.Next().Data1 == 0x06) return false;
  SongNotifier::Batch batch(song.Changes);
  d.BeginEdit();
  TMidiEvent marker;
  marker.Time = tick;
  marker.Status = 0xFF;
  marker.Data1 = 0x06;
  marker.Data = reinterpret_cast<const uint8_t*>(text.data());
  marker.Len = uint32_t(std::min<size_t>(text.size(), 0x0FFFFFFF));
  song.InsertEvent(0, marker, false);
  song.Maps.BuildMarkerList(song.Tracks[0]);
  song.Changes.Notify(kChangeMaps);
  d.FinishEdit(kHintMarker);
  return true;
}

}  // namespace melko
