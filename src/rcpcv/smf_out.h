// The Standard MIDI File the converter builds: tracks of timed events, sorted
// and written as format 1. Events are added in any tick order; within a tick
// note-offs go first, then everything else in the order it was added.
// Owned by one conversion; not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace melko::rcpcv {

class SmfTrack {
 public:
  // A channel message (status byte and its data bytes).
  void Channel(uint32_t tick, const uint8_t* bytes, size_t count) { Add(tick, 1, bytes, count, {}); }
  void NoteOff(uint32_t tick, uint8_t channel, uint8_t key);
  void NoteOn(uint32_t tick, uint8_t channel, uint8_t key, uint8_t velocity);
  // A meta event: type and its data.
  void Meta(uint32_t tick, uint8_t type, const uint8_t* data, size_t count);
  // A complete exclusive message starting with F0 and ending with F7.
  void SysEx(uint32_t tick, const uint8_t* message, size_t count);

  size_t Count() const { return events_.size(); }
  size_t PoolBytes() const { return pool_.size(); }
  // Appends the MTrk chunk (events sorted, end of track after the last one).
  void WriteChunk(std::vector<uint8_t>& out);

 private:
  struct Prefix {
    uint8_t bytes[8];
    size_t count = 0;
  };
  struct Event {
    uint32_t tick;
    uint32_t seq;
    uint32_t offset;
    uint32_t count;
    uint8_t prio;
  };
  void Add(uint32_t tick, uint8_t prio, const uint8_t* bytes, size_t count, const Prefix& prefix);

  std::vector<Event> events_;
  std::vector<uint8_t> pool_;
};

void AppendVarLen(std::vector<uint8_t>& out, uint32_t value);

// The whole file: header with division, then every track in order.
std::vector<uint8_t> WriteSmf(std::vector<SmfTrack>& tracks, uint16_t division);

}  // namespace melko::rcpcv
