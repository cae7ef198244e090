// TPaletteCustomDlg ("NotePaletteCustomize"): a grid of the six velocity
// presets (ff .. pp) and the three gate ratios (slur, normal, staccato) of
// the score's palette. The tables are copied back only when the dialog
// closes with OK. UI thread.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class QTableWidget;

namespace melko {

class TPaletteCustomDlg : public QDialog {
  Q_OBJECT
 public:
  TPaletteCustomDlg(const std::array<uint8_t, 6>& velocities, const std::array<uint8_t, 3>& gates,
                    QWidget* parent = nullptr);
  // What the grid holds now, each cell read leniently (its old value when
  // it is no number) and clamped to 1..127 or 1..100.
  std::array<uint8_t, 6> Velocities() const;
  std::array<uint8_t, 3> Gates() const;
  QTableWidget* Grid() const { return grid_; }

 private:
  int Cell(int row, int old, int hi) const;
  QTableWidget* grid_;
  std::array<uint8_t, 6> velocities_;
  std::array<uint8_t, 3> gates_;
};

}  // namespace melko
