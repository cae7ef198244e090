// Fuzz harness of the recording merge. The first 16 bytes set the take
// (options, pre-range, receive filter, start, stop and punch range) and the
// song (timebase, four tracks' arm flags, channels, a pad key and their old
// events); every 4 bytes after them are one record entry (tick step, status,
// data 1, data 2). Each armed track's recording is held to the plain forward
// search, and every track after the merge to the old events and that
// recording laid by paste or mix as the range operations define them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "../tests/edit/record_merge_reference.h"
#include "edit/record_merge.h"
#include "song/track_ops.h"

namespace {

using namespace melko;

void Check(bool ok) {
  if (!ok) std::abort();
}

struct E {
  uint32_t Tick;
  uint8_t Status, D1, D2, D3;
  uint32_t Value;
  bool operator==(const E&) const = default;
};

std::vector<E> Read(const TMidiData& d, uint32_t base = 0) {
  std::vector<E> out;
  for (TrackWalker w(d, base); !w.AtEnd(); w.Advance()) {
    const TMidiEvent& ev = w.Next();
    out.push_back({ev.Time, ev.Status, ev.Data1, ev.Data2, ev.Data3, ev.Value});
  }
  return out;
}

int16_t I16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 16) return 0;
  const uint8_t* h = data;
  Song song;
  static const uint16_t kTpqn[] = {24, 48, 96, 120, 480, 960};
  song.TPQN = kTpqn[h[3] % 6];
  song.RebuildMaps();
  song.NoteOffStyle = h[12] & 0x80;

  RecordTake take;
  take.Options = uint32_t(h[0] & 0x0F) << 8;
  take.PreRange = h[1] % 30;
  take.Receive = h[2] & 63;
  take.StartTick = I16(h + 4) * 8;
  take.StopTick = I16(h + 6) * 8;
  take.EditFromTick = uint32_t(uint16_t(I16(h + 8))) * 4;
  take.EditToTick = uint32_t(uint16_t(I16(h + 10))) * 4;
  for (int t = 1; t <= 4; ++t) {
    song.Rec[t] = (h[12] >> (t - 1)) & 1;
    song.Ch[t] = (h[13] >> (2 * (t - 1))) & 3;
    // Old events: a note every few beats and a controller between.
    TMidiData& d = song.Tracks[t];
    uint32_t last = 0;
    const uint32_t step = 8u + (h[15] ^ uint32_t(t * 37)) % 256 * 8;
    for (uint32_t tick = uint32_t(t); tick < 300000; tick += step) {
      TMidiEvent ev;
      ev.Time = tick;
      ev.Status = tick % 3 ? 0x90 : 0xB0;
      ev.Data1 = uint8_t(tick % 128);
      ev.Data2 = uint8_t(1 + tick % 127);
      ev.Data3 = 40;
      ev.Value = 1 + tick % 500;
      EncodeEvent(d, ev, last, 0, song.MaxGate());
    }
  }
  song.Pad[1] = h[14] < 128 ? uint8_t(60 + h[14] % 4) : kNoPad;

  std::vector<RecordEntry> entries;
  int32_t tick = take.StartTick - 300;
  for (size_t pos = 16; pos + 4 <= size; pos += 4) {
    const uint8_t* e = data + pos;
    tick += e[0] < 0xF8 ? e[0] : -int32_t(e[0] & 7) * 64;  // now and then out of order
    uint8_t d1 = e[2];
    if ((e[1] & 0xE0) == 0x80 && d1 < 0x80) d1 = uint8_t(60 + d1 % 4);  // few keys, many collisions
    entries.push_back({tick, uint32_t(e[1]) | uint32_t(d1) << 8 | uint32_t(e[3]) << 16});
  }
  take.Entries = entries.data();
  take.Count = entries.size();

  // The span as the merge takes it.
  int64_t from = take.Options & kRecPunch ? int64_t(take.EditFromTick) : take.StartTick;
  int64_t length = take.Options & kRecPunch ? int64_t(take.EditToTick) - take.EditFromTick
                                            : int64_t(take.StopTick) - take.StartTick;
  if (from < 0) {
    length += from;
    from = 0;
  }

  // What every track should become.
  std::vector<std::vector<E>> want(kSongTracks);
  std::vector<int> wantCh(kSongTracks);
  bool wantStyle = song.NoteOffStyle;
  for (int t = 0; t < kSongTracks; ++t) {
    want[t] = Read(song.Tracks[t]);
    wantCh[t] = song.Ch[t];
    if (!song.Rec[t] || t == 0 || length <= 0) continue;
    TMidiData ref;
    bool refOff = false, off = false;
    const int refCh = test::ReferenceTrackRecording(song, take, t, from, ref, refOff);
    const int ch = BuildTrackRecording(song, take, t, static_cast<int32_t>(from), off);
    Check(song.Clipboard[0].IsNil() == ref.IsNil());
    Check(Read(song.Clipboard[0]) == Read(ref));
    Check(ch == refCh && off == refOff);
    wantStyle |= refOff;
    if ((take.Options & kRecSingle) && (take.Options & kRecTrChFromMidi) && ch >= 0) wantCh[t] = ch;

    const std::vector<E> old = want[t];
    std::vector<E> clip = Read(ref, static_cast<uint32_t>(from));
    const uint64_t end = uint64_t(from) + uint64_t(length);
    std::vector<E> laid;
    for (const E& e : old)
      if (e.Tick < from) laid.push_back(e);
    if (take.Options & kRecOverDub) {
      size_t o = laid.size(), c = 0;
      while (o < old.size() || c < clip.size()) {
        if (c < clip.size() && (o == old.size() || clip[c].Tick < old[o].Tick)) laid.push_back(clip[c++]);
        else laid.push_back(old[o++]);
      }
    } else {
      for (const E& e : clip)
        if (e.Tick < end) laid.push_back(e);
      for (const E& e : old)
        if (e.Tick >= end) laid.push_back(e);
    }
    want[t] = laid;
  }
  song.Clipboard[0].Free();

  RecordMergeResult r = MergeRecording(song, take);
  for (int t = 0; t < kSongTracks; ++t) {
    Check(Read(song.Tracks[t]) == want[t]);
    Check(song.Ch[t] == wantCh[t]);
    for (const E& e : want[t])
      if (e.Status == 0x90) Check(e.Value >= 1 && e.Value <= song.MaxGate() && e.D2 >= 1 && e.D2 <= 127);
  }
  Check(song.NoteOffStyle == wantStyle);
  Check(song.ClipLength == 0 && song.Clipboard[0].IsNil());
  Check(r.ClipLength == (length > 0 ? length : 0));
  Check(r.TracksMerged == (length > 0 ? song.Rec[1] + song.Rec[2] + song.Rec[3] + song.Rec[4] : 0));
  return 0;
}
