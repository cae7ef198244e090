// TMidiEvent and the codec of the compact stored event stream.
//
// DecodeEvent reads one event from a cursor; EncodeEvent appends one. With
// runningStatus 0 both speak the compact stored form (notes carry their gate
// and have no status byte); the SMF writer passes its running status and gets
// Standard MIDI File bodies instead. Decoding is bounded by `end`: a stream cut
// short yields the bytes that exist and leaves the cursor at `end`.
#pragma once

#include <cstdint>

#include "song/midi_data.h"

namespace melko {

// Ticks marking "end of track" in range walks and an exhausted merge stream.
constexpr uint32_t kTrackEndTick = 0xFFFFFF;
constexpr uint32_t kStreamDoneTick = 0xFFFFFFF;

struct TMidiEvent {
  uint32_t Time = 0;   // from the decoder: the delta; to the encoder: the absolute tick
  uint8_t Status = 0;  // 90 note, A0..E0 (channel 0), F0, F7 or FF
  uint8_t Data1 = 0;   // note, controller, program, pressure, bend LSB, or meta type
  uint8_t Data2 = 0;   // velocity, controller value, bend MSB
  uint8_t Data3 = 0;   // note-off velocity (notes only)
  uint32_t Len = 0;    // payload length of F0, F7 and FF events (full length)
  uint32_t Value = 0;  // gate of a note; the big-endian payload of FF 20/21/51/58/59
  const uint8_t* Data = nullptr;  // payload of F0, F7 and FF events (points into the buffer)

  bool IsNote() const { return Status == 0x90; }
  bool IsMeta(uint8_t type) const { return Status == 0xFF && Data1 == type; }
};

// Payload bytes that FF 20/21/51/58/59 carry as a number in `Value`; 0 for others.
int MetaValueBytes(uint8_t type);

// Reads one event at `p`. Every reader of stored data passes runningStatus 0.
void DecodeEvent(const uint8_t*& p, const uint8_t* end, uint8_t runningStatus, TMidiEvent& ev);

// Reads one event body (everything after the delta); Time is left 0.
void DecodeBody(const uint8_t*& p, const uint8_t* end, uint8_t runningStatus, TMidiEvent& ev);

// Reads the next stored event of `data` at its cursor; false at the end.
inline bool NextEvent(TMidiData& data, TMidiEvent& ev) {
  if (data.IsNil() || data.Cur >= data.Length()) return false;
  const uint8_t* p = data.Top() + data.Cur;
  DecodeEvent(p, data.End(), 0, ev);
  data.Cur = static_cast<uint32_t>(p - data.Top());
  return true;
}

// Largest gate a stored note may carry: TPQN × 1000 - 1.
inline uint32_t MaxGate(uint32_t tpqn) { return tpqn * 1000u - 1u; }

// Appends `ev` at absolute tick ev.Time: the delta from lastTick (which then
// becomes ev.Time), then the body. A note's velocity is clamped to 1..127 and
// its gate to 1..maxGate (the clamped values are stored back into `ev`).
void EncodeEvent(TMidiData& out, TMidiEvent& ev, uint32_t& lastTick, uint8_t runningStatus,
                 uint32_t maxGate);

}  // namespace melko
