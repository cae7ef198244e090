#include "views/mixer_commands.h"

#include <algorithm>

#include "edit/edit_tools.h"
#include "song/track_ops.h"

namespace melko {

const char* const kHintMixerMix = "<Mixer> Mix";
const char* const kHintMixerInit = "<Mixer> Init";

namespace {

bool IsTrack(int t) { return t >= 1 && t <= 64; }

TMidiEvent Controller(uint32_t tick, uint8_t cc, int32_t value) {
  TMidiEvent e;
  e.Time = tick;
  e.Status = 0xB0;
  e.Data1 = cc & 0x7F;
  e.Data2 = uint8_t(std::clamp<int32_t>(value, 0, 127));
  return e;
}

// The start of the measure after the last event of any music track.
uint32_t SongMeasureEnd(const Song& song) {
  uint32_t last = 0;
  for (int t = 1; t <= 64; ++t) {
    if (!song.Tracks[size_t(t)].HasData()) continue;
    for (TrackWalker w(song.Tracks[size_t(t)]); !w.AtEnd(); w.Advance()) last = std::max(last, w.NextTick());
  }
  return song.Maps.MeasureToTick(song.Maps.TickToMeasure(last).Measure + 1);
}

// Init and Replace: the events of track t with from <= tick < to that the
// patterns match take the mixer's values; with `toFirstNote` the first note
// on ends the changes. True when the track was rebuilt (something differed).
bool OverwriteTrack(Song& song, const MixerState& mixer, int t, uint32_t from, uint32_t to, bool toFirstNote) {
  const MixerTrack& m = mixer.Track(t);
  const uint32_t flags = mixer.MixerCheckedCtrls;
  uint32_t patterns[kMixerRows + 4];
  int count = 0;
  if (toFirstNote) patterns[count++] = 0x00900000;  // any note
  for (int r = 0; r < kMixerRows; ++r)
    if (flags & (1u << r)) patterns[count++] = 0x01B00000 | uint32_t(mixer.RowCtrl[size_t(r)]) << 8;
  const bool banks = m.BankMSB != kNoBank && m.BankLSB != kNoBank;
  if (flags & kMixerProgramFlag) {
    if (banks) {
      patterns[count++] = 0x01B00000;
      patterns[count++] = 0x01B02000;
    }
    patterns[count++] = 0x00C00000;
  }
  const TMidiData& src = song.Tracks[size_t(t)];
  if (!src.HasData()) return false;
  bool passedNote = false, changed = false;
  auto rule = [&](TMidiEvent& ev) {
    if (passedNote) return int(kScanCopy);
    const uint8_t before = ev.Status == 0xC0 ? ev.Data1 : ev.Data2;
    if (ev.Status == 0x90) {
      passedNote = true;  // this and every later event stay as they are
      return int(kScanCopy);
    }
    if (ev.Status == 0xC0) {
      ev.Data1 = m.Program & 0x7F;
    } else if (ev.Data1 == 0 && banks && (flags & kMixerProgramFlag)) {
      ev.Data2 = m.BankMSB & 0x7F;
    } else if (ev.Data1 == 32 && banks && (flags & kMixerProgramFlag)) {
      ev.Data2 = m.BankLSB & 0x7F;
    } else {
      // The first marked row showing this controller gives the value.
      for (int r = 0; r < kMixerRows; ++r)
        if ((flags & (1u << r)) && mixer.RowCtrl[size_t(r)] == ev.Data1) {
          ev.Data2 = uint8_t(std::clamp<int32_t>(m.CtrlValue[size_t(r)], 0, 127));
          break;
        }
    }
    if ((ev.Status == 0xC0 ? ev.Data1 : ev.Data2) != before) changed = true;
    return int(kScanCopy);
  };
  TMidiData& dest = song.ShadowTracks[size_t(t)];
  StartRebuild(dest, src);
  ScanEvents(&dest, src, from, to, patterns, count, rule, song.MaxGate());
  if (!changed) return false;
  FinishRebuild(dest, src);
  song.SwapTrack(t);
  return true;
}

void FlagsChanged(Song& song) { song.Changes.NotifyTracks(kChangeTrackSettings, 1, 64); }

}  // namespace

std::vector<TMidiEvent> MixEvents(const MixerState& mixer, int t, int fromTrack, uint32_t& length) {
  std::vector<TMidiEvent> list;
  const MixerTrack& m = mixer.Track(t);
  const uint32_t flags = mixer.MixerCheckedCtrls;
  const uint32_t step = uint32_t(std::max(mixer.StepInc, 0));
  uint32_t p = uint32_t(std::max(t - fromTrack, 0)) * uint32_t(std::max(mixer.CascadeInc, 0));
  for (int r = 0; r < kMixerRows; ++r) {
    if (!(flags & (1u << r))) continue;
    list.push_back(Controller(p, mixer.RowCtrl[size_t(r)], m.CtrlValue[size_t(r)]));
    p += step;
  }
  if (flags & kMixerProgramFlag) {
    if (m.BankMSB != kNoBank && m.BankLSB != kNoBank) {
      list.push_back(Controller(p, 0, m.BankMSB));
      p += step;
      list.push_back(Controller(p, 32, m.BankLSB));
      p += step;
    }
    TMidiEvent pc;
    pc.Time = p;
    pc.Status = 0xC0;
    pc.Data1 = m.Program & 0x7F;
    list.push_back(pc);
  }
  length = p + 1;
  return list;
}

bool MixerMix(Song& song, EditDispatcher& d, const MixerState& mixer) {
  if ((mixer.MixerCheckedCtrls & kMixerAllFlags) == 0) return false;
  d.Range.Normalize();
  const TEditRange& r = d.Range;
  SongNotifier::Batch batch(song.Changes);
  d.BeginEdit();
  for (int t = std::max(r.EditFromTrack, 1); t <= std::min(r.EditToTrack, 64); ++t) {
    uint32_t length = 0;
    std::vector<TMidiEvent> list = MixEvents(mixer, t, r.EditFromTrack, length);
    TMidiData clip;
    uint32_t last = 0;
    for (TMidiEvent& e : list) EncodeEvent(clip, e, last, 0, song.MaxGate());
    MixTrack(song.ShadowTracks[size_t(t)], song.Tracks[size_t(t)], clip, r.EditFromTick, length, 1, false);
    song.SwapTrack(t);
  }
  d.FinishEdit(kHintMixerMix);
  return true;
}

bool MixerInit(Song& song, EditDispatcher& d, const MixerState& mixer) {
  if ((mixer.MixerCheckedCtrls & kMixerAllFlags) == 0) return false;
  const uint32_t end = SongMeasureEnd(song);
  SongNotifier::Batch batch(song.Changes);
  d.BeginEdit();
  for (int t = 1; t <= 64; ++t) OverwriteTrack(song, mixer, t, 0, end, true);
  d.FinishEdit(kHintMixerInit);
  return true;
}

bool MixerReplace(Song& song, EditDispatcher& d, const MixerState& mixer) {
  if ((mixer.MixerCheckedCtrls & kMixerAllFlags) == 0) return false;
  d.Range.Normalize();
  const TEditRange& r = d.Range;
  SongNotifier::Batch batch(song.Changes);
  d.BeginEdit();
  for (int t = std::max(r.EditFromTrack, 1); t <= std::min(r.EditToTrack, 64); ++t)
    OverwriteTrack(song, mixer, t, r.EditFromTick, r.EditToTick, false);
  d.FinishEdit(kHintMixerInit);
  return true;
}

void SetStripPatch(Song& song, EditDispatcher& d, MixerState& mixer, int t, uint32_t patch) {
  if (!IsTrack(t)) return;
  const uint8_t msb = uint8_t(patch >> 16), lsb = uint8_t(patch >> 8), program = uint8_t(patch) & 0x7F;
  {
    SongNotifier::Batch batch(song.Changes);
    d.BeginEdit();
    song.SetTrackPatch(t, msb, lsb, program);
    song.GetTrackPatch(t);
    song.Changes.Notify(kChangeTrackSettings, t);
    d.FinishEdit("<Track>Program Change");
  }
  MixerTrack& m = mixer.Track(t);
  m.Program = program;
  if (msb != kNoBank && lsb != kNoBank) {
    m.BankMSB = msb & 0x7F;
    m.BankLSB = lsb & 0x7F;
  }
}

uint32_t StripPatch(const MixerState& mixer, int t) {
  const MixerTrack& m = mixer.Track(t);
  return uint32_t(m.BankMSB) << 16 | uint32_t(m.BankLSB) << 8 | m.Program;
}

void MixerSoloClick(Song& song, int t, bool down) {
  if (!IsTrack(t)) return;
  if (down) song.Solo = uint8_t(t);
  else if (song.Solo == t) song.Solo = 0;
  FlagsChanged(song);
}

void MixerMuteClick(Song& song, int t, bool down, bool ctrl) {
  if (!IsTrack(t)) return;
  if (ctrl)
    for (int i = 1; i <= 64; ++i) song.Mute[size_t(i)] = 1;
  song.Mute[0] = 1;
  song.Mute[size_t(t)] = down ? 1 : 0;
  FlagsChanged(song);
}

void MixerMasterMuteClick(Song& song, bool down, bool ctrl) {
  if (ctrl) {
    for (int i = 1; i <= 64; ++i) song.Mute[size_t(i)] = 0;
    song.Mute[0] = 0;
  } else {
    song.Mute[0] = down ? 1 : 0;
  }
  FlagsChanged(song);
}

void SetTracksChannel(Song& song, const std::vector<int>& tracks, int channel) {
  SongNotifier::Batch batch(song.Changes);
  for (int t : tracks) {
    if (!IsTrack(t)) continue;
    song.Ch[size_t(t)] = uint8_t(std::clamp(channel, 0, 15));
    song.SongSaved = false;
    song.Changes.Notify(kChangeTrackSettings, t);
  }
}

void SetTracksPort(Song& song, const std::vector<int>& tracks, int port) {
  SongNotifier::Batch batch(song.Changes);
  for (int t : tracks) {
    if (!IsTrack(t)) continue;
    song.OutPort[size_t(t)] = uint8_t(std::clamp(port, 0, 3));
    song.SongSaved = false;
    song.Changes.Notify(kChangeTrackSettings, t);
  }
}

}  // namespace melko
