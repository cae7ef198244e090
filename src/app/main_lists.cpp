// The main window's two event lists ("List1", "List2"): made when first
// shown, fed with this run's name tables, SysEx tree, instrument names, RPN
// lists and the shared step list, and reached from the Window menu, the
// track sheet's buttons and the map's double click.
#include <QApplication>
#include <QCursor>
#include <QToolButton>

#include "app/main_form.h"
#include "base/int_helpers.h"
#include "edit/ui/edit_controller.h"
#include "edit/ui/event_form.h"
#include "instruments/instruments.h"
#include "midi/midi_device.h"
#include "midi/midi_ports.h"
#include "sysex/sysex_store.h"
#include "views/patch_names.h"
#include "views/ui/track_form.h"

namespace melko {

void TMkMainForm::InstallEventLists(EditDispatcher& d, const EditNameTables& tables) {
  listDispatcher_ = &d;
  listTables_ = &tables;
  rpnTable_ = std::make_unique<RpnTable>();
  if (!LoadRpnTables(options_.DataDir, *rpnTable_)) rpnTable_.reset();
  stepList_ = std::make_unique<StepList>();
  stepList_->Load(ini_, core_.TheSong.TPQN);
  if (trackForm_) {
    trackForm_->Hooks.OpenList = [this](int list, int track) { ShowList(list, track); };
    trackForm_->RefreshAll();
  }
}

TEventForm* TMkMainForm::ShowList(int list, int track) {
  TEventForm*& form = lists_[list == 2 ? 1 : 0];
  if (!form) {
    if (!listDispatcher_) return nullptr;
    // A window of its own (no child of this one), deleted with it.
    form = new TEventForm(core_.TheSong, *listDispatcher_, *listTables_, list == 2 ? 2 : 1, nullptr);
    ListTextContext& c = form->Context();
    c.CenterC = int(ClampInt(ini_.ReadInteger("User", "CenterC", 0), -2, 2));
    c.Nodes = &sysEx_->Nodes();
    if (instruments_) c.PatchName = PatchNamer(*instruments_);
    form->SetRpnTable(rpnTable_.get());
    form->SetStepList(stepList_.get());
    EventFormHooks& h = form->Hooks;
    TEventForm* self = form;
    h.EditSysEx = [this, self](const std::string& hex) -> std::optional<std::string> {
      const std::string text = InputSysEx(hex, QCursor::pos(), self);
      if (text.empty()) return std::nullopt;
      return text;
    };
    h.OpenAnotherList = [this, list, self] { ShowList(list == 2 ? 1 : 2, self->CurrentTrack()); };
    h.ReloadSysEx = [this] { ReloadSysEx(); };
    // "Score" and Shift+F9: this track's score; the conductor track has
    // none, so the range's first track is shown.
    h.ShowScore = [this](int t) {
      if (trackForm_ && trackForm_->Hooks.OpenScore) trackForm_->Hooks.OpenScore(t >= 1 ? t : range_->EditFromTrack);
    };
    h.AuditionNote = [this](int t, int note, int velocity) {
      const uint32_t status = 0x90 | (core_.TheSong.Ch[size_t(std::clamp(t, 0, 64))] & 15);
      core_.Ports().AuditionNote(core_.TheSong, t, ShortMsg(status, uint32_t(note), uint32_t(velocity)), 1);
    };
    // With "MIDI" down, notes played in (and the computer keyboard's) go to this list.
    connect(form->sbtByMidi, &QToolButton::toggled, this, [this, self](bool on) {
      if (on) {
        SetNoteInputWindow(self, [self](uint32_t msg) {
          const uint8_t status = msg & 0xF0, velocity = (msg >> 16) & 0x7F;
          if (self->isVisible() && status == 0x90 && velocity > 0) self->NoteInput(int((msg >> 8) & 0x7F), velocity);
        });
      } else if (noteInputWindow_ == self) {
        SetNoteInputWindow(nullptr, nullptr);
      }
    });
    form->LoadSettings(ini_);
  }
  form->ShowTrack(std::clamp(track, 0, 64));
  form->show();
  form->raise();
  form->activateWindow();
  return form;
}

void TMkMainForm::FollowLists(uint32_t tick) {
  for (TEventForm* l : lists_)
    if (l && l->isVisible()) l->FollowPlayback(tick);
}

void TMkMainForm::SaveListSettings() {
  for (TEventForm* l : lists_)
    if (l) l->SaveSettings(ini_);
  if (stepList_) stepList_->Save(ini_);
}

void TMkMainForm::CloseLists() {
  for (TEventForm* l : lists_)
    if (l) l->close();
}

void TMkMainForm::DeleteLists() {
  for (TEventForm*& l : lists_) {
    if (l && noteInputWindow_ == l) SetNoteInputWindow(nullptr, nullptr);
    delete l;
    l = nullptr;
  }
}

}  // namespace melko
