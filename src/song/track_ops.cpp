#include "song/track_ops.h"

#include <algorithm>

namespace melko {

void TrackWalker::Reset(const TMidiData& data, uint32_t baseTick) {
  p_ = data.Top();
  end_ = data.IsNil() ? p_ : data.End();
  tick_ = baseTick;
  has_ = false;
  Load();
}

void TrackWalker::Load() {
  if (!p_ || p_ >= end_) {
    has_ = false;
    return;
  }
  uint32_t delta = ReadVarLen(p_, end_);
  body_ = p_;
  DecodeBody(p_, end_, 0, ev_);
  uint64_t t = static_cast<uint64_t>(tick_) + delta;
  tick_ = t > kStreamDoneTick - 1 ? kStreamDoneTick - 1 : static_cast<uint32_t>(t);
  ev_.Time = tick_;
  has_ = true;
}

void AppendNext(TMidiData& dest, TrackWalker& src, uint32_t tick, uint32_t& last) {
  WriteVarLen(dest, tick >= last ? tick - last : 0);
  if (tick > last) last = tick;
  dest.PutBytes(src.BodyBegin(), src.BodyLength());
  src.Advance();
}

void CopySpan(TMidiData& dest, TrackWalker& src, uint32_t from, uint32_t to, uint32_t& last,
              int64_t shift) {
  while (!src.AtEnd() && src.NextTick() < to) {
    uint32_t t = src.NextTick();
    if (t >= from) {
      int64_t moved = static_cast<int64_t>(t) + shift;
      moved = std::clamp<int64_t>(moved, 0, kStreamDoneTick - 1);
      AppendNext(dest, src, static_cast<uint32_t>(moved), last);
    } else {
      src.Advance();
    }
  }
}

uint32_t CopyHead(TMidiData& dest, TrackWalker& src, const TMidiData& srcData, uint32_t tick) {
  dest.Free();
  src.Reset(srcData);
  uint32_t last = 0;
  CopySpan(dest, src, 0, tick, last);
  return last;
}

void MixTrack(TMidiData& dest, const TMidiData& old, const TMidiData& clip, uint32_t from,
              uint32_t length, int repeat, bool clipFirst) {
  TrackWalker o;
  uint32_t last = CopyHead(dest, o, old, from);
  if (repeat < 1) repeat = 1;
  for (int k = 0; k < repeat; ++k) {
    uint64_t base = static_cast<uint64_t>(from) + static_cast<uint64_t>(k) * length;
    uint64_t passEnd = base + length;
    if (base >= kStreamDoneTick) break;
    TrackWalker c(clip, static_cast<uint32_t>(base));
    for (;;) {
      uint32_t ct = c.NextTick();
      uint32_t ot = o.NextTick();
      if (c.AtEnd() && (o.AtEnd() || ot >= passEnd)) break;
      bool takeClip = clipFirst ? ct <= ot : ct < ot;
      if (takeClip) AppendNext(dest, c, ct, last);
      else AppendNext(dest, o, ot, last);
    }
  }
  while (!o.AtEnd()) AppendNext(dest, o, o.NextTick(), last);
  if (dest.IsNil() && (!old.IsNil() || !clip.IsNil())) dest.Touch();
}

int64_t FindEvent(const TMidiData& track, uint32_t from, uint32_t to, uint8_t status, uint8_t data1,
                  bool wantLast) {
  int64_t found = -1;
  for (TrackWalker w(track); !w.AtEnd() && w.NextTick() < to; w.Advance()) {
    const TMidiEvent& ev = w.Next();
    if (ev.Time < from || ev.Status != status || (data1 != 255 && ev.Data1 != data1)) continue;
    found = ev.Time;
    if (!wantLast) break;
  }
  return found;
}

void SplitEvents(const TMidiData& source, TMidiData* matching, TMidiData* others, uint8_t status,
                 uint8_t data1Low, uint8_t data1High, uint32_t from, uint32_t to) {
  uint32_t lastMatch = 0, lastOther = 0;
  TrackWalker w(source);
  while (!w.AtEnd()) {
    const TMidiEvent& ev = w.Next();
    bool match = ev.Status == status && ev.Time >= from && ev.Time < to &&
                 (data1Low == 255 || (ev.Data1 >= data1Low && ev.Data1 <= data1High));
    TMidiData* dest = match ? matching : others;
    uint32_t& last = match ? lastMatch : lastOther;
    if (dest) AppendNext(*dest, w, ev.Time, last);
    else w.Advance();
  }
}

void ScanEvents(TMidiData* output, const TMidiData& track, uint32_t from, uint32_t to,
                const uint32_t* patterns, int patternCount,
                const std::function<int(TMidiEvent& ev)>& callback, uint32_t maxGate) {
  static const uint32_t kMasks[3] = {0xFF0000, 0xFFFF00, 0xFFFFFF};
  uint32_t last = 0;
  TrackWalker w(track);
  while (!w.AtEnd()) {
    TMidiEvent ev = w.Next();
    int answer = kScanCopy;
    if (ev.Time >= from && ev.Time < to) {
      uint32_t key = static_cast<uint32_t>(ev.Status) << 16 | static_cast<uint32_t>(ev.Data1) << 8 | ev.Data2;
      for (int i = 0; i < patternCount; ++i) {
        uint32_t sel = patterns[i] >> 24;
        uint32_t mask = kMasks[sel > 2 ? 2 : sel];
        if ((key & mask) == (patterns[i] & mask)) {
          answer = callback(ev);
          break;
        }
      }
    }
    if (answer == kScanStop) return;
    if (answer != kScanDrop && output) EncodeEvent(*output, ev, last, 0, maxGate);
    w.Advance();
  }
}

}  // namespace melko
