// What MELKO.INI says about the MIDI input side: the receive filter and the
// velocity rule (section "Filter"), the thru mode and whom DynamicTHRU
// follows (section "Port"), and the computer keyboard's lock key and upper
// rows (section "Kanabun"). The derived tables the input callback reads,
// FilterMask and VelocityTable, are built from here. Plain data and pure
// functions; any thread may build a table, the owner decides when.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/ini_file.h"

namespace melko {

// "Receive" bits.
constexpr uint8_t kReceiveNote = 1 << 0;  // note-on and note-off
constexpr uint8_t kReceiveKeyPressure = 1 << 1;
constexpr uint8_t kReceiveControl = 1 << 2;
constexpr uint8_t kReceiveProgram = 1 << 3;
constexpr uint8_t kReceiveChannelPressure = 1 << 4;
constexpr uint8_t kReceivePitchBend = 1 << 5;
constexpr uint8_t kReceiveAll = 63;

// "VeloType".
enum VelocityRule : int { kVeloByMidi = 0, kVeloAdd = 1, kVeloChange = 2, kVeloSet = 3 };

// Bounds of the velocity rule's values.
constexpr int kMinVeloAdd = -126, kMaxVeloAdd = 126;
constexpr int kMinVeloChange = 1, kMaxVeloChange = 999;
constexpr int kMinVeloSet = 1, kMaxVeloSet = 127;

struct InputFilterSettings {
  uint8_t Receive = kReceiveAll;
  uint8_t Send = 3;  // kSendSystemExclusive | kSendBankChange
  int VeloType = kVeloByMidi;
  int VeloAdd = 10;
  int VeloChange = 100;
  int VeloSet = 100;
  bool operator==(const InputFilterSettings&) const = default;
};

// Section "Filter"; every value is clamped to its range, an unknown
// "VeloType" becomes "ByMIDI".
InputFilterSettings ReadInputFilterSettings(const IniFile& ini);
void WriteInputFilterSettings(IniFile& ini, const InputFilterSettings& s);

// A velocity box of the filter page: text that is not a number gives 100,
// a number is clamped to lo..hi.
int ReadVelocityBox(std::string_view text, int lo, int hi);

// One byte per status nibble (index 0..15; 8..E are used): FF when the kind
// is received, 00 when not. Nibble 8 (note-off) follows nibble 9.
using FilterMaskTable = std::array<uint8_t, 16>;
FilterMaskTable BuildFilterMask(uint8_t receive);

// Entry v = clamp(v × scale div 100 + add, 1, 127) for the chosen rule.
using VelocityTableType = std::array<uint8_t, 128>;
VelocityTableType BuildVelocityTable(const InputFilterSettings& s);

// Thru (section "Port").
constexpr int kThruOff = 0;
constexpr int kThruDynamic = 1;  // to the target track's port and channel
// 2..5: to port A..D with the channel unchanged.
constexpr int kMaxThruMode = 5;

struct ThruSettings {
  int ThruMode = kThruOff;         // "Thru"; a stored value above 5 becomes 0
  bool ActiveTrackThru = true;     // "goActiveTrackThru"
  bool SelectedTrackThru = false;  // "goSelectedTrackThru"
  bool operator==(const ThruSettings&) const = default;
};
ThruSettings ReadThruSettings(const IniFile& ini);
void WriteThruSettings(IniFile& ini, const ThruSettings& s);

// The computer keyboard as a piano (section "Kanabun").
enum LockKey : int { kLockCaps = 0, kLockNum = 1, kLockScroll = 2 };
struct KeyboardSettings {
  int ToggleType = kLockCaps;  // "ToggleType": which lock key switches note input on
  bool UpperEnabled = false;   // "UpperEnabled": the two upper rows are keys too
  bool operator==(const KeyboardSettings&) const = default;
};
KeyboardSettings ReadKeyboardSettings(const IniFile& ini);
void WriteKeyboardSettings(IniFile& ini, const KeyboardSettings& s);

}  // namespace melko
