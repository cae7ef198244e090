#include "edit/ui/edit_controller.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <new>

#include "edit/make_values.h"
#include "edit/ui/make_value_dialog.h"
#include "edit/ui/set_dialogs.h"
#include "edit/ui/tool_dialogs.h"

namespace melko {

namespace {
// Tool and set commands put the pointer here before their dialog opens.
void PointerToDialog() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r = screen->geometry();
    QCursor::setPos(r.width() / 2 + 40, r.height() / 2 + 16);
  }
}
}  // namespace

TEditController::TEditController(Song& song, QWidget* window)
    : QObject(window), song_(song), window_(window), dispatcher_(song, *this) {
  auto loopBegin = [this] { dispatcher_.SetLoopBegin(); };
  auto loopEnd = [this] { dispatcher_.SetLoopEnd(); };
  pop_ = BuildEditMenu(window, QString(), false, [this](int tag) { Run(tag); }, loopBegin, loopEnd);
  edit_ = BuildEditMenu(window, QStringLiteral("編集(&E)"), true, [this](int tag) { RunFromEditMenu(tag); }, loopBegin,
                        loopEnd);
  connect(pop_.Menu, &QMenu::aboutToShow, this, [this] {
    if (Hooks.ReadRangeBoxes) Hooks.ReadRangeBoxes();
    EnableEditMenu(pop_, dispatcher_.PopEditMenuPopup(), static_cast<bool>(Hooks.ValueCurves));
  });
  connect(edit_.Menu, &QMenu::aboutToShow, this, [this] {
    if (Hooks.ReadRangeBoxes) Hooks.ReadRangeBoxes();
    EnableEditMenu(edit_, dispatcher_.PopEditMenuPopup(), static_cast<bool>(Hooks.ValueCurves));
  });
  // Shortcuts must reach RunFromEditMenu, which checks the state itself.
  connect(edit_.Menu, &QMenu::aboutToHide, this, [this] { EnableAll(edit_, static_cast<bool>(Hooks.ValueCurves)); });
  EnableAll(edit_, false);
  // A box of the window would take the Edit menu's keys for its own text
  // (copy, paste, undo of typing); the window's strip is nearly all boxes, so
  // the keys go to the menu, as menu shortcuts come before a box's own keys.
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

bool TEditController::eventFilter(QObject* watched, QEvent* event) {
  // Only while the Edit menu is on the window's menu bar, where its keys work.
  if (event->type() == QEvent::ShortcutOverride && window_ && qobject_cast<QLineEdit*>(watched) &&
      static_cast<QWidget*>(watched)->window() == window_->window() &&
      !edit_.Menu->menuAction()->associatedObjects().isEmpty()) {
    QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
    for (QAction* a : {edit_.popCopy, edit_.popCut, edit_.popPaste, edit_.popUndo, edit_.popRedo})
      if (!a->shortcut().isEmpty() && a->shortcut() == keys) {
        event->ignore();  // not overridden: the shortcut runs
        return true;
      }
  }
  return QObject::eventFilter(watched, event);
}

TEditController::~TEditController() = default;

bool TEditController::LoadNameTables(const std::string& dataDir) {
  return LoadEditNameTables(dataDir, tables_, [this](const std::string& m) { ShowMessage(m); });
}

void TEditController::Run(int tag) { RunCommand(tag); }

void TEditController::RunCommand(int tag) {
  try {
    dispatcher_.PopUpEditClick(tag);
  } catch (const std::bad_alloc&) {
    // The command ends where memory ran out. The tracks it exchanged so far
    // keep their new versions, and the undo store gets them back as one step;
    // when none was exchanged, the last undo stays as it was. The message is
    // the application's (it catches what comes out of every event).
    if (tag >= kCmdErase && tag <= kCmdKeySig) {
      bool changed = false;
      for (int t = 0; t < kSongTracks; ++t) changed |= song_.UndoFlags[t] != 0;
      if (changed) dispatcher_.FinishEdit(UndoHint(tag));
      else dispatcher_.CancelEdit();
    }
    throw;
  }
}

void TEditController::RunFromEditMenu(int tag) {
  if (Hooks.ReadRangeBoxes) Hooks.ReadRangeBoxes();
  // The dispatcher's rules, as the menu shows them: Ctrl+Z beeps when only a
  // redo is left, though sbtUndo would redo.
  if (!dispatcher_.PopEditMenuPopup().Allows(tag) || (tag == kCmdMakeValues && !Hooks.ValueCurves)) {
    QApplication::beep();
    return;
  }
  RunCommand(tag);
}

void TEditController::NoteOn(int note, int velocity) {
  if (transposeDlg_) transposeDlg_->NoteOn(note, velocity);
  if (cutterDlg_) cutterDlg_->NoteOn(note, velocity);
}

bool TEditController::Exec(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

bool TEditController::OpenToolDialog(int command, ToolSettings& s) {
  PointerToDialog();
  switch (command) {
    case kCmdDynamics: {
      TDynamicsDlg dlg(s.Dynamics, tables_.DynCtrl, window_);
      return Exec(dlg);
    }
    case kCmdTranspose: {
      TTransposeDlg dlg(s.Transpose, CenterC, window_);
      transposeDlg_ = &dlg;
      return Exec(dlg);
    }
    case kCmdGateTime: {
      TGateDlg dlg(s.Gate, song_.TPQN, window_);
      return Exec(dlg);
    }
    case kCmdQuantize: {
      TQuantizeDlg dlg(s.Quantize, s.QuantizeResolution, song_.TPQN, window_);
      return Exec(dlg);
    }
    case kCmdEventCutter: {
      TEventCutterDlg dlg(s.Cutter, tables_.Control, tables_.Meta, CenterC, window_);
      cutterDlg_ = &dlg;
      return Exec(dlg);
    }
  }
  return false;
}

bool TEditController::OpenSetDialog(int command, SetPositionValues& v) {
  PointerToDialog();
  switch (command) {
    case kCmdTempo: {
      TBPMDlg dlg(window_);
      if (!Exec(dlg)) return false;
      v.Bpm = dlg.Bpm();
      return true;
    }
    case kCmdMeter: {
      TMeterDlg dlg(window_);
      if (!ExecCentered(dlg)) return false;
      v.Meter = dlg.Value();
      return true;
    }
    case kCmdKeySig: {
      TKeySigDlg dlg(window_);
      if (!ExecCentered(dlg)) return false;
      v.Key = dlg.Value();
      return true;
    }
  }
  return false;
}

bool TEditController::MeterDialog(uint32_t& meter) {
  TMeterDlg dlg(window_, meter);
  if (!ExecCentered(dlg)) return false;
  meter = dlg.Value();
  return true;
}

bool TEditController::KeyDialog(uint32_t& key) {
  TKeySigDlg dlg(window_, key);
  if (!ExecCentered(dlg)) return false;
  key = dlg.Value();
  return true;
}

bool TEditController::OpenValueCurves() {
  if (!Hooks.ValueCurves) return false;
  PointerToDialog();
  return Hooks.ValueCurves();
}

void TEditController::LoadLinePresets(const std::string& dataDir) {
  linePath_ = dataDir + "LINE.TXT";
  LinePresets = melko::LoadLinePresets(linePath_);
  linesRead_ = LinePresets;
}

bool TEditController::SaveLinePresets() {
  if (linePath_.empty() || LinePresets == linesRead_) return true;
  if (!melko::SaveLinePresets(linePath_, LinePresets)) return false;
  linesRead_ = LinePresets;
  return true;
}

bool TEditController::MakeValuesDialog() {
  const TEditRange& r = dispatcher_.Range;
  TMakeValueDlg dlg(dispatcher_.Curves, LinePresets, tables_.DynCtrl, r.Length(), window_);
  if (!Exec(dlg)) return false;
  ResolveCurveControl(dispatcher_.Curves, tables_.DynCtrl);
  return ApplyMakeValues(song_, r, dispatcher_.Curves);
}

void TEditController::ShowMessage(const std::string& text) {
  if (Hooks.ShowError) Hooks.ShowError(text);
  else QMessageBox::warning(window_, QStringLiteral("MELKO"), QString::fromStdString(text));
}

void TEditController::RangeChanged() {
  if (Hooks.RangeChanged) Hooks.RangeChanged();
}

void TEditController::UndoStateChanged() {
  const UndoMenuState& u = dispatcher_.Undo();
  pop_.popUndo->setEnabled(u.UndoEnabled);
  pop_.popRedo->setEnabled(u.RedoEnabled);
  if (Hooks.UndoChanged) Hooks.UndoChanged(u);
}

bool TEditController::IsPlaying() { return Hooks.IsPlaying && Hooks.IsPlaying(); }

void TEditController::BackupStale() {
  if (Hooks.EditCounted) Hooks.EditCounted();
}

}  // namespace melko
