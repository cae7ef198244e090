// Walk-and-rebuild primitives over stored tracks: a look-ahead walker with
// absolute ticks, span copies, the clipboard merge used by mix and
// InsertEvent, and the one-pass event searches and splits. Every operation is
// one linear pass; the destination is always a different buffer from the
// sources. Pure functions over buffers: no song state, any thread that owns
// the buffers may call them.
#pragma once

#include <cstdint>
#include <functional>

#include "song/midi_data.h"
#include "song/midi_event.h"

namespace melko {

// Reads a stored track event by event with absolute ticks, one event ahead.
class TrackWalker {
 public:
  TrackWalker() = default;
  explicit TrackWalker(const TMidiData& data, uint32_t baseTick = 0) { Reset(data, baseTick); }
  void Reset(const TMidiData& data, uint32_t baseTick = 0);

  bool AtEnd() const { return !has_; }
  // Absolute tick of the next event, kStreamDoneTick when the walk is over.
  uint32_t NextTick() const { return has_ ? ev_.Time : kStreamDoneTick; }
  // The next event; its Time is the absolute tick.
  const TMidiEvent& Next() const { return ev_; }
  // The encoded body of the next event (everything after its delta).
  const uint8_t* BodyBegin() const { return body_; }
  uint32_t BodyLength() const { return static_cast<uint32_t>(p_ - body_); }
  void Advance() { Load(); }

 private:
  void Load();
  const uint8_t* p_ = nullptr;
  const uint8_t* end_ = nullptr;
  const uint8_t* body_ = nullptr;
  uint32_t tick_ = 0;
  bool has_ = false;
  TMidiEvent ev_;
};

// Appends the walker's next event to `dest` at absolute tick `tick` (copying
// its stored body as it is) and advances the walker.
void AppendNext(TMidiData& dest, TrackWalker& src, uint32_t tick, uint32_t& last);

// Copies events with tick < `to`, appending those with tick >= `from`, each
// moved by `shift` ticks (which may be negative). The walker stops on the
// first event at or after `to`. `last` is the destination's last tick.
void CopySpan(TMidiData& dest, TrackWalker& src, uint32_t from, uint32_t to, uint32_t& last,
              int64_t shift = 0);

// Empties `dest`, walks `src` from its start and copies every event before
// `tick`. Returns the destination's last tick; the walker rests on the first
// event at or after `tick`.
uint32_t CopyHead(TMidiData& dest, TrackWalker& src, const TMidiData& srcData, uint32_t tick);

// The mix merge: lays `repeat` copies of `clip` (times relative to the range
// start) at from + k × length, merged with the old events in tick order, after
// the head of the old track before `from`; the old events from
// from + repeat × length on follow unchanged. On equal ticks the old event goes
// first unless `clipFirst`. `dest` is emptied first.
void MixTrack(TMidiData& dest, const TMidiData& old, const TMidiData& clip, uint32_t from,
              uint32_t length, int repeat, bool clipFirst);

// First (or with wantLast the last) tick of an event with from <= tick < to,
// the given status and, unless data1 is 255, the given Data1; -1 when none.
int64_t FindEvent(const TMidiData& track, uint32_t from, uint32_t to, uint8_t status, uint8_t data1,
                  bool wantLast);

// One walk that appends the matching events (status equal, from <= tick < to,
// and Data1 in data1Low..data1High unless data1Low is 255) to `matching` and
// all others to `others`, each with its own last tick. Either may be null.
void SplitEvents(const TMidiData& source, TMidiData* matching, TMidiData* others, uint8_t status,
                 uint8_t data1Low, uint8_t data1High, uint32_t from, uint32_t to);

// Pattern walk: for each event with from <= tick < to the 32-bit patterns are
// tried in order (top byte 0: status; 1: status and Data1; 2: status, Data1
// and Data2). The callback gets the first match and answers 1 drop, 2 stop,
// 3 copy and match nothing further, anything else copy. Unless dropped, every
// event is encoded into `output` when one is given.
enum ScanAnswer { kScanCopy = 0, kScanDrop = 1, kScanStop = 2, kScanCopyOnly = 3 };
void ScanEvents(TMidiData* output, const TMidiData& track, uint32_t from, uint32_t to,
                const uint32_t* patterns, int patternCount,
                const std::function<int(TMidiEvent& ev)>& callback, uint32_t maxGate);

}  // namespace melko
