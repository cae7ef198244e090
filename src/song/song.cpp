#include "song/song.h"

#include <algorithm>

#include "song/track_ops.h"

namespace melko {

Song::Song() {
  IsKnownInstrument = [](const std::string& name) { return name == "GM"; };
  for (int t = 0; t < kSongTracks; ++t) ResetTrackSettings(t);
  Maps.Reset(TPQN);
}

void Song::ResetTrackSettings(int t) {
  Mute[t] = 0;
  Rec[t] = 0;
  Ch[t] = static_cast<uint8_t>(t > 0 ? (t - 1) % 16 : 0);
  uint8_t port = Options.DefaultPort < 4 ? Options.DefaultPort : 0;
  Instrument[t] = Options.PortInstrument[port];
  ProgramChange[t] = kNoPatch;
  Pad[t] = kNoPad;
  Delay[t] = 0;
  OutPort[t] = port;
  Clef[t] = 0;
  KanaOctave[t] = 5;
  KanaTranspose[t] = 0;
}

void Song::ClearSong() {
  uint16_t oldTpqn = TPQN;
  for (int t = 0; t < kSongTracks; ++t) {
    RaiseRevision(t);
    Tracks[t].Free();
    ShadowTracks[t].Free();
    Clipboard[t].Free();
    TrackEnds[t] = 0;
    TrackNames[t].clear();
    ResetTrackSettings(t);
  }
  ShadowTracks[kSongTracks].Free();
  UndoFlags.fill(0);
  ClipLength = 0;
  ClipTrackSpan = 0;
  Solo = 0;
  Copyright.clear();
  LoopBeginTick = 0;
  LoopEndTick = static_cast<uint32_t>(oldTpqn) * 4;
  MeasureEnd = 0;
  DrumChannels = 512;
  NoteOffStyle = false;
  SongFormat = 1;
  TPQN = Options.DefaultTPQN;
  LastTrack = 0;
  Maps.Reset(TPQN);
}

void Song::ClearExTrack() {
  for (int t = kExTrackBase; t < kAllTracks; ++t) {
    RaiseRevision(t);
    Tracks[t].Free();
    TrackNames[t].clear();
    TrackEnds[t] = 0;
  }
  ExLastTrack = kExTrackBase;
  Changes.NotifyTracks(kChangeTrackData, kExTrackBase, kAllTracks - 1);
}

void Song::SwapTrack(int t) {
  SongSaved = false;
  UndoFlags[t] = 1;
  Tracks[t].Swap(ShadowTracks[t]);
  if (t < kSongTracks && Player) Player->TrackSwapped(t);
  TrackDataChanged(t);
}

void Song::TrackDataChanged(int t) {
  RaiseRevision(t);
  Changes.Notify(kChangeTrackData, t);
}

void Song::SongReplaced() {
  for (int t = 0; t < kAllTracks; ++t) RaiseRevision(t);
  Changes.Notify(kChangeWholeSong);
}

int Song::LastUsedTrack(int base) const {
  for (int t = base + kSongTracks - 1; t > base; --t) {
    if (!Tracks[t].IsNil() || !TrackNames[t].empty()) return t;
  }
  return base;
}

void Song::InsertEvent(int t, const TMidiEvent& ev, bool first) {
  TMidiData& clip = Clipboard[0];
  clip.Free();
  TMidiEvent e = ev;
  uint32_t tick = e.Time;
  e.Time = 0;
  uint32_t last = 0;
  EncodeEvent(clip, e, last, 0, MaxGate());
  ClipLength = 1;
  MixTrack(ShadowTracks[t], Tracks[t], clip, tick, 1, 1, first);
  SwapTrack(t);
  clip.Free();
  ClipLength = 0;
}

void Song::GetTrackPatch(int t) {
  uint32_t msb = 255, lsb = 255;
  for (TrackWalker w(Tracks[t]); !w.AtEnd(); w.Advance()) {
    const TMidiEvent& ev = w.Next();
    if (ev.IsNote()) return;
    if (ev.Status == 0xB0 && ev.Data1 == 0) msb = ev.Data2;
    else if (ev.Status == 0xB0 && ev.Data1 == 32) lsb = ev.Data2;
    else if (ev.Status == 0xC0) {
      uint32_t drum = IsDrumChannel(Ch[t]) ? 1 : 0;
      ProgramChange[t] = drum << 24 | msb << 16 | lsb << 8 | ev.Data1;
      return;
    }
  }
}

void Song::SetTrackPatch(int t, uint8_t msb, uint8_t lsb, uint8_t program) {
  TMidiData& track = Tracks[t];
  bool written = false;
  if (!track.IsNil()) {
    uint8_t* top = track.Top();
    for (TrackWalker w(track); !w.AtEnd(); w.Advance()) {
      const TMidiEvent& ev = w.Next();
      if (ev.IsNote()) break;
      // The body of a stored B0 or C0 is status, data1[, data2].
      uint8_t* body = top + (w.BodyBegin() - track.Top());
      if (ev.Status == 0xB0 && ev.Data1 == 0 && msb < 128) {
        body[2] = msb;
        SongSaved = false;
        written = true;
      } else if (ev.Status == 0xB0 && ev.Data1 == 32 && lsb < 128) {
        body[2] = lsb;
        SongSaved = false;
        written = true;
      } else if (ev.Status == 0xC0) {
        body[1] = program & 0x7F;
        SongSaved = false;
        TrackDataChanged(t);
        return;
      }
    }
  }
  // The bank bytes changed in place above are part of the insertion's notice.
  SongNotifier::Batch batch(Changes);
  if (written) TrackDataChanged(t);
  TMidiData& clip = Clipboard[0];
  clip.Free();
  uint32_t last = 0;
  TMidiEvent e;
  e.Status = 0xB0;
  if (msb < 128) {
    e.Data1 = 0;
    e.Data2 = msb;
    EncodeEvent(clip, e, last, 0, MaxGate());
  }
  if (lsb < 128) {
    e.Data1 = 32;
    e.Data2 = lsb;
    EncodeEvent(clip, e, last, 0, MaxGate());
  }
  e = TMidiEvent{};
  e.Status = 0xC0;
  e.Data1 = program & 0x7F;
  EncodeEvent(clip, e, last, 0, MaxGate());
  ClipLength = 1;
  MixTrack(ShadowTracks[t], Tracks[t], clip, 0, 1, 1, true);
  SwapTrack(t);
  clip.Free();
  ClipLength = 0;
}

uint8_t* Song::FindConductorMeta(uint8_t type, bool stopAtNote) {
  TMidiData& track = Tracks[0];
  for (TrackWalker w(track); !w.AtEnd(); w.Advance()) {
    const TMidiEvent& ev = w.Next();
    if (stopAtNote && ev.IsNote()) return nullptr;
    if (ev.IsMeta(type) && ev.Data) return track.Top() + (ev.Data - track.Top());
  }
  return nullptr;
}

void Song::InsertConductorMeta(uint8_t type, uint32_t value, int bytes, bool first) {
  TMidiEvent e;
  e.Status = 0xFF;
  e.Data1 = type;
  e.Len = static_cast<uint32_t>(bytes);
  e.Value = value;
  e.Time = 0;
  InsertEvent(0, e, first);
}

uint32_t Song::GetSongTempo() const {
  for (TrackWalker w(Tracks[0]); !w.AtEnd(); w.Advance()) {
    const TMidiEvent& ev = w.Next();
    if (ev.IsMeta(0x51) && ev.Value > 0) return 60000000u / ev.Value;
  }
  return 120;
}

namespace {
void PutPayload(uint8_t* p, uint32_t value, int bytes, uint32_t len) {
  for (int i = 0; i < bytes && static_cast<uint32_t>(i) < len; ++i)
    p[i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}
uint32_t MetaLenAt(const TMidiData& track, const uint8_t* payload, uint8_t type) {
  for (TrackWalker w(track); !w.AtEnd(); w.Advance())
    if (w.Next().Data == payload && w.Next().IsMeta(type)) return w.Next().Len;
  return 0;
}
}  // namespace

void Song::SetSongTempo(uint32_t bpm) {
  if (bpm == 0) bpm = 1;
  uint32_t tempo = 60000000u / bpm;
  if (uint8_t* p = FindConductorMeta(0x51, false)) {
    PutPayload(p, tempo, 3, MetaLenAt(Tracks[0], p, 0x51));
    SongSaved = false;
    TrackDataChanged(0);
  } else {
    InsertConductorMeta(0x51, tempo, 3, false);
  }
}

void Song::SetSongMeter(uint32_t value) {
  if (uint8_t* p = FindConductorMeta(0x58, false)) {
    PutPayload(p, value, 4, MetaLenAt(Tracks[0], p, 0x58));
    SongSaved = false;
    TrackDataChanged(0);
  } else {
    InsertConductorMeta(0x58, value, 4, false);
  }
}

void Song::SetSongKey(uint32_t value) {
  if (uint8_t* p = FindConductorMeta(0x59, true)) {
    PutPayload(p, value, 2, MetaLenAt(Tracks[0], p, 0x59));
    SongSaved = false;
    TrackDataChanged(0);
  } else {
    InsertConductorMeta(0x59, value, 2, true);
  }
}

void Song::RebuildMaps() {
  Maps.BuildMarkerList(Tracks[0]);
  Maps.BuildTempoMap(Tracks[0], TPQN);
  Maps.BuildMeterMap(Tracks[0], TPQN);
  Maps.BuildKeyMap(Tracks[0], TPQN);
  Changes.Notify(kChangeMaps);
}

uint32_t Song::MeasureTrack(int t) {
  uint32_t lastTick = 0;
  for (TrackWalker w(Tracks[t]); !w.AtEnd(); w.Advance()) lastTick = w.NextTick();
  uint32_t end = Maps.MeasureToTick(Maps.TickToMeasure(lastTick).Measure + 1);
  if (static_cast<int64_t>(end) > MeasureEnd) MeasureEnd = static_cast<int32_t>(std::min<uint32_t>(end, 0x7FFFFFFF));
  return end;
}

}  // namespace melko
