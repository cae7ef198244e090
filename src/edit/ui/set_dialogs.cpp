#include "edit/ui/set_dialogs.h"

#include <QComboBox>
#include <QCursor>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/int_helpers.h"
#include "edit/edit_range.h"

namespace melko {

namespace {
QDialogButtonBox* OkCancel(QDialog* dlg) {
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dlg);
  QObject::connect(box, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
  return box;
}
}  // namespace

TBPMDlg::TBPMDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("テンポ"));
  setObjectName(QStringLiteral("BPMDlg"));
  edBPM = new QLineEdit(QStringLiteral("120"), this);
  edBPM->setObjectName(QStringLiteral("edBPM"));
  edBPM->selectAll();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("BPM"), this));
  layout->addWidget(edBPM);
  layout->addWidget(OkCancel(this));
}

int TBPMDlg::Bpm() const { return ReadBpmText(edBPM->text().toStdString()); }

TMeterDlg::TMeterDlg(QWidget* parent, uint32_t meter) : QDialog(parent) {
  setWindowTitle(QStringLiteral("拍子"));
  setObjectName(QStringLiteral("MeterDlg"));
  edNn = new QLineEdit(QString::number(meter >> 24), this);
  edNn->setObjectName(QStringLiteral("edNn"));
  tsbtNnUp = new QToolButton(this);
  tsbtNnUp->setObjectName(QStringLiteral("tsbtNnUp"));
  tsbtNnUp->setArrowType(Qt::UpArrow);
  tsbtNnUp->setAutoRepeat(true);
  tsbtNnDown = new QToolButton(this);
  tsbtNnDown->setObjectName(QStringLiteral("tsbtNnDown"));
  tsbtNnDown->setArrowType(Qt::DownArrow);
  tsbtNnDown->setAutoRepeat(true);
  cmbDd = new QComboBox(this);
  cmbDd->setObjectName(QStringLiteral("cmbDd"));
  cmbDd->addItems({"1", "2", "4", "8", "16", "32"});
  int power = static_cast<int>((meter >> 16) & 0xFF);
  cmbDd->setCurrentIndex(power <= 5 ? power : 2);
  connect(edNn, &QLineEdit::editingFinished, this, [this] { TakeWholeMeter(); });
  connect(tsbtNnUp, &QToolButton::clicked, this, [this] { Step(1); });
  connect(tsbtNnDown, &QToolButton::clicked, this, [this] { Step(-1); });
  auto* grid = new QGridLayout;
  grid->addWidget(edNn, 0, 0);
  grid->addWidget(tsbtNnUp, 0, 1);
  grid->addWidget(tsbtNnDown, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("/"), this), 0, 3);
  grid->addWidget(cmbDd, 0, 4);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(OkCancel(this));
}

void TMeterDlg::Step(int by) {
  TakeWholeMeter();
  int64_t n = 4;
  TryParseInt(edNn->text().toStdString(), n);
  edNn->setText(QString::number(ClampInt(n + by, 1, 255)));
}

void TMeterDlg::TakeWholeMeter() {
  // A meter typed whole into the numerator box, as the strip shows it ("6/8"):
  // the denominator goes to its list when the list offers it.
  QString text = edNn->text();
  qsizetype slash = text.indexOf(QLatin1Char('/'));
  if (slash < 0) return;
  int64_t d = 0;
  if (TryParseInt(text.mid(slash + 1).trimmed().toStdString(), d)) {
    int item = cmbDd->findText(QString::number(d));
    if (item >= 0) cmbDd->setCurrentIndex(item);
  }
  edNn->setText(text.left(slash).trimmed());
}

uint32_t TMeterDlg::Value() {
  TakeWholeMeter();
  int64_t n = 4;
  if (!TryParseInt(edNn->text().toStdString(), n)) n = 4;
  return MeterValue(static_cast<int>(ClampInt(n, 1, 255)), std::max(cmbDd->currentIndex(), 0));
}

TKeySigDlg::TKeySigDlg(QWidget* parent, uint32_t key) : QDialog(parent) {
  setWindowTitle(QStringLiteral("調号"));
  setObjectName(QStringLiteral("KeySigDlg"));
  cmbKey = new QComboBox(this);
  cmbKey->setObjectName(QStringLiteral("cmbKey"));
  for (int sf = -7; sf <= 7; ++sf) cmbKey->addItem(QString::fromStdString(KeySigItemText(sf)));
  int sf = static_cast<int8_t>((key >> 8) & 0xFF);
  cmbKey->setCurrentIndex(static_cast<int>(ClampInt(sf, -7, 7)) + 7);
  rbtMajor = new QRadioButton(QStringLiteral("長調"), this);
  rbtMajor->setObjectName(QStringLiteral("rbtMajor"));
  rbtMinor = new QRadioButton(QStringLiteral("短調"), this);
  rbtMinor->setObjectName(QStringLiteral("rbtMinor"));
  ((key & 0xFF) ? rbtMinor : rbtMajor)->setChecked(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(cmbKey);
  layout->addWidget(rbtMajor);
  layout->addWidget(rbtMinor);
  layout->addWidget(OkCancel(this));
}

uint32_t TKeySigDlg::Value() const { return KeyValue(cmbKey->currentIndex() - 7, rbtMinor->isChecked()); }

bool ExecCentered(QDialog& dialog) {
  QPoint saved = QCursor::pos();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r = screen->geometry();
    QCursor::setPos(r.width() / 2 - 10, r.height() / 2);
  }
  bool ok = dialog.exec() == QDialog::Accepted;
  QCursor::setPos(saved);
  return ok;
}

}  // namespace melko
