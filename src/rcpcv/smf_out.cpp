#include "rcpcv/smf_out.h"

#include <algorithm>

namespace melko::rcpcv {

void AppendVarLen(std::vector<uint8_t>& out, uint32_t value) {
  value &= 0x0FFFFFFF;
  uint8_t buf[4];
  int n = 0;
  buf[n++] = value & 0x7F;
  while (value >>= 7) buf[n++] = static_cast<uint8_t>(0x80 | (value & 0x7F));
  while (n > 0) out.push_back(buf[--n]);
}

void SmfTrack::Add(uint32_t tick, uint8_t prio, const uint8_t* bytes, size_t count, const Prefix& prefix) {
  Event e;
  e.tick = tick;
  e.seq = static_cast<uint32_t>(events_.size());
  e.offset = static_cast<uint32_t>(pool_.size());
  e.prio = prio;
  pool_.insert(pool_.end(), prefix.bytes, prefix.bytes + prefix.count);
  pool_.insert(pool_.end(), bytes, bytes + count);
  e.count = static_cast<uint32_t>(pool_.size() - e.offset);
  events_.push_back(e);
}

void SmfTrack::NoteOff(uint32_t tick, uint8_t channel, uint8_t key) {
  const uint8_t m[3] = {static_cast<uint8_t>(0x80 | (channel & 0x0F)), key, 0x40};
  Add(tick, 0, m, 3, {});
}

void SmfTrack::NoteOn(uint32_t tick, uint8_t channel, uint8_t key, uint8_t velocity) {
  const uint8_t m[3] = {static_cast<uint8_t>(0x90 | (channel & 0x0F)), key, velocity};
  Add(tick, 1, m, 3, {});
}


void SmfTrack::Meta(uint32_t tick, uint8_t type, const uint8_t* data, size_t count) {
  std::vector<uint8_t> head = {0xFF, type};
  AppendVarLen(head, static_cast<uint32_t>(count));
  Prefix p;
  p.count = head.size();
  std::copy(head.begin(), head.end(), p.bytes);
  Add(tick, 1, data, count, p);
}

void SmfTrack::SysEx(uint32_t tick, const uint8_t* message, size_t count) {
  if (count < 2 || message[0] != 0xF0) return;
  std::vector<uint8_t> head = {0xF0};
  AppendVarLen(head, static_cast<uint32_t>(count - 1));
  Prefix p;
  p.count = head.size();
  std::copy(head.begin(), head.end(), p.bytes);
  Add(tick, 1, message + 1, count - 1, p);
}

void SmfTrack::WriteChunk(std::vector<uint8_t>& out) {
  std::sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
    if (a.tick != b.tick) return a.tick < b.tick;
    if (a.prio != b.prio) return a.prio < b.prio;
    return a.seq < b.seq;
  });
  size_t start = out.size();
  const uint8_t mtrk[8] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
  out.insert(out.end(), mtrk, mtrk + 8);
  uint32_t now = 0;
  for (const Event& e : events_) {
    AppendVarLen(out, e.tick - now);
    now = e.tick;
    out.insert(out.end(), pool_.begin() + e.offset, pool_.begin() + e.offset + e.count);
  }
  const uint8_t end[4] = {0x00, 0xFF, 0x2F, 0x00};
  out.insert(out.end(), end, end + 4);
  size_t length = out.size() - start - 8;
  out[start + 4] = static_cast<uint8_t>(length >> 24);
  out[start + 5] = static_cast<uint8_t>(length >> 16);
  out[start + 6] = static_cast<uint8_t>(length >> 8);
  out[start + 7] = static_cast<uint8_t>(length);
  events_.clear();
  events_.shrink_to_fit();
  pool_.clear();
  pool_.shrink_to_fit();
}

std::vector<uint8_t> WriteSmf(std::vector<SmfTrack>& tracks, uint16_t division) {
  size_t estimate = 14;
  for (const SmfTrack& t : tracks) estimate += 12 + t.PoolBytes() + 4 * t.Count();
  std::vector<uint8_t> out;
  out.reserve(estimate);
  const uint8_t mthd[14] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1,
                            static_cast<uint8_t>(tracks.size() >> 8), static_cast<uint8_t>(tracks.size()),
                            static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
  out.insert(out.end(), mthd, mthd + 14);
  for (SmfTrack& t : tracks) t.WriteChunk(out);
  return out;
}

}  // namespace melko::rcpcv
