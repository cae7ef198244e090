#include "song/tick_index.h"

#include <algorithm>
#include <climits>


namespace melko {

namespace {
inline int32_t AddTicks(int32_t tick, uint32_t delta) {
  return int32_t(std::min<int64_t>(int64_t(tick) + delta, INT32_MAX));
}
}  // namespace

// Steps over what DecodeBody reads, without decoding it.
void SkipStoredBody(const uint8_t*& p, const uint8_t* end) {
  auto skip = [&](uint64_t n) { p = uint64_t(end - p) < n ? end : p + n; };
  if (p >= end) return;
  const uint8_t status = *p;
  if (status < 0x80) {  // a stored note: key, velocity, note-off velocity, gate
    skip(3);
    ReadVarLen(p, end);
    return;
  }
  ++p;
  if (status < 0xC0 || (status >= 0xE0 && status < 0xF0)) {
    skip(2);
  } else if (status < 0xE0) {
    skip(1);
  } else if (status == 0xF0 || status == 0xF7) {
    skip(ReadVarLen(p, end));
  } else if (status == 0xFF) {
    skip(1);
    skip(ReadVarLen(p, end));
  }
}

void TickIndex::Clear() {
  marks_.clear();
  top_ = nullptr;
  length_ = 0;
  events_ = 0;
  built_ = false;
}

void TickIndex::Build(const TMidiData& data) {
  marks_.clear();
  top_ = data.Top();
  length_ = data.Length();
  events_ = 0;
  built_ = true;
  if (!top_) return;
  const uint8_t* p = top_;
  const uint8_t* end = top_ + length_;
  int32_t tick = 0;
  while (p < end) {
    if (events_ % kStride == 0) marks_.push_back(Mark{uint32_t(p - top_), tick});
    tick = AddTicks(tick, ReadVarLen(p, end));
    SkipStoredBody(p, end);
    ++events_;
  }
}

TickIndex::Mark TickIndex::Before(int32_t tick) const {
  // The first mark whose tick is >= tick; the one before it is the answer.
  auto it = std::lower_bound(marks_.begin(), marks_.end(), tick,
                             [](const Mark& m, int32_t t) { return m.Tick < t; });
  if (it == marks_.begin()) return Mark{};
  return *(it - 1);
}

TickIndex::Position TickIndex::SeekFrom(const uint8_t* top, const uint8_t* end, Mark from, int32_t tick) {
  Position pos;
  if (!top) return pos;
  const uint8_t* p = top + std::min<size_t>(from.Offset, size_t(end - top));
  int32_t t = from.Tick;
  while (p < end) {
    t = AddTicks(t, ReadVarLen(p, end));
    if (t >= tick) {
      pos.Body = uint32_t(p - top);
      pos.Tick = t;
      return pos;
    }
    SkipStoredBody(p, end);
  }
  pos.Body = uint32_t(end - top);
  pos.Tick = t;
  return pos;
}

TickIndex::Position TickIndex::Seek(const TMidiData& data, int32_t tick) const {
  if (!data.Top()) return Position{};
  return SeekFrom(data.Top(), data.End(), Before(tick), tick);
}

}  // namespace melko
