// The computer keyboard as a piano: the table from PC scan codes to semitone
// offsets, the note a key plays, and `TmKanabun`, the per-window component
// that turns key presses into notes, sounds them through the shared relay and
// tells its window. `KanabunKeys` is the process-wide part (the table, the
// lock key and the on/off state) that the window side's event filter feeds
// with plain key events; it knows nothing of Qt, so every rule here can be
// driven by hand.
// Threads: UI thread only. A component does not own its relay; the relay
// must outlive it (or be reset to null first).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace melko {

class TmMidiRelay;

// 126 bytes indexed by PC scan code (set 1): a semitone offset, or kNoNoteKey.
constexpr int kKeyNoteTableSize = 126;
constexpr uint8_t kNoNoteKey = 0xFF;
using KeyNoteTableType = std::array<uint8_t, kKeyNoteTableSize>;

// The standard 101/106-key layout: the bottom letter row holds the white
// keys, the home row the black keys (where the piano has none the key plays
// the next white key); with `upperEnabled` the number row and the top letter
// row repeat this an octave higher.
KeyNoteTableType BuildKeyNoteTable(bool upperEnabled);

// The offset of scan code `scanCode`, or -1 when it is no note key (also for
// codes outside the table).
int KeyNoteOffset(const KeyNoteTableType& table, int scanCode);

// offset + (octave - 1) × 12 + transpose, brought into 0..127 by octaves.
int KanabunNote(int offset, int octave, int transpose);

// The PC scan code of a Linux key code (the X11/Wayland native scan code
// less 8), or -1 for a key that has none in the table's sense. Codes 1..88
// are the PC codes themselves; of the rest only the two Japanese keys the
// table uses have one (ro is 0x73, yen 0x7D). Everything else, among them
// the extended keys (arrows, right Ctrl, the keypad's Enter and slash),
// Volume Up and the left Windows key that the PC codes 0x73 and 0x7D would
// otherwise stand for, gives -1.
int PcScanCodeFromLinuxKey(int linuxKey);

// `Filters`: which handled keys are consumed rather than passed on.
constexpr unsigned kfNoteNum = 1 << 0;
constexpr unsigned kfTranspose = 1 << 1;

// Modifier bits of a key event and of `ShiftMask`.
constexpr unsigned kKanaShift = 1 << 0;
constexpr unsigned kKanaCtrl = 1 << 1;
constexpr unsigned kKanaAlt = 1 << 2;
constexpr unsigned kKanaMeta = 1 << 3;

constexpr int kMinKanaOctave = 0, kMaxKanaOctave = 10, kDefaultKanaOctave = 5;
constexpr int kMinKanaTranspose = -12, kMaxKanaTranspose = 12;

// The keys the rules tell apart; every other key is kOther (and may still be
// a note key by its scan code).
enum class KanaKey { kOther, kPageUp, kPageDown, kCapsLock, kNumLock, kScrollLock };

struct KanaKeyEvent {
  bool Press = true;        // false: the key was released
  int ScanCode = -1;        // PC scan code, -1 when the key has none
  KanaKey Kind = KanaKey::kOther;
  unsigned Modifiers = 0;   // kKana* bits held with the key
  bool AutoRepeat = false;  // a repeat of a key already down
};

class TmKanabun {
 public:
  TmKanabun() = default;
  TmKanabun(const TmKanabun&) = delete;
  TmKanabun& operator=(const TmKanabun&) = delete;
  // Ends the notes still held, so that none is left sounding.
  ~TmKanabun();

  bool Active() const { return active_; }
  // False releases every held note.
  void SetActive(bool on);
  int Octave() const { return octave_; }
  int Transpose() const { return transpose_; }
  // Ignored while a note is held or outside the range; the change events
  // fire only after a real change.
  void SetOctave(int octave);
  void SetTranspose(int transpose);

  unsigned Filters = kfNoteNum | kfTranspose;
  unsigned ShiftMask = kKanaAlt | kKanaCtrl;
  bool DisableTransposeByKey = false;
  TmMidiRelay* Relay = nullptr;  // where notes sound; none when null

  std::function<void(int note)> OnNoteOn, OnNoteOff;
  std::function<void()> OnOctaveChange, OnTransposeChange, OnToggleChanged;

  // Held notes in the order they started.
  const std::vector<int>& HeldNotes() const { return held_; }
  bool IsHeld(int note) const;
  void NoteOn(int note);
  // Only a held note ends.
  void NoteOff(int note);
  // NoteOff for every held note, the last started first.
  void ReleaseAll();

  // A key while this component's window is active and note input is on.
  // Returns true when the key is consumed.
  bool HandleKey(const KanaKeyEvent& e, const KeyNoteTableType& table);
  // Whether HandleKey would consume the key, without acting on it.
  bool WouldConsume(const KanaKeyEvent& e, const KeyNoteTableType& table) const;

 private:
  enum class Action { kPass, kOctaveUp, kOctaveDown, kTransposeUp, kTransposeDown, kNoteOn, kNoteOff, kNothing };
  Action Classify(const KanaKeyEvent& e, const KeyNoteTableType& table, int* note) const;

  bool active_ = true;
  int octave_ = kDefaultKanaOctave;
  int transpose_ = 0;
  std::vector<int> held_;
};

// The process-wide part: the key table, the lock key and whether note input
// is on. The caller says which component belongs to the active window (null
// when none, or while a menu is open).
class KanabunKeys {
 public:
  KanabunKeys();

  // 0 Caps Lock, 1 Num Lock, 2 Scroll Lock; other values are refused.
  int ToggleType() const { return toggleType_; }
  void SetToggleType(int type);
  bool UpperEnabled() const { return upperEnabled_; }
  // Rebuilds the table.
  void SetUpperEnabled(bool on);
  const KeyNoteTableType& Table() const { return table_; }

  // Reads the lock key's toggle state from the system; nullopt when it
  // cannot, in which case the lock key's presses are followed instead.
  std::function<std::optional<bool>(int toggleType)> ReadLockState;

  bool InputOn() const { return inputOn_; }
  // Re-reads the lock state (or takes the followed one); after a change the
  // active component releases its notes and fires OnToggleChanged.
  void RefreshInputOn(TmKanabun* active);
  void SetInputOn(bool on, TmKanabun* active);

  // Returns true when the key is consumed.
  bool HandleKey(const KanaKeyEvent& e, TmKanabun* active);
  bool WouldConsume(const KanaKeyEvent& e, const TmKanabun* active) const;

 private:
  bool IsLockKey(KanaKey k) const;

  int toggleType_ = 0;
  bool upperEnabled_ = false;
  KeyNoteTableType table_{};
  bool inputOn_ = false;
  bool followed_ = false;  // the lock state as followed from its presses
};

}  // namespace melko
