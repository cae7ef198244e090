#include "song/smf_reader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "archive/archive_access.h"
#include "archive/archive_path.h"
#include "song/smf_convert.h"
#include "song/smf_writer.h"
#include "song/track_ops.h"

namespace melko {

const char* const kMsgLoadFailed = " の読込みに失敗しました！";
const char* const kMsgUnreadable = "このファイルは読めない形式です！";
const char* const kMsgTooManyTracks = "トラック数が読み込める範囲を超えています!";
const char* const kMsgTpqnQuestion =
    "このﾌｧｲﾙは、現在のTPQNでは、正しく読み込めない可能性があります。\r\nこのﾌｧｲﾙを開きますか？";
const char* const kMsgConverterMissing = "RCPCV.DLLのロードに失敗しました。";

namespace {

std::string UpperExtension(const std::string& fileName) {
  size_t slash = fileName.find_last_of("/\\>");
  size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = fileName.substr(dot);
  for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return ext;
}

// A member of an archive ("pack.lzh>song.mid") is read straight into memory,
// within the same limit as a file.
bool ReadArchiveMember(const std::string& path, FileImage& image, Song& song) {
  std::string archive, member, bytes;
  SplitArchivePath(path, archive, member);
  if (!ExtractToMemory(archive, member, bytes, kMaxSongFileBytes) || bytes.empty()) return false;
  image.assign(bytes.begin(), bytes.end());
  return true;
}

bool ReadWholeFile(const std::string& fileName, FileImage& image, Song& song) {
  std::error_code ec;
  // A plain file whose name holds a ">" is still that file.
  if (IsArchivePath(fileName) && !std::filesystem::exists(fileName, ec)) return ReadArchiveMember(fileName, image, song);
  if (!std::filesystem::is_regular_file(fileName, ec)) return false;
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size <= 0) return false;
  // Refused before a byte is read: reading it would take minutes and all memory.
  if (static_cast<uint64_t>(size) > kMaxSongFileBytes) {
    song.LogLine(Format("FileSize: %lld > %llu", static_cast<long long>(size),
                        static_cast<unsigned long long>(kMaxSongFileBytes)));
    return false;
  }
  in.seekg(0, std::ios::beg);
  image.resize(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(image.data()), size);
  return static_cast<std::streamoff>(in.gcount()) == size;
}

bool IsConvertedFormat(const std::string& ext) {
  return !ext.empty() && std::string("*.RCP;*.R36;*.G36;").find("*" + ext + ";") != std::string::npos;
}

// Removes what follows the first zero byte and trailing blanks and control characters.
uint32_t TrimText(const uint8_t* p, uint32_t len) {
  const void* zero = std::memchr(p, 0, len);
  if (zero) len = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - p);
  while (len > 0 && p[len - 1] <= 0x20) --len;
  return len;
}

// Song ticks from file deltas: x = delta × TPQN + carry, exactly, in 64 bits.
struct TickConverter {
  uint64_t Tpqn;
  uint64_t Division;
  uint64_t Carry = 0;
  uint64_t Tick = 0;
  uint32_t Add(uint32_t delta) {
    if (Tpqn == Division) {  // the usual case: the song keeps the file's timebase
      Tick = std::min<uint64_t>(Tick + delta, kMaxFileTick);
      return static_cast<uint32_t>(Tick);
    }
    uint64_t x = static_cast<uint64_t>(delta) * Tpqn + Carry;
    Tick = std::min<uint64_t>(Tick + x / Division, kMaxFileTick);
    Carry = x % Division;
    return static_cast<uint32_t>(Tick);
  }
};

// One note-on of a chunk and what pairing found for it.
struct NoteRec {
  uint32_t Tick = 0;
  uint32_t Gate = 0;
  uint32_t NextSame = 0;  // elapsed ticks to the next event of the same status, 0 = none yet
  int32_t Next = -1;      // next note waiting for a note-off on the same channel and key
  uint8_t OffVelocity = 64;
  bool Found = false;
};

// Events that a chunk other than the conductor's sends to the conductor track;
// merged in once at the end of the chunk, after the conductor's events of the
// same tick, exactly as inserting them one by one would place them.
class ConductorInserts {
 public:
  ConductorInserts(Song& song, int conductor) : song_(song), conductor_(conductor) {}

  // True when the last event of this type at or before `tick` has this value.
  bool SameAsLast(uint8_t type, uint32_t tick, uint32_t value) {
    int k = Slot(type);
    if (!indexed_) BuildIndex();
    const auto& old = index_[k];
    auto it = std::upper_bound(old.begin(), old.end(), tick,
                               [](uint32_t t, const std::pair<uint32_t, uint32_t>& e) { return t < e.first; });
    bool haveOld = it != old.begin();
    uint32_t oldTick = haveOld ? (it - 1)->first : 0;
    uint32_t oldValue = haveOld ? (it - 1)->second : 0;
    if (hasPending_[k] && (!haveOld || pendingTick_[k] >= oldTick)) return pendingValue_[k] == value;
    return haveOld && oldValue == value;
  }
  void Add(const TMidiEvent& ev) {
    if (ev.Status == 0xFF && (ev.Data1 == 0x51 || ev.Data1 == 0x58 || ev.Data1 == 0x59)) {
      int k = Slot(ev.Data1);
      hasPending_[k] = true;
      pendingTick_[k] = ev.Time;
      pendingValue_[k] = ev.Value;
    }
    TMidiEvent e = ev;
    EncodeEvent(clip_, e, last_, 0, song_.MaxGate());
    end_ = ev.Time + 1;
  }
  void Flush() {
    if (clip_.HasData()) {
      TMidiData merged;
      MixTrack(merged, song_.Tracks[conductor_], clip_, 0, end_, 1, false);
      merged.ShrinkToFit();
      song_.Tracks[conductor_].Swap(merged);
      indexed_ = false;
    }
    clip_.Free();
    last_ = 0;
    for (int k = 0; k < 3; ++k) hasPending_[k] = false;
  }

 private:
  static int Slot(uint8_t type) { return type == 0x51 ? 0 : type == 0x58 ? 1 : 2; }
  void BuildIndex() {
    for (auto& v : index_) v.clear();
    for (TrackWalker w(song_.Tracks[conductor_]); !w.AtEnd(); w.Advance()) {
      const TMidiEvent& ev = w.Next();
      if (ev.Status == 0xFF && (ev.Data1 == 0x51 || ev.Data1 == 0x58 || ev.Data1 == 0x59))
        index_[Slot(ev.Data1)].emplace_back(ev.Time, ev.Value);
    }
    indexed_ = true;
  }

  Song& song_;
  int conductor_;
  TMidiData clip_;
  uint32_t last_ = 0;
  uint32_t end_ = 1;
  bool indexed_ = false;
  std::vector<std::pair<uint32_t, uint32_t>> index_[3];
  bool hasPending_[3] = {false, false, false};
  uint32_t pendingTick_[3] = {0, 0, 0};
  uint32_t pendingValue_[3] = {0, 0, 0};
};

// Pairing pass: one walk of the chunk that gives every note-on its gate and
// note-off velocity. Note-offs pair first-in, first-out per channel and key.
// Linear in the chunk size whatever the file holds.
void PairNotes(const uint8_t* start, const uint8_t* stop, TickConverter conv,
               std::vector<NoteRec>& notes, bool& usedNoteOffStatus) {
  notes.clear();
  notes.reserve(static_cast<size_t>(stop - start) / 8);
  int32_t head[16 * 128], tail[16 * 128];
  std::fill(std::begin(head), std::end(head), -1);
  std::fill(std::begin(tail), std::end(tail), -1);
  const TickConverter startConv = conv;
  TSmfStream s;
  s.Open(start, stop);
  uint32_t tick = 0;
  size_t unpaired = 0;
  while (s.ReadNext()) {
    tick = conv.Add(s.Delta);
    const TMidiEvent& ev = s.Event;
    const uint8_t kind = ev.Status & 0xF0;
    if (kind != 0x80 && kind != 0x90) {
      if (s.IsEndOfTrack()) break;
      continue;
    }
    const int key = (ev.Status & 0x0F) * 128 + ev.Data1;
    if (kind == 0x90 && ev.Data2 > 0) {
      int32_t idx = static_cast<int32_t>(notes.size());
      notes.push_back(NoteRec{});
      notes.back().Tick = tick;
      if (tail[key] >= 0) notes[tail[key]].Next = idx;
      else head[key] = idx;
      tail[key] = idx;
      ++unpaired;
    } else if (head[key] >= 0) {
      NoteRec& n = notes[head[key]];
      head[key] = n.Next;
      if (head[key] < 0) tail[key] = -1;
      n.Found = true;
      n.Gate = tick - n.Tick;
      --unpaired;
      if (kind == 0x80) {
        n.OffVelocity = ev.Data2;
        usedNoteOffStatus = true;
      }
    }
  }
  const uint32_t endTick = tick;
  if (unpaired == 0) return;
  // Notes without a note-off last until the next event of exactly their
  // status byte that comes later in time: a second walk finds it for all of
  // them at once.
  std::vector<uint32_t> waiting[16];
  size_t waitingHead[16] = {};
  conv = startConv;
  s.Open(start, stop);
  size_t noteIndex = 0;
  while (s.ReadNext()) {
    tick = conv.Add(s.Delta);
    const TMidiEvent& ev = s.Event;
    if ((ev.Status & 0xF0) != 0x90) {
      if (s.IsEndOfTrack()) break;
      continue;
    }
    const int c = ev.Status & 0x0F;
    auto& w = waiting[c];
    while (waitingHead[c] < w.size() && notes[w[waitingHead[c]]].Tick < tick) {
      NoteRec& n = notes[w[waitingHead[c]++]];
      n.NextSame = tick - n.Tick;
    }
    if (ev.Data2 > 0) {
      if (!notes[noteIndex].Found) w.push_back(static_cast<uint32_t>(noteIndex));
      ++noteIndex;
    }
  }
  for (NoteRec& n : notes) {
    if (!n.Found) n.Gate = n.NextSame > 0 ? n.NextSame : endTick - n.Tick;
  }
}

// Reads one track chunk into track trackIndex + offset.
void ReadSmfTrack(Song& song, const SmfChunkList::Chunk& chunk, int& trackIndex, int division, int offset,
                  ConductorInserts& conductorInserts, uint32_t& lastEventTick) {
  const uint8_t* start = chunk.Data;
  const uint8_t* stop = chunk.Data + chunk.Length;
  song.LogLine(Format("NDT : %u", chunk.Length));

  const bool isSong = offset == 0;
  const int target = trackIndex + offset;
  const int conductor = offset;
  TMidiData& track = song.Tracks[target];
  const bool wasNil = track.IsNil();
  track.Reserve(static_cast<uint32_t>(std::min<size_t>(stop - start, 1u << 30)));
  TickConverter conv{song.TPQN, static_cast<uint64_t>(division)};

  std::vector<NoteRec> notes;
  bool usedNoteOffStatus = false;
  PairNotes(start, stop, conv, notes, usedNoteOffStatus);
  // The note-off style belongs to the open song: an ExTrack does not change it.
  if (usedNoteOffStatus && isSong) song.NoteOffStyle = true;

  const uint8_t nameType = song.Options.TrackName1 ? 0x01 : 0x03;
  const uint32_t maxGate = song.MaxGate();
  uint32_t lastTick = 0;
  size_t noteIndex = 0;
  bool haveLast[3] = {false, false, false};
  uint32_t lastValue[3] = {0, 0, 0};
  auto put = [&](TMidiEvent ev, uint32_t tick) {
    ev.Time = tick;
    EncodeEvent(track, ev, lastTick, 0, maxGate);
  };

  TSmfStream s;
  s.Open(start, stop);
  uint32_t tick = 0;
  bool ended = false;
  while (s.ReadNext()) {
    tick = conv.Add(s.Delta);
    TMidiEvent ev = s.Event;
    uint8_t status = ev.Status;
    if (status == 0) continue;
    bool eot = s.IsEndOfTrack();
    if (isSong && !eot) song.LoopEndTick = std::max(song.LoopEndTick, tick);
    if (isSong && target <= 64 && song.Ch[target] == 255 && status >= 0x90 && status < 0xF0)
      song.Ch[target] = status & 0x0F;
    if (status >= 0xA0 && status < 0xF0) ev.Status = status &= 0xF0;

    if ((status & 0xF0) == 0x90 && status < 0xA0 && ev.Data2 > 0) {
      const NoteRec& n = notes[noteIndex++];
      if (!n.Found) {
        song.LogLine(Format("TR:%.2d,%.8u, On %2.x,%.2d", trackIndex, tick, status, ev.Data1));
        song.LogLine("No Corresponding NoteOff");
      }
      ev.Status = 0x90;
      ev.Data3 = n.OffVelocity;
      ev.Value = n.Gate;
      put(ev, tick);
      continue;
    }
    if (status < 0xA0) continue;  // note-offs were consumed by the pairing
    if (status < 0xF0) {
      put(ev, tick);
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      put(ev, tick);
      if (status == 0xF7) song.LogLine(Format("TR:%.2d,%.8u, Ex %2.x,%.2d", trackIndex, tick, status, 0));
      continue;
    }
    if (status != 0xFF) continue;
    uint8_t type = ev.Data1;
    song.LogLine(Format("TR:%.2d,%.8u, Meta %.2x,%.2u", trackIndex, tick, type, ev.Len));
    if (type >= 0x01 && type <= 0x0F) {
      ev.Len = TrimText(ev.Data, ev.Len);
      std::string text(reinterpret_cast<const char*>(ev.Data), ev.Len);
      if (ev.Len > 255) song.LogLine("[< " + text + " >]");
      if (type == 0x01 || type == 0x03) {
        if (text.find(kSignatureMark) != std::string::npos) {
          song.LogLine("[< " + text + " >]");
        } else if (type == nameType && song.TrackNames[target].empty()) {
          song.TrackNames[target] = text;
        } else {
          put(ev, tick);
        }
      } else if (type == 0x02) {
        if (isSong) song.Copyright = text;
      } else if (type == 0x04) {
        if (isSong) {
          if (target <= 64 && song.IsKnownInstrument && song.IsKnownInstrument(text)) song.Instrument[target] = text;
          else put(ev, tick);
        }
      } else if (type <= 0x07) {
        put(ev, tick);
      }
      continue;
    }
    switch (type) {
      case 0x20:
        break;
      case 0x21:
        if (isSong) {
          if (song.Options.ReadPortEvents && ev.Len >= 1 && ev.Value <= 3 && target <= 64) {
            song.OutPort[target] = static_cast<uint8_t>(ev.Value);
            song.Instrument[target] = song.Options.PortInstrument[ev.Value];
          } else {
            song.LogLine(Format("TR:%.2d Invalid PortID: %.2u", trackIndex, ev.Value));
          }
        }
        break;
      case 0x2F:
        song.TrackEnds[target] = tick;
        ended = true;
        break;
      case 0x51:
      case 0x58:
      case 0x59:
      case 0x54: {
        ev.Time = tick;
        if (target == conductor) {
          int k = type == 0x51 ? 0 : type == 0x58 ? 1 : type == 0x59 ? 2 : -1;
          if (k >= 0 && haveLast[k] && lastValue[k] == ev.Value) break;
          if (k >= 0) {
            haveLast[k] = true;
            lastValue[k] = ev.Value;
          }
          put(ev, tick);
        } else {
          if (type != 0x54 && conductorInserts.SameAsLast(type, tick, ev.Value)) break;
          conductorInserts.Add(ev);
          lastEventTick = std::max(lastEventTick, tick);
        }
        break;
      }
      default:
        put(ev, tick);
        break;
    }
    if (ended) break;
  }
  // A chunk without an end-of-track event ends at its last event.
  if (!ended) song.TrackEnds[target] = tick;
  if (track.HasData()) lastEventTick = std::max(lastEventTick, lastTick);
  if (wasNil && !track.HasData()) track.Free();
  else track.ShrinkToFit();
  conductorInserts.Flush();
  ++trackIndex;
}

// Returns the tick of the last event read into any track.
uint32_t ReadChunks(Song& song, const LoadedSmf& file, const TSmfHeader& header, int offset) {
  ConductorInserts inserts(song, offset);
  int trackIndex = 0;
  uint32_t lastEventTick = 0;
  const auto& chunks = file.Chunks.Chunks;
  for (size_t n = 0; n < header.NumTracks && n < chunks.size() && trackIndex < kSongTracks; ++n) {
    ReadSmfTrack(song, chunks[n], trackIndex, header.Division, offset, inserts, lastEventTick);
  }
  return lastEventTick;
}

}  // namespace

bool LoadImageBytes(const std::string& fileName, LoadedSmf& file, Song& song, SongPrompt& prompt) {
  const FileImage& image = file.Bytes;
  song.LogLine(Format("FileSize: %zu", image.size()));
  int64_t at = FindMThd(image, 0, 22);
  TSmfHeader header;
  if (at < 0 || !ParseMThd(image, static_cast<size_t>(at), header)) {
    prompt.ShowError(fileName + kMsgLoadFailed);
    return false;
  }
  song.LogLine(Format("Frmt %u NTRK %u TPQN %d", header.Format, header.NumTracks, header.Division));
  if (!SplitSmf(image, file.Chunks)) {
    prompt.ShowError(fileName + kMsgLoadFailed);
    return false;
  }
  for (const auto& skipped : file.Chunks.SkippedChunks)
    song.LogLine(Format("Skip: %s %u", skipped.Type.c_str(), skipped.Length));
  song.LogLine(Format("ConvedFileSize: %zu", file.Chunks.ImageSize()));
  return true;
}

bool LoadFileImage(const std::string& fileName, LoadedSmf& file, Song& song, SongPrompt& prompt,
                   SongConverter* converter) {
  song.LogLine("\r\n--- " + fileName + " ---");
  file = LoadedSmf{};
  if (!ReadWholeFile(fileName, file.Bytes, song)) {
    prompt.ShowError(fileName + kMsgLoadFailed);
    return false;
  }
  if (IsConvertedFormat(UpperExtension(fileName))) {
    if (!converter || !converter->Available()) {
      prompt.ShowError(kMsgConverterMissing);
      prompt.ShowError(fileName + kMsgLoadFailed);
      return false;
    }
    FileImage smf;
    if (!converter->Convert(file.Bytes, smf) || smf.empty()) {
      prompt.ShowError(fileName + kMsgLoadFailed);
      return false;
    }
    file.Bytes.swap(smf);
  }
  return LoadImageBytes(fileName, file, song, prompt);
}

bool ReadSmfHeader(const LoadedSmf& file, TSmfHeader& header, uint16_t checkTPQN, Song& song, SongPrompt& prompt) {
  header = file.Chunks.Header;
  song.LogLine(Format("NDT : %u\r\nFRMT: %u\r\nNTRK: %u\r\nTPQN: %d", header.HeaderLength, header.Format,
                      header.NumTracks, header.Division));
  // The division is checked before it divides anything.
  if (header.Division <= 0) {
    prompt.ShowError(kMsgUnreadable);
    return false;
  }
  if (checkTPQN != 0 && checkTPQN % header.Division != 0) {
    if (!prompt.AskYesNo(kMsgTpqnQuestion)) return false;
  }
  if (header.NumTracks > kSongTracks) {
    prompt.ShowError(kMsgTooManyTracks);
    header.NumTracks = kSongTracks;
  }
  return true;
}

void ReadSmfTracks(Song& song, const LoadedSmf& file, const TSmfHeader& header) {
  for (int t = 1; t < kSongTracks; ++t) song.Ch[t] = 255;
  song.SongFormat = header.Format;
  bool offStyleBefore = song.NoteOffStyle;
  song.LoadedLastTick = ReadChunks(song, file, header, 0);
  if (song.NoteOffStyle && !offStyleBefore) song.LogLine("<OffSTAT> : 8n");
  song.LastTrack = static_cast<uint8_t>(song.LastUsedTrack(0));
  song.LoopEndTick += song.TPQN;
  for (int t = 1; t < kSongTracks; ++t) {
    song.GetTrackPatch(t);
    if (song.Ch[t] == 255) song.Ch[t] = static_cast<uint8_t>((t - 1) % 16);
  }
  uint64_t total = 0;
  for (int t = 0; t <= song.LastTrack; ++t) {
    song.LogLine(Format("TR: %.2d MDSize: %u", t, song.Tracks[t].Size()));
    total += song.Tracks[t].Size();
  }
  song.LogLine(Format("** Total MDSize: %llu **", static_cast<unsigned long long>(total)));
}

void ReadExTrackTracks(Song& song, const LoadedSmf& file, const TSmfHeader& header) {
  ReadChunks(song, file, header, kExTrackBase);
  song.ExLastTrack = static_cast<uint8_t>(song.LastUsedTrack(kExTrackBase));
}

void ApplySongLoaded(Song& song) {
  if (!song.Tracks[0].HasData()) {
    song.SetSongKey(0);
    song.SetSongMeter(0x04021808);
    song.SetSongTempo(120);
  }
  song.RebuildMaps();
  // A load already knows its last event; other callers measure every track.
  if (song.LoadedLastTick != UINT32_MAX) {
    uint32_t end = song.Maps.MeasureToTick(song.Maps.TickToMeasure(song.LoadedLastTick).Measure + 1);
    song.MeasureEnd = static_cast<int32_t>(std::min<uint32_t>(end, 0x7FFFFFFF));
    song.LoadedLastTick = UINT32_MAX;
  } else {
    for (int t = 0; t <= song.LastTrack; ++t) song.MeasureTrack(t);
  }
  song.UndoFlags.fill(0);
  song.SongSaved = true;
}

bool CheckSongImage(const LoadedSmf& file, TSmfHeader& header, Song& song, SongPrompt& prompt) {
  uint16_t check = song.Options.TPQNFixed ? song.Options.DefaultTPQN : 0;
  return ReadSmfHeader(file, header, check, song, prompt);
}

void ReplaceSongWithImage(Song& song, const LoadedSmf& file, const TSmfHeader& header) {
  song.ClearSong();
  if (!song.Options.TPQNFixed) song.TPQN = static_cast<uint16_t>(header.Division);
  song.Maps.Reset(song.TPQN);
  ReadSmfTracks(song, file, header);
  song.LogLine("\r\n<< " + song.TrackNames[0] + " >>\r\n");
  ApplySongLoaded(song);
}

namespace {
bool ReadLoadedImage(Song& song, const LoadedSmf& file, SongPrompt& prompt) {
  TSmfHeader header;
  if (!CheckSongImage(file, header, song, prompt)) return false;
  ReplaceSongWithImage(song, file, header);
  return true;
}
}  // namespace

bool OpenSongImage(Song& song, const std::string& fileName, FileImage image, SongPrompt& prompt) {
  song.LogLine("\r\n--- " + fileName + " ---");
  LoadedSmf file;
  file.Bytes = std::move(image);
  return LoadImageBytes(fileName, file, song, prompt) && ReadLoadedImage(song, file, prompt);
}

bool OpenSongFile(Song& song, const std::string& fileName, SongPrompt& prompt, SongConverter* converter) {
  LoadedSmf file;
  return LoadFileImage(fileName, file, song, prompt, converter) && ReadLoadedImage(song, file, prompt);
}

}  // namespace melko
