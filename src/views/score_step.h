// Step entry of the score windows: the step cursor and its arithmetic (note
// values, dot, tie, tuplets, gate from ratio, grid), the palette's buttons
// and boxes, both key tables (with and without pen mode), and the edits that
// write and remove notes, each in one undoable edit frame of the dispatcher.
//
// StepEntryState is one set shared by all score windows (the program owns
// it); ScoreStep is one window's logic and its own command memory. The step
// cursor's tick is the song position: it lives in the dispatcher's
// Range.CurrentTick, and StepEvent.Time is brought up to it before use.
// UI thread only; the song and the dispatcher must outlive a ScoreStep.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "edit/edit_dispatcher.h"
#include "song/midi_event.h"
#include "song/song.h"

namespace melko {

extern const char* const kHintStepNote;    // "<Score>Step Input"
extern const char* const kHintStepDelete;  // "<Score>Delete"
extern const char* const kHintStepInsert;  // "<Score>Insert"

// Virtual-key codes the key tables speak.
enum ScoreKeyCode {
  kVkBack = 8, kVkReturn = 13, kVkShift = 16, kVkControl = 17,
  kVkPrior = 33, kVkNext = 34, kVkEnd = 35, kVkHome = 36,
  kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40,
  kVkInsert = 45, kVkDelete = 46,
  kVkNumpad0 = 96, kVkNumpad1 = 97, kVkNumpad9 = 105,
  kVkAdd = 107, kVkDecimal = 110, kVkDivide = 111,
  kVkF1 = 112, kVkF7 = 118,
  kVkMinus = 189, kVkQuote = 222, kVkBackslash = 220,
};
enum ScoreModifiers { kModShift = 1, kModCtrl = 2 };

// The step-entry state shared by every score window.
struct StepEntryState {
  StepEntryState();
  TMidiEvent StepEvent;  // Time: the song position; Data1 note, Data2 velocity, Data3 note-off velocity, Value gate
  int32_t StepTime = 240;
  int32_t GateRatio = 90;
  int32_t GridStep = 120;
  int32_t GEditInterval = 16;
  int32_t GEditKind = 1;
  int32_t GEditLine = 0;
  std::array<uint8_t, 6> VelocityPresets{127, 100, 80, 60, 30, 10};
  std::array<uint8_t, 3> GatePresets{99, 90, 50};
  std::array<uint8_t, 128> HeldKeys{};  // the velocity a held key was pressed with, 0 = up
  int HeldCount = 0;

  // After New and Open: GridStep := TPQN div 4 and StepTime := TPQN div 2,
  // each at least 1 tick, and the gate from the ratio.
  void SongLoaded(uint32_t tpqn);
  // gate := StepTime × GateRatio div 100, at least 1.
  void RecomputeGate();
  int Velocity() const { return StepEvent.Data2; }
  void SetVelocity(int v);
  // A key of the window's note keyboard pressed (with the step velocity) or released.
  void HoldKey(int note);
  void ReleaseKey(int note);
};

// The palette's buttons that stay down and its boxes' texts, as the window shows them.
struct ScorePalette {
  int NoteDown = 4;        // Tag of the note value button that is down (1 whole .. 7 64th)
  int VelocityDown = 1;    // f
  int GateDown = 1;        // normal
  int GridDown = 16;       // sbtGrid4/8/16/32
  bool GridTriplet = false;
  bool Pen = false, Erase = false;
  bool ByMouse = true, ByMidi = false;
  std::string TupletText = "3";
  bool StepBoxActive = true;  // edStep holds the focus (numpad keys act on the score)
  bool TupletBoxActive = false;
};

class ScoreStep {
 public:
  ScoreStep(Song& song, EditDispatcher& dispatcher, StepEntryState& state, int track);

  int Track;  // the window's Tag, 1..64
  uint16_t LastCommand = 0;
  int32_t LastValue = 0;
  int32_t Addend = 0;
  std::array<uint8_t, 128> MidiHeld{};
  int MidiHeldCount = 0;
  std::array<uint8_t, 128> MidiChord{};
  int32_t LastReleaseTime = 0;
  ScorePalette Palette;

  StepEntryState& State() { return state_; }
  const StepEntryState& State() const { return state_; }
  Song& TheSong() { return song_; }

  // The cursor: tick (the song position) and note.
  uint32_t Tick() const { return dispatcher_.Range.CurrentTick; }
  void SetTick(uint32_t tick);
  int Note() const { return state_.StepEvent.Data1; }
  void SetNote(int note);
  // The key signature (-7..7) in force at the cursor.
  int KeyAtCursor() const;

  // Palette commands.
  void ChooseNoteValue(int n);  // 1 whole .. 7 64th
  void Dot();
  void Tie() { LastCommand = kVkAdd; }
  void TupletKey();  // LastCommand := 111, the tuplet box takes the focus
  void ApplyTuplet(std::string_view text);  // edTuplet typed and applied
  void TripletButton();  // sbtTuplet
  void SetGrid(int k);   // sbtGrid4..32
  void SetGridTriplet(bool down);
  void VelocityPreset(int index);
  void IncVelocity(int d);  // tsbtIncVelo / tsbtDecVelo
  void VelocityTyped(std::string_view text);
  void GatePreset(int index);
  void IncGate(int d);
  void GateRatioTyped(std::string_view text);
  void GateValueTyped(std::string_view text);
  void StepTyped(std::string_view text);  // edStep: a length, as the length boxes read it
  void SetPen(bool down);
  void SetErase(bool down);
  void IncRepeat(int d);  // edRepeat's buttons
  void RepeatTyped(std::string_view text);

  // A key pressed in the window (virtual-key code and ScoreModifiers).
  // Returns whether the cursor's tick or note changed (the staff then
  // scrolls to the cursor); `handled` says whether the key did anything.
  bool KeyDown(int vk, int modifiers, bool* handled = nullptr);

  // The edits; each is one undoable frame. False when nothing was changed.
  bool EnterNote();
  bool DeleteBefore();         // Backspace
  bool DeleteAt();             // Delete
  bool DeleteAtTick(uint32_t tick);  // erase mode: the notes that start at tick
  bool InsertGap();            // Insert
  // A MIDI input message for step entry (time stamp in milliseconds).
  void MidiMessage(int32_t ms, uint8_t status, uint8_t data1, uint8_t data2);

  // The cursor's tick from a mouse position's tick: snapped down to the
  // grid unless Ctrl is held.
  uint32_t SnapTick(uint32_t tick, bool ctrl) const;

 private:
  bool MixChord(const std::array<uint8_t, 128>& velocities, bool eachOwnVelocity);
  bool RemoveNotesAt(uint32_t tick);
  uint32_t MeasureStart(uint32_t tick) const;

  Song& song_;
  EditDispatcher& dispatcher_;
  StepEntryState& state_;
};

}  // namespace melko
