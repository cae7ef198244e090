#include "song/midi_event.h"

#include <algorithm>

namespace melko {

int MetaValueBytes(uint8_t type) {
  switch (type) {
    case 0x20:
    case 0x21:
      return 1;
    case 0x51:
      return 3;
    case 0x58:
      return 4;
    case 0x59:
      return 2;
    default:
      return 0;
  }
}

void DecodeEvent(const uint8_t*& p, const uint8_t* end, uint8_t runningStatus, TMidiEvent& ev) {
  uint32_t delta = ReadVarLen(p, end);
  DecodeBody(p, end, runningStatus, ev);
  ev.Time = delta;
}

void DecodeBody(const uint8_t*& p, const uint8_t* end, uint8_t runningStatus, TMidiEvent& ev) {
  ev.Status = ev.Data1 = ev.Data2 = ev.Data3 = 0;
  ev.Value = 0;
  ev.Len = 0;
  ev.Data = nullptr;
  ev.Time = 0;
  uint8_t status = runningStatus;
  if (p < end && *p >= 0x80) status = *p++;
  auto next = [&]() -> uint8_t { return p < end ? *p++ : 0; };
  if (status < 0xC0) {
    ev.Data1 = next();
    ev.Data2 = next();
    if (status == 0) {
      status = 0x90;
      ev.Data3 = next();
      ev.Value = ReadVarLen(p, end);
    }
  } else if (status < 0xE0) {
    ev.Data1 = next();
  } else if (status < 0xF0) {
    ev.Data1 = next();
    ev.Data2 = next();
  } else if (status == 0xF0 || status == 0xF7) {
    uint32_t len = ReadVarLen(p, end);
    uint32_t avail = static_cast<uint32_t>(end - p);
    ev.Len = std::min(len, avail);
    ev.Data = p;
    p += ev.Len;
  } else if (status == 0xFF) {
    ev.Data1 = next();
    uint32_t len = ReadVarLen(p, end);
    uint32_t avail = static_cast<uint32_t>(end - p);
    ev.Len = std::min(len, avail);
    ev.Data = p;
    int n = MetaValueBytes(ev.Data1);
    if (n > 0) {
      const uint8_t* q = p;
      ev.Value = ReadBigEndian(q, p + std::min<uint32_t>(ev.Len, static_cast<uint32_t>(n)), n);
    }
    p += ev.Len;
  }
  ev.Status = status;
}

void EncodeOtherEvent(TMidiData& out, const TMidiEvent& ev, uint32_t delta) {
  const uint8_t s = ev.Status;
  WriteVarLen(out, delta);
  if (s == 0xF0 || s == 0xF7) {
    out.PutByte(s);
    WriteVarLen(out, ev.Len);
    if (ev.Data) out.PutBytes(ev.Data, ev.Len);
  } else if (s == 0xFF) {
    out.PutByte(0xFF);
    out.PutByte(ev.Data1);
    WriteVarLen(out, ev.Len);
    // Tempo, meter, key and the prefixes carry their number in Value, which
    // a caller may have changed; any further payload bytes follow as stored.
    const uint32_t n = static_cast<uint32_t>(MetaValueBytes(ev.Data1));
    if (n > 0 && ev.Len >= n) {
      WriteBigEndian(out, ev.Value, static_cast<int>(n));
      if (ev.Data && ev.Len > n) out.PutBytes(ev.Data + n, ev.Len - n);
    } else if (ev.Data) {
      out.PutBytes(ev.Data, ev.Len);
    } else {
      WriteBigEndian(out, ev.Value, static_cast<int>(std::min<uint32_t>(ev.Len, 4)));
    }
  } else {
    out.PutByte(s);
  }
}

}  // namespace melko
