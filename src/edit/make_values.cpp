#include "edit/make_values.h"

#include "base/int_helpers.h"
#include "edit/edit_tools.h"
#include "edit/range_ops.h"
#include "song/track_ops.h"

namespace melko {

namespace {

// No kind's value can equal it, so the first value is always written.
constexpr int kNoValue = 8193;


// Writes the curve's events into `clip`, timed from the range start: one
// at each interval step whose value differs from the last one written, and
// the end value on the range's last tick. Never two at one tick: when the
// last step falls on that tick, the end value takes the step's place.
void GenerateEvents(TMidiData& clip, const ValueCurve& curve, int kind, int control, uint32_t length,
                    uint32_t interval, uint32_t maxGate) {
  uint32_t last = 0;
  bool pending = false;
  uint32_t pendingTick = 0;
  int pendingValue = kNoValue, beforePending = kNoValue;
  auto flush = [&] {
    if (!pending) return;
    TMidiEvent ev = CurveEvent(kind, control, pendingTick, pendingValue);
    EncodeEvent(clip, ev, last, 0, maxGate);
    pending = false;
  };
  int previous = kNoValue;
  for (uint64_t x = 0; x < length; x += interval) {
    const int v = curve.At(static_cast<uint32_t>(x));
    if (v == previous) continue;
    flush();
    pending = true;
    pendingTick = static_cast<uint32_t>(x);
    beforePending = previous;
    pendingValue = previous = v;
  }
  const int v = curve.At(length);
  if (v != previous) {
    if (pending && pendingTick == length - 1) {
      // The end value replaces the step on the same tick; when it is the
      // value before that step, nothing needs writing there at all.
      if (v == beforePending) pending = false;
      else pendingValue = v;
    } else {
      flush();
      pending = true;
      pendingTick = length - 1;
      pendingValue = v;
    }
  }
  flush();
  clip.Touch();
}

// Removes the events of the kind in from..to from track t and merges the
// clipboard's events in, each ahead of the old events on its tick.
void ReplaceKind(Song& song, int t, uint8_t status, uint8_t low, uint8_t high, uint32_t from, uint32_t to) {
  TMidiData kept;
  SplitEvents(song.Tracks[t], nullptr, &kept, status, low, high, from, to);
  if (kept.IsNil() && !song.Tracks[t].IsNil()) kept.Touch();
  MixTrack(song.ShadowTracks[t], kept, song.Clipboard[0], from, to - from, 1, true);
  song.SwapTrack(t);
}

// Velocity or key pressure: the second data byte of each matching event in
// from..to (exclusive) becomes the curve's value at its offset.
void RewriteData2(Song& song, int t, uint8_t status, const ValueCurve& curve, uint32_t from, uint32_t to) {
  TMidiData& dest = song.ShadowTracks[t];
  const TMidiData& src = song.Tracks[t];
  StartRebuild(dest, src);
  const uint32_t maxGate = song.MaxGate();
  uint32_t last = 0;
  TrackWalker w(src);
  while (!w.AtEnd()) {
    const uint32_t tick = w.NextTick();
    if (tick < from || tick >= to || w.Next().Status != status) {
      AppendNext(dest, w, tick, last);
      continue;
    }
    TMidiEvent ev = w.Next();
    ev.Data2 = static_cast<uint8_t>(ClampInt(curve.At(tick - from), status == 0x90 ? 1 : 0, 127));
    EncodeEvent(dest, ev, last, 0, maxGate);
    w.Advance();
  }
  FinishRebuild(dest, src);
  song.SwapTrack(t);
}

}  // namespace

TMidiEvent CurveEvent(int kind, int control, uint32_t tick, int v) {
  TMidiEvent ev;
  ev.Time = tick;
  switch (kind) {
    case kCurveTempo:
      ev.Status = 0xFF;
      ev.Data1 = 0x51;
      ev.Len = 3;
      ev.Value = 60000000u / static_cast<uint32_t>(ClampInt(v, kMinBpm, kMaxBpm));
      break;
    case kCurveChPrs:
      ev.Status = 0xD0;
      ev.Data1 = static_cast<uint8_t>(ClampInt(v, 0, 127));
      break;
    case kCurveBend: {
      const int b = static_cast<int>(ClampInt(v, -8192, 8191)) + 8192;
      ev.Status = 0xE0;
      ev.Data1 = static_cast<uint8_t>(b & 0x7F);
      ev.Data2 = static_cast<uint8_t>(b >> 7);
      break;
    }
    default:
      ev.Status = 0xB0;
      ev.Data1 = static_cast<uint8_t>(control & 0x7F);
      ev.Data2 = static_cast<uint8_t>(ClampInt(v, 0, 127));
      break;
  }
  return ev;
}

void ResolveCurveControl(MakeValueSettings& s, const NameTable& dynCtrl) {
  if (s.KindIndex < kCurveControl) return;
  const int i = s.KindIndex - kDynamicsHeadCount;
  if (i >= 0 && i < dynCtrl.Count && i < kMaxNameTableEntries) s.Control = dynCtrl.Codes[size_t(i)] & 0x7F;
}

uint32_t CurveInterval(int interval, uint32_t length) {
  return static_cast<uint32_t>(ClampInt(interval, 1, length < 1 ? 1 : length));
}

bool ApplyMakeValues(Song& song, const TEditRange& r, const MakeValueSettings& settings) {
  const uint32_t from = r.EditFromTick, to = r.EditToTick;
  if (to <= from) return false;
  const uint32_t length = to - from;
  MakeValueSettings s = settings;
  CheckCurveSettings(s);
  const ValueCurve curve(s, length);
  const int kind = curve.Kind();
  const int first = static_cast<int>(ClampInt(r.EditFromTrack, kFirstEditTrack, kLastEditTrack));
  const int lastTrack = static_cast<int>(ClampInt(r.EditToTrack, first, kLastEditTrack));

  if (kind == kCurveVelocity || kind == kCurveKyPrs) {
    const uint8_t status = kind == kCurveVelocity ? 0x90 : 0xA0;
    for (int t = first; t <= lastTrack; ++t) RewriteData2(song, t, status, curve, from, to);
    return true;
  }

  ClearClipboard(song);
  GenerateEvents(song.Clipboard[0], curve, kind, s.Control, length, CurveInterval(s.Interval, length), song.MaxGate());
  song.ClipLength = length;
  song.ClipTrackSpan = 0;
  switch (kind) {
    case kCurveTempo:
      ReplaceKind(song, 0, 0xFF, 0x51, 0x51, from, to);
      song.Maps.BuildTempoMap(song.Tracks[0], song.TPQN);
      song.Changes.Notify(kChangeMaps);
      break;
    case kCurveChPrs:
    case kCurveBend:
      for (int t = first; t <= lastTrack; ++t) ReplaceKind(song, t, kind == kCurveChPrs ? 0xD0 : 0xE0, 255, 255, from, to);
      break;
    default: {
      const uint8_t cc = static_cast<uint8_t>(s.Control & 0x7F);
      for (int t = first; t <= lastTrack; ++t) ReplaceKind(song, t, 0xB0, cc, cc, from, to);
      break;
    }
  }
  ClearClipboard(song);
  return true;
}

}  // namespace melko
