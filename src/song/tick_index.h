// TickIndex: an index by tick over one stored track, so that a reader finds
// the first event at or after a tick without walking the track from its
// start. It keeps the byte offset and the running tick of every kStride-th
// event; a seek is a binary search and a walk of at most kStride events.
//
// An index belongs to one buffer: Build takes one linear pass over it, and
// Matches tells whether it still describes that buffer (same block, same
// length). A buffer rewritten in place keeps both, so whoever writes in place
// rebuilds (or Clears) the index. Ticks add up like the player's: a sum past
// the largest int32 tick stays there. Not thread-safe; the owner builds and
// reads it on one thread (the player builds it before taking its lock).
#pragma once

#include <cstdint>
#include <vector>

#include "song/midi_data.h"

namespace melko {

class TickIndex {
 public:
  static constexpr uint32_t kStride = 64;

  // Where an event starts: Offset is the byte of its delta, Tick the running
  // tick before that delta (the previous event's tick).
  struct Mark {
    uint32_t Offset = 0;
    int32_t Tick = 0;
  };
  // The first event at or after a tick: Body is the offset of its body (its
  // delta already read) and Tick its tick. Past the last event Body is the
  // track's length and Tick the last event's tick.
  struct Position {
    uint32_t Body = 0;
    int32_t Tick = 0;
  };

  void Build(const TMidiData& data);
  bool Matches(const TMidiData& data) const {
    return built_ && data.Top() == top_ && data.Length() == length_;
  }
  // Builds unless the index already describes `data`.
  void Update(const TMidiData& data) {
    if (!Matches(data)) Build(data);
  }
  void Clear();

  // The last mark whose tick is below `tick`, or the track's start: every
  // event before it is earlier than `tick`.
  Mark Before(int32_t tick) const;
  // The first event of `data` (which the index must match) at or after `tick`.
  Position Seek(const TMidiData& data, int32_t tick) const;
  // The same walk over raw bytes from a mark; for readers holding pointers.
  static Position SeekFrom(const uint8_t* top, const uint8_t* end, Mark from, int32_t tick);

  size_t MarkCount() const { return marks_.size(); }
  // Events in the track when it was built.
  uint32_t EventCount() const { return events_; }

 private:
  std::vector<Mark> marks_;  // ascending; marks_[0] is the start when built
  const uint8_t* top_ = nullptr;
  uint32_t length_ = 0;
  uint32_t events_ = 0;
  bool built_ = false;
};

// Skips one stored event body at `p` (bounded by `end`), exactly as far as
// DecodeBody would read it.
void SkipStoredBody(const uint8_t*& p, const uint8_t* end);

}  // namespace melko
