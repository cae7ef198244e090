#include "edit/range_ops.h"

#include <algorithm>

#include "edit/edit_tools.h"
#include "song/track_ops.h"

namespace melko {

namespace {

constexpr uint32_t kAll = kStreamDoneTick;  // above every tick a walker reports

uint32_t Saturate(uint64_t tick) {
  return tick >= kStreamDoneTick ? kStreamDoneTick - 1 : static_cast<uint32_t>(tick);
}

// Starts the rebuild of a track with the events before `from`; the walker
// rests on the first event at or after it.
uint32_t RebuildHead(TMidiData& dest, TrackWalker& w, const TMidiData& src, uint32_t from) {
  StartRebuild(dest, src);
  w.Reset(src);
  uint32_t last = 0;
  CopySpan(dest, w, 0, from, last);
  return last;
}

// Sets span and length as copy does; false (and nothing else) for an empty range.
bool StartCopy(Song& song, const TEditRange& r) {
  song.ClipTrackSpan = static_cast<uint8_t>(std::clamp(r.EditToTrack - r.EditFromTrack, 0, kSongTracks - 1));
  song.ClipLength = r.Length();
  if (song.ClipLength == 0) return false;
  for (TMidiData& clip : song.Clipboard) clip.Free();
  return true;
}

int TrackOf(const TEditRange& r, int i) { return r.EditFromTrack + i; }

// Erase and cut: head, the range to the clipboard, then the rest moved by `shift`.
void Remove(Song& song, const TEditRange& r, bool closeGap) {
  if (!StartCopy(song, r)) return;
  const uint32_t from = r.EditFromTick, end = Saturate(uint64_t(from) + song.ClipLength);
  for (int i = 0; i <= song.ClipTrackSpan; ++i) {
    int t = TrackOf(r, i);
    if (t < 1 || t >= kSongTracks) break;
    TMidiData& dest = song.ShadowTracks[t];
    TrackWalker w;
    uint32_t last = RebuildHead(dest, w, song.Tracks[t], from);
    uint32_t clipLast = from;
    CopySpan(song.Clipboard[i], w, from, end, clipLast);
    CopySpan(dest, w, 0, kAll, last, closeGap ? -int64_t(song.ClipLength) : 0);
    FinishRebuild(dest, song.Tracks[t]);
    song.SwapTrack(t);
  }
}

// Paste and insert: head, `repeat` copies of the clipboard track, then the
// old events from the range start on, dropped up to the end of the copies
// (paste) or moved after them (insert).
void Lay(Song& song, const TEditRange& r, bool insert) {
  const uint32_t length = song.ClipLength;
  if (length == 0) return;
  const int repeat = r.Repeat();
  const uint32_t from = r.EditFromTick;
  const uint64_t laid = uint64_t(length) * repeat;
  for (int i = 0; i <= song.ClipTrackSpan; ++i) {
    int t = TrackOf(r, i);
    if (t < 1 || t >= kSongTracks) break;
    TMidiData& dest = song.ShadowTracks[t];
    TrackWalker old;
    uint32_t last = RebuildHead(dest, old, song.Tracks[t], from);
    for (int k = 0; k < repeat; ++k) {
      uint64_t base = uint64_t(from) + uint64_t(k) * length;
      if (base >= kStreamDoneTick) break;
      TrackWalker clip(song.Clipboard[i], static_cast<uint32_t>(base));
      CopySpan(dest, clip, 0, Saturate(base + length), last);
    }
    if (insert) CopySpan(dest, old, 0, kAll, last, static_cast<int64_t>(laid));
    else CopySpan(dest, old, Saturate(from + laid), kAll, last);
    FinishRebuild(dest, song.Tracks[t]);
    song.SwapTrack(t);
  }
}

}  // namespace

void ClearClipboard(Song& song) {
  for (TMidiData& clip : song.Clipboard) clip.Free();
  song.ClipLength = 0;
}

void RangeCopy(Song& song, const TEditRange& r) {
  if (!StartCopy(song, r)) return;
  for (int i = 0; i <= song.ClipTrackSpan; ++i) {
    int t = TrackOf(r, i);
    if (t < 1 || t >= kSongTracks) break;
    TrackWalker w(song.Tracks[t]);
    uint32_t clipLast = r.EditFromTick;
    CopySpan(song.Clipboard[i], w, r.EditFromTick, r.EditToTick, clipLast);
  }
}

void RangeErase(Song& song, const TEditRange& r) { Remove(song, r, false); }
void RangeCut(Song& song, const TEditRange& r) { Remove(song, r, true); }
void RangePaste(Song& song, const TEditRange& r) { Lay(song, r, false); }
void RangeInsert(Song& song, const TEditRange& r) { Lay(song, r, true); }

void RangeMix(Song& song, const TEditRange& r) {
  if (song.ClipLength == 0) return;
  for (int i = 0; i <= song.ClipTrackSpan; ++i) {
    int t = TrackOf(r, i);
    if (t < 1 || t >= kSongTracks) break;
    if (!song.Clipboard[i].HasData()) continue;
    MixTrack(song.ShadowTracks[t], song.Tracks[t], song.Clipboard[i], r.EditFromTick, song.ClipLength, r.Repeat(),
             false);
    song.SwapTrack(t);
  }
}

void SetAtPosition(Song& song, uint32_t from, uint32_t to, const TMidiEvent& event) {
  if (to <= from) to = from + 1;
  TMidiData kept;
  SplitEvents(song.Tracks[0], nullptr, &kept, event.Status, event.Data1, event.Data1, from, to);
  if (kept.IsNil() && !song.Tracks[0].IsNil()) kept.Touch();
  // The event rides in the clipboard, as every one-event insertion does.
  ClearClipboard(song);
  TMidiData& clip = song.Clipboard[0];
  TMidiEvent e = event;
  e.Time = 0;
  uint32_t last = 0;
  EncodeEvent(clip, e, last, 0, song.MaxGate());
  song.ClipLength = 1;
  song.ClipTrackSpan = 0;
  MixTrack(song.ShadowTracks[0], kept, clip, from, 1, 1, true);
  song.SwapTrack(0);
  ClearClipboard(song);
}

}  // namespace melko
