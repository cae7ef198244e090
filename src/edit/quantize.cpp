// Quantize: the track is read into an array of events with absolute ticks,
// the notes in range are moved (grid, shuffle) or get new gates (gate), the
// array is put back in tick order by a stable sort, and written out.
#include <algorithm>
#include <vector>

#include "base/int_helpers.h"
#include "edit/edit_tools.h"
#include "song/track_ops.h"

namespace melko {

namespace {

constexpr uint32_t kKeepBody = 0xFFFFFFFF;

struct Item {
  uint32_t Tick;
  uint32_t Body;    // offset of the stored body in the old track
  uint32_t Length;  // its length in bytes
  uint32_t Gate;    // new gate of a note, kKeepBody when the body is copied as it is
};

// Insertion sort from the end as the moves are local (a note moves at most
// one grid step); equal ticks keep their order. When the moves turn out not
// to be local the work is handed to a stable merge sort, which gives the
// same order.
void StableSortByTick(std::vector<Item>& items) {
  const size_t n = items.size();
  if (n < 2) return;
  uint64_t budget = 16 * static_cast<uint64_t>(n) + 1024;
  for (size_t i = n - 1; i-- > 0;) {
    if (items[i].Tick <= items[i + 1].Tick) continue;
    Item moving = items[i];
    size_t j = i;
    while (j + 1 < n && items[j + 1].Tick < moving.Tick) {
      items[j] = items[j + 1];
      ++j;
      if (--budget == 0) {
        items[j] = moving;
        std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.Tick < b.Tick; });
        return;
      }
    }
    items[j] = moving;
  }
}

}  // namespace

void ApplyQuantize(Song& song, int track, uint32_t from, uint32_t to, const QuantizeSettings& q) {
  const TMidiData& src = song.Tracks[track];
  const int64_t g = q.Grid == 0 ? 1 : q.Grid;
  const int64_t strength = q.Strength;
  const int64_t ratio = q.Ratio == 0 ? 1 : q.Ratio;  // a divisor below: never 0

  // The array is kept between calls (UI thread only) so that a long track is
  // not given fresh pages every time.
  static std::vector<Item> items;
  items.clear();
  items.reserve(src.Length() / 4 + 1);
  for (TrackWalker w(src); !w.AtEnd(); w.Advance()) {
    const TMidiEvent& ev = w.Next();
    Item it{ev.Time, static_cast<uint32_t>(w.BodyBegin() - src.Top()), w.BodyLength(), kKeepBody};
    if (ev.Status == 0x90 && ev.Time >= from && ev.Time < to) {
      int64_t t = ev.Time;
      switch (q.Type) {
        case kQuantizeGrid: {
          int64_t lo = t / g * g, hi = lo + g;
          if (t - lo >= hi - t) t = t + (hi - t) * strength / 100;
          else t = t - (t - lo) * strength / 100;
          break;
        }
        case kQuantizeShuffle:
          if (t % (2 * g) == g) t = t + q.Shift;
          break;
        case kQuantizeGate: {
          int64_t d = ev.Value;
          int64_t lo = d * 100 / ratio / g * g, hi = lo + g;
          int64_t a = ratio * hi / 100, b = ratio * lo / 100;
          if (a - d <= d - b) d = d + (a - d) * strength / 100;
          else d = d - (d - b) * strength / 100;
          it.Gate = static_cast<uint32_t>(ClampInt(d, 1, song.MaxGate()));
          break;
        }
      }
      it.Tick = static_cast<uint32_t>(ClampInt(t, 0, kStreamDoneTick - 1));
    }
    items.push_back(it);
  }
  StableSortByTick(items);

  TMidiData& dest = song.ShadowTracks[track];
  StartRebuild(dest, src);
  const uint32_t maxGate = song.MaxGate();
  uint32_t last = 0;
  for (const Item& it : items) {
    const uint8_t* body = src.Top() + it.Body;
    if (it.Gate == kKeepBody) {
      WriteVarLen(dest, it.Tick >= last ? it.Tick - last : 0);
      if (it.Tick > last) last = it.Tick;
      dest.PutBytes(body, it.Length);
    } else {
      TMidiEvent ev;
      const uint8_t* p = body;
      DecodeBody(p, body + it.Length, 0, ev);
      ev.Time = it.Tick;
      ev.Value = it.Gate;
      EncodeEvent(dest, ev, last, 0, maxGate);
    }
  }
  FinishRebuild(dest, src);
  song.SwapTrack(track);
}

}  // namespace melko
