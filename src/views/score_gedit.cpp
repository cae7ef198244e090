#include "views/score_gedit.h"

#include <algorithm>

#include "base/int_helpers.h"
#include "edit/edit_range.h"
#include "edit/edit_tools.h"
#include "edit/make_values.h"
#include "edit/range_ops.h"
#include "song/track_ops.h"

namespace melko {

const char* const kHintGEdit = "<Score>GEdit";

int GEditValueAtY(int y) { return static_cast<int>(ClampInt(kGEditBandHeight - y, 0, kGEditBandHeight)); }

int GEditDataValue(int kind, int v) {
  switch (kind) {
    case kCurveTempo: return static_cast<int>(ClampInt(2 * int64_t(v) + 4, kMinBpm, kMaxBpm));
    case kCurveVelocity: return static_cast<int>(ClampInt(v, 1, 127));
    case kCurveBend: return static_cast<int>(ClampInt((int64_t(v) - 64) * 128, -8192, 8191));
    default: return static_cast<int>(ClampInt(v, 0, 127));
  }
}

int GEditValueAt(const std::vector<GEditPoint>& points, uint32_t t) {
  if (points.empty()) return 0;
  // The first point after t; the one before it is the last at or before t.
  auto after = std::upper_bound(points.begin(), points.end(), t,
                                [](uint32_t tick, const GEditPoint& p) { return tick < p.Tick; });
  if (after == points.begin()) return points.front().Value;
  const GEditPoint& a = *(after - 1);
  if (a.Tick == t || after == points.end()) return a.Value;
  const GEditPoint& b = *after;
  const double f = double(int64_t(b.Value) - a.Value) * double(t - a.Tick) / double(b.Tick - a.Tick);
  return a.Value + static_cast<int>(RoundEven(f));
}

void GEditPen::Press(int line, uint32_t tick, int value) {
  drawing_ = true;
  line_ = line < kGEditFreeHand || line > kGEditCurve ? kGEditFreeHand : line;
  points_.assign(1, GEditPoint{tick, value});
  touched_ = 0;
}

void GEditPen::Move(uint32_t tick, int value) {
  if (!drawing_) return;
  if (line_ != kGEditFreeHand) {
    points_.resize(1);
    points_.push_back(GEditPoint{tick, value});
    return;
  }
  if (tick == points_[touched_].Tick) {
    points_[touched_].Value = value;
  } else if (tick < points_.front().Tick) {
    points_.insert(points_.begin(), GEditPoint{tick, value});
    touched_ = 0;
  } else if (tick > points_.back().Tick) {
    points_.push_back(GEditPoint{tick, value});
    touched_ = points_.size() - 1;
  }
  // A move back inside the drawn span adds nothing.
}

std::vector<GEditPoint> GEditParabola(GEditPoint a, GEditPoint b) {
  if (a.Tick == b.Tick) return {b};  // a one-tick stroke: the value it ended on
  const double span = double(b.Tick) - double(a.Tick);
  const double k = (double(b.Value) - a.Value) / (span * span);
  const uint32_t lo = std::min(a.Tick, b.Tick), hi = std::max(a.Tick, b.Tick);
  std::vector<GEditPoint> out;
  int previous = 0;
  for (uint64_t t = lo; t <= hi; ++t) {
    const double x = double(t) - double(a.Tick);
    const int v = a.Value + static_cast<int>(RoundEven(k * x * x));
    if (out.empty() || v != previous) out.push_back(GEditPoint{uint32_t(t), v});
    previous = v;
  }
  const GEditPoint end = a.Tick < b.Tick ? b : a;  // the exact value at the span's end
  if (out.back().Tick == end.Tick) out.back().Value = end.Value;
  else out.push_back(end);
  return out;
}

std::vector<GEditPoint> GEditPen::Release() {
  if (!drawing_) return {};
  drawing_ = false;
  std::vector<GEditPoint> out = std::move(points_);
  points_.clear();
  if (out.size() >= 2 && line_ == kGEditStraight && out[1].Tick < out[0].Tick) std::swap(out[0], out[1]);
  if (out.size() >= 2 && line_ == kGEditCurve) out = GEditParabola(out[0], out[1]);
  // A straight stroke released where it started is one point, not two on one tick.
  if (out.size() == 2 && out[0].Tick == out[1].Tick) out.erase(out.begin());
  return out;
}

namespace {


// Velocity or key pressure: each event of `status` in first..last gets the
// path's value at its tick as its second data byte.
void RewriteData2(Song& song, int t, int kind, uint8_t status, const std::vector<GEditPoint>& points) {
  const uint32_t first = points.front().Tick, last = points.back().Tick;
  TMidiData& dest = song.ShadowTracks[size_t(t)];
  const TMidiData& src = song.Tracks[size_t(t)];
  StartRebuild(dest, src);
  const uint32_t maxGate = song.MaxGate();
  uint32_t lastTick = 0;
  TrackWalker w(src);
  while (!w.AtEnd()) {
    const uint32_t tick = w.NextTick();
    if (tick < first || tick > last || w.Next().Status != status) {
      AppendNext(dest, w, tick, lastTick);
      continue;
    }
    TMidiEvent ev = w.Next();
    ev.Data2 = static_cast<uint8_t>(GEditDataValue(kind, GEditValueAt(points, tick)));
    EncodeEvent(dest, ev, lastTick, 0, maxGate);
    w.Advance();
  }
  FinishRebuild(dest, src);
  song.SwapTrack(t);
}

// The other kinds: events at the interval from the first tick, and once
// more at the last, each only when its value differs from the one before,
// replace the old events of the kind in first..last.
void ReplaceStream(Song& song, int t, int kind, int control, uint32_t interval, const std::vector<GEditPoint>& points) {
  const uint32_t first = points.front().Tick, last = points.back().Tick;
  ClearClipboard(song);
  TMidiData& clip = song.Clipboard[0];
  clip.Touch();
  const uint32_t maxGate = song.MaxGate();
  uint32_t lastTick = 0;
  bool any = false;
  int previous = 0;
  auto put = [&](uint32_t tick) {
    const int v = GEditDataValue(kind, GEditValueAt(points, tick));
    if (any && v == previous) return;
    TMidiEvent ev = CurveEvent(kind, control, tick - first, v);
    EncodeEvent(clip, ev, lastTick, 0, maxGate);
    any = true;
    previous = v;
  };
  for (uint64_t tick = first; tick < last; tick += interval) put(uint32_t(tick));
  put(last);
  song.ClipLength = last - first + 1;
  song.ClipTrackSpan = 0;

  uint8_t status = 0xB0, low = 255, high = 255;
  if (kind == kCurveTempo) status = 0xFF, low = high = 0x51;
  else if (kind == kCurveChPrs) status = 0xD0;
  else if (kind == kCurveBend) status = 0xE0;
  else low = high = static_cast<uint8_t>(control & 0x7F);
  TMidiData kept;
  SplitEvents(song.Tracks[size_t(t)], nullptr, &kept, status, low, high, first, last + 1);
  if (kept.IsNil() && !song.Tracks[size_t(t)].IsNil()) kept.Touch();
  MixTrack(song.ShadowTracks[size_t(t)], kept, clip, first, last - first + 1, 1, true);
  song.SwapTrack(t);
  ClearClipboard(song);
}

}  // namespace

bool ApplyGEdit(Song& song, EditDispatcher& dispatcher, int track, int kind, int control, int interval,
                const std::vector<GEditPoint>& points) {
  if (points.empty() || track < kFirstEditTrack || track > kLastEditTrack) return false;
  kind = CurveKindOf(kind);
  const int target = kind == kCurveTempo ? 0 : track;
  const uint32_t step = static_cast<uint32_t>(ClampInt(interval, kGEditMinInterval, kGEditMaxInterval));
  SongNotifier::Batch batch(song.Changes);
  dispatcher.BeginEdit();
  if (kind == kCurveVelocity || kind == kCurveKyPrs) {
    RewriteData2(song, target, kind, kind == kCurveVelocity ? 0x90 : 0xA0, points);
  } else {
    ReplaceStream(song, target, kind, control, step, points);
    if (kind == kCurveTempo) {
      song.Maps.BuildTempoMap(song.Tracks[0], song.TPQN);
      song.Changes.Notify(kChangeMaps);
    }
  }
  dispatcher.FinishEdit(kHintGEdit);
  return true;
}

}  // namespace melko
