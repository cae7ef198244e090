#include "app/edit_hookup.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/main_form.h"
#include "base/int_helpers.h"
#include "edit/ui/edit_controller.h"

namespace melko {

TEditController* InstallEditLayer(TMkMainForm& form, UserPrompt& prompt) {
  auto* edit = new TEditController(form.TheSong(), &form);
  EditDispatcher& d = edit->Dispatcher();
  // The document counts the edits for the backup (CountEdit), not the dispatcher.
  d.BackupConds = 0;
  EditWindowHooks& h = edit->Hooks;
  h.ShowError = [&prompt](const std::string& text) { prompt.ShowError(text); };
  h.ReadRangeBoxes = [&form] { form.ReadRangeBoxesNow(); };
  h.RangeChanged = [&form] { form.WriteRangeBoxes(); };
  h.UndoChanged = [&form](const UndoMenuState& u) {
    form.SetUndoState(u.ButtonEnabled, u.ButtonHint);
    form.sbtUndo->setText(QString::fromStdString(u.ButtonCaption));
  };
  h.IsPlaying = [&form] { return form.IsPlaying(); };
  h.EditCounted = [&form] { form.Document().CountEdit(); };

  form.InstallEditMenus(edit->EditMenu(), edit->PopEditMenu(), &d.Range, [edit] { edit->Run(kCmdUndo); });
  form.InstallRecorder(d);
  form.InstallTrackForm(d);
  form.BeginEditHook = [&d] { d.BeginEdit(); };
  form.FinishEditHook = [&d](const std::string& hint) { d.FinishEdit(hint); };
  form.MeterDialog = [edit](uint32_t& meter) { return edit->MeterDialog(meter); };
  form.KeyDialog = [edit](uint32_t& key) { return edit->KeyDialog(key); };
  // The dispatcher follows loads through the song's notifier itself. The
  // octave number of middle C is 3 + CenterC; beyond a couple of octaves
  // either way it is no naming convention, and the note texts' arithmetic
  // must not see whatever the settings file holds.
  edit->CenterC = static_cast<int>(ClampInt(form.Ini().ReadInteger("User", "CenterC", 0), kMinCenterC, kMaxCenterC));
  edit->LoadNameTables(form.Document().DataDir());
  form.InstallEventLists(d, edit->Tables());
  edit->LoadLinePresets(form.Document().DataDir());
  d.Curves.Interval = static_cast<int>(ClampInt(form.Ini().ReadInteger("MakeValues", "Interval", 16), 1, 0x7FFFFFFF));
  h.ValueCurves = [edit] { return edit->MakeValuesDialog(); };
  form.InstallMixer(d, &edit->Tables().Control);
  return edit;
}

void SaveEditLayerSettings(TMkMainForm& form, IniFile& ini, bool writeFiles) {
  auto* edit = form.findChild<TEditController*>();
  if (!edit) return;
  ini.WriteInteger("MakeValues", "Interval", edit->Dispatcher().Curves.Interval);
  if (writeFiles) edit->SaveLinePresets();
}

}  // namespace melko
