// The main window's side of the rhythm pattern editor: the window made on
// first use, with the program's questions, file dialogs and ports.
#include <QInputDialog>
#include <QLineEdit>

#include "app/main_form.h"
#include "edit/ui/edit_controller.h"
#include "instruments/instruments.h"
#include "midi/notify_queue.h"
#include "views/ui/rhythm_form.h"

namespace melko {

TRymPtEditForm* TMkMainForm::RhythmForm() {
  if (auto* form = findChild<TRymPtEditForm*>()) return form;
  auto* edit = findChild<TEditController*>();
  if (!edit) return nullptr;
  if (!instruments_) instruments_ = std::make_unique<TmInstruments>(options_.DataDir + "INST", &core_.Log);
  // The pattern timer wakes on the engine clock's milliseconds, as the engine's does.
  auto* steady = dynamic_cast<SteadyClock*>(&core_.TheClock());
  const int64_t origin = steady ? steady->OriginNs() : 0;
  TimerFactory timers = [origin] { return std::make_unique<ThreadTimer>(origin); };
  auto* form = new TRymPtEditForm(core_.TheSong, edit->Dispatcher(), *instruments_, &core_.Relay(), &core_.Ports(),
                                  core_.TheClock(), std::move(timers), options_.DataDir, this);
  RymPtEditHooks& h = form->Hooks;
  h.AskYesNo = [this](const std::string& q) { return prompt_.AskYesNo(q); };
  h.ShowError = [this](const std::string& text) { prompt_.ShowError(text); };
  h.InputText = [form](const std::string& caption, const std::string& prompt, std::string& text) {
    bool ok = false;
    const QString typed = QInputDialog::getText(form, QString::fromStdString(caption), QString::fromStdString(prompt),
                                                QLineEdit::Normal, QString::fromStdString(text), &ok);
    if (ok) text = typed.toStdString();
    return ok;
  };
  h.ChooseFile = [this](bool save, const std::string& start) {
    const std::string filter = "RhythmPattern (*.rym *.RYM);;All files (*)";
    return save ? prompt_.ChooseSaveFile("RhythmPattern", start, filter, "rym")
                : prompt_.ChooseOpenFile("RhythmPattern", start, filter);
  };
  // The tempo the pattern plays at is shown as the engine's would be.
  h.TempoPosted = [this](uint32_t tempo) { core_.Notify().Post(EngineNotify, kNotifyTempo, tempo); };
  return form;
}

void TMkMainForm::ShowRhythmForm() {
  if (TRymPtEditForm* form = RhythmForm()) {
    form->show();
    form->raise();
  }
}

}  // namespace melko
