#include "edit/edit_dispatcher.h"

#include <algorithm>

#include "base/int_helpers.h"
#include "edit/range_ops.h"

namespace melko {

const char* const kMsgNotMeasureStart = "このイベントは小節の頭になければいけません！";

const char* UndoHint(int command) {
  switch (command) {
    case kCmdErase: return "消去";
    case kCmdCut: return "切り取り";
    case kCmdPaste: return "貼り付け";
    case kCmdInsert: return "インサート";
    case kCmdMix: return "ミックス";
    case kCmdDynamics: return "Dynamics";
    case kCmdTranspose: return "Transpose";
    case kCmdGateTime: return "GateTime";
    case kCmdMakeValues: return "MakeValues";
    case kCmdQuantize: return "Quantize";
    case kCmdEventCutter: return "EventCutter";
    case kCmdTempo: return "Set Tempo";
    case kCmdMeter: return "Set Meter";
    case kCmdKeySig: return "Set KeySignature";
  }
  return "";
}

bool EditMenuEnabled::Allows(int tag) const {
  switch (tag) {
    case kCmdCopy: return Copy;
    case kCmdErase: return Erase;
    case kCmdCut: return Cut;
    case kCmdPaste: return Paste;
    case kCmdInsert: return Insert;
    case kCmdMix: return Mix;
    case kCmdUndo: return Undo;
    case kCmdRedo: return Redo;
  }
  if (tag >= kCmdDynamics && tag <= kCmdEventCutter) return Tools;
  return true;
}

EditDispatcher::EditDispatcher(Song& song, EditUi& ui) : song_(song), ui_(ui) {
  songWatch_ = song_.Changes.Subscribe([this](const SongChange& c) {
    if (c.Has(kChangeWholeSong)) SongLoaded();
  });
}

void EditDispatcher::Normalize() {
  if (Range.Normalize()) ui_.RangeChanged();
}

EditMenuEnabled EditDispatcher::PopEditMenuPopup() {
  Normalize();
  EditMenuEnabled e;
  e.Copy = e.Erase = e.Cut = e.Tools = Range.EditToTick > Range.EditFromTick;
  e.Paste = e.Insert = e.Mix = song_.ClipLength > 0;
  e.Undo = undo_.UndoEnabled;
  e.Redo = undo_.RedoEnabled;
  return e;
}

bool EditDispatcher::CommandEnabled(int command) {
  EditMenuEnabled e = PopEditMenuPopup();
  // sbtUndo and the batch form's "undo" and "redo" exchange whichever way
  // the last edit stands.
  if (command == kCmdUndo || command == kCmdRedo) return e.Undo || e.Redo;
  return e.Allows(command);
}

void EditDispatcher::BeginEdit() {
  std::copy_n(song_.UndoFlags.begin(), kSongTracks, SavedUndoFlags.begin());
  std::fill_n(song_.UndoFlags.begin(), kSongTracks, 0);
}

void EditDispatcher::CancelEdit() {
  std::copy_n(SavedUndoFlags.begin(), kSongTracks, song_.UndoFlags.begin());
}

void EditDispatcher::FinishEdit(const std::string& hint) {
  undo_.UndoEnabled = true;
  undo_.RedoEnabled = false;
  undo_.ButtonEnabled = true;
  undo_.ButtonCaption = "Undo";
  undo_.ButtonHint = hint;
  ui_.UndoStateChanged();
  ui_.BackupStale();
  if (BackupConds & 2) {
    ++EditCount;
    if (EditCount >= BackupUndoCount && !ui_.IsPlaying() && ui_.WriteBackup()) EditCount = 0;
  }
}

void EditDispatcher::SongLoaded() {
  Range.EditFromTrack = Range.EditToTrack = 1;
  Range.EditFromTick = 0;
  Range.EditToTick = song_.TPQN;
  Range.CurrentTick = 0;
  undo_ = UndoMenuState();
  song_.UndoFlags.fill(0);
  SavedUndoFlags.fill(0);
  ui_.RangeChanged();
  ui_.UndoStateChanged();
}

void EditDispatcher::ClearUndo() {
  undo_ = UndoMenuState();
  song_.UndoFlags.fill(0);
  SavedUndoFlags.fill(0);
  ui_.UndoStateChanged();
}

bool EditDispatcher::PopUpEditClick(int command) {
  bool known = (command >= kCmdCopy && command <= kCmdKeySig) || command == kCmdUndo || command == kCmdRedo;
  if (!known) return false;
  // A refused command must not reach BeginEdit, which drops the last undo.
  if (!CommandEnabled(command)) return false;
  // Everything one command changes reaches the views as one notice.
  SongNotifier::Batch batch(song_.Changes);
  if (command >= 1 && command <= 19) BeginEdit();
  if (command <= kCmdMix) RunRangeOperation(command);
  else if (command == kCmdMakeValues) {
    if (Range.EditToTick == Range.EditFromTick || !ui_.OpenValueCurves()) {
      CancelEdit();
      return true;
    }
    FinishEdit(UndoHint(command));
  } else if (command <= kCmdEventCutter) RunTool(command);
  else if (command <= kCmdKeySig) RunSetAtPosition(command);
  else RunUndo();
  return true;
}

void EditDispatcher::RunRangeOperation(int command) {
  switch (command) {
    case kCmdCopy: RangeCopy(song_, Range); return;  // no track and no undo state changes
    case kCmdErase: RangeErase(song_, Range); break;
    case kCmdCut: RangeCut(song_, Range); break;
    case kCmdPaste: RangePaste(song_, Range); break;
    case kCmdInsert: RangeInsert(song_, Range); break;
    case kCmdMix: RangeMix(song_, Range); break;
  }
  FinishEdit(UndoHint(command));
}

void EditDispatcher::RunTool(int command) {
  if (!ui_.OpenToolDialog(command, Tools)) {
    CancelEdit();
    return;
  }
  const uint32_t from = Range.EditFromTick, to = Range.EditToTick;
  if (command == kCmdEventCutter) ClearClipboard(song_);
  for (int t = Range.EditFromTrack; t <= Range.EditToTrack; ++t) {
    switch (command) {
      case kCmdDynamics: ApplyOnePass(song_, t, from, to, kPassDynamics, Tools); break;
      case kCmdTranspose: ApplyOnePass(song_, t, from, to, kPassTranspose, Tools); break;
      case kCmdGateTime: ApplyOnePass(song_, t, from, to, kPassGate, Tools); break;
      case kCmdQuantize: ApplyQuantize(song_, t, from, to, Tools.Quantize); break;
      case kCmdEventCutter: {
        const CutterSettings& c = Tools.Cutter;
        ApplyEventCutter(song_, t, t - Range.EditFromTrack, from, c.Status, c.Low, c.High, to);
        break;
      }
    }
  }
  if (command == kCmdEventCutter) {
    song_.ClipTrackSpan = static_cast<uint8_t>(Range.EditToTrack - Range.EditFromTrack);
    song_.ClipLength = to - from;
  }
  FinishEdit(UndoHint(command));
}

void EditDispatcher::RunSetAtPosition(int command) {
  const uint32_t from = Range.EditFromTick;
  if (command != kCmdTempo && !song_.Maps.IsMeasureStart(from)) {
    ui_.ShowMessage(kMsgNotMeasureStart);
    CancelEdit();
    return;
  }
  SetPositionValues values;
  if (!ui_.OpenSetDialog(command, values)) {
    CancelEdit();
    return;
  }
  TMidiEvent ev;
  ev.Status = 0xFF;
  ev.Time = from;
  switch (command) {
    case kCmdTempo:
      ev.Data1 = 0x51;
      ev.Len = 3;
      ev.Value = 60000000u / static_cast<uint32_t>(ClampInt(values.Bpm, kMinBpm, kMaxBpm));
      break;
    case kCmdMeter:
      ev.Data1 = 0x58;
      ev.Len = 4;
      ev.Value = values.Meter;
      break;
    default:
      ev.Data1 = 0x59;
      ev.Len = 2;
      ev.Value = values.Key & 0xFFFF;
      break;
  }
  SetAtPosition(song_, from, Range.EditToTick, ev);
  ConductorRebuilt();
  FinishEdit(UndoHint(command));
}

void EditDispatcher::ConductorRebuilt() {
  song_.Maps.BuildTempoMap(song_.Tracks[0], song_.TPQN);
  song_.Maps.BuildMeterMap(song_.Tracks[0], song_.TPQN);
  song_.Maps.BuildKeyMap(song_.Tracks[0], song_.TPQN);
  song_.Changes.Notify(kChangeMaps);
}

void EditDispatcher::RunUndo() {
  // Nothing to exchange before the first edit (both items are disabled then).
  if (!undo_.UndoEnabled && !undo_.RedoEnabled) return;
  if (song_.UndoFlags[0]) {
    song_.SwapTrack(0);
    ConductorRebuilt();
  }
  for (int t = 1; t < kSongTracks; ++t)
    if (song_.UndoFlags[t]) song_.SwapTrack(t);
  undo_.RedoEnabled = !undo_.RedoEnabled;
  undo_.UndoEnabled = !undo_.UndoEnabled;
  undo_.ButtonCaption = undo_.UndoEnabled ? "Undo" : "Redo";
  ui_.UndoStateChanged();
}

}  // namespace melko
