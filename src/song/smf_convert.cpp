#include "song/smf_convert.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace melko {

namespace {

struct OutStream {
  TMidiData Data;
  uint64_t LastTick = 0;
  uint8_t RunStatus = 0xFF;
  bool Used = false;
  void Reset() {
    Data.Clear();
    LastTick = 0;
    RunStatus = 0xFF;
    Used = false;
  }
  void Put(const TMidiEvent& ev, uint64_t tick) {
    WriteSmfEvent(Data, ev, tick, LastTick, RunStatus);
    Used = true;
  }
};

void AppendBytes(FileImage& out, const void* p, size_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  out.insert(out.end(), b, b + n);
}

void AppendBE(FileImage& out, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendChunk(FileImage& out, const uint8_t* data, size_t n) {
  AppendBytes(out, "MTrk", 4);
  AppendBE(out, static_cast<uint32_t>(n), 4);
  AppendBytes(out, data, n);
}

void PutEndOfTrack(OutStream& s, uint64_t tick) { s.Put(EndOfTrackEvent(), tick); }

// Where the chunk at `pos` holds its data; false when there is no "MTrk" there.
bool LocateChunk(const FileImage& image, size_t pos, const uint8_t*& start, const uint8_t*& stop,
                 size_t& next) {
  if (pos + 8 > image.size() || std::memcmp(&image[pos], "MTrk", 4) != 0) return false;
  const uint8_t* p = image.data() + pos + 4;
  uint32_t length = ReadBigEndian(p, image.data() + image.size(), 4);
  size_t avail = image.size() - (pos + 8);
  size_t n = std::min<size_t>(length, avail);
  start = image.data() + pos + 8;
  stop = start + n;
  next = pos + 8 + n;
  return true;
}

// Four printable ASCII characters, as every chunk type is.
bool IsChunkType(const uint8_t* p) {
  return std::all_of(p, p + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

// The channel streams (bit c for channel c) that splitting the chunk would
// fill, read with the same rules as TSmfStream but without decoding events:
// this runs over every chunk of every file that is opened.
uint32_t ChannelStreamsUsed(const uint8_t* p, const uint8_t* stop, bool format0, bool& nameSeen) {
  uint32_t channels = 0;
  uint8_t runStatus = 0;
  int target = 0;
  while (p < stop) {
    while (p < stop && (*p & 0x80)) ++p;  // the delta
    if (p >= stop || ++p >= stop) break;
    uint8_t s;
    if (*p >= 0x80) {
      s = *p++;
    } else if (runStatus >= 0x80) {
      s = runStatus;
    } else {
      while (p < stop && *p < 0x80) ++p;
      if (p >= stop) break;
      s = *p++;
    }
    if (s < 0xF0) {
      const long n = (s & 0xE0) == 0xC0 ? 1 : 2;
      if (stop - p < n) break;
      p += n;
      runStatus = s;
      channels |= 1u << (s & 0x0F);
      continue;
    }
    if (s != 0xF0 && s != 0xF7 && s != 0xFF) continue;
    uint8_t type = 0;
    if (s == 0xFF) {
      if (p >= stop) break;
      type = *p++;
    }
    uint32_t len = ReadVarLen(p, stop);
    if (static_cast<uint64_t>(stop - p) < len) break;
    const uint8_t* payload = p;
    p += len;
    if (s == 0xFF && type == 0x2F) break;
    if (!format0) continue;
    if (s == 0xFF && (type == 0x06 || type == 0x51 || type == 0x54 || type == 0x58 || type == 0x59)) continue;
    if (s == 0xFF && type == 0x03 && !nameSeen) {
      nameSeen = true;
      continue;
    }
    if (s == 0xFF && type == 0x20) {
      if (len >= 1) target = payload[0] < 16 ? payload[0] + 1 : 0;
      continue;
    }
    if (target > 0) channels |= 1u << (target - 1);
  }
  return channels;
}

}  // namespace

size_t SmfChunkList::ImageSize() const {
  size_t n = 14;
  for (const Chunk& c : Chunks) n += 8 + c.Length;
  return n;
}

FileImage SmfChunkList::Flatten() const {
  FileImage out;
  out.reserve(ImageSize());
  AppendBytes(out, "MThd", 4);
  AppendBE(out, 6, 4);
  AppendBE(out, Header.Format, 2);
  AppendBE(out, Header.NumTracks, 2);
  AppendBE(out, static_cast<uint16_t>(Header.Division), 2);
  for (const Chunk& c : Chunks) AppendChunk(out, c.Data, c.Length);
  return out;
}

bool SplitSmf(const FileImage& image, SmfChunkList& list) {
  int64_t at = FindMThd(image, 0, 4);
  TSmfHeader header;
  if (at < 0 || !ParseMThd(image, static_cast<size_t>(at), header)) return false;
  if (header.HeaderLength != 6 || header.Format > 1) return false;
  const bool format0 = header.Format == 0;
  list = SmfChunkList{};
  // Owned chunks are recorded by index and resolved at the end, as the
  // vector holding them may move.
  struct Ref {
    int Owned;
    const uint8_t* Data;
    uint32_t Length;
  };
  std::vector<Ref> refs;

  std::array<OutStream, 17> streams;
  size_t pos = static_cast<size_t>(at) + 8 + 6;
  bool firstNameSeen = false;
  for (uint32_t n = 0; n < header.NumTracks;) {
    if (pos + 8 > image.size()) break;  // no data left
    const uint8_t* start;
    const uint8_t* stop;
    size_t next;
    if (!LocateChunk(image, pos, start, stop, next)) {
      if (!IsChunkType(&image[pos])) return false;
      const uint8_t* at = &image[pos + 4];
      uint32_t length = ReadBigEndian(at, image.data() + image.size(), 4);
      list.SkippedChunks.push_back({std::string(reinterpret_cast<const char*>(&image[pos]), 4), length});
      pos += 8 + std::min<size_t>(length, image.size() - (pos + 8));
      continue;
    }
    pos = next;
    const bool first = n++ == 0;
    // First see which channel streams the chunk would fill: most chunks use
    // at most one and are kept as they are. In a format 0 file a channel
    // prefix sends the following metas to a channel stream too.
    bool nameSeen = firstNameSeen;
    const uint32_t channels = ChannelStreamsUsed(start, stop, format0, nameSeen);
    if (!first && (channels & (channels - 1)) == 0) {
      firstNameSeen = nameSeen;
      refs.push_back(Ref{-1, start, static_cast<uint32_t>(stop - start)});
      continue;
    }
    for (auto& s : streams) s.Reset();
    int metaTarget = 0;
    TSmfStream in;
    in.Open(start, stop);
    uint64_t endTick = 0;
    while (in.ReadNext()) {
      const TMidiEvent& ev = in.Event;
      uint64_t tick = in.AbsTime;
      endTick = tick;
      if (in.IsEndOfTrack()) break;
      uint8_t s = ev.Status;
      if (s == 0) continue;
      if (s >= 0x80 && s < 0xF0) {
        streams[(s & 0x0F) + 1].Put(ev, tick);
      } else if (s == 0xFF) {
        uint8_t type = ev.Data1;
        if (type == 0x06 || type == 0x51 || type == 0x54 || type == 0x58 || type == 0x59) {
          streams[0].Put(ev, tick);
        } else if (type == 0x03 && format0 && !firstNameSeen) {
          firstNameSeen = true;
          streams[0].Put(ev, tick);
        } else if (type == 0x20) {
          // A prefix naming no channel (16 and above) sends what follows back to stream 0.
          if (format0 && ev.Len >= 1) metaTarget = ev.Value < 16 ? static_cast<int>(ev.Value) + 1 : 0;
        } else {
          streams[metaTarget].Put(ev, tick);
        }
      } else {
        streams[metaTarget].Put(ev, tick);
      }
    }
    // The first chunk always yields the conductor chunk, empty when need be,
    // so that a channel's notes never land in the conductor track.
    if (first) streams[0].Used = true;
    for (auto& s : streams) {
      if (!s.Used) continue;
      PutEndOfTrack(s, endTick);
      refs.push_back(Ref{static_cast<int>(list.Owned.size()), nullptr, 0});
      list.Owned.push_back(std::move(s.Data));
    }
  }
  for (const Ref& r : refs) {
    if (r.Owned >= 0) {
      const TMidiData& d = list.Owned[static_cast<size_t>(r.Owned)];
      list.Chunks.push_back({d.Top(), d.Length()});
    } else {
      list.Chunks.push_back({r.Data, r.Length});
    }
  }
  list.Header.HeaderLength = 6;
  list.Header.Format = 1;
  list.Header.NumTracks = static_cast<uint16_t>(std::min<size_t>(list.Chunks.size(), 0xFFFF));
  list.Header.Division = header.Division;
  return true;
}

bool ConvertSmfSplit(FileImage& image) {
  SmfChunkList list;
  if (!SplitSmf(image, list)) return false;
  FileImage out = list.Flatten();
  image.swap(out);
  return true;
}

bool ConvertSmfMerge(FileImage& image) {
  TSmfHeader header;
  if (image.size() < 14 || std::memcmp(image.data(), "MThd", 4) != 0 || !ParseMThd(image, 0, header))
    return false;
  if (header.HeaderLength != 6 || header.Format != 1) return false;
  std::vector<TSmfStream> streams;
  size_t pos = 8 + 6;
  for (uint32_t n = 0; n < header.NumTracks; ++n) {
    const uint8_t* start;
    const uint8_t* stop;
    size_t next;
    if (!LocateChunk(image, pos, start, stop, next)) return false;
    streams.emplace_back();
    streams.back().Open(start, stop);
    pos = next;
  }
  OutStream out;
  out.Data.Reserve(static_cast<uint32_t>(std::min<size_t>(image.size(), 0x7FFFFFFF)));
  uint64_t endTick = 0;
  std::vector<bool> live(streams.size());
  auto advance = [&](size_t i) {
    TSmfStream& s = streams[i];
    // Skip stray bytes; a stream ends at its end-of-track or its last byte.
    while (s.ReadNext()) {
      if (s.Event.Status != 0) return true;
    }
    endTick = std::max(endTick, s.AbsTime);
    return false;
  };
  for (size_t i = 0; i < streams.size(); ++i) live[i] = advance(i);
  // One chunk cannot say which track a meta or SysEx event came from except
  // through channel prefixes, and the splitter sends every such event to the
  // channel of the last prefix it met. So each is preceded by the prefix of
  // its own track whenever the last one written was another's or a channel
  // event came in between (readers that end a prefix's reach at the next
  // channel event see the right one too). An event of a track without a
  // prefix (the conductor's) after one gets the prefix 7F, which names no
  // channel: the splitter sends what follows back to the conductor. And the
  // first track name of the file belongs to the conductor, so when another
  // track's name would come first an empty one stands in for it.
  std::vector<int> prefixOf(streams.size(), 0);  // channel + 1 of each track's own prefix, 0 = none
  int target = 0;                                 // where the splitter sends the next meta event
  bool prefixLive = false;                        // no channel event since the last prefix
  bool nameSeen = false;
  auto putPrefix = [&](uint8_t value, uint64_t tick) {
    TMidiEvent prefix;
    prefix.Status = 0xFF;
    prefix.Data1 = 0x20;
    prefix.Len = 1;
    prefix.Data = &value;
    out.Put(prefix, tick);
  };
  for (;;) {
    size_t best = streams.size();
    for (size_t i = 0; i < streams.size(); ++i) {
      if (live[i] && (best == streams.size() || streams[i].AbsTime < streams[best].AbsTime)) best = i;
    }
    if (best == streams.size()) break;
    TSmfStream& s = streams[best];
    if (s.IsEndOfTrack()) {
      endTick = std::max(endTick, s.AbsTime);
      live[best] = false;
      continue;
    }
    const TMidiEvent& ev = s.Event;
    const uint8_t type = ev.Data1;
    if (ev.Status < 0xF0) {
      prefixLive = false;
    } else if (ev.Status == 0xFF && type == 0x20) {
      if (ev.Len >= 1 && ev.Value < 16) prefixOf[best] = static_cast<int>(ev.Value) + 1;
      live[best] = advance(best);
      continue;  // written where it is needed
    } else if (ev.Status == 0xFF && (type == 0x06 || type == 0x51 || type == 0x54 || type == 0x58 || type == 0x59)) {
      // always read into the conductor track
    } else if (ev.Status == 0xFF && type == 0x03 && !nameSeen && best == 0) {
      nameSeen = true;
    } else {
      if (ev.Status == 0xFF && type == 0x03 && !nameSeen) {
        out.Put(EmptyMetaEvent(0x03), s.AbsTime);
        nameSeen = true;
      }
      const int want = prefixOf[best];
      if (want == 0 && target != 0) {
        putPrefix(0x7F, s.AbsTime);
      } else if (want != 0 && (target != want || !prefixLive)) {
        putPrefix(static_cast<uint8_t>(want - 1), s.AbsTime);
        prefixLive = true;
      }
      target = want;
    }
    out.Put(ev, s.AbsTime);
    live[best] = advance(best);
  }
  PutEndOfTrack(out, endTick);

  FileImage result;
  result.reserve(22 + out.Data.Length());
  AppendBytes(result, "MThd", 4);
  AppendBE(result, 6, 4);
  AppendBE(result, 0, 2);
  AppendBE(result, 1, 2);
  AppendBE(result, static_cast<uint16_t>(header.Division), 2);
  AppendChunk(result, out.Data.Top(), out.Data.Length());
  image.swap(result);
  return true;
}

}  // namespace melko
