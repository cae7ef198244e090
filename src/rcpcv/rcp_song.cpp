#include "rcpcv/rcp_song.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "rcpcv/smf_out.h"

// Layout of the song forms, as public format notes describe them:
//
//   RCP/R36 (header 0x586 bytes): magic at 0, title 0x40 bytes at 0x20, memo
//   12 lines of 0x1C bytes at 0x60, timebase low byte at 0x1C0 and high byte
//   at 0x1E7, tempo (BPM) 0x1C1, meter 0x1C2/0x1C3, key 0x1C4, play bias
//   0x1C5, track count 0x1E6, eight user exclusives of 0x30 bytes at 0x406
//   (0x18 name, 0x18 data), tracks from 0x586. Track header 0x2C bytes:
//   length (16 bits, counting the header), number, rhythm mode, channel, key,
//   step shift, mute, 36 bytes of name. Events of 4 bytes: command, step,
//   gate (p1), velocity (p2).
//
//   G36 (header 0xC98 bytes): title 0x80 bytes at 0x20, memo 12 x 0x1E at
//   0xA0, track count (16 bits) 0x208, timebase 0x20A, tempo 0x20C, meter
//   0x20E/0x20F, key 0x210, play bias 0x211, user exclusives at 0xB18, tracks
//   from 0xC98. Track header 0x2E bytes: a 32-bit length, then the same fields.
//   Events of 6 bytes: command, velocity (p2), step (16 bits), gate (16 bits).
//
// Multi-byte fields are little-endian.

namespace melko::rcpcv {
namespace {

constexpr char kRcpMagic[] = "RCM-PC98V2.0(C)COME ON MUSIC";
constexpr char kG36Magic[] = "COME ON MUSIC RECOMPOSER RCP3.0";
constexpr uint32_t kMaxTick = 0x0FFFFFFF - 0x10000;  // leaves room for a gate past the last step
constexpr int kMaxLoopDepth = 16;
constexpr int kPorts = 2;

struct Layout {
  bool G36;
  size_t TitleAt, TitleLen, MemoAt, MemoLineLen;
  size_t ExclusiveAt;
  size_t TracksAt;
  size_t TrackHeader;
  size_t EventSize;
};

constexpr Layout kRcpLayout{false, 0x20, 0x40, 0x60, 0x1C, 0x406, 0x586, 0x2C, 4};
constexpr Layout kG36Layout{true, 0x20, 0x80, 0xA0, 0x1E, 0xB18, 0xC98, 0x2E, 6};

// Bounded reads: anything past the end reads as 0.
class Image {
 public:
  Image(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Size() const { return size_; }
  uint8_t U8(size_t at) const { return at < size_ ? data_[at] : 0; }
  uint32_t Le16(size_t at) const { return U8(at) | (U8(at + 1) << 8); }
  uint32_t Le32(size_t at) const { return Le16(at) | (Le16(at + 2) << 16); }
  // The bytes [at, at + count) clipped to the image.
  std::vector<uint8_t> Bytes(size_t at, size_t count) const {
    if (at >= size_) return {};
    count = std::min(count, size_ - at);
    return std::vector<uint8_t>(data_ + at, data_ + at + count);
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

struct Header {
  Layout L;
  uint16_t Timebase;
  uint32_t Bpm;
  uint8_t Numerator, Denominator, Key;
  int PlayBias;
  int TrackCount;
};

struct Budget {
  const Limits& Max;
  uint64_t Commands = 0;
  size_t Events = 0;
  size_t Bytes = 0;
  bool Exceeded = false;
  // Charges events and the bytes they will take in the file.
  bool Spend(size_t events, size_t bytes = 4) {
    Events += events;
    Bytes += bytes;
    if (Events > Max.MaxEvents || Bytes > Max.MaxBytes) Exceeded = true;
    return !Exceeded;
  }
  // Charges one command read; false past the limit.
  bool Read() {
    if (++Commands > Max.MaxCommands) Exceeded = true;
    return !Exceeded;
  }
};

// Texts are kept as the file's bytes (Shift-JIS); only trailing blanks and
// NULs, which pad the fixed fields, are dropped.
std::vector<uint8_t> Trimmed(std::vector<uint8_t> text) {
  auto nul = std::find(text.begin(), text.end(), 0);
  text.erase(nul, text.end());
  while (!text.empty() && (text.back() == ' ' || text.back() == 0)) text.pop_back();
  return text;
}

void KeySignature(uint8_t key, uint8_t out[2]) {
  int count = std::min(key & 0x07, 7);
  out[0] = static_cast<uint8_t>(static_cast<int8_t>((key & 0x08) ? -count : count));
  out[1] = (key & 0x10) ? 1 : 0;
}

uint32_t MicrosPerQuarter(uint32_t bpm, uint32_t ratio) {
  // ratio 64 is the header's tempo; 32 half, 128 double.
  uint64_t us = (60'000'000ull * 64) / (static_cast<uint64_t>(bpm) * std::max<uint32_t>(ratio, 1));
  return static_cast<uint32_t>(std::clamp<uint64_t>(us, 1, 0xFFFFFF));
}

void PutTempo(SmfTrack& conductor, uint32_t tick, uint32_t us) {
  const uint8_t d[3] = {static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)};
  conductor.Meta(tick, 0x51, d, 3);
}

// One decoded command. p1 is the gate of a note, p2 its velocity.
struct Command {
  uint8_t Code;
  uint32_t Step;
  uint32_t P1;
  uint32_t P2;
};

// One E7 of some track, at its tick with the track's shift (may be < 0).
struct TempoChange {
  int64_t Tick;
  uint32_t Ratio;  // of the header's tempo, 64 = as written
  uint32_t Glide;  // ticks, 0 = at once
};

// Writes the tempo changes of all tracks in time order (a stable sort keeps
// track order, then command order, at one tick). A glide is written as up to
// 16 steps from the tempo playing at its start, which may be the middle of
// an earlier glide; steps that a later change overtakes are left out.
bool WriteTempoChanges(std::vector<TempoChange>& changes, uint32_t bpm, Budget& budget, SmfTrack& conductor) {
  std::stable_sort(changes.begin(), changes.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.Tick < b.Tick; });
  int64_t from = 64, to = 64, start = 0, length = 0;  // the glide in progress
  for (size_t i = 0; i < changes.size(); ++i) {
    const TempoChange& c = changes[i];
    int64_t now = from;
    if (c.Tick >= start + length) {
      now = to;
    } else if (length > 0) {
      now = from + (to - from) * (c.Tick - start) / length;
    }
    const int64_t next = i + 1 < changes.size() ? changes[i + 1].Tick : INT64_MAX;
    const int steps = c.Glide == 0 ? 1 : static_cast<int>(std::min<uint32_t>(c.Glide, 16));
    for (int k = 1; k <= steps; ++k) {
      int64_t at = c.Tick + static_cast<int64_t>(c.Glide) * k / steps;
      if (at >= next) break;  // overtaken (also a change at the same tick)
      int64_t r = now + (static_cast<int64_t>(c.Ratio) - now) * k / steps;
      if (k > 1 && !budget.Spend(1)) return false;
      PutTempo(conductor, static_cast<uint32_t>(std::clamp<int64_t>(at, 0, UINT32_MAX)),
               MicrosPerQuarter(bpm, static_cast<uint32_t>(r)));
    }
    from = now;
    to = c.Ratio;
    start = c.Tick;
    length = c.Glide;
  }
  return true;
}

// Builds one exclusive message from a data stream that may hold the
// placeholders 80 (p1), 81 (p2), 82 (channel), 83 (start the Roland
// checksum) and 84 (put the checksum); the stream ends at F7.
class ExclusiveBuilder {
 public:
  ExclusiveBuilder() { msg_.push_back(0xF0); }
  void Stream(const std::vector<uint8_t>& bytes, uint8_t p1, uint8_t p2, uint8_t channel) {
    for (uint8_t b : bytes) {
      if (b == 0xF7) break;
      switch (b) {
        case 0x80: Put(p1); break;
        case 0x81: Put(p2); break;
        case 0x82: Put(channel & 0x0F); break;
        case 0x83: sum_ = 0; break;
        case 0x84: msg_.push_back(static_cast<uint8_t>((0x80 - (sum_ & 0x7F)) & 0x7F)); break;
        default:
          if (b < 0x80) Put(b);  // other bytes with bit 7 set have no meaning here
      }
    }
  }
  void Put(uint32_t value) {
    uint8_t v = static_cast<uint8_t>(value & 0x7F);
    msg_.push_back(v);
    sum_ += v;
  }
  void PutChecksum() { msg_.push_back(static_cast<uint8_t>((0x80 - (sum_ & 0x7F)) & 0x7F)); }
  void StartChecksum() { sum_ = 0; }
  std::vector<uint8_t>& Finish() {
    msg_.push_back(0xF7);
    return msg_;
  }

 private:
  std::vector<uint8_t> msg_;
  uint32_t sum_ = 0;
};

class TrackConverter {
 public:
  TrackConverter(const Image& image, const Header& header, Budget& budget, SmfTrack& out, SmfTrack& conductor,
                 std::vector<TempoChange>& tempos, size_t start, size_t end)
      : img_(image), h_(header), budget_(budget), out_(out), conductor_(conductor), tempos_(tempos), start_(start),
        end_(end) {
    notes_.reserve(64);
    active_.fill(-1);
  }

  // False when a limit was exceeded (the whole conversion then fails).
  bool Run() {
    const Layout& L = h_.L;
    size_t base = start_ + (L.G36 ? 4 : 2);
    uint8_t rhythm = img_.U8(base + 1);
    uint8_t channel = img_.U8(base + 2);
    uint8_t key = img_.U8(base + 3);
    shift_ = static_cast<int8_t>(img_.U8(base + 4));
    muted_ = img_.U8(base + 5) == 1;
    auto name = Trimmed(img_.Bytes(base + 6, 36));
    if (!name.empty() && budget_.Spend(1, name.size() + 8)) out_.Meta(0, 0x03, name.data(), name.size());

    // Bit 7 of the key marks a track that is never transposed (drums); the
    // rhythm mode does the same. Otherwise the low 7 bits are a signed
    // semitone count (0x74 = -12), added to the song's play bias.
    if ((key & 0x80) == 0 && rhythm != 0x80) transpose_ = ((key & 0x40) ? key - 0x80 : key) + h_.PlayBias;
    SetChannel(channel <= 0x1F ? channel : -1);

    size_t first = start_ + L.TrackHeader;
    size_t pos = first;
    uint64_t tick = 0;
    while (pos + L.EventSize <= end_) {
      if (!budget_.Read()) return false;
      Command c = Read(pos);
      size_t next = pos + L.EventSize;
      bool stop = false;
      if (c.Code < 0x80) {
        Note(tick, c);
      } else {
        switch (c.Code) {
          case 0x90: case 0x91: case 0x92: case 0x93: case 0x94: case 0x95: case 0x96: case 0x97: {
            ExclusiveBuilder x;
            x.Stream(img_.Bytes(L.ExclusiveAt + (c.Code - 0x90) * 0x30 + 0x18, 0x18), c.P1, c.P2, Ch());
            Exclusive(tick, x.Finish());
            break;
          }
          case 0x98: {
            // The 98 command's own p1/p2 are the values its placeholders
            // stand for, and the data follows in F7 continuation commands.
            // (One description reads the RCP form's p1/p2 as the first data
            // bytes; the same notes also call them "parameters to be used by
            // the data stream later", which is the reading taken here.)
            ExclusiveBuilder x;
            x.Stream(Continuation(next), c.P1 & 0xFF, c.P2 & 0xFF, Ch());
            Exclusive(tick, x.Finish());
            break;
          }
          case 0xC0: case 0xC1: case 0xC2: case 0xC3: case 0xC5: case 0xC6: case 0xC7: case 0xC8:
          case 0xC9: case 0xCA: case 0xCB: case 0xCC: case 0xCD: case 0xCE: case 0xCF:
            Yamaha(tick, c);
            break;
          case 0xD0: yaH_ = c.P1 & 0x7F; yaM_ = c.P2 & 0x7F; break;
          case 0xD1: yDev_ = c.P1 & 0x7F; yMod_ = c.P2 & 0x7F; break;
          case 0xD2: case 0xD3: {
            ExclusiveBuilder x;
            x.Put(0x43);
            if (c.Code == 0xD2) { x.Put(yDev_); x.Put(yMod_); } else { x.Put(0x10); x.Put(0x4C); }
            x.Put(yaH_); x.Put(yaM_); x.Put(c.P1); x.Put(c.P2);
            Exclusive(tick, x.Finish());
            break;
          }
          case 0xDC: {
            ExclusiveBuilder x;
            x.Put(0x41); x.Put(0x32); x.Put(Ch()); x.Put(c.P1); x.Put(c.P2);
            Exclusive(tick, x.Finish());
            break;
          }
          case 0xDD: raH_ = c.P1 & 0x7F; raM_ = c.P2 & 0x7F; break;
          case 0xDF: rDev_ = c.P1 & 0x7F; rMod_ = c.P2 & 0x7F; break;
          case 0xDE: {
            // Roland DT1: F0 41 dev model 12 addr(3) data sum F7, the sum
            // taken over address and data.
            ExclusiveBuilder x;
            x.Put(0x41); x.Put(rDev_); x.Put(rMod_); x.Put(0x12);
            x.StartChecksum();
            x.Put(raH_); x.Put(raM_); x.Put(c.P1); x.Put(c.P2);
            x.PutChecksum();
            Exclusive(tick, x.Finish());
            break;
          }
          case 0xE2:
            Send(tick, 0xB0, 0x00, c.P2);
            Send(tick, 0xC0, c.P1);
            break;
          case 0xE6:
            if (c.P1 <= 0x20) SetChannel(static_cast<int>(c.P1) - 1, tick);
            break;
          case 0xE7: Tempo(tick, c); break;
          case 0xEA: Send(tick, 0xD0, c.P1); break;
          case 0xEB: Send(tick, 0xB0, c.P1, c.P2); break;
          case 0xEC: Send(tick, 0xC0, c.P1); break;
          case 0xED: Send(tick, 0xA0, c.P1, c.P2); break;
          case 0xEE: Send(tick, 0xE0, c.P1, c.P2); break;
          case 0xF5: {
            uint8_t d[2];
            KeySignature(static_cast<uint8_t>(c.Step), d);
            if (budget_.Spend(1)) conductor_.Meta(Shifted(tick), 0x59, d, 2);
            break;
          }
          case 0xF6: {
            auto text = Trimmed(CommentBytes(pos, next));
            if (!text.empty() && budget_.Spend(1, text.size() + 8)) out_.Meta(Shifted(tick), 0x01, text.data(), text.size());
            break;
          }
          case 0xF8: LoopEnd(c, next); break;
          case 0xF9:
            if (loops_.size() < kMaxLoopDepth) loops_.push_back({next, 0, false});
            break;
          case 0xFC: Repeat(c, pos, first, next); break;
          case 0xFD:
            if (repeating_) {
              next = returnTo_;
              repeating_ = false;
            }
            break;
          case 0xFE:
            // A track end met inside a repeated measure belongs to a damaged
            // chain; go back to where the repeat was asked for.
            if (repeating_) {
              next = returnTo_;
              repeating_ = false;
            } else {
              stop = true;
            }
            break;
          default:  // E5 key scan, F7 met alone, and commands of no MIDI meaning
            break;
        }
      }
      if (stop) break;
      if (c.Code < 0xF0) {
        tick += c.Step;
        if (tick > kMaxTick) {
          budget_.Exceeded = true;
          return false;
        }
      }
      pos = next;
    }
    for (const Sounding& n : notes_) out_.NoteOff(Shifted(n.End), n.Channel, n.Key);
    return !budget_.Exceeded;
  }

 private:
  struct Sounding {
    uint64_t End;
    uint8_t Channel;
    uint8_t Key;
  };
  struct Loop {
    size_t Body;
    uint32_t Remaining;
    bool Counted;
  };

  Command Read(size_t at) const {
    if (h_.L.G36) return {img_.U8(at), img_.Le16(at + 2), img_.Le16(at + 4), img_.U8(at + 1)};
    return {img_.U8(at), img_.U8(at + 1), img_.U8(at + 2), img_.U8(at + 3)};
  }

  // The data bytes an F7 continuation carries: gate and velocity in RCP, all
  // five bytes after the command in G36.
  void AppendContinuation(size_t at, std::vector<uint8_t>& out) const {
    if (h_.L.G36) {
      for (size_t i = 1; i < 6; ++i) out.push_back(img_.U8(at + i));
    } else {
      out.push_back(img_.U8(at + 2));
      out.push_back(img_.U8(at + 3));
    }
  }

  // Collects the F7 commands following a multi-command event and moves next
  // past them. Each one counts as a command read: a loop over a long
  // exclusive must not escape the limits.
  std::vector<uint8_t> Continuation(size_t& next) {
    std::vector<uint8_t> bytes;
    while (next + h_.L.EventSize <= end_ && img_.U8(next) == 0xF7 && budget_.Read()) {
      AppendContinuation(next, bytes);
      next += h_.L.EventSize;
    }
    return bytes;
  }

  std::vector<uint8_t> CommentBytes(size_t at, size_t& next) {
    std::vector<uint8_t> text;
    AppendContinuation(at, text);
    auto rest = Continuation(next);
    text.insert(text.end(), rest.begin(), rest.end());
    return text;
  }

  uint32_t Shifted(uint64_t tick) const {
    int64_t t = static_cast<int64_t>(tick) + shift_;
    return static_cast<uint32_t>(std::max<int64_t>(t, 0));
  }

  uint8_t Ch() const { return channel_ < 0 ? 0 : static_cast<uint8_t>(channel_ & 0x0F); }

  void SetChannel(int channel, uint64_t tick = 0) {
    channel_ = channel;
    if (channel < 0) return;
    int port = channel >> 4;
    if (port != port_) {
      port_ = port;
      const uint8_t d = static_cast<uint8_t>(port);
      if (budget_.Spend(1)) out_.Meta(tick == 0 ? 0 : Shifted(tick), 0x21, &d, 1);
    }
  }

  // Messages on the null device (channel off) go nowhere.
  void Send(uint64_t tick, uint8_t status, uint32_t d1) {
    if (channel_ < 0 || !budget_.Spend(1)) return;
    const uint8_t m[2] = {static_cast<uint8_t>(status | Ch()), static_cast<uint8_t>(d1 & 0x7F)};
    out_.Channel(Shifted(tick), m, 2);
  }
  void Send(uint64_t tick, uint8_t status, uint32_t d1, uint32_t d2) {
    if (channel_ < 0 || !budget_.Spend(1)) return;
    const uint8_t m[3] = {static_cast<uint8_t>(status | Ch()), static_cast<uint8_t>(d1 & 0x7F),
                          static_cast<uint8_t>(d2 & 0x7F)};
    out_.Channel(Shifted(tick), m, 3);
  }
  void Exclusive(uint64_t tick, const std::vector<uint8_t>& msg) {
    if (channel_ < 0 || msg.size() < 3 || !budget_.Spend(1, msg.size() + 8)) return;
    out_.SysEx(Shifted(tick), msg.data(), msg.size());
  }

  // Notes: a gate or velocity of 0 is a rest. A note struck while the same
  // key on the same channel still sounds (the earlier gate reaches past this
  // step) is a tie: the sounding note is lengthened instead of struck again.
  // A muted track keeps everything but its notes, as muting in this program
  // silences notes only.
  void Note(uint64_t tick, const Command& c) {
    if (c.P1 == 0 || c.P2 == 0 || muted_ || channel_ < 0) return;
    int key = c.Code + transpose_;
    if (key < 0 || key > 127) return;
    uint64_t end = tick + c.P1;
    int slot = (channel_ & 0x1F) * 128 + key;
    int32_t idx = active_[slot];
    if (idx >= 0 && notes_[idx].End > tick) {
      notes_[idx].End = std::max(notes_[idx].End, end);
      return;
    }
    if (!budget_.Spend(2, 8)) return;
    out_.NoteOn(Shifted(tick), Ch(), static_cast<uint8_t>(key), static_cast<uint8_t>(std::min<uint32_t>(c.P2, 127)));
    active_[slot] = static_cast<int32_t>(notes_.size());
    notes_.push_back({end, Ch(), static_cast<uint8_t>(key)});
  }

  // Exclusives of Yamaha devices named by the command, with the channel in
  // the device number.
  void Yamaha(uint64_t tick, const Command& c) {
    static constexpr std::array<int16_t, 16> kSub = {0x08, 0x00, 0x04, 0x11, -1,   0x15, -2,   0x12,
                                                     0x13, 0x10, 0x7B, 0x7C, 0x1B, 0x18, 0x19, 0x1A};
    int sub = kSub[c.Code - 0xC0];
    ExclusiveBuilder x;
    x.Put(0x43);
    if (sub == -2) {  // FB-01 system: F0 43 75 ch 10 p1 p2 F7
      x.Put(0x75); x.Put(Ch()); x.Put(0x10);
    } else {
      x.Put(0x10 | Ch());
      if (c.Code == 0xCA || c.Code == 0xCB) x.Put(0x10);
      x.Put(static_cast<uint32_t>(sub));
    }
    x.Put(c.P1); x.Put(c.P2);
    Exclusive(tick, x.Finish());
  }

  // E7: p1 scales the header's tempo (64 = as written), p2 > 0 glides to it
  // over p2 ticks. Tempo is the song's, whichever track sets it: the changes
  // of all tracks are collected and written to the conductor track at the
  // end (WriteTempoChanges), so that a glide starts from the tempo playing
  // at its tick.
  void Tempo(uint64_t tick, const Command& c) {
    uint32_t ratio = std::min<uint32_t>(c.P1, 255);
    if (ratio == 0 || !budget_.Spend(1)) return;
    tempos_.push_back({static_cast<int64_t>(tick) + shift_, ratio, c.P2 & 0xFF});
  }

  // Loops nest. F8's step field is the pass count; 0 means "forever", which
  // a file cannot hold: such a loop is played once.
  void LoopEnd(const Command& c, size_t& next) {
    if (loops_.empty()) return;
    Loop& top = loops_.back();
    if (!top.Counted) {
      top.Counted = true;
      top.Remaining = c.Step == 0 ? 0 : c.Step - 1;
    }
    if (top.Remaining > 0) {
      --top.Remaining;
      next = top.Body;
    } else {
      loops_.pop_back();
    }
  }

  // FC plays an earlier measure again up to its measure end, then goes on
  // after the FC. The measure may itself be an FC (a chain): the chain is
  // followed and the return stays at the first FC. Each hop must go
  // backwards to a whole command of this track, so every chain ends.
  void Repeat(const Command& c, size_t pos, size_t first, size_t& next) {
    size_t target;
    if (h_.L.G36) {
      // The field counts commands from 0x30 (the track's first command).
      if (c.P1 < 0x30) return;
      target = start_ + h_.L.TrackHeader + (c.P1 - 0x30) * h_.L.EventSize;
    } else {
      target = start_ + (c.P1 & 0xFF) + ((c.P2 & 0xFF) << 8);
    }
    if (target < first || target >= pos || (target - first) % h_.L.EventSize != 0) return;
    if (!repeating_) {
      repeating_ = true;
      returnTo_ = next;
    }
    next = target;
  }

  const Image& img_;
  const Header& h_;
  Budget& budget_;
  SmfTrack& out_;
  SmfTrack& conductor_;
  std::vector<TempoChange>& tempos_;
  size_t start_, end_;
  int shift_ = 0;
  bool muted_ = false;
  int transpose_ = 0;
  int channel_ = -1;
  int port_ = 0;
  std::vector<Sounding> notes_;
  std::array<int32_t, 32 * 128> active_;
  std::vector<Loop> loops_;
  bool repeating_ = false;
  size_t returnTo_ = 0;
  uint32_t raH_ = 0, raM_ = 0, rDev_ = 0x10, rMod_ = 0x42;
  uint32_t yaH_ = 0, yaM_ = 0, yDev_ = 0x10, yMod_ = 0x4C;
};

bool ReadHeader(const Image& img, RcpForm form, Header& h) {
  h.L = form == RcpForm::G36 ? kG36Layout : kRcpLayout;
  if (img.Size() < h.L.TracksAt) return false;
  uint32_t timebase, count;
  if (form == RcpForm::G36) {
    count = img.Le16(0x208);
    timebase = img.Le16(0x20A);
    h.Bpm = img.Le16(0x20C);
    h.Numerator = img.U8(0x20E);
    h.Denominator = img.U8(0x20F);
    h.Key = img.U8(0x210);
    h.PlayBias = static_cast<int8_t>(img.U8(0x211));
  } else {
    count = img.U8(0x1E6);
    timebase = img.U8(0x1C0) | (img.U8(0x1E7) << 8);
    h.Bpm = img.U8(0x1C1);
    h.Numerator = img.U8(0x1C2);
    h.Denominator = img.U8(0x1C3);
    h.Key = img.U8(0x1C4);
    h.PlayBias = static_cast<int8_t>(img.U8(0x1C5));
  }
  // The count is 18 or 36; the oldest files leave it 0 and hold 36 tracks.
  h.TrackCount = count == 18 ? 18 : 36;
  if (timebase == 0 || timebase > 0x7FFF) timebase = 48;
  h.Timebase = static_cast<uint16_t>(timebase);
  if (h.Bpm == 0) h.Bpm = 120;
  return true;
}

void WriteConductorHead(const Image& img, const Header& h, SmfTrack& c) {
  auto title = Trimmed(img.Bytes(h.L.TitleAt, h.L.TitleLen));
  if (!title.empty()) c.Meta(0, 0x03, title.data(), title.size());
  for (size_t line = 0; line < 12; ++line) {
    auto memo = Trimmed(img.Bytes(h.L.MemoAt + line * h.L.MemoLineLen, h.L.MemoLineLen));
    if (!memo.empty()) c.Meta(0, 0x01, memo.data(), memo.size());
  }
  uint8_t num = h.Numerator, log2 = 2;
  bool power = false;
  for (uint8_t i = 0; i <= 6; ++i) {
    if (h.Denominator == (1u << i)) {
      log2 = i;
      power = true;
    }
  }
  if (!power || num == 0) {
    num = 4;
    log2 = 2;
  }
  const uint8_t meter[4] = {num, log2, 24, 8};
  c.Meta(0, 0x58, meter, 4);
  uint8_t key[2];
  KeySignature(h.Key, key);
  c.Meta(0, 0x59, key, 2);
  PutTempo(c, 0, MicrosPerQuarter(h.Bpm, 64));
}

}  // namespace

RcpForm DetectForm(const uint8_t* data, size_t size) {
  if (size >= sizeof kRcpMagic - 1 && std::memcmp(data, kRcpMagic, sizeof kRcpMagic - 1) == 0) return RcpForm::Rcp;
  if (size >= sizeof kG36Magic - 1 && std::memcmp(data, kG36Magic, sizeof kG36Magic - 1) == 0) return RcpForm::G36;
  return RcpForm::None;
}

bool ConvertRcp(const uint8_t* data, size_t size, std::vector<uint8_t>& smf, const Limits& limits) {
  smf.clear();
  if (!data) return false;
  RcpForm form = DetectForm(data, size);
  if (form == RcpForm::None) return false;
  Image img(data, size);
  Header h;
  if (!ReadHeader(img, form, h)) return false;

  std::vector<SmfTrack> tracks(1);
  tracks.reserve(h.TrackCount + 1);
  WriteConductorHead(img, h, tracks[0]);
  Budget budget{limits};
  std::vector<TempoChange> tempos;
  size_t at = h.L.TracksAt;
  for (int t = 0; t < h.TrackCount; ++t) {
    if (at + h.L.TrackHeader > size) break;  // a cut file keeps the tracks read so far
    uint64_t length = h.L.G36 ? img.Le32(at) : img.Le16(at);
    if (length < h.L.TrackHeader) break;
    size_t end = static_cast<size_t>(std::min<uint64_t>(at + length, size));
    tracks.emplace_back();
    TrackConverter conv(img, h, budget, tracks.back(), tracks[0], tempos, at, end);
    if (!conv.Run()) return false;
    at = end;
  }
  if (!WriteTempoChanges(tempos, h.Bpm, budget, tracks[0])) return false;
  size_t bytes = 14;
  for (const SmfTrack& t : tracks) bytes += 12 + t.PoolBytes() + 4 * t.Count();
  if (bytes > limits.MaxBytes) return false;
  smf = WriteSmf(tracks, h.Timebase);
  if (smf.size() > limits.MaxBytes) {
    smf.clear();
    return false;
  }
  return true;
}

}  // namespace melko::rcpcv
