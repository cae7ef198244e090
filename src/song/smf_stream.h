// Checked reading of Standard MIDI File data: the header, the chunk walk, and
// TSmfStream, a cursor over one track chunk that decodes events with the
// file's running status. Nothing here reads past the bytes it was given; a
// damaged event ends the stream instead. Pure functions, any thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "song/midi_data.h"
#include "song/midi_event.h"

namespace melko {

using FileImage = std::vector<uint8_t>;

struct TSmfHeader {
  uint32_t HeaderLength = 0;
  uint16_t Format = 0;
  uint16_t NumTracks = 0;
  int16_t Division = 0;
};

// Offset of the first "MThd" at or after `from`, giving up `tail` bytes before
// the end; -1 when there is none.
int64_t FindMThd(const FileImage& image, size_t from, size_t tail);

// Reads the 14-byte header at `at` (which holds "MThd"). False when cut short.
bool ParseMThd(const FileImage& image, size_t at, TSmfHeader& header);

// File ticks beyond this saturate, so every stored delta fits in 28 bits and
// no event is mistaken for an exhausted stream.
constexpr uint64_t kMaxFileTick = 0x0FFFFFFE;

struct TSmfStream {
  const uint8_t* Pos = nullptr;
  const uint8_t* Start = nullptr;
  const uint8_t* Stop = nullptr;
  uint32_t Length = 0;
  uint64_t AbsTime = 0;     // file ticks of the current event
  uint32_t Delta = 0;       // delta of the current event
  TMidiEvent Event;         // Status 0 for a skipped system byte
  uint8_t RunStatus = 0;    // last channel status; 0 = none yet
  bool Done = false;
  bool Damaged = false;     // the chunk ended inside an event

  void Open(const uint8_t* start, const uint8_t* stop) {
    Start = Pos = start;
    Stop = stop;
    Length = static_cast<uint32_t>(stop - start);
    AbsTime = 0;
    RunStatus = 0;
    Done = start >= stop;
    Damaged = false;
  }
  // Decodes the next event into Event. False at the end of the data or when
  // the next event does not fit (then Damaged is set).
  bool ReadNext();
  bool ReadNextSlow();
  bool IsEndOfTrack() const { return Event.Status == 0xFF && Event.Data1 == 0x2F; }
};

inline bool TSmfStream::ReadNext() {
  const uint8_t* p = Pos;
  // Most events are a one-byte delta and a channel message: read those here
  // and leave everything else to the careful path.
  if (!Done && Stop - p >= 4 && p[0] < 0x80) {
    uint8_t s = p[1];
    const uint8_t* q = p + 2;
    if (s < 0x80) {
      s = RunStatus;
      q = p + 1;
    }
    if (s >= 0x80 && s < 0xF0) {
      const bool oneByte = (s & 0xE0) == 0xC0;
      Event.Time = 0;
      Event.Status = s;
      Event.Data1 = q[0] & 0x7F;
      Event.Data2 = oneByte ? 0 : (q[1] & 0x7F);
      Event.Data3 = 0;
      Event.Len = 0;
      Event.Value = 0;
      Event.Data = nullptr;
      RunStatus = s;
      Delta = p[0];
      AbsTime = std::min<uint64_t>(AbsTime + p[0], kMaxFileTick);
      Pos = q + (oneByte ? 1 : 2);
      return true;
    }
  }
  return ReadNextSlow();
}

// A meta event of `type` without data (FF type 00).
TMidiEvent EmptyMetaEvent(uint8_t type);
// The end-of-track meta event (FF 2F 00).
TMidiEvent EndOfTrackEvent();

// Writes one event in file form with the stream's own running status; used by
// the splitter and the format 0 merger. `lastTick` and `runStatus` belong to
// the output stream.
void WriteSmfEvent(TMidiData& out, const TMidiEvent& ev, uint64_t tick, uint64_t& lastTick,
                   uint8_t& runStatus);

}  // namespace melko
