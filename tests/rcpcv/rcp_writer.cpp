#include "rcp_writer.h"

#include <cstring>

#include "rcpcv/rcpcv.h"

namespace melko::test {

namespace {
void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void PutText(std::vector<uint8_t>& b, size_t at, size_t len, const std::string& text) {
  std::memset(&b[at], ' ', len);
  std::memcpy(&b[at], text.data(), std::min(len, text.size()));
}
}  // namespace

RcpWriter::RcpWriter(bool g36, int tracks) : g36_(g36) {
  bytes_.assign(g36 ? 0xC98 : 0x586, 0);
  const char* magic = g36 ? "COME ON MUSIC RECOMPOSER RCP3.0" : "RCM-PC98V2.0(C)COME ON MUSIC\r\n";
  std::memcpy(bytes_.data(), magic, std::strlen(magic));
  if (g36) Put16(bytes_, 0x208, tracks);
  else bytes_[0x1E6] = static_cast<uint8_t>(tracks);
  Title("");
  for (int i = 0; i < 12; ++i) Memo(i, "");
  Timebase(48);
  Tempo(120);
  Meter(4, 4);
  for (int n = 0; n < 8; ++n) UserExclusive(n, {});
}

void RcpWriter::Title(const std::string& text) { PutText(bytes_, 0x20, g36_ ? 0x80 : 0x40, text); }
void RcpWriter::Memo(int line, const std::string& text) {
  size_t len = g36_ ? 0x1E : 0x1C;
  PutText(bytes_, (g36_ ? 0xA0 : 0x60) + line * len, len, text);
}
void RcpWriter::Tempo(int bpm) {
  if (g36_) Put16(bytes_, 0x20C, bpm);
  else bytes_[0x1C1] = static_cast<uint8_t>(bpm);
}
void RcpWriter::Timebase(int ticks) {
  if (g36_) {
    Put16(bytes_, 0x20A, ticks);
  } else {
    bytes_[0x1C0] = ticks & 0xFF;
    bytes_[0x1E7] = (ticks >> 8) & 0xFF;
  }
}
void RcpWriter::Meter(int numerator, int denominator) {
  bytes_[g36_ ? 0x20E : 0x1C2] = static_cast<uint8_t>(numerator);
  bytes_[g36_ ? 0x20F : 0x1C3] = static_cast<uint8_t>(denominator);
}
void RcpWriter::Key(uint8_t key) { bytes_[g36_ ? 0x210 : 0x1C4] = key; }
void RcpWriter::PlayBias(int8_t bias) { bytes_[g36_ ? 0x211 : 0x1C5] = static_cast<uint8_t>(bias); }
void RcpWriter::UserExclusive(int n, const std::vector<uint8_t>& data) {
  size_t at = (g36_ ? 0xB18 : 0x406) + n * 0x30;
  std::memset(&bytes_[at], ' ', 0x18);
  std::memset(&bytes_[at + 0x18], 0xF7, 0x18);
  if (!data.empty()) std::memcpy(&bytes_[at + 0x18], data.data(), std::min<size_t>(data.size(), 0x18));
}

void RcpWriter::BeginTrack(const RcpTrackSpec& spec) {
  trackAt_ = bytes_.size();
  events_ = 0;
  size_t header = g36_ ? 0x2E : 0x2C;
  bytes_.resize(trackAt_ + header, 0);
  size_t f = trackAt_ + (g36_ ? 4 : 2);
  bytes_[f] = 1;
  bytes_[f + 1] = spec.Rhythm;
  bytes_[f + 2] = spec.Channel;
  bytes_[f + 3] = spec.Key;
  bytes_[f + 4] = static_cast<uint8_t>(spec.Shift);
  bytes_[f + 5] = spec.Mute;
  PutText(bytes_, f + 6, 36, spec.Name);
}

int RcpWriter::Event(uint8_t code, int step, int gate, int velocity) {
  if (g36_) {
    const uint8_t e[6] = {code, static_cast<uint8_t>(velocity), static_cast<uint8_t>(step & 0xFF),
                          static_cast<uint8_t>(step >> 8), static_cast<uint8_t>(gate & 0xFF),
                          static_cast<uint8_t>(gate >> 8)};
    bytes_.insert(bytes_.end(), e, e + 6);
  } else {
    const uint8_t e[4] = {code, static_cast<uint8_t>(step), static_cast<uint8_t>(gate),
                          static_cast<uint8_t>(velocity)};
    bytes_.insert(bytes_.end(), e, e + 4);
  }
  return events_++;
}

int RcpWriter::RawEvent(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return events_++;
}

void RcpWriter::RepeatOf(int index, int measureNumber) {
  if (g36_) {
    Event(0xFC, measureNumber, 0x30 + index, 0);
  } else {
    int offset = 0x2C + index * 4;
    Event(0xFC, measureNumber, offset & 0xFF, offset >> 8);
  }
}

void RcpWriter::EndTrack() {
  Event(0xFE, 0);
  size_t length = bytes_.size() - trackAt_;
  if (g36_) {
    Put16(bytes_, trackAt_, length & 0xFFFF);
    Put16(bytes_, trackAt_ + 2, length >> 16);
  } else {
    Put16(bytes_, trackAt_, length);
  }
}

static bool ReadVar(const std::vector<uint8_t>& b, size_t& at, size_t end, uint32_t& v) {
  v = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= end) return false;
    uint8_t c = b[at++];
    v = (v << 7) | (c & 0x7F);
    if (!(c & 0x80)) return true;
  }
  return false;
}

Smf ParseSmf(const std::vector<uint8_t>& b) {
  Smf smf;
  if (b.size() < 14 || std::memcmp(b.data(), "MThd", 4) != 0) return smf;
  smf.Format = (b[8] << 8) | b[9];
  int count = (b[10] << 8) | b[11];
  smf.Division = (b[12] << 8) | b[13];
  size_t at = 14;
  for (int t = 0; t < count; ++t) {
    if (at + 8 > b.size() || std::memcmp(&b[at], "MTrk", 4) != 0) return smf;
    size_t len = (size_t(b[at + 4]) << 24) | (b[at + 5] << 16) | (b[at + 6] << 8) | b[at + 7];
    size_t end = at + 8 + len;
    if (end > b.size()) return smf;
    at += 8;
    std::vector<SmfEvent> events;
    uint32_t tick = 0;
    bool ended = false;
    while (at < end) {
      uint32_t delta;
      if (!ReadVar(b, at, end, delta) || at >= end) return smf;
      tick += delta;
      uint8_t status = b[at++];
      SmfEvent e{tick, {status}};
      if (status == 0xFF) {
        if (at >= end) return smf;
        e.Bytes.push_back(b[at++]);
        uint32_t n;
        if (!ReadVar(b, at, end, n) || at + n > end) return smf;
        e.Bytes.insert(e.Bytes.end(), b.begin() + at, b.begin() + at + n);
        at += n;
        if (e.Bytes[1] == 0x2F) {
          ended = true;
          break;
        }
      } else if (status == 0xF0) {
        uint32_t n;
        if (!ReadVar(b, at, end, n) || at + n > end) return smf;
        e.Bytes.insert(e.Bytes.end(), b.begin() + at, b.begin() + at + n);
        at += n;
      } else if (status >= 0x80) {
        int n = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
        if (at + n > end) return smf;
        e.Bytes.insert(e.Bytes.end(), b.begin() + at, b.begin() + at + n);
        at += n;
      } else {
        return smf;  // the converter never uses running status
      }
      events.push_back(e);
    }
    if (!ended || at != end) return smf;
    smf.Tracks.push_back(std::move(events));
  }
  smf.Ok = at == b.size();
  return smf;
}

std::vector<uint8_t> Convert(const std::vector<uint8_t>& source) {
  void* h = rcpcvConvertFileFromBuffer(source.data(), static_cast<int>(source.size()), 0, 0, 0, 0, 0);
  if (!h) return {};
  std::vector<uint8_t> out;
  int n = rcpcvGetSMFLength(h);
  const uint8_t* p = static_cast<const uint8_t*>(rcpcvGetSMF(h));
  if (n > 0 && p) out.assign(p, p + n);
  rcpcvDeleteObject(h);
  return out;
}

}  // namespace melko::test
