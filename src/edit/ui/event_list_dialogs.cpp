#include "edit/ui/event_list_dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/text_encoding.h"

namespace melko {

namespace {

QString Show(const std::string& raw) { return QString::fromStdString(DisplayText(raw)); }

void FillNames(QComboBox* box, const NameTable& table) {
  for (int i = 0; i < table.Count && i < int(table.Names.size()); ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "%02X ", table.Codes[size_t(i)]);
    box->addItem(QString::fromLatin1(code) + Show(table.Names[size_t(i)]));
  }
}

int IndexOfCode(const NameTable& table, uint8_t code) {
  for (int i = 0; i < table.Count; ++i)
    if (table.Codes[size_t(i)] == code) return i;
  return 0;
}

}  // namespace

TEventFilterDlg::TEventFilterDlg(const ListFilter& f, const NameTable& control, const NameTable& meta, QWidget* parent)
    : QDialog(parent), control_(control), meta_(meta) {
  setObjectName(QStringLiteral("EventFilter"));
  setWindowTitle(QStringLiteral("EventFilter"));
  static const char* const kNames[8][2] = {
      {"cbxEfNote", "Note"},           {"cbxEfKprs", "KeyPressure"},      {"cbxEfCtrl", "ControlChange"},
      {"cbxEfProg", "ProgramChange"},  {"cbxEfCprs", "ChannelPressure"},  {"cbxEfBend", "PitchBend"},
      {"cbxEfSysEx", "SystemExclusive"}, {"cbxEfMeta", "MetaEvent"}};
  auto* grid = new QGridLayout;
  for (int k = 0; k < 8; ++k) {
    Kinds[size_t(k)] = new QCheckBox(QString::fromLatin1(kNames[k][1]));
    Kinds[size_t(k)]->setObjectName(QString::fromLatin1(kNames[k][0]));
    Kinds[size_t(k)]->setChecked(f.Bits & (1 << k));
    grid->addWidget(Kinds[size_t(k)], k % 4, k / 4);
  }
  auto* all = new QPushButton(QStringLiteral("All"));
  all->setObjectName(QStringLiteral("btnAll"));
  auto* none = new QPushButton(QStringLiteral("None"));
  none->setObjectName(QStringLiteral("btnNone"));
  connect(all, &QPushButton::clicked, this, [this] {
    for (auto* c : Kinds) c->setChecked(true);
  });
  connect(none, &QPushButton::clicked, this, [this] {
    for (auto* c : Kinds) c->setChecked(false);
  });
  cbxTargetCtrl = new QCheckBox(QStringLiteral("CC"));
  cbxTargetCtrl->setObjectName(QStringLiteral("cbxTargetCtrl"));
  cbxTargetCtrl->setChecked(f.CtrlOn);
  cmbTargetCtrl = new QComboBox;
  cmbTargetCtrl->setObjectName(QStringLiteral("cmbTargetCtrl"));
  FillNames(cmbTargetCtrl, control);
  cmbTargetCtrl->setCurrentIndex(IndexOfCode(control, f.Ctrl));
  cbxTargetMeta = new QCheckBox(QStringLiteral("Meta"));
  cbxTargetMeta->setObjectName(QStringLiteral("cbxTargetMeta"));
  cbxTargetMeta->setChecked(f.MetaOn);
  cmbTargetMeta = new QComboBox;
  cmbTargetMeta->setObjectName(QStringLiteral("cmbTargetMeta"));
  FillNames(cmbTargetMeta, meta);
  cmbTargetMeta->setCurrentIndex(IndexOfCode(meta, f.Meta));
  auto* targets = new QGridLayout;
  targets->addWidget(cbxTargetCtrl, 0, 0);
  targets->addWidget(cmbTargetCtrl, 0, 1);
  targets->addWidget(cbxTargetMeta, 1, 0);
  targets->addWidget(cmbTargetMeta, 1, 1);
  targets->setColumnStretch(1, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->addButton(all, QDialogButtonBox::ResetRole);
  buttons->addButton(none, QDialogButtonBox::ResetRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* v = new QVBoxLayout(this);
  v->addLayout(grid);
  v->addLayout(targets);
  v->addWidget(buttons);
}

ListFilter TEventFilterDlg::Result() const {
  ListFilter f;
  f.Bits = 0;
  for (int k = 0; k < 8; ++k)
    if (Kinds[size_t(k)]->isChecked()) f.Bits |= uint8_t(1 << k);
  f.CtrlOn = cbxTargetCtrl->isChecked() && control_.Count > 0;
  if (control_.Count > 0) f.Ctrl = control_.Codes[size_t(std::max(0, cmbTargetCtrl->currentIndex()))];
  f.MetaOn = cbxTargetMeta->isChecked() && meta_.Count > 0;
  if (meta_.Count > 0) f.Meta = meta_.Codes[size_t(std::max(0, cmbTargetMeta->currentIndex()))];
  return f;
}

TShiftLocaDlg::TShiftLocaDlg(const QString& location, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ShiftLocation"));
  setWindowTitle(QStringLiteral("ShiftLocation"));
  edLocation = new QLineEdit(location);
  edLocation->setObjectName(QStringLiteral("edLocation"));
  auto* song = new QPushButton(QStringLiteral("Song"));
  song->setObjectName(QStringLiteral("btSong"));
  auto* track = new QPushButton(QStringLiteral("Track"));
  track->setObjectName(QStringLiteral("btTrack"));
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"));
  connect(song, &QPushButton::clicked, this, [this] {
    WholeSong = true;
    accept();
  });
  connect(track, &QPushButton::clicked, this, [this] {
    WholeSong = false;
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* v = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("移動先")));
  row->addWidget(edLocation, 1);
  v->addLayout(row);
  auto* b = new QHBoxLayout;
  b->addWidget(song);
  b->addWidget(track);
  b->addStretch();
  b->addWidget(cancel);
  v->addLayout(b);
}

TPackedRPNDlg::TPackedRPNDlg(const RpnTable& table, const QString& location, QWidget* parent)
    : QDialog(parent), table_(table) {
  setObjectName(QStringLiteral("PackedRPN"));
  setWindowTitle(QStringLiteral("RPN/NRPN"));
  cmbRpnGroup = new QComboBox;
  cmbRpnGroup->setObjectName(QStringLiteral("cmbRpnGroup"));
  for (const RpnGroup& g : table.Groups) cmbRpnGroup->addItem(Show(g.Name));
  lbxParams = new QListWidget;
  lbxParams->setObjectName(QStringLiteral("lbxParams"));
  edStep = new QLineEdit(QStringLiteral("0"));
  edStep->setObjectName(QStringLiteral("edStep"));
  edRr = new QLineEdit(QStringLiteral("0"));
  edRr->setObjectName(QStringLiteral("edRr"));
  edData = new QLineEdit(QStringLiteral("0"));
  edData->setObjectName(QStringLiteral("edData"));
  edLocation = new QLineEdit(location);
  edLocation->setObjectName(QStringLiteral("edLocation"));
  auto* input = new QPushButton(QStringLiteral("入力"));
  input->setObjectName(QStringLiteral("btnInput"));
  input->setDefault(true);
  connect(input, &QPushButton::clicked, this, [this] {
    if (Param() >= 0) accept();
  });
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmbRpnGroup, &QComboBox::currentIndexChanged, this, [this] { FillParams(); });
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("位置"), edLocation);
  form->addRow(QStringLiteral("Step"), edStep);
  form->addRow(QStringLiteral("rr"), edRr);
  form->addRow(QStringLiteral("Data"), edData);
  auto* v = new QVBoxLayout(this);
  v->addWidget(cmbRpnGroup);
  v->addWidget(lbxParams, 1);
  v->addLayout(form);
  auto* b = new QHBoxLayout;
  b->addStretch();
  b->addWidget(input);
  b->addWidget(cancel);
  v->addLayout(b);
  FillParams();
  resize(360, 380);
}

void TPackedRPNDlg::FillParams() {
  lbxParams->clear();
  const int g = cmbRpnGroup->currentIndex();
  if (g < 0 || size_t(g) >= table_.Groups.size()) return;
  for (const RpnParam& p : table_.Groups[size_t(g)].Params) {
    char nums[24];
    if (p.LsbFromRr) std::snprintf(nums, sizeof nums, "%03d rr  %d  ", p.Msb, p.DataBytes);
    else std::snprintf(nums, sizeof nums, "%03d %03d %d  ", p.Msb, p.Lsb, p.DataBytes);
    lbxParams->addItem(QString::fromLatin1(nums) + Show(p.Name));
  }
  if (lbxParams->count()) lbxParams->setCurrentRow(0);
}

}  // namespace melko
