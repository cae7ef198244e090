// TQuantizeDlg and TEventCutterDlg.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "edit/tool_checks.h"
#include "edit/tool_text.h"
#include "edit/ui/tool_dialogs.h"

namespace melko {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QLineEdit* e) { return e->text().toStdString(); }

QDialogButtonBox* OkCancel(QDialog* dlg, std::function<void()> ok) {
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
}  // namespace

// ---- Quantize ----

TQuantizeDlg::TQuantizeDlg(QuantizeSettings& settings, int& resolution, uint32_t tpqn, QWidget* parent)
    : TToolDlg(QStringLiteral("Quantize"), parent), s_(settings), resolution_(resolution), work_(settings), tpqn_(tpqn) {
  // A ratio that was never valid is not offered to the gate quantize.
  work_.Ratio = static_cast<uint8_t>(ClampInt(work_.Ratio, 1, kMaxQuantizeRatio));
  cmbQType = new QComboBox(this);
  cmbQType->setObjectName(QStringLiteral("cmbQType"));
  cmbQType->addItems({"Grid", "Shuffle", "Gate"});
  cmbQReso = new QComboBox(this);
  cmbQReso->setObjectName(QStringLiteral("cmbQReso"));
  for (const QuantizeResolution& r : kQuantizeResolutions) cmbQReso->addItem(QString::fromUtf8(r.Text));
  edQPerc = AddBox("edQPerc", [this] {
    work_.Strength = static_cast<uint8_t>(ClampInt(StrToIntClamp(S(edQPerc), 100, 0, 100), 0, 100));
    edQPerc->setText(QString::number(work_.Strength));
  });
  edQShift = AddBox("edQShift", [this] { CheckShift(); });
  lblQShift = new QLabel(this);
  auto* grid = new QGridLayout;
  grid->addWidget(cmbQType, 0, 0);
  grid->addWidget(cmbQReso, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Strength"), this), 1, 0);
  grid->addWidget(edQPerc, 1, 1);
  grid->addWidget(lblQShift, 2, 0);
  grid->addWidget(edQShift, 2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(OkCancel(this, [this] { Ok(); }));
  cmbQType->setCurrentIndex(static_cast<int>(ClampInt(work_.Type, 0, 2)));
  cmbQReso->setCurrentIndex(static_cast<int>(ClampInt(resolution_, 0, 9)));
  edQPerc->setText(QString::number(work_.Strength));
  TypeChanged();
  connect(cmbQType, &QComboBox::currentIndexChanged, this, [this] { TypeChanged(); });
  connect(cmbQReso, &QComboBox::currentIndexChanged, this, [this] {
    if (work_.Type == kQuantizeShuffle) CheckShift();
  });
  edQPerc->setFocus();
}

void TQuantizeDlg::TypeChanged() {
  work_.Type = static_cast<uint8_t>(cmbQType->currentIndex());
  bool shown = work_.Type != kQuantizeGrid;
  lblQShift->setVisible(shown);
  edQShift->setVisible(shown);
  lblQShift->setText(work_.Type == kQuantizeGate ? QStringLiteral("Ratio") : QStringLiteral("Shift"));
  edQShift->setText(QString::number(work_.Type == kQuantizeGate ? work_.Ratio : work_.Shift));
  if (shown) CheckShift();
}

void TQuantizeDlg::CheckShift() {
  if (work_.Type == kQuantizeGate) {
    // Unreadable text keeps the old ratio, which is itself 1..200: the gate
    // quantize divides by it.
    work_.Ratio = static_cast<uint8_t>(ClampInt(StrToIntClamp(S(edQShift), work_.Ratio, 1, kMaxQuantizeRatio), 1,
                                                kMaxQuantizeRatio));
    edQShift->setText(QString::number(work_.Ratio));
  } else if (work_.Type == kQuantizeShuffle) {
    int64_t grid = QuantizeGrid(tpqn_, cmbQReso->currentIndex());
    work_.Shift = static_cast<int16_t>(ClampInt(StrToIntClamp(S(edQShift), 0, -grid, grid), -grid, grid));
    edQShift->setText(QString::number(work_.Shift));
  }
}

void TQuantizeDlg::ReadAll() {
  emit edQPerc->editingFinished();
  if (work_.Type != kQuantizeGrid) CheckShift();
  resolution_ = cmbQReso->currentIndex();
  CheckQuantize(work_, resolution_, tpqn_);
  s_ = work_;
}

// ---- Event cutter ----

TEventCutterDlg::TEventCutterDlg(CutterSettings& settings, const NameTable& control, const NameTable& meta,
                                 int centerC, QWidget* parent)
    : TToolDlg(QStringLiteral("EventCutter"), parent),
      s_(settings),
      control_(control),
      meta_(meta),
      from_(settings.FromNote),
      to_(settings.ToNote),
      centerC_(centerC),
      ctrlIndex_(settings.ControlIndex),
      metaIndex_(settings.MetaIndex) {
  cmbSTAT = new QComboBox(this);
  cmbSTAT->setObjectName(QStringLiteral("cmbSTAT"));
  cmbSTAT->addItems({"Note", "KyPrs", "Ctrl", "Prog", "ChPrs", "Bend", "SysEx", "Meta"});
  cmbVAL1 = new QComboBox(this);
  cmbVAL1->setObjectName(QStringLiteral("cmbVAL1"));
  pnlNotes = new QWidget(this);
  pnlNotes->setObjectName(QStringLiteral("pnlNotes"));
  edFromVAL = AddBox("edFromVAL", [this] {
    from_ = ReadNoteText(S(edFromVAL), from_, centerC_);
    edFromVAL->setText(Q(NoteText(from_, centerC_)));
  });
  edUptoVal = AddBox("edUptoVal", [this] {
    to_ = ReadNoteText(S(edUptoVal), to_, centerC_);
    edUptoVal->setText(Q(NoteText(to_, centerC_)));
  });
  edFromVAL->setParent(pnlNotes);
  edUptoVal->setParent(pnlNotes);
  edFromVAL->installEventFilter(this);
  edFromVAL->setText(Q(NoteText(from_, centerC_)));
  edUptoVal->setText(Q(NoteText(to_, centerC_)));
  auto* notes = new QHBoxLayout(pnlNotes);
  notes->setContentsMargins(0, 0, 0, 0);
  notes->addWidget(edFromVAL);
  notes->addWidget(new QLabel(QStringLiteral("-"), pnlNotes));
  notes->addWidget(edUptoVal);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(cmbSTAT);
  layout->addWidget(pnlNotes);
  layout->addWidget(cmbVAL1);
  layout->addWidget(OkCancel(this, [this] { Ok(); }));
  cmbSTAT->setCurrentIndex(static_cast<int>(ClampInt(s_.Kind, 0, 7)));
  KindChanged();
  connect(cmbSTAT, &QComboBox::currentIndexChanged, this, [this] { KindChanged(); });
}

void TEventCutterDlg::KindChanged() {
  int kind = cmbSTAT->currentIndex();
  // Remember the list choice of the kind that is left.
  if (shownKind_ == kCutControl) ctrlIndex_ = cmbVAL1->currentIndex();
  if (shownKind_ == kCutMeta) metaIndex_ = cmbVAL1->currentIndex();
  shownKind_ = kind;
  pnlNotes->setVisible(kind == kCutNote || kind == kCutKeyPressure);
  bool list = kind == kCutControl || kind == kCutMeta;
  cmbVAL1->setVisible(list);
  if (!list) return;
  const NameTable& table = kind == kCutControl ? control_ : meta_;
  int& index = kind == kCutControl ? ctrlIndex_ : metaIndex_;
  cmbVAL1->clear();
  for (const std::string& name : table.Names) cmbVAL1->addItem(Q(DisplayText(name)));
  if (index < 0 || index >= cmbVAL1->count()) index = 0;
  cmbVAL1->setCurrentIndex(index);
}

bool TEventCutterDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edFromVAL && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (key->modifiers() & Qt::ShiftModifier)) {
      edUptoVal->setText(edFromVAL->text());
      return true;
    }
  }
  return TToolDlg::eventFilter(watched, event);
}

void TEventCutterDlg::NoteOn(int note, int velocity) {
  TakeNote(note, velocity, centerC_, edFromVAL, from_, edUptoVal, to_);
}

void TEventCutterDlg::ReadAll() {
  int kind = cmbSTAT->currentIndex();
  if (kind == kCutNote || kind == kCutKeyPressure) {
    emit edFromVAL->editingFinished();
    emit edUptoVal->editingFinished();
  }
  uint8_t code = 0;
  if (kind == kCutControl || kind == kCutMeta) {
    const NameTable& table = kind == kCutControl ? control_ : meta_;
    int index = std::max(cmbVAL1->currentIndex(), 0);
    (kind == kCutControl ? ctrlIndex_ : metaIndex_) = index;
    if (index < table.Count) code = table.Codes[index];
  }
  s_.Kind = kind;
  s_.ControlIndex = ctrlIndex_;
  s_.MetaIndex = metaIndex_;
  s_.FromNote = from_;
  s_.ToNote = to_;
  CutterBounds(s_, code);
}

}  // namespace melko
