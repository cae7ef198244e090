// The mixer's run-long state: the controller of each strip row (four
// assignable knobs and the volume fader) with its reverse table, the values
// each track's strip shows (tracks 0..64, kept for the whole run whether the
// window is open or not), the window's own settings (first track, strip
// count, Sync, what Mix/Init/Replace write, their tick steps) and the master
// volume. Played events (the engine's EventSent notices) and the user's
// moves of a control both go through here, so the window and the batch form
// behave the same. Plain values; UI thread only. The owner (the main window,
// a batch run) keeps one for the program's run.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/ini_file.h"
#include "edit/name_tables.h"
#include "song/song.h"

namespace melko {

constexpr int kMixerRows = 5;      // rows 0..3 knobs, row 4 the fader
constexpr int kMixerKnobRows = 4;
constexpr int kFaderRow = 4;
constexpr uint8_t kVolumeController = 7;
constexpr uint8_t kNoMixerRow = 255;
constexpr uint8_t kNoBank = 255;
constexpr int kMixerMeterMax = 32;
constexpr int kMaxStripCount = 64;
// MixerCheckedCtrls: bits 0..4 the rows, bit 5 program and bank.
constexpr uint32_t kMixerProgramFlag = 1u << 5;
constexpr uint32_t kMixerAllFlags = 0x3F;
constexpr const char* kMixerSection = "Mixer";

extern const char* const kMsgVolumeNotAssignable;  // "Volumeはアサインできません。"

struct MixerTrack {
  std::array<int32_t, kMixerRows> CtrlValue{0, 0, 0, 64, 100};
  uint8_t Program = 0;
  uint8_t BankLSB = kNoBank;
  uint8_t BankMSB = kNoBank;
  int32_t Meter = 0;  // 0..32
};

// What a played event changed, for a window to redraw.
struct MixerUpdate {
  enum Kind { kNothing, kMeter, kControl, kProgram };
  Kind What = kNothing;
  int Track = -1;
  int Row = -1;  // kControl: the row moved (banks have none)
};

class MixerState {
 public:
  MixerState();

  std::array<MixerTrack, kSongTracks> Tracks;
  std::array<uint8_t, kMixerRows> RowCtrl{91, 93, 94, 10, kVolumeController};
  std::array<uint8_t, 128> CtrlRow{};  // controller -> row, kNoMixerRow when none shows it

  // Window state ("FirstTrack", "StripCount", "Sync", "MixerCheckedCtrls",
  // "StepInc", "CascadeInc"; "Ctrl0".."Ctrl3" for the rows).
  int FirstTrack = 1;
  int StripCount = 16;
  bool Sync = true;
  uint32_t MixerCheckedCtrls = kMixerAllFlags;
  int StepInc = 1;
  int CascadeInc = 120;
  int MasterVolume = 127;

  MixerTrack& Track(int t) { return Tracks[size_t(t)]; }
  const MixerTrack& Track(int t) const { return Tracks[size_t(t)]; }

  // Whether track t has a strip on screen.
  bool Shown(int t) const { return t >= FirstTrack && t < FirstTrack + StripCount; }
  // The window's width for StripCount strips.
  int WindowWidth() const { return StripCount * 37 + 46; }

  // An EventSent notice's lParam (message | track << 24). Nothing when Sync
  // is off. A note on raises the meter (with the window open only for a
  // shown strip, and never lowering it); a controller of a row is stored
  // (0 and 32 also as the bank bytes); a program change is stored.
  MixerUpdate ApplyPlayed(uint32_t lParam, bool windowOpen);

  // Every 50 ms: each meter above 0 falls by one. Returns the tracks whose
  // meter moved.
  std::bitset<kSongTracks> DecayMeters();
  bool AnyMeter() const;

  // The user moved row `row` of track t to `value` (clamped to 0..127).
  // Returns the control change to send (B0h + the track's channel, the
  // row's controller, the value), or 0 when the value is the one stored.
  uint32_t MoveControl(int t, int row, int value, const Song& song);

  // Gives knob row 0..3 controller cc; false (nothing changed) for the
  // volume controller, a fader row or a number out of range.
  bool AssignRow(int row, int cc);

  // The arrow buttons and the grid: FirstTrack moved so that the strips stay
  // within tracks 1..64.
  void ScrollBy(int step) { SetFirstTrack(FirstTrack + step); }
  void SetFirstTrack(int t);
  void SetStripCount(int n);

  // Settings in section "Mixer".
  void LoadSettings(const IniFile& ini);
  void SaveSettings(IniFile& ini) const;

 private:
  void RebuildReverse();
};

// The row buttons' menu: the entries of CONTROL.TXT as (number, raw name).
std::vector<std::pair<int, std::string>> ControllerList(const NameTable& control);

// The program button's text: the program as three digits.
std::string ProgramText(int program);

// The knob's geometry, shared by the drawing and the mouse.
struct KnobRange {
  int Min = 0, Max = 127;
  int Sweep = 270;  // degrees, 91..359
};
// The pointer's angle in degrees for `position`, in screen terms: 0 points
// right and angles grow clockwise (y down), so with a 270-degree sweep Min
// points to the lower left (-225), the middle straight up and Max to the
// lower right (45).
double KnobAngle(const KnobRange& k, int position);
// The position for a mouse direction seen from the knob's centre, given in
// whole degrees clockwise from straight up (-180..180), clamped to Min..Max.
int KnobPositionAt(const KnobRange& k, int degrees);
// That direction for a mouse offset (dx right, dy down) from the centre.
int KnobDirection(double dx, double dy);

}  // namespace melko
