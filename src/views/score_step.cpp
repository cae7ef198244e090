#include "views/score_step.h"

#include <algorithm>

#include "base/int_helpers.h"
#include "edit/range_ops.h"
#include "edit/tool_text.h"
#include "song/track_ops.h"
#include "views/score_staff.h"

namespace melko {

const char* const kHintStepNote = "<Score>Step Input";
const char* const kHintStepDelete = "<Score>Delete";
const char* const kHintStepInsert = "<Score>Insert";

StepEntryState::StepEntryState() {
  StepEvent.Status = 0x90;
  StepEvent.Data1 = 60;
  StepEvent.Data2 = VelocityPresets[1];
  StepEvent.Data3 = 64;
  RecomputeGate();
}

void StepEntryState::SongLoaded(uint32_t tpqn) {
  // Below 4 ticks a quarter a sixteenth would be 0 ticks: snapping would
  // divide by zero and every step would stand still.
  GridStep = int32_t(std::max<uint32_t>(1, tpqn / 4));
  StepTime = int32_t(std::max<uint32_t>(1, tpqn / 2));
  RecomputeGate();
}

void StepEntryState::RecomputeGate() {
  const int64_t gate = int64_t(StepTime) * GateRatio / 100;
  StepEvent.Value = uint32_t(std::max<int64_t>(1, gate));
}

void StepEntryState::SetVelocity(int v) { StepEvent.Data2 = uint8_t(ClampInt(v, 1, 127)); }

void StepEntryState::HoldKey(int note) {
  if (note < 0 || note > 127) return;
  if (!HeldKeys[size_t(note)]) ++HeldCount;
  HeldKeys[size_t(note)] = uint8_t(std::max(1, Velocity()));
  StepEvent.Data1 = uint8_t(note);
}

void StepEntryState::ReleaseKey(int note) {
  if (note < 0 || note > 127 || !HeldKeys[size_t(note)]) return;
  HeldKeys[size_t(note)] = 0;
  --HeldCount;
}

ScoreStep::ScoreStep(Song& song, EditDispatcher& dispatcher, StepEntryState& state, int track)
    : Track(std::clamp(track, 1, 64)), song_(song), dispatcher_(dispatcher), state_(state) {}

void ScoreStep::SetTick(uint32_t tick) {
  tick = std::min<uint32_t>(tick, 0x7FFFFFFF);
  dispatcher_.Range.CurrentTick = tick;
  state_.StepEvent.Time = tick;
}

void ScoreStep::SetNote(int note) { state_.StepEvent.Data1 = uint8_t(std::clamp(note, 0, 127)); }

int ScoreStep::KeyAtCursor() const { return int(int8_t(song_.Maps.KeyAt(Tick()) >> 8)); }

void ScoreStep::ChooseNoteValue(int n) {
  n = std::clamp(n, 1, 7);
  int32_t base = int32_t(song_.TPQN) * 4;
  for (int i = 1; i < n; ++i) base /= 2;
  base = std::max(1, base);
  if (n == LastValue || LastCommand == kVkAdd) state_.StepTime = int32_t(std::min<int64_t>(int64_t(state_.StepTime) + base, 0x7FFFFFFF));
  else state_.StepTime = base;
  Addend = base;
  state_.RecomputeGate();
  LastValue = n;
  LastCommand = uint16_t(96 + n);
  Palette.NoteDown = n;
}

void ScoreStep::Dot() {
  if (LastCommand == kVkDecimal) Addend /= 2;
  else Addend = state_.StepTime / 2;
  state_.StepTime = int32_t(std::min<int64_t>(int64_t(state_.StepTime) + Addend, 0x7FFFFFFF));
  LastValue = 0;
  state_.RecomputeGate();
  LastCommand = kVkDecimal;
}

void ScoreStep::TupletKey() {
  LastCommand = kVkDivide;
  Palette.TupletBoxActive = true;
  Palette.StepBoxActive = false;
}

void ScoreStep::ApplyTuplet(std::string_view text) {
  const int n = int(StrToIntClamp(text, 3, 1, 15));
  Palette.TupletText = std::to_string(n);
  int64_t step = state_.StepTime;
  if (n == 3) step = step * 2 / 3;
  else if (n >= 5 && n <= 7) step = step * 4 / n;
  else if (n >= 9) step = step * 8 / n;
  // A step never shrinks to nothing: the cursor must move.
  state_.StepTime = int32_t(std::max<int64_t>(1, step));
  LastValue = 0;
  Palette.TupletBoxActive = false;
  Palette.StepBoxActive = true;
  state_.RecomputeGate();
}

void ScoreStep::TripletButton() {
  ApplyTuplet("3");
  state_.GridStep = std::max(1, state_.StepTime);
}

void ScoreStep::SetGrid(int k) {
  if (k != 4 && k != 8 && k != 16 && k != 32) return;
  Palette.GridDown = k;
  int64_t grid = int64_t(song_.TPQN) * 4 / k;
  if (Palette.GridTriplet) grid = grid * 2 / 3;
  state_.GridStep = int32_t(std::max<int64_t>(1, grid));
}

void ScoreStep::SetGridTriplet(bool down) {
  Palette.GridTriplet = down;
  SetGrid(Palette.GridDown);
}

void ScoreStep::VelocityPreset(int index) {
  if (index < 0 || index > 5) return;
  Palette.VelocityDown = index;
  state_.SetVelocity(state_.VelocityPresets[size_t(index)]);
}

void ScoreStep::IncVelocity(int d) { state_.SetVelocity(int(AddClamp(state_.Velocity(), d, 1, 127))); }

void ScoreStep::VelocityTyped(std::string_view text) {
  state_.SetVelocity(int(StrToIntClamp(text, 64, 1, 127)));
}

void ScoreStep::GatePreset(int index) {
  if (index < 0 || index > 2) return;
  Palette.GateDown = index;
  state_.GateRatio = std::clamp<int32_t>(state_.GatePresets[size_t(index)], 1, 100);
  state_.RecomputeGate();
}

void ScoreStep::IncGate(int d) {
  state_.GateRatio = int32_t(AddClamp(state_.GateRatio, d, 1, 100));
  state_.RecomputeGate();
}

void ScoreStep::GateRatioTyped(std::string_view text) {
  state_.GateRatio = int32_t(ClampInt(StrToIntClamp(text, 80, 1, 100), 1, 100));
  state_.RecomputeGate();
}

void ScoreStep::GateValueTyped(std::string_view text) {
  const int64_t old = state_.StepEvent.Value;
  state_.StepEvent.Value = uint32_t(ClampInt(StrToIntClamp(text, old, 1, state_.StepTime), 1, 0x7FFFFFFF));
}

void ScoreStep::StepTyped(std::string_view text) {
  state_.StepTime = int32_t(std::max<int64_t>(1, ReadLengthText(text, state_.StepTime, song_.TPQN, false)));
  LastValue = 0;
  state_.RecomputeGate();
}

void ScoreStep::SetPen(bool down) {
  Palette.Pen = down;
  if (down) Palette.Erase = false;
}

void ScoreStep::SetErase(bool down) {
  Palette.Erase = down;
  if (down) Palette.Pen = false;
}

void ScoreStep::IncRepeat(int d) {
  dispatcher_.Range.RepeatCount = int(AddClamp(dispatcher_.Range.RepeatCount, d, 1, 99));
}

void ScoreStep::RepeatTyped(std::string_view text) {
  dispatcher_.Range.RepeatCount = int(ClampInt(StrToIntClamp(text, dispatcher_.Range.RepeatCount, 1, 99), 1, 99));
}

uint32_t ScoreStep::SnapTick(uint32_t tick, bool ctrl) const {
  return ctrl ? tick : SnapDown(tick, state_.GridStep);
}

uint32_t ScoreStep::MeasureStart(uint32_t tick) const {
  return song_.Maps.MeasureToTick(song_.Maps.TickToMeasure(tick).Measure);
}

namespace {
uint32_t SnapDownTo(uint32_t tick, int32_t grid) {
  const uint32_t g = uint32_t(std::max(1, grid));
  return tick - tick % g;
}
}  // namespace

bool ScoreStep::KeyDown(int vk, int mods, bool* handled) {
  bool did = true;
  const uint32_t oldTick = Tick();
  const int oldNote = Note();
  const bool shift = mods & kModShift, ctrl = mods & kModCtrl;
  const int64_t tick = oldTick;
  auto moveTo = [this](int64_t t) { SetTick(uint32_t(std::clamp<int64_t>(t, 0, 0x7FFFFFFF))); };
  const bool numpad = vk >= kVkNumpad0 && vk <= kVkNumpad9;
  if (vk == kVkShift || vk == kVkControl || (numpad && !Palette.StepBoxActive)) {
    did = false;
  } else if (vk == kVkLeft) {
    if (ctrl && shift) moveTo(tick - 10);
    else if (ctrl) moveTo(tick - 1);
    else if (shift) moveTo(tick > 0 ? SnapDownTo(uint32_t(tick - 1), state_.GridStep) : 0);
    else moveTo(tick - state_.StepTime);
  } else if (vk == kVkRight) {
    if (ctrl && shift) moveTo(tick + 10);
    else if (ctrl) moveTo(tick + 1);
    else if (shift) moveTo(SnapDownTo(uint32_t(std::min<int64_t>(tick + state_.GridStep, 0x7FFFFFFF)), state_.GridStep));
    else moveTo(tick + state_.StepTime);
  } else if (vk == kVkUp || vk == kVkDown) {
    const int d = vk == kVkUp ? 1 : -1;
    if (ctrl && shift) did = false;
    else if (ctrl) IncGate(d);
    else if (shift) IncVelocity(d);
    else SetNote(Note() + d);
  } else if (vk == kVkPrior && !mods) {
    SetNote(Note() >= 115 ? 127 : Note() + 12);
  } else if (vk == kVkNext && !mods) {
    SetNote(Note() <= 12 ? 0 : Note() - 12);
  } else if (vk == kVkHome && !ctrl) {
    if (shift) moveTo(0);
    else moveTo(tick > 0 ? MeasureStart(uint32_t(tick - 1)) : 0);
  } else if (vk == kVkEnd && !ctrl) {
    if (shift) moveTo(song_.TrackEnds[size_t(Track)]);
    else moveTo(song_.Maps.MeasureToTick(song_.Maps.TickToMeasure(oldTick).Measure + 1));
  } else if ((numpad && vk >= kVkNumpad1 && vk <= kVkNumpad1 + 6) || (vk >= kVkF1 && vk <= kVkF7)) {
    const int index = numpad ? vk - kVkNumpad1 : vk - kVkF1;  // 0..6
    if (ctrl && shift) did = false;
    else if (ctrl) {
      if (index <= 2) GatePreset(index);
      else did = false;
    } else if (shift) {
      if (index <= 5) VelocityPreset(index);
      else did = false;
    } else ChooseNoteValue(index + 1);
  } else if (vk >= 'A' && vk <= 'G' && !mods) {
    static constexpr int kLetter[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    SetNote(Note() / 12 * 12 + kLetter[vk - 'A']);
    LastCommand = uint16_t(vk);
  } else if (!Palette.Pen) {
    did = false;
  } else if (vk == kVkReturn) {
    EnterNote();
    LastCommand = kVkReturn;
    if (!shift) moveTo(tick + state_.StepTime);
  } else if (vk == kVkBack) {
    DeleteBefore();
  } else if (vk == kVkDelete) {
    DeleteAt();
  } else if (vk == kVkInsert) {
    InsertGap();
  } else if (vk == kVkAdd || vk == kVkMinus) {
    Tie();
  } else if (vk == kVkDecimal || vk == kVkQuote) {
    Dot();
  } else if (vk == kVkDivide || vk == kVkBackslash) {
    TupletKey();
  } else {
    did = false;
  }
  if (handled) *handled = did;
  return Tick() != oldTick || Note() != oldNote;
}

bool ScoreStep::EnterNote() {
  TMidiEvent& ev = state_.StepEvent;
  ev.Data3 = 64;
  ev.Status = 0x90;
  ev.Time = Tick();
  bool held = state_.HeldCount > 0 || MidiHeldCount > 0;
  bool changed = false;
  if (!held) {
    SongNotifier::Batch batch(song_.Changes);
    dispatcher_.BeginEdit();
    song_.InsertEvent(Track, ev, false);
    dispatcher_.FinishEdit(kHintStepNote);
    changed = true;
  } else {
    std::array<uint8_t, 128> chord{};
    for (size_t n = 0; n < 128; ++n)
      if (state_.HeldKeys[n] || MidiHeld[n]) chord[n] = ev.Data2;
    changed = MixChord(chord, false);
  }
  LastValue = 0;
  return changed;
}

bool ScoreStep::MixChord(const std::array<uint8_t, 128>& velocities, bool eachOwnVelocity) {
  TMidiData& clip = song_.Clipboard[0];
  clip.Free();
  clip.Touch();
  uint32_t last = 0;
  bool any = false;
  for (size_t n = 0; n < 128; ++n) {
    if (!velocities[n]) continue;
    TMidiEvent note;
    note.Status = 0x90;
    note.Data1 = uint8_t(n);
    note.Data2 = eachOwnVelocity ? velocities[n] : state_.StepEvent.Data2;
    note.Data3 = 64;
    note.Value = state_.StepEvent.Value;
    note.Time = 0;
    EncodeEvent(clip, note, last, 0, song_.MaxGate());
    any = true;
  }
  if (!any) {
    clip.Free();
    return false;
  }
  SongNotifier::Batch batch(song_.Changes);
  dispatcher_.BeginEdit();
  MixTrack(song_.ShadowTracks[size_t(Track)], song_.Tracks[size_t(Track)], clip, Tick(), 1, 1, false);
  song_.SwapTrack(Track);
  dispatcher_.FinishEdit(kHintStepNote);
  clip.Free();
  song_.ClipLength = 0;
  return true;
}

bool ScoreStep::RemoveNotesAt(uint32_t tick) {
  SongNotifier::Batch batch(song_.Changes);
  dispatcher_.BeginEdit();
  TMidiData& clip = song_.Clipboard[0];
  clip.Free();
  clip.Touch();
  TMidiData& dest = song_.ShadowTracks[size_t(Track)];
  dest.Clear();
  dest.Touch();
  SplitEvents(song_.Tracks[size_t(Track)], &clip, &dest, 0x90, 255, 255, tick, tick + 1);
  song_.SwapTrack(Track);
  // The removed notes stay on the clipboard, timed from their tick.
  TMidiData timed;
  timed.Touch();
  uint32_t last = 0;
  for (TrackWalker w(clip); !w.AtEnd();) AppendNext(timed, w, w.NextTick() - tick, last);
  clip = std::move(timed);
  for (size_t i = 1; i < song_.Clipboard.size(); ++i) song_.Clipboard[i].Free();
  song_.ClipTrackSpan = 0;
  song_.ClipLength = 1;
  dispatcher_.FinishEdit(kHintStepDelete);
  SetTick(tick);
  return true;
}

bool ScoreStep::DeleteBefore() {
  const uint32_t cursor = Tick();
  if (cursor == 0) return false;
  const int64_t found = FindEvent(song_.Tracks[size_t(Track)], 0, cursor, 0x90, 255, true);
  if (found < 0) return false;
  return RemoveNotesAt(uint32_t(found));
}

bool ScoreStep::DeleteAt() { return DeleteAtTick(Tick()); }

bool ScoreStep::DeleteAtTick(uint32_t tick) {
  if (FindEvent(song_.Tracks[size_t(Track)], tick, tick + 1, 0x90, 255, false) < 0) return false;
  return RemoveNotesAt(tick);
}

bool ScoreStep::InsertGap() {
  ClearClipboard(song_);
  song_.Clipboard[0].Touch();
  song_.ClipTrackSpan = 0;
  song_.ClipLength = uint32_t(std::max(1, state_.StepTime));
  TEditRange range = dispatcher_.Range;
  range.EditFromTrack = range.EditToTrack = Track;
  range.EditFromTick = Tick();
  range.EditToTick = Tick() + song_.ClipLength;
  range.RepeatCount = 1;
  SongNotifier::Batch batch(song_.Changes);
  dispatcher_.BeginEdit();
  RangeInsert(song_, range);
  dispatcher_.FinishEdit(kHintStepInsert);
  return true;
}

void ScoreStep::MidiMessage(int32_t ms, uint8_t status, uint8_t data1, uint8_t data2) {
  const uint8_t kind = status & 0xF0;
  const size_t note = data1 & 0x7F;
  if (kind == 0x90 && data2 > 0) {
    MidiChord[note] = data2;
    if (!MidiHeld[note]) {
      MidiHeld[note] = 1;
      ++MidiHeldCount;
    }
    SetNote(int(note));
    return;
  }
  if ((kind != 0x80 && kind != 0x90) || MidiHeldCount <= 0) return;
  if (ms - LastReleaseTime > 150)
    for (size_t n = 0; n < 128; ++n)
      if (!MidiHeld[n]) MidiChord[n] = 0;
  LastReleaseTime = ms;
  if (MidiHeld[note]) {
    MidiHeld[note] = 0;
    --MidiHeldCount;
  }
  if (Palette.ByMidi && MidiHeldCount == 0) {
    std::array<uint8_t, 128> chord = MidiChord;
    MidiChord.fill(0);
    if (MixChord(chord, true)) SetTick(uint32_t(std::min<int64_t>(int64_t(Tick()) + state_.StepTime, 0x7FFFFFFF)));
  }
}

}  // namespace melko
