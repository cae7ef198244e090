// The main window's SysEx definitions: loaded with the window, reloaded on
// request, and the input dialog on them.
#include "app/main_form.h"
#include "sysex/sysex_store.h"
#include "sysex/ui/sysex_dlg.h"

namespace melko {

void TMkMainForm::LoadSysEx() {
  if (!sysEx_) sysEx_ = std::make_unique<TSysExStore>();
  sysEx_->Load(options_.DataDir);
  for (const std::string& problem : sysEx_->Problems()) core_.Log.Line(problem);
}

void TMkMainForm::ReloadSysEx() { LoadSysEx(); }

std::string TMkMainForm::InputSysEx(const std::string& initialHex, QPoint at, QWidget* parent) {
  return melko::InputSysEx(sysEx_->Nodes(), initialHex, at, sysEx_->Names(), sysEx_->HexTexts(),
                           parent ? parent : this);
}

}  // namespace melko
