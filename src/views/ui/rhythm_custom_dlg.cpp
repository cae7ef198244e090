#include "views/ui/rhythm_custom_dlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace melko {

TRhythmCustomDlg::TRhythmCustomDlg(const std::array<int, 8>& levels, QWidget* parent) : QDialog(parent), old_(levels) {
  setObjectName(QStringLiteral("RhythmCustomDlg"));
  setWindowTitle(QStringLiteral("Velocity"));
  auto* layout = new QVBoxLayout(this);
  Grid = new QTableWidget(1, 8, this);
  QStringList names;
  for (const char* n : kVelocityLevelNames) names << QString::fromLatin1(n);
  Grid->setHorizontalHeaderLabels(names);
  Grid->verticalHeader()->hide();
  Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  for (int i = 0; i < 8; ++i) {
    Grid->setColumnWidth(i, 46);
    auto* item = new QTableWidgetItem(QString::number(levels[size_t(i)]));
    item->setTextAlignment(Qt::AlignCenter);
    Grid->setItem(0, i, item);
  }
  Grid->setFixedSize(8 * 46 + 2 * Grid->frameWidth(), Grid->horizontalHeader()->height() + Grid->rowHeight(0) + 2 * Grid->frameWidth());
  layout->addWidget(Grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* reset = buttons->addButton(QStringLiteral("Default"), QDialogButtonBox::ResetRole);
  connect(reset, &QPushButton::clicked, this, [this] {
    for (int i = 0; i < 8; ++i) Grid->item(0, i)->setText(QString::number(kDefaultVelocityLevels[size_t(i)]));
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

std::array<int, 8> TRhythmCustomDlg::Levels() const {
  std::array<int, 8> out = old_;
  for (int i = 0; i < 8; ++i) {
    bool ok = false;
    const int v = Grid->item(0, i)->text().trimmed().toInt(&ok);
    if (ok) out[size_t(i)] = std::clamp(v, 1, 127);
  }
  return out;
}

}  // namespace melko
