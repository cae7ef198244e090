#include "edit/ui/tool_dialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <climits>

#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "edit/tool_checks.h"
#include "edit/tool_text.h"

namespace melko {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QLineEdit* e) { return e->text().toStdString(); }

QRadioButton* Radio(QWidget* parent, const char* name, const char* caption) {
  auto* r = new QRadioButton(QString::fromUtf8(caption), parent);
  r->setObjectName(QString::fromLatin1(name));
  return r;
}
}  // namespace

TToolDlg::TToolDlg(const QString& caption, QWidget* parent) : QDialog(parent) {
  setWindowTitle(caption);
  setObjectName(caption);
  setModal(true);
}

QLineEdit* TToolDlg::AddBox(const char* name, std::function<void()> check) {
  auto* e = new QLineEdit(this);
  e->setObjectName(QString::fromLatin1(name));
  connect(e, &QLineEdit::editingFinished, this, check);
  connect(e, &QLineEdit::returnPressed, this, [this, check] {
    check();
    Ok();
  });
  return e;
}

void TToolDlg::Ok() {
  if (closing_) return;  // Enter reaches both the box and the dialog
  closing_ = true;
  ReadAll();
  accept();
}

// The OK and Cancel row; neither button takes Enter, which the boxes handle.
static QDialogButtonBox* Buttons(TToolDlg* dlg, std::function<void()> ok) {
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dlg);
  for (QAbstractButton* b : box->buttons())
    if (auto* p = qobject_cast<QPushButton*>(b)) {
      p->setAutoDefault(false);
      p->setDefault(false);
    }
  QObject::connect(box, &QDialogButtonBox::accepted, dlg, ok);
  QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
  return box;
}

// ---- Dynamics ----

TDynamicsDlg::TDynamicsDlg(DynamicsSettings& settings, const NameTable& dynCtrl, QWidget* parent)
    : TToolDlg(QStringLiteral("Dynamics"), parent), s_(settings), work_(settings), table_(dynCtrl) {
  cmbData = new QComboBox(this);
  cmbData->setObjectName(QStringLiteral("cmbData"));
  cmbData->addItems({"Note", "KyPrs", "Ctrl", "ChPrs", "Bend"});
  cmbControl = new QComboBox(this);
  cmbControl->setObjectName(QStringLiteral("cmbControl"));
  // The dialog's own copy of the list leaves out the five heads.
  for (size_t i = kDynamicsHeadCount; i < table_.Names.size(); ++i) cmbControl->addItem(Q(DisplayText(table_.Names[i])));
  rbtAdd = Radio(this, "rbtAdd", "Add");
  rbtChange = Radio(this, "rbtChange", "Change to");
  rbtSet = Radio(this, "rbtSet", "Set to");
  rbtCompress = Radio(this, "rbtCompress", "Compress to");
  auto* group = new QButtonGroup(this);
  group->addButton(rbtAdd, kMethodAdd);
  group->addButton(rbtChange, kMethodChange);
  group->addButton(rbtSet, kMethodSet);
  group->addButton(rbtCompress, kMethodCompress);

  edAdd = AddBox("edAdd", [this] {
    work_.Add = static_cast<int>(StrToIntClamp(S(edAdd), work_.Add, INT_MIN, INT_MAX));
    edAdd->setText(QString::number(work_.Add));
  });
  edChange = AddBox("edChange", [this] {
    work_.Change = static_cast<uint16_t>(StrToIntClamp(S(edChange), work_.Change, 0, kMaxChangePercent));
    edChange->setText(QString::number(work_.Change));
  });
  edSet = AddBox("edSet", [this] { CheckValue(edSet, work_.Set); });
  edComp = AddBox("edComp", [this] { CheckValue(edComp, work_.CompCenter); });
  edCompPrc = AddBox("edCompPrc", [this] {
    work_.CompPerc = static_cast<uint16_t>(ClampInt(StrToIntClamp(S(edCompPrc), 100, 0, kMaxCompressPercent), 0, 100));
    edCompPrc->setText(QString::number(work_.CompPerc));
  });
  edLower = AddBox("edLower", [this] { CheckValue(edLower, work_.Lower); });
  edUpper = AddBox("edUpper", [this] { CheckValue(edUpper, work_.Upper); });

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("データ"), this), 0, 0);
  grid->addWidget(cmbData, 0, 1);
  grid->addWidget(cmbControl, 0, 2, 1, 3);
  grid->addWidget(rbtAdd, 1, 0);
  grid->addWidget(edAdd, 1, 1);
  grid->addWidget(rbtChange, 2, 0);
  grid->addWidget(edChange, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("%"), this), 2, 2);
  grid->addWidget(rbtSet, 3, 0);
  grid->addWidget(edSet, 3, 1);
  grid->addWidget(rbtCompress, 4, 0);
  grid->addWidget(edComp, 4, 1);
  grid->addWidget(edCompPrc, 4, 2);
  grid->addWidget(new QLabel(QStringLiteral("%"), this), 4, 3);
  grid->addWidget(new QLabel(QStringLiteral("範囲"), this), 5, 0);
  grid->addWidget(edLower, 5, 1);
  grid->addWidget(edUpper, 5, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(Buttons(this, [this] { Ok(); }));

  cmbData->setCurrentIndex(static_cast<int>(ClampInt(work_.Kind, 0, 4)));
  int ci = work_.ControlIndex;
  cmbControl->setCurrentIndex(ci >= 0 && ci < cmbControl->count() ? ci : 0);
  edAdd->setText(QString::number(work_.Add));
  edChange->setText(QString::number(work_.Change));
  edCompPrc->setText(QString::number(work_.CompPerc));
  KindChanged();
  connect(cmbData, &QComboBox::currentIndexChanged, this, [this] { KindChanged(); });
  QLineEdit* first[4] = {edAdd, edChange, edSet, edComp};
  QRadioButton* radios[4] = {rbtAdd, rbtChange, rbtSet, rbtCompress};
  int m = static_cast<int>(ClampInt(work_.Method, 0, 3));
  radios[m]->setChecked(true);
  first[m]->setFocus();
}

void TDynamicsDlg::CheckValue(QLineEdit* box, int& value) {
  int lo, hi;
  DynamicsRange(work_.Kind, lo, hi);
  value = static_cast<int>(ClampInt(StrToIntClamp(S(box), value, lo, hi), lo, hi));
  box->setText(QString::number(value));
}

void TDynamicsDlg::KindChanged() {
  work_.Kind = cmbData->currentIndex();
  cmbControl->setVisible(work_.Kind == kDynControl);
  int lo, hi;
  DynamicsRange(work_.Kind, lo, hi);
  for (int* v : {&work_.Set, &work_.CompCenter, &work_.Lower, &work_.Upper}) *v = static_cast<int>(ClampInt(*v, lo, hi));
  edSet->setText(QString::number(work_.Set));
  edComp->setText(QString::number(work_.CompCenter));
  edLower->setText(QString::number(work_.Lower));
  edUpper->setText(QString::number(work_.Upper));
}

void TDynamicsDlg::ReadAll() {
  for (QLineEdit* e : {edAdd, edChange, edSet, edComp, edCompPrc, edLower, edUpper}) emit e->editingFinished();
  work_.Method = rbtChange->isChecked() ? kMethodChange
                 : rbtSet->isChecked()  ? kMethodSet
                 : rbtCompress->isChecked() ? kMethodCompress
                                            : kMethodAdd;
  work_.ControlIndex = std::max(cmbControl->currentIndex(), 0);
  if (work_.ControlIndex < table_.Count) work_.Control = table_.Codes[work_.ControlIndex];
  CheckDynamics(work_);
  s_ = work_;
}

// ---- Transpose ----

TTransposeDlg::TTransposeDlg(TransposeSettings& settings, int centerC, QWidget* parent)
    : TToolDlg(QStringLiteral("Transpose"), parent),
      s_(settings),
      from_(settings.FromNote),
      to_(settings.ToNote),
      centerC_(centerC) {
  rbtTranspose = Radio(this, "rbtTranspose", "Transpose");
  rbtChange = Radio(this, "rbtChange", "Change");
  (settings.Mode == kTransposeChange ? rbtChange : rbtTranspose)->setChecked(true);
  edFrom = AddBox("edFrom", [this] {
    from_ = ReadNoteText(S(edFrom), from_, centerC_);
    edFrom->setText(Q(NoteText(from_, centerC_)));
  });
  edTo = AddBox("edTo", [this] {
    to_ = ReadNoteText(S(edTo), to_, centerC_);
    edTo->setText(Q(NoteText(to_, centerC_)));
  });
  edFrom->setText(Q(NoteText(from_, centerC_)));
  edTo->setText(Q(NoteText(to_, centerC_)));
  auto* grid = new QGridLayout;
  grid->addWidget(rbtTranspose, 0, 0);
  grid->addWidget(rbtChange, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("変換元"), this), 1, 0);
  grid->addWidget(edFrom, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("変換先"), this), 2, 0);
  grid->addWidget(edTo, 2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(Buttons(this, [this] { Ok(); }));
  edFrom->setFocus();
}

void TToolDlg::TakeNote(int note, int velocity, int centerC, QLineEdit* fromBox, int& from, QLineEdit* toBox,
                        int& to) {
  if (velocity <= 0 || note < 0 || note > 127) return;
  if (fromBox->hasFocus()) {
    from = note;
    fromBox->setText(Q(NoteText(note, centerC)));
  } else if (toBox->hasFocus()) {
    to = note;
    toBox->setText(Q(NoteText(note, centerC)));
  }
}

void TTransposeDlg::NoteOn(int note, int velocity) { TakeNote(note, velocity, centerC_, edFrom, from_, edTo, to_); }

void TTransposeDlg::ReadAll() {
  emit edFrom->editingFinished();
  emit edTo->editingFinished();
  s_.Mode = rbtChange->isChecked() ? kTransposeChange : kTransposeBy;
  s_.FromNote = from_;
  s_.ToNote = to_;
}

// ---- Gate time ----

TGateDlg::TGateDlg(GateSettings& settings, uint32_t tpqn, QWidget* parent)
    : TToolDlg(QStringLiteral("GateTime"), parent), s_(settings), work_(settings), tpqn_(tpqn) {
  rbtAdd = Radio(this, "rbtAdd", "Add");
  rbtChange = Radio(this, "rbtChange", "Change to");
  rbtSet = Radio(this, "rbtSet", "Set to");
  rbtCompress = Radio(this, "rbtCompress", "Compress to");
  auto* group = new QButtonGroup(this);
  for (QRadioButton* r : {rbtAdd, rbtChange, rbtSet, rbtCompress}) group->addButton(r);
  auto length = [this](QLineEdit* box, int& value) {
    value = static_cast<int>(ReadLengthText(S(box), value, tpqn_, false));
    box->setText(Q(LengthText(value, tpqn_)));
  };
  edAdd = AddBox("edAdd", [this] {
    work_.Add = static_cast<int>(ReadLengthText(S(edAdd), work_.Add, tpqn_, true));
    edAdd->setText(Q(LengthText(work_.Add, tpqn_)));
  });
  edChange = AddBox("edChange", [this] {
    work_.Change = static_cast<uint16_t>(ClampInt(StrToIntClamp(S(edChange), 100, 0, kMaxChangePercent), 0, 999));
    edChange->setText(QString::number(work_.Change));
  });
  edSet = AddBox("edSet", [this, length] { length(edSet, work_.Set); });
  edComp = AddBox("edComp", [this, length] { length(edComp, work_.CompCenter); });
  edCompPrc = AddBox("edCompPrc", [this] {
    work_.CompPerc = static_cast<uint16_t>(ClampInt(StrToIntClamp(S(edCompPrc), 100, 0, kMaxCompressPercent), 0, 100));
    edCompPrc->setText(QString::number(work_.CompPerc));
  });
  edLower = AddBox("edLower", [this, length] { length(edLower, work_.Lower); });
  edUpper = AddBox("edUpper", [this, length] { length(edUpper, work_.Upper); });
  edAdd->setText(Q(LengthText(work_.Add, tpqn_)));
  edChange->setText(QString::number(work_.Change));
  edSet->setText(Q(LengthText(work_.Set, tpqn_)));
  edComp->setText(Q(LengthText(work_.CompCenter, tpqn_)));
  edCompPrc->setText(QString::number(work_.CompPerc));
  edLower->setText(Q(LengthText(work_.Lower, tpqn_)));
  edUpper->setText(Q(LengthText(work_.Upper, tpqn_)));

  auto* grid = new QGridLayout;
  grid->addWidget(rbtAdd, 0, 0);
  grid->addWidget(edAdd, 0, 1);
  grid->addWidget(rbtChange, 1, 0);
  grid->addWidget(edChange, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("%"), this), 1, 2);
  grid->addWidget(rbtSet, 2, 0);
  grid->addWidget(edSet, 2, 1);
  grid->addWidget(rbtCompress, 3, 0);
  grid->addWidget(edComp, 3, 1);
  grid->addWidget(edCompPrc, 3, 2);
  grid->addWidget(new QLabel(QStringLiteral("%"), this), 3, 3);
  grid->addWidget(new QLabel(QStringLiteral("範囲"), this), 4, 0);
  grid->addWidget(edLower, 4, 1);
  grid->addWidget(edUpper, 4, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(Buttons(this, [this] { Ok(); }));
  QLineEdit* first[4] = {edAdd, edChange, edSet, edComp};
  QRadioButton* radios[4] = {rbtAdd, rbtChange, rbtSet, rbtCompress};
  int m = static_cast<int>(ClampInt(work_.Method, 0, 3));
  radios[m]->setChecked(true);
  first[m]->setFocus();
}

void TGateDlg::ReadAll() {
  for (QLineEdit* e : {edAdd, edChange, edSet, edComp, edCompPrc, edLower, edUpper}) emit e->editingFinished();
  work_.Method = rbtChange->isChecked() ? kMethodChange
                 : rbtSet->isChecked()  ? kMethodSet
                 : rbtCompress->isChecked() ? kMethodCompress
                                            : kMethodAdd;
  CheckGate(work_, tpqn_);
  s_ = work_;
}

}  // namespace melko
