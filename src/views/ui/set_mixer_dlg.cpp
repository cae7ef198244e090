#include "views/ui/set_mixer_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace melko {

TSetMixerDlg::TSetMixerDlg(MixerState& mixer, const std::array<std::string, kMixerRows>& names, QWidget* parent)
    : QDialog(parent), mixer_(mixer) {
  setObjectName(QStringLiteral("SetMixerDlg"));
  setWindowTitle(QStringLiteral("ミキサーの値をソングへ"));
  auto* boxes = new QGroupBox(QStringLiteral("書き込むコントロール"), this);
  auto* bl = new QVBoxLayout(boxes);
  for (int r = 0; r < kMixerRows; ++r) {
    cbxCtrl[size_t(r)] = new QCheckBox(QString::fromStdString(names[size_t(r)]), boxes);
    cbxCtrl[size_t(r)]->setObjectName(QStringLiteral("cbxCtrl%1").arg(r));
    cbxCtrl[size_t(r)]->setChecked(mixer.MixerCheckedCtrls & (1u << r));
    bl->addWidget(cbxCtrl[size_t(r)]);
  }
  cbxProg = new QCheckBox(QStringLiteral("Program / Bank"), boxes);
  cbxProg->setObjectName(QStringLiteral("cbxProg"));
  cbxProg->setChecked(mixer.MixerCheckedCtrls & kMixerProgramFlag);
  bl->addWidget(cbxProg);

  auto spin = [this](const char* name, int value) {
    auto* s = new QSpinBox(this);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(0, 999);
    s->setValue(std::clamp(value, 0, 999));
    s->setSuffix(QStringLiteral(" tick"));
    return s;
  };
  veStep = spin("veStep", mixer.StepInc);
  veCascade = spin("veCascade", mixer.CascadeInc);
  auto* steps = new QGridLayout;
  steps->addWidget(new QLabel(QStringLiteral("Step"), this), 0, 0);
  steps->addWidget(veStep, 0, 1);
  steps->addWidget(new QLabel(QStringLiteral("Cascade"), this), 1, 0);
  steps->addWidget(veCascade, 1, 1);
  veStep->setToolTip(QStringLiteral("同じトラックのイベントの間隔"));
  veCascade->setToolTip(QStringLiteral("トラックごとにずらす間隔"));

  auto button = [this](const char* name, const QString& caption, const QString& hint) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
  };
  btMix = button("btMix", QStringLiteral("Mix"), QStringLiteral("編集範囲の先頭にイベントを書き込む"));
  btInit = button("btInit", QStringLiteral("Init"), QStringLiteral("各トラックの最初のノートまでの値を書き換える"));
  btReplace = button("btReplace", QStringLiteral("Replace"), QStringLiteral("編集範囲の値を書き換える"));
  btClose = button("btClose", QStringLiteral("閉じる"), QString());
  connect(btMix, &QPushButton::clicked, this, [this] { Press(kMix); });
  connect(btInit, &QPushButton::clicked, this, [this] { Press(kInit); });
  connect(btReplace, &QPushButton::clicked, this, [this] { Press(kReplace); });
  connect(btClose, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {btMix, btInit, btReplace}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(btClose);

  auto* left = new QVBoxLayout;
  left->addWidget(boxes);
  left->addLayout(steps);
  auto* all = new QHBoxLayout(this);
  all->addLayout(left, 1);
  all->addLayout(buttons);
}

void TSetMixerDlg::Press(Action a) {
  action_ = a;
  accept();
}

void TSetMixerDlg::done(int r) {
  uint32_t flags = 0;
  for (int i = 0; i < kMixerRows; ++i)
    if (cbxCtrl[size_t(i)]->isChecked()) flags |= 1u << i;
  if (cbxProg->isChecked()) flags |= kMixerProgramFlag;
  mixer_.MixerCheckedCtrls = flags;
  mixer_.StepInc = veStep->value();
  mixer_.CascadeInc = veCascade->value();
  QDialog::done(r);
}

}  // namespace melko
