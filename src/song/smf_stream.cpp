#include "song/smf_stream.h"

#include <algorithm>
#include <cstring>

namespace melko {

int64_t FindMThd(const FileImage& image, size_t from, size_t tail) {
  if (image.size() < 4 + tail) return -1;
  size_t limit = image.size() - tail - 4;
  for (size_t i = from; i <= limit; ++i) {
    if (image[i] == 'M' && std::memcmp(&image[i], "MThd", 4) == 0) return static_cast<int64_t>(i);
  }
  return -1;
}

bool ParseMThd(const FileImage& image, size_t at, TSmfHeader& header) {
  if (at + 14 > image.size()) return false;
  const uint8_t* p = image.data() + at + 4;
  const uint8_t* end = image.data() + image.size();
  header.HeaderLength = ReadBigEndian(p, end, 4);
  header.Format = static_cast<uint16_t>(ReadBigEndian(p, end, 2));
  header.NumTracks = static_cast<uint16_t>(ReadBigEndian(p, end, 2));
  header.Division = static_cast<int16_t>(ReadBigEndian(p, end, 2));
  return true;
}

bool TSmfStream::ReadNextSlow() {
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

TMidiEvent EmptyMetaEvent(uint8_t type) {
  static const uint8_t none = 0;
  TMidiEvent ev;
  ev.Status = 0xFF;
  ev.Data1 = type;
  ev.Len = 0;
  ev.Data = &none;
  return ev;
}

TMidiEvent EndOfTrackEvent() { return EmptyMetaEvent(0x2F); }

void WriteSmfEvent(TMidiData& out, const TMidiEvent& ev, uint64_t tick, uint64_t& lastTick,
                   uint8_t& runStatus) {
  uint64_t delta = tick >= lastTick ? tick - lastTick : 0;
  WriteVarLen(out, static_cast<uint32_t>(std::min<uint64_t>(delta, kMaxFileTick)));
  if (tick > lastTick) lastTick = tick;
  uint8_t s = ev.Status;
  if (s >= 0x80 && s < 0xF0) {
    if (s != runStatus) out.PutByte(s);
    out.PutByte(ev.Data1);
    if (!(s >= 0xC0 && s < 0xE0)) out.PutByte(ev.Data2);
    runStatus = s;
  } else {
    out.PutByte(s);
    if (s == 0xFF) out.PutByte(ev.Data1);
    WriteVarLen(out, ev.Len);
    if (ev.Data) {
      out.PutBytes(ev.Data, ev.Len);
    } else {
      WriteBigEndian(out, ev.Value, static_cast<int>(std::min<uint32_t>(ev.Len, 4)));
    }
    // The next channel event always repeats its status byte.
    runStatus = s;
  }
}

}  // namespace melko
