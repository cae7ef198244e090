// TSetMixerDlg, the mixer's Set dialog: which rows (cbxCtrl0..cbxCtrl4,
// captioned with the rows' controller names) and whether program and bank
// (cbxProg) Mix, Init and Replace write, and their tick steps veStep and
// veCascade (0..999). btMix, btInit and btReplace store the boxes, close the
// dialog and leave their action in Action() for the mixer to run; closing by
// any means stores the boxes and both steps into the mixer's state. UI thread.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "views/mixer_state.h"

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace melko {

class TSetMixerDlg : public QDialog {
  Q_OBJECT
 public:
  enum Action { kNone, kMix, kInit, kReplace };
  // `names`: the caption of each row's check box.
  TSetMixerDlg(MixerState& mixer, const std::array<std::string, kMixerRows>& names, QWidget* parent = nullptr);
  Action Chosen() const { return action_; }

  std::array<QCheckBox*, kMixerRows> cbxCtrl{};
  QCheckBox* cbxProg;
  QSpinBox *veStep, *veCascade;
  QPushButton *btMix, *btInit, *btReplace, *btClose;

  void done(int r) override;

 private:
  void Press(Action a);
  MixerState& mixer_;
  Action action_ = kNone;
};

}  // namespace melko
