#include "song/smf_writer.h"

#include <algorithm>
#include <filesystem>
#include <queue>

#include "archive/archive_access.h"
#include "archive/archive_path.h"
#include "base/atomic_write.h"
#include "song/smf_convert.h"
#include "song/track_ops.h"

namespace melko {

const char* const kSignatureText = "Made with MELKO - a MIDI sequencer for musicians";
const char* const kSignatureMark = "MELKO - a MIDI sequencer";
const char* const kMsgWriteFailed = "ファイルの書込みに失敗しました。";

namespace {

struct PendingOff {
  uint32_t Tick;
  uint64_t Seq;  // keeps entries of one tick in the order they were queued
  uint8_t Status, Key, Velocity;
  bool operator>(const PendingOff& o) const { return Tick != o.Tick ? Tick > o.Tick : Seq > o.Seq; }
};

void PutMetaText(TMidiData& out, uint8_t type, const std::string& text, uint64_t& last, uint8_t& rs) {
  TMidiEvent ev;
  ev.Status = 0xFF;
  ev.Data1 = type;
  ev.Len = static_cast<uint32_t>(std::min<size_t>(text.size(), 255));
  static const uint8_t empty = 0;
  ev.Data = text.empty() ? &empty : reinterpret_cast<const uint8_t*>(text.data());
  WriteSmfEvent(out, ev, 0, last, rs);
}

void PutMetaByte(TMidiData& out, uint8_t type, uint8_t value, uint64_t& last, uint8_t& rs) {
  TMidiEvent ev;
  ev.Status = 0xFF;
  ev.Data1 = type;
  ev.Len = 1;
  ev.Data = &value;
  WriteSmfEvent(out, ev, 0, last, rs);
}

void WriteTrack(Song& song, int t, TMidiData& out) {
  uint64_t last = 0;
  uint8_t rs = 0xFF;
  const uint8_t ch = song.Ch[t] & 0x0F;
  if (t > 0) PutMetaByte(out, 0x20, ch, last, rs);
  if (!song.TrackNames[t].empty()) PutMetaText(out, 0x03, song.TrackNames[t], last, rs);
  if (!song.Instrument[t].empty() && song.Instrument[t] != "GM") PutMetaText(out, 0x04, song.Instrument[t], last, rs);
  if (t == 0) {
    if (!song.Copyright.empty()) PutMetaText(out, 0x02, song.Copyright, last, rs);
    PutMetaText(out, 0x01, kSignatureText, last, rs);
  }
  if (song.Options.SavePortEvents) PutMetaByte(out, 0x21, song.OutPort[t], last, rs);

  // Note-offs waiting for their tick; a heap, so any number may sound at once.
  std::priority_queue<PendingOff, std::vector<PendingOff>, std::greater<PendingOff>> offs;
  uint64_t seq = 0;
  auto flush = [&](uint64_t upTo) {
    while (!offs.empty() && offs.top().Tick <= upTo) {
      const PendingOff& o = offs.top();
      TMidiEvent off;
      off.Status = o.Status;
      off.Data1 = o.Key;
      off.Data2 = o.Velocity;
      WriteSmfEvent(out, off, o.Tick, last, rs);
      offs.pop();
    }
  };
  for (TrackWalker w(song.Tracks[t]); !w.AtEnd(); w.Advance()) {
    TMidiEvent ev = w.Next();
    uint32_t a = ev.Time;
    if (ev.Status >= 0x90 && ev.Status < 0xF0) ev.Status = static_cast<uint8_t>((ev.Status & 0xF0) | ch);
    if (ev.IsNote() || (ev.Status & 0xF0) == 0x90) {
      uint64_t offTick = static_cast<uint64_t>(a) + std::max<uint32_t>(ev.Value, 1);
      PendingOff o;
      o.Tick = static_cast<uint32_t>(std::min<uint64_t>(offTick, kMaxFileTick));
      o.Seq = seq++;
      o.Key = ev.Data1;
      if (song.NoteOffStyle) {
        o.Status = static_cast<uint8_t>(0x80 | ch);
        o.Velocity = ev.Data3;
      } else {
        o.Status = ev.Status;
        o.Velocity = 0;
      }
      offs.push(o);
    }
    flush(a);
    WriteSmfEvent(out, ev, a, last, rs);
  }
  flush(UINT64_MAX);
  uint32_t lastTick = static_cast<uint32_t>(last);
  uint32_t end = song.Maps.MeasureToTick(song.Maps.TickToMeasure(lastTick).Measure + 1);
  WriteSmfEvent(out, EndOfTrackEvent(), end, last, rs);
}

void AppendBE(FileImage& out, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

FileImage WriteSmfImage(Song& song) {
  song.LastTrack = static_cast<uint8_t>(song.LastUsedTrack(0));
  size_t estimate = 64;
  for (int t = 0; t <= song.LastTrack; ++t) estimate += song.Tracks[t].Length() * 3 / 2 + 64;
  FileImage image;
  image.reserve(estimate);
  image.insert(image.end(), {'M', 'T', 'h', 'd'});
  AppendBE(image, 6, 4);
  AppendBE(image, 1, 2);
  AppendBE(image, song.LastTrack + 1u, 2);
  AppendBE(image, song.TPQN, 2);
  TMidiData chunk;
  for (int t = 0; t <= song.LastTrack; ++t) {
    chunk.Clear();
    WriteTrack(song, t, chunk);
    image.insert(image.end(), {'M', 'T', 'r', 'k'});
    AppendBE(image, chunk.Length(), 4);
    image.insert(image.end(), chunk.Top(), chunk.Top() + chunk.Length());
  }
  return image;
}

bool SaveSongFile(Song& song, const std::string& fileName, bool format0, std::string* error,
                  FolderReadOnly readOnlyFolder) {
  FileImage image = WriteSmfImage(song);
  // A merge that fails leaves the format 1 image, which is saved instead.
  if (format0) ConvertSmfMerge(image);
  std::error_code ec;
  if (IsArchivePath(fileName) && !std::filesystem::exists(fileName, ec)) {
    // A member is stored back into its archive, which is rewritten beside
    // itself and renamed over: a failed store leaves it as it was.
    std::string archive, member, why;
    SplitArchivePath(fileName, archive, member);
    if (!StoreFromMemory(archive, member,
                         std::string_view(reinterpret_cast<const char*>(image.data()), image.size()), &why)) {
      if (error) *error = why;
      return false;
    }
    return true;
  }
  if (!WriteFileAtomically(fileName, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()),
                           readOnlyFolder)) {
    if (error) *error = "cannot write " + fileName;
    return false;
  }
  return true;
}

}  // namespace melko
