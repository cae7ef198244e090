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
  bool IsEndOfTrack() const { return Event.Status == 0xFF && Event.Data1 == 0x2F; }
};

inline bool TSmfStream::ReadNext() {
  if (Done) return false;
  const uint8_t* p = Pos;
  if (p >= Stop) {
    Done = true;
    return false;
  }
  TMidiEvent& ev = Event;
  ev = TMidiEvent{};
  uint32_t delta = ReadVarLen(p, Stop);
  if (p >= Stop) {  // a delta with no event after it
    Done = true;
    Damaged = true;
    return false;
  }
  uint8_t status;
  if (*p >= 0x80) {
    status = *p++;
  } else if (RunStatus >= 0x80) {
    status = RunStatus;
  } else {
    // Data bytes with no running status to give them meaning: skip them up
    // to the next status byte, which the delta read above then belongs to.
    while (p < Stop && *p < 0x80) ++p;
    if (p >= Stop) {
      Done = true;
      Damaged = true;
      return false;
    }
    status = *p++;
  }
  auto need = [&](size_t n) {
    if (static_cast<size_t>(Stop - p) < n) {
      Done = true;
      Damaged = true;
      return false;
    }
    return true;
  };
  if (status >= 0x80 && status < 0xF0) {
    int n = (status >= 0xC0 && status < 0xE0) ? 1 : 2;
    if (!need(n)) return false;
    ev.Data1 = p[0] & 0x7F;
    if (n == 2) ev.Data2 = p[1] & 0x7F;
    p += n;
    RunStatus = status;
  } else if (status == 0xF0 || status == 0xF7) {
    uint32_t len = ReadVarLen(p, Stop);
    if (!need(len)) return false;
    ev.Len = len;
    ev.Data = p;
    p += len;
  } else if (status == 0xFF) {
    if (!need(1)) return false;
    ev.Data1 = *p++;
    uint32_t len = ReadVarLen(p, Stop);
    if (!need(len)) return false;
    ev.Len = len;
    ev.Data = p;
    int n = MetaValueBytes(ev.Data1);
    if (n > 0) {
      const uint8_t* v = p;
      ev.Value = ReadBigEndian(v, p + std::min<uint32_t>(len, static_cast<uint32_t>(n)), n);
    }
    p += len;
  } else if (status != 0) {
    // System common and real-time bytes have no place in a file: skip them.
    status = 0;
  }
  ev.Status = status;
  Delta = delta;
  AbsTime = std::min<uint64_t>(AbsTime + delta, kMaxFileTick);
  Pos = p;
  return true;
}

// Writes one event in file form with the stream's own running status; used by
// the splitter and the format 0 merger. `lastTick` and `runStatus` belong to
// the output stream.
void WriteSmfEvent(TMidiData& out, const TMidiEvent& ev, uint64_t tick, uint64_t& lastTick,
                   uint8_t& runStatus);

}  // namespace melko
