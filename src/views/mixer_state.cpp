#include "views/mixer_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace melko {

const char* const kMsgVolumeNotAssignable = "Volumeはアサインできません。";

namespace {
constexpr const char* kCtrlKeys[kMixerKnobRows] = {"Ctrl0", "Ctrl1", "Ctrl2", "Ctrl3"};
}

MixerState::MixerState() { RebuildReverse(); }

void MixerState::RebuildReverse() {
  CtrlRow.fill(kNoMixerRow);
  // A controller shown on two rows (a settings file may say so) belongs to
  // the first; the later row still sends it.
  for (int r = kMixerRows - 1; r >= 0; --r) CtrlRow[RowCtrl[size_t(r)] & 0x7F] = uint8_t(r);
}

MixerUpdate MixerState::ApplyPlayed(uint32_t lParam, bool windowOpen) {
  MixerUpdate u;
  if (!Sync) return u;
  const int t = int(lParam >> 24);
  if (t >= kSongTracks) return u;
  const uint32_t status = lParam & 0xF0;
  const uint8_t d1 = uint8_t((lParam >> 8) & 0x7F), d2 = uint8_t((lParam >> 16) & 0x7F);
  MixerTrack& m = Track(t);
  u.Track = t;
  switch (status) {
    case 0x90: {
      if (d2 == 0) break;
      const int level = (d2 + 1) / 4;
      if (windowOpen) {
        if (!Shown(t) || level < m.Meter) break;
      }
      m.Meter = level;
      u.What = MixerUpdate::kMeter;
      break;
    }
    case 0xB0: {
      if (d1 == 0) m.BankMSB = d2;
      if (d1 == 32) m.BankLSB = d2;
      const uint8_t row = CtrlRow[d1];
      if (row == kNoMixerRow) break;
      m.CtrlValue[row] = d2;
      u.What = MixerUpdate::kControl;
      u.Row = row;
      break;
    }
    case 0xC0:
      m.Program = d1;
      u.What = MixerUpdate::kProgram;
      break;
    default:
      break;
  }
  return u;
}

std::bitset<kSongTracks> MixerState::DecayMeters() {
  // Every track falls, shown or not: a strip scrolled into view later must
  // not show a level from long ago.
  std::bitset<kSongTracks> moved;
  for (int t = 0; t < kSongTracks; ++t) {
    int32_t& meter = Track(t).Meter;
    if (meter > 0) {
      --meter;
      moved.set(size_t(t));
    }
  }
  return moved;
}

bool MixerState::AnyMeter() const {
  return std::any_of(Tracks.begin(), Tracks.end(), [](const MixerTrack& m) { return m.Meter > 0; });
}

uint32_t MixerState::MoveControl(int t, int row, int value, const Song& song) {
  if (t < 0 || t >= kSongTracks || row < 0 || row >= kMixerRows) return 0;
  value = std::clamp(value, 0, 127);
  int32_t& stored = Track(t).CtrlValue[size_t(row)];
  if (stored == value) return 0;
  stored = value;
  return (0xB0u | (song.Ch[size_t(t)] & 15u)) | uint32_t(RowCtrl[size_t(row)]) << 8 | uint32_t(value) << 16;
}

bool MixerState::AssignRow(int row, int cc) {
  if (row < 0 || row >= kMixerKnobRows || cc < 0 || cc > 127 || cc == kVolumeController) return false;
  RowCtrl[size_t(row)] = uint8_t(cc);
  RebuildReverse();
  return true;
}

void MixerState::SetFirstTrack(int t) {
  FirstTrack = std::clamp(t, 1, std::max(1, 64 - StripCount + 1));
}

void MixerState::SetStripCount(int n) {
  StripCount = std::clamp(n, 1, kMaxStripCount);
  SetFirstTrack(FirstTrack);
}

void MixerState::LoadSettings(const IniFile& ini) {
  for (int r = 0; r < kMixerKnobRows; ++r) {
    const int cc = ini.ReadInteger(kMixerSection, kCtrlKeys[r], RowCtrl[size_t(r)]);
    if (cc >= 0 && cc <= 127 && cc != kVolumeController) RowCtrl[size_t(r)] = uint8_t(cc);
  }
  RebuildReverse();
  StripCount = std::clamp(ini.ReadInteger(kMixerSection, "StripCount", StripCount), 1, kMaxStripCount);
  SetFirstTrack(ini.ReadInteger(kMixerSection, "FirstTrack", FirstTrack));
  Sync = ini.ReadBool(kMixerSection, "Sync", Sync);
  MixerCheckedCtrls = uint32_t(ini.ReadInteger(kMixerSection, "MixerCheckedCtrls", int32_t(MixerCheckedCtrls))) &
                      kMixerAllFlags;
  StepInc = std::clamp(ini.ReadInteger(kMixerSection, "StepInc", StepInc), 0, 999);
  CascadeInc = std::clamp(ini.ReadInteger(kMixerSection, "CascadeInc", CascadeInc), 0, 999);
}

void MixerState::SaveSettings(IniFile& ini) const {
  for (int r = 0; r < kMixerKnobRows; ++r) ini.WriteInteger(kMixerSection, kCtrlKeys[r], RowCtrl[size_t(r)]);
  ini.WriteInteger(kMixerSection, "FirstTrack", FirstTrack);
  ini.WriteInteger(kMixerSection, "StripCount", StripCount);
  ini.WriteBool(kMixerSection, "Sync", Sync);
  ini.WriteInteger(kMixerSection, "MixerCheckedCtrls", int32_t(MixerCheckedCtrls));
  ini.WriteInteger(kMixerSection, "StepInc", StepInc);
  ini.WriteInteger(kMixerSection, "CascadeInc", CascadeInc);
}

std::vector<std::pair<int, std::string>> ControllerList(const NameTable& control) {
  std::vector<std::pair<int, std::string>> list;
  for (int i = 0; i < control.Count && i < int(control.Names.size()); ++i)
    if (control.Codes[size_t(i)] < 128) list.emplace_back(control.Codes[size_t(i)], control.Names[size_t(i)]);
  return list;
}

std::string ProgramText(int program) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.3d", program);
  return buf;
}

double KnobAngle(const KnobRange& k, int position) {
  const int span = std::max(k.Max - k.Min, 1);
  return double(position - k.Min) * k.Sweep / span - 270.0 + (360.0 - k.Sweep) / 2.0;
}

int KnobPositionAt(const KnobRange& k, int degrees) {
  const int p = k.Min + (degrees + 180 - (360 - k.Sweep) / 2) * (k.Max - k.Min) / std::max(k.Sweep, 1);
  return std::clamp(p, k.Min, k.Max);
}

int KnobDirection(double dx, double dy) {
  return int(std::lround(std::atan2(dx, -dy) * 180.0 / M_PI));
}

}  // namespace melko
