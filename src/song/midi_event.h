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

// Largest gate a stored note may carry: TPQN × 1000 - 1.
inline uint32_t MaxGate(uint32_t tpqn) { return tpqn * 1000u - 1u; }

// Appends `ev` at absolute tick ev.Time: the delta from lastTick (which then
// becomes ev.Time), then the body. A note's velocity is clamped to 1..127 and
// its gate to 1..maxGate (the clamped values are stored back into `ev`).
inline void EncodeEvent(TMidiData& out, TMidiEvent& ev, uint32_t& lastTick, uint8_t runningStatus,
                        uint32_t maxGate);

// System-exclusive, meta and stray status events: the part of EncodeEvent
// that is not on the hot path.
void EncodeOtherEvent(TMidiData& out, const TMidiEvent& ev, uint32_t delta);

inline void EncodeEvent(TMidiData& out, TMidiEvent& ev, uint32_t& lastTick, uint8_t runningStatus,
                        uint32_t maxGate) {
  const uint32_t delta = ev.Time >= lastTick ? ev.Time - lastTick : 0;
  if (ev.Time > lastTick) lastTick = ev.Time;
  const uint8_t s = ev.Status;
  if (s < 0x80 || s >= 0xF0) {
    EncodeOtherEvent(out, ev, delta);
    return;
  }
  // Channel events need at most 4 (delta) + 3 + 4 (gate) bytes.
  uint8_t* p = PutVarLen(out.Claim(12), delta);
  if (s < 0xC0 || s >= 0xE0) {
    if (s == 0x90 && runningStatus == 0) {
      if (ev.Data2 < 1) ev.Data2 = 1;
      if (ev.Data2 > 127) ev.Data2 = 127;
      if (ev.Value < 1) ev.Value = 1;
      if (ev.Value > maxGate) ev.Value = maxGate < 1 ? 1 : maxGate;
      *p++ = ev.Data1 & 0x7F;
      *p++ = ev.Data2;
      *p++ = ev.Data3 & 0x7F;
      p = PutVarLen(p, ev.Value);
    } else {
      if (s != runningStatus) *p++ = s;
      *p++ = ev.Data1;
      *p++ = ev.Data2;
    }
  } else {
    if (s != runningStatus) *p++ = s;
    *p++ = ev.Data1;
  }
  out.Commit(p);
}

}  // namespace melko
