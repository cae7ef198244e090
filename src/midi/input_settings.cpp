#include "midi/input_settings.h"

#include <algorithm>

#include "base/int_helpers.h"

namespace melko {

InputFilterSettings ReadInputFilterSettings(const IniFile& ini) {
  InputFilterSettings s;
  s.Receive = uint8_t(ini.ReadInteger("Filter", "Receive", kReceiveAll) & kReceiveAll);
  s.Send = uint8_t(ini.ReadInteger("Filter", "Send", 3) & 3);
  int type = ini.ReadInteger("Filter", "VeloType", kVeloByMidi);
  s.VeloType = type >= kVeloByMidi && type <= kVeloSet ? type : kVeloByMidi;
  s.VeloAdd = int(ClampInt(ini.ReadInteger("Filter", "VeloAdd", 10), kMinVeloAdd, kMaxVeloAdd));
  s.VeloChange = int(ClampInt(ini.ReadInteger("Filter", "VeloChange", 100), kMinVeloChange, kMaxVeloChange));
  s.VeloSet = int(ClampInt(ini.ReadInteger("Filter", "VeloSet", 100), kMinVeloSet, kMaxVeloSet));
  return s;
}

void WriteInputFilterSettings(IniFile& ini, const InputFilterSettings& s) {
  ini.WriteInteger("Filter", "Receive", s.Receive);
  ini.WriteInteger("Filter", "Send", s.Send);
  ini.WriteInteger("Filter", "VeloType", s.VeloType);
  ini.WriteInteger("Filter", "VeloAdd", s.VeloAdd);
  ini.WriteInteger("Filter", "VeloChange", s.VeloChange);
  ini.WriteInteger("Filter", "VeloSet", s.VeloSet);
}

int ReadVelocityBox(std::string_view text, int lo, int hi) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int64_t v;
  if (!TryParseInt(text, v)) return 100;
  return int(ClampInt(v, lo, hi));
}

FilterMaskTable BuildFilterMask(uint8_t receive) {
  FilterMaskTable mask{};
  for (int kind = 0; kind < 6; ++kind) mask[9 + kind] = (receive >> kind) & 1 ? 0xFF : 0x00;
  mask[8] = mask[9];
  return mask;
}

VelocityTableType BuildVelocityTable(const InputFilterSettings& s) {
  int scale = 100, add = 0;
  switch (s.VeloType) {
    case kVeloAdd: add = std::clamp(s.VeloAdd, kMinVeloAdd, kMaxVeloAdd); break;
    case kVeloChange: scale = std::clamp(s.VeloChange, kMinVeloChange, kMaxVeloChange); break;
    case kVeloSet: scale = 0; add = std::clamp(s.VeloSet, kMinVeloSet, kMaxVeloSet); break;
    default: break;
  }
  VelocityTableType table{};
  for (int v = 0; v < 128; ++v) table[size_t(v)] = uint8_t(std::clamp(v * scale / 100 + add, 1, 127));
  return table;
}

ThruSettings ReadThruSettings(const IniFile& ini) {
  ThruSettings s;
  int mode = ini.ReadInteger("Port", "Thru", kThruOff);
  s.ThruMode = mode < 0 || mode > kMaxThruMode ? kThruOff : mode;
  s.ActiveTrackThru = ini.ReadBool("Port", "goActiveTrackThru", true);
  s.SelectedTrackThru = ini.ReadBool("Port", "goSelectedTrackThru", false);
  return s;
}

void WriteThruSettings(IniFile& ini, const ThruSettings& s) {
  ini.WriteInteger("Port", "Thru", s.ThruMode);
  ini.WriteBool("Port", "goActiveTrackThru", s.ActiveTrackThru);
  ini.WriteBool("Port", "goSelectedTrackThru", s.SelectedTrackThru);
}

KeyboardSettings ReadKeyboardSettings(const IniFile& ini) {
  KeyboardSettings s;
  int type = ini.ReadInteger("Kanabun", "ToggleType", kLockCaps);
  s.ToggleType = type >= kLockCaps && type <= kLockScroll ? type : kLockCaps;
  s.UpperEnabled = ini.ReadBool("Kanabun", "UpperEnabled", false);
  return s;
}

void WriteKeyboardSettings(IniFile& ini, const KeyboardSettings& s) {
  ini.WriteInteger("Kanabun", "ToggleType", s.ToggleType);
  ini.WriteBool("Kanabun", "UpperEnabled", s.UpperEnabled);
}

}  // namespace melko
