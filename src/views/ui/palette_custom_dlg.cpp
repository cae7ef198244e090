#include "views/ui/palette_custom_dlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/int_helpers.h"

namespace melko {

namespace {
const char* const kRows[9] = {"ff", "f", "mf", "mp", "p", "pp", "スラー", "ノーマル", "スタッカート"};
}

TPaletteCustomDlg::TPaletteCustomDlg(const std::array<uint8_t, 6>& velocities, const std::array<uint8_t, 3>& gates,
                                     QWidget* parent)
    : QDialog(parent), velocities_(velocities), gates_(gates) {
  setObjectName(QStringLiteral("NotePaletteCustomize"));
  setWindowTitle(QStringLiteral("NotePaletteCustomize"));
  auto* v = new QVBoxLayout(this);
  grid_ = new QTableWidget(9, 2, this);
  grid_->setHorizontalHeaderLabels({QStringLiteral("ボタン"), QStringLiteral("値")});
  grid_->verticalHeader()->hide();
  for (int r = 0; r < 9; ++r) {
    auto* name = new QTableWidgetItem(QString::fromUtf8(kRows[r]) + (r < 6 ? QStringLiteral(" (ベロシティ)")
                                                                            : QStringLiteral(" (ゲート %)")));
    name->setFlags(Qt::ItemIsEnabled);
    grid_->setItem(r, 0, name);
    grid_->setItem(r, 1, new QTableWidgetItem(QString::number(r < 6 ? velocities[size_t(r)] : gates[size_t(r - 6)])));
  }
  grid_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  grid_->horizontalHeader()->setStretchLastSection(true);
  grid_->setMinimumSize(260, grid_->verticalHeader()->length() + grid_->horizontalHeader()->height() + 6);
  v->addWidget(grid_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  v->addWidget(buttons);
}

int TPaletteCustomDlg::Cell(int row, int old, int hi) const {
  const QTableWidgetItem* item = grid_->item(row, 1);
  const std::string text = item ? item->text().toStdString() : std::string();
  return int(ClampInt(StrToIntClamp(text, old, 1, hi), 1, hi));
}

std::array<uint8_t, 6> TPaletteCustomDlg::Velocities() const {
  std::array<uint8_t, 6> out{};
  for (int i = 0; i < 6; ++i) out[size_t(i)] = uint8_t(Cell(i, velocities_[size_t(i)], 127));
  return out;
}

std::array<uint8_t, 3> TPaletteCustomDlg::Gates() const {
  std::array<uint8_t, 3> out{};
  for (int i = 0; i < 3; ++i) out[size_t(i)] = uint8_t(Cell(6 + i, gates_[size_t(i)], 100));
  return out;
}

}  // namespace melko
