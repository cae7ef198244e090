#include "edit/edit_tools.h"

#include "base/int_helpers.h"
#include "song/track_ops.h"

namespace melko {

const QuantizeResolution kQuantizeResolutions[10] = {
    {"  ２分", 2},   {"  ２分３連", 3},   {"  ４分", 4},   {"  ４分３連", 6},   {"  ８分", 8},
    {"  ８分３連", 12}, {"１６分", 16}, {"１６分３連", 24}, {"３２分", 32}, {"３２分３連", 96}};

uint16_t QuantizeGrid(uint32_t tpqn, int resolutionIndex) {
  int i = static_cast<int>(ClampInt(resolutionIndex, 0, 9));
  int64_t grid = int64_t(4) * tpqn / kQuantizeResolutions[i].Divisor;
  return static_cast<uint16_t>(ClampInt(grid, 1, 65535));
}

void DynamicsRange(int kind, int& lo, int& hi) {
  switch (kind) {
    case kDynNote: lo = 1; hi = 127; break;
    case kDynBend: lo = -8192; hi = 8191; break;
    default: lo = 0; hi = 127; break;
  }
}

void CutterBounds(CutterSettings& s, uint8_t code) {
  static const uint8_t kStatus[8] = {0x90, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xF0, 0xFF};
  int kind = static_cast<int>(ClampInt(s.Kind, 0, 7));
  s.Status = kStatus[kind];
  switch (kind) {
    case kCutNote:
    case kCutKeyPressure:
      s.Low = static_cast<uint8_t>(ClampInt(s.FromNote, 0, 127));
      s.High = static_cast<uint8_t>(ClampInt(s.ToNote, 0, 127));
      break;
    case kCutControl:
    case kCutMeta:
      s.Low = s.High = code;
      break;
    default:
      s.Low = s.High = 255;
      break;
  }
  if (s.Low > s.High) std::swap(s.Low, s.High);
}

void StartRebuild(TMidiData& dest, const TMidiData& src) {
  dest.Clear();
  dest.Reserve(src.Length() + 16);
}

void FinishRebuild(TMidiData& dest, const TMidiData& src) {
  if (src.IsNil() && dest.Length() == 0) dest.Free();
  else dest.Touch();
}

namespace {

int64_t NewValue(int method, int64_t v, int64_t add, int64_t change, int64_t set, int64_t centre, int64_t perc,
                 int64_t lower, int64_t upper, int64_t lo, int64_t hi) {
  switch (method) {
    case kMethodAdd: return AddClamp(v, add, lo, hi);
    case kMethodChange: return PercentClamp(v, change, lo, hi);
    case kMethodSet: return ClampInt(set, lo, hi);
    case kMethodCompress:
      if (lower <= v && v <= upper) return v + (centre - v) * perc / 100;
      return v;
  }
  return v;
}

// True when the pass changes this event (it is then re-encoded).
bool Touches(OnePassMode mode, const TMidiEvent& ev, const ToolSettings& s) {
  switch (mode) {
    case kPassDynamics:
      switch (s.Dynamics.Kind) {
        case kDynNote: return ev.Status == 0x90;
        case kDynKeyPressure: return ev.Status == 0xA0;
        case kDynControl: return ev.Status == 0xB0 && ev.Data1 == s.Dynamics.Control;
        case kDynChannelPressure: return ev.Status == 0xD0;
        case kDynBend: return ev.Status == 0xE0;
      }
      return false;
    case kPassTranspose:
      return ev.Status == 0x90;
    case kPassGate:
      return ev.Status == 0x90;
  }
  return false;
}

void Dynamics(TMidiEvent& ev, const DynamicsSettings& d) {
  int lo, hi;
  DynamicsRange(d.Kind, lo, hi);
  int64_t v;
  switch (d.Kind) {
    case kDynNote:
    case kDynKeyPressure:
    case kDynControl: v = ev.Data2; break;
    case kDynChannelPressure: v = ev.Data1; break;
    default: v = int64_t(ev.Data1) + int64_t(ev.Data2) * 128 - 8192; break;
  }
  v = NewValue(d.Method, v, d.Add, d.Change, d.Set, d.CompCenter, d.CompPerc, d.Lower, d.Upper, lo, hi);
  // Compress never leaves the range with a percentage of 0..100; the clamp
  // keeps a stored byte a MIDI data byte whatever the settings say.
  v = ClampInt(v, lo, hi);
  switch (d.Kind) {
    case kDynChannelPressure: ev.Data1 = static_cast<uint8_t>(v); break;
    case kDynBend:
      ev.Data1 = static_cast<uint8_t>((v + 8192) % 128);
      ev.Data2 = static_cast<uint8_t>((v + 8192) / 128);
      break;
    default: ev.Data2 = static_cast<uint8_t>(v); break;
  }
}

void Gate(TMidiEvent& ev, const GateSettings& g, int64_t maxGate) {
  int64_t d = ev.Value;
  switch (g.Method) {
    case kMethodAdd: d = AddClamp(d, g.Add, 1, maxGate); break;
    case kMethodChange: d = PercentClamp(d, g.Change, 1, maxGate); break;
    case kMethodSet: d = g.Set; break;
    case kMethodCompress:
      if (g.Lower <= d && d <= g.Upper) d = d + (g.CompCenter - d) * g.CompPerc / 100;
      break;
  }
  // The encoder keeps a stored gate in 1..maxGate.
  ev.Value = static_cast<uint32_t>(ClampInt(d, 1, maxGate));
}

}  // namespace

void ApplyOnePass(Song& song, int track, uint32_t from, uint32_t to, OnePassMode mode, const ToolSettings& s) {
  TMidiData& dest = song.ShadowTracks[track];
  const TMidiData& src = song.Tracks[track];
  StartRebuild(dest, src);
  const uint32_t maxGate = song.MaxGate();
  uint32_t last = 0;
  TrackWalker w(src);
  while (!w.AtEnd()) {
    uint32_t t = w.NextTick();
    if (t < from || t >= to || !Touches(mode, w.Next(), s)) {
      AppendNext(dest, w, t, last);
      continue;
    }
    TMidiEvent ev = w.Next();
    switch (mode) {
      case kPassDynamics: Dynamics(ev, s.Dynamics); break;
      case kPassTranspose:
        if (s.Transpose.Mode == kTransposeBy)
          ev.Data1 = static_cast<uint8_t>(AddClamp(ev.Data1, s.Transpose.ToNote - s.Transpose.FromNote, 0, 127));
        else if (ev.Data1 == s.Transpose.FromNote)
          ev.Data1 = static_cast<uint8_t>(ClampInt(s.Transpose.ToNote, 0, 127));
        break;
      case kPassGate: Gate(ev, s.Gate, maxGate); break;
    }
    EncodeEvent(dest, ev, last, 0, maxGate);
    w.Advance();
  }
  FinishRebuild(dest, src);
  song.SwapTrack(track);
}

void ApplyEventCutter(Song& song, int track, int clipIndex, uint32_t from, uint8_t status, uint8_t low,
                      uint8_t high, uint32_t to) {
  TMidiData& dest = song.ShadowTracks[track];
  const TMidiData& src = song.Tracks[track];
  TMidiData& clip = song.Clipboard[clipIndex];
  StartRebuild(dest, src);
  clip.Free();
  uint32_t last = 0, clipLast = from;
  TrackWalker w(src);
  while (!w.AtEnd()) {
    const TMidiEvent& ev = w.Next();
    bool cut = ev.Time >= from && ev.Time < to && ev.Status == status &&
               (low == 255 || (ev.Data1 >= low && ev.Data1 <= high));
    if (cut) AppendNext(clip, w, ev.Time, clipLast);
    else AppendNext(dest, w, ev.Time, last);
  }
  FinishRebuild(dest, src);
  song.SwapTrack(track);
}

}  // namespace melko
