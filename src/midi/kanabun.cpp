#include "midi/kanabun.h"

#include <algorithm>

#include "midi/midi_ports.h"

namespace melko {

namespace {

const int kWhiteOffsets[7] = {0, 2, 4, 5, 7, 9, 11};

// d counts white keys from the C of the row's octave; a step left of that C
// (d down to -3) still lands in the octave below, hence the +7 on both sides.
uint8_t RowOffset(int d, int raised, int added) {
  return static_cast<uint8_t>(kWhiteOffsets[(d + 7) % 7] + ((d + 7) / 7) * 12 + raised + added);
}

}  // namespace

KeyNoteTableType BuildKeyNoteTable(bool upperEnabled) {
  KeyNoteTableType t;
  t.fill(kNoNoteKey);
  for (int sc = 0x1E; sc <= 0x28; ++sc) t[sc] = RowOffset(sc - 0x21, 1, 0);  // home row
  t[0x2B] = RowOffset(8, 1, 0);
  for (int sc = 0x2C; sc <= 0x35; ++sc) t[sc] = RowOffset(sc - 0x2E, 0, 0);  // bottom row
  t[0x73] = RowOffset(8, 0, 0);
  if (upperEnabled) {
    for (int sc = 0x02; sc <= 0x0D; ++sc) t[sc] = RowOffset(sc - 0x05, 1, 12);  // number row
    t[0x7D] = RowOffset(9, 1, 12);
    for (int sc = 0x10; sc <= 0x1B; ++sc) t[sc] = RowOffset(sc - 0x12, 0, 12);  // top letter row
  }
  return t;
}

int KeyNoteOffset(const KeyNoteTableType& table, int scanCode) {
  if (scanCode < 0 || scanCode >= kKeyNoteTableSize) return -1;
  return table[scanCode] == kNoNoteKey ? -1 : table[scanCode];
}

int KanabunNote(int offset, int octave, int transpose) {
  int note = offset + (octave - 1) * 12 + transpose;
  while (note > 127) note -= 12;
  while (note < 0) note += 12;
  return note;
}

int PcScanCodeFromLinuxKey(int linuxKey) {
  if (linuxKey >= 1 && linuxKey <= 88) return linuxKey;
  if (linuxKey == 89) return 0x73;   // KEY_RO
  if (linuxKey == 124) return 0x7D;  // KEY_YEN
  return -1;
}

// --- TmKanabun ---

TmKanabun::~TmKanabun() {
  // The window that handled the events is being torn down: only silence.
  if (Relay)
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) Relay->NoteOff(*it);
}

void TmKanabun::SetActive(bool on) {
  if (!on) ReleaseAll();
  active_ = on;
}

void TmKanabun::SetOctave(int octave) {
  if (!held_.empty() || octave < kMinKanaOctave || octave > kMaxKanaOctave || octave == octave_) return;
  octave_ = octave;
  if (OnOctaveChange) OnOctaveChange();
}

void TmKanabun::SetTranspose(int transpose) {
  if (!held_.empty() || transpose < kMinKanaTranspose || transpose > kMaxKanaTranspose || transpose == transpose_)
    return;
  transpose_ = transpose;
  if (OnTransposeChange) OnTransposeChange();
}

bool TmKanabun::IsHeld(int note) const { return std::find(held_.begin(), held_.end(), note) != held_.end(); }

void TmKanabun::NoteOn(int note) {
  held_.push_back(note);
  if (OnNoteOn) OnNoteOn(note);
  if (Relay) Relay->NoteOn(note);
}

void TmKanabun::NoteOff(int note) {
  auto it = std::find(held_.begin(), held_.end(), note);
  if (it == held_.end()) return;
  held_.erase(it);
  if (OnNoteOff) OnNoteOff(note);
  if (Relay) Relay->NoteOff(note);
}

void TmKanabun::ReleaseAll() {
  // An event handler may start or end notes of its own; take them as they are.
  while (!held_.empty()) NoteOff(held_.back());
}

TmKanabun::Action TmKanabun::Classify(const KanaKeyEvent& e, const KeyNoteTableType& table, int* note) const {
  if (!active_) return Action::kPass;
  const bool pageKey = e.Kind == KanaKey::kPageUp || e.Kind == KanaKey::kPageDown;
  if (pageKey) {
    if (DisableTransposeByKey) return Action::kPass;
    if (!e.Press || e.AutoRepeat) return Action::kNothing;
    const bool up = e.Kind == KanaKey::kPageUp;
    if (e.Modifiers & kKanaShift) return up ? Action::kTransposeUp : Action::kTransposeDown;
    return up ? Action::kOctaveUp : Action::kOctaveDown;
  }
  // Held modifiers matter only for starting a note: a key let go after Ctrl
  // was pressed must still end its note.
  if (e.Press && (e.Modifiers & ShiftMask)) return Action::kPass;
  const int offset = KeyNoteOffset(table, e.ScanCode);
  if (offset < 0) return Action::kPass;
  *note = KanabunNote(offset, octave_, transpose_);
  if (e.AutoRepeat) return Action::kNothing;
  if (e.Press) return IsHeld(*note) ? Action::kNothing : Action::kNoteOn;
  return Action::kNoteOff;
}

bool TmKanabun::WouldConsume(const KanaKeyEvent& e, const KeyNoteTableType& table) const {
  int note = -1;
  if (Classify(e, table, &note) == Action::kPass) return false;
  const bool pageKey = e.Kind == KanaKey::kPageUp || e.Kind == KanaKey::kPageDown;
  return (Filters & (pageKey ? kfTranspose : kfNoteNum)) != 0;
}

bool TmKanabun::HandleKey(const KanaKeyEvent& e, const KeyNoteTableType& table) {
  const bool consumed = WouldConsume(e, table);
  int note = -1;
  switch (Classify(e, table, &note)) {
    case Action::kOctaveUp:
      SetOctave(octave_ + 1);
      break;
    case Action::kOctaveDown:
      SetOctave(octave_ - 1);
      break;
    case Action::kTransposeUp:
      SetTranspose(transpose_ + 1);
      break;
    case Action::kTransposeDown:
      SetTranspose(transpose_ - 1);
      break;
    case Action::kNoteOn:
      NoteOn(note);
      break;
    case Action::kNoteOff:
      NoteOff(note);
      break;
    case Action::kPass:
    case Action::kNothing:
      break;
  }
  return consumed;
}

// --- KanabunKeys ---

KanabunKeys::KanabunKeys() : table_(BuildKeyNoteTable(false)) {}

void KanabunKeys::SetToggleType(int type) {
  if (type < 0 || type > 2 || type == toggleType_) return;
  toggleType_ = type;
  followed_ = false;  // nothing is known yet of the new key
}

void KanabunKeys::SetUpperEnabled(bool on) {
  upperEnabled_ = on;
  table_ = BuildKeyNoteTable(on);
}

bool KanabunKeys::IsLockKey(KanaKey k) const {
  switch (toggleType_) {
    case 0:
      return k == KanaKey::kCapsLock;
    case 1:
      return k == KanaKey::kNumLock;
    case 2:
      return k == KanaKey::kScrollLock;
  }
  return false;
}

void KanabunKeys::RefreshInputOn(TmKanabun* active) {
  std::optional<bool> state = ReadLockState ? ReadLockState(toggleType_) : std::nullopt;
  if (state) followed_ = *state;
  SetInputOn(followed_, active);
}

void KanabunKeys::SetInputOn(bool on, TmKanabun* active) {
  if (on == inputOn_) return;
  inputOn_ = on;
  if (!active) return;
  active->ReleaseAll();
  if (active->OnToggleChanged) active->OnToggleChanged();
}

bool KanabunKeys::HandleKey(const KanaKeyEvent& e, TmKanabun* active) {
  if (IsLockKey(e.Kind)) {
    // The system switches the lock on the press; it is read back on the
    // release, when it has surely changed.
    if (e.Press && !e.AutoRepeat) followed_ = !followed_;
    if (!e.Press) RefreshInputOn(active);
    return false;
  }
  if (!inputOn_ || !active) return false;
  return active->HandleKey(e, table_);
}

bool KanabunKeys::WouldConsume(const KanaKeyEvent& e, const TmKanabun* active) const {
  if (IsLockKey(e.Kind) || !inputOn_ || !active) return false;
  return active->WouldConsume(e, table_);
}

}  // namespace melko
