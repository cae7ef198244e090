// The main window's side of the mixer: the run-long mixer state, the window
// made on demand from the Window menu, the played events handed on to it
// (or to the state alone while it is closed, with the meters falling every
// 50 ms all the same), and the master volume kept in step with the bar.
#include <QScrollBar>

#include "app/main_form.h"
#include "midi/midi_ports.h"
#include "views/ui/mixer_form.h"
#include "views/ui/track_form.h"

namespace melko {

void TMkMainForm::InstallMixer(EditDispatcher& d, const NameTable* control) {
  mixerDispatcher_ = &d;
  mixerControl_ = control;
  mixer_ = std::make_unique<MixerState>();
  mixer_->LoadSettings(ini_);
  mixer_->MasterVolume = scbMasterVolume->value();
}

void TMkMainForm::ShowMixer() {
  if (!mixer_ || !mixerDispatcher_) return;
  if (!mixerForm_) {
    // A window of its own (no child of this one), closed with it.
    mixerForm_ = new TMixerForm(core_.TheSong, *mixerDispatcher_, *mixer_, nullptr);
    MixerFormHooks& h = mixerForm_->Hooks;
    h.Send = [this](int track, uint32_t msg) {
      MidiPorts::SendShort(core_.Ports().PortHandle(core_.TheSong.OutPort[size_t(track)] & 3), msg);
    };
    // The program button opens the track sheet's patch chooser.
    if (trackForm_) h.ChoosePatch = trackForm_->Hooks.ChoosePatch;
    h.MasterVolumeChanged = [this](int volume) { scbMasterVolume->setValue(volume); };
    h.Controllers = [this] {
      return mixerControl_ ? ControllerList(*mixerControl_) : std::vector<std::pair<int, std::string>>{};
    };
    h.PortDevices = [this] {
      std::array<std::string, 4> names;
      for (int p = 0; p < 4; ++p) names[size_t(p)] = core_.Ports().PortNames[size_t(p)];
      return names;
    };
    h.ShowWarning = [this](const std::string& text) { prompt_.ShowError(text); };
    mixerForm_->UpdateRowButtons();
    mixerForm_->LoadSettings(ini_);
  }
  mixerForm_->ShowMasterVolume(scbMasterVolume->value());
  mixerForm_->RefreshStrips();
  mixerForm_->show();
  mixerForm_->raise();
}

void TMkMainForm::MixerPlayed(uint32_t lParam) {
  if (!mixer_) return;
  if (mixerForm_ && mixerForm_->isVisible()) mixerForm_->PlayedEvent(lParam);
  else mixer_->ApplyPlayed(lParam, false);
}

void TMkMainForm::MixerIdleDecay() {
  if (!mixer_) return;
  const uint32_t now = core_.TheClock().NowMs();
  if (mixerForm_ && mixerForm_->isVisible()) {
    lastMixerDecayMs_ = now;  // the window's own timer lowers them
    return;
  }
  while (now - lastMixerDecayMs_ >= 50 && mixer_->AnyMeter()) {
    mixer_->DecayMeters();
    lastMixerDecayMs_ += 50;
  }
  if (now - lastMixerDecayMs_ >= 50) lastMixerDecayMs_ = now;
}

}  // namespace melko
