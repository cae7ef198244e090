// TRhythmCustomDlg ("Velocity"): the eight velocities of the levels fff..ppp
// in one grid row, each 1..127. UI thread.
#pragma once

#include <QDialog>
#include <array>

class QTableWidget;

namespace melko {

constexpr std::array<const char*, 8> kVelocityLevelNames = {"fff", "ff", "f", "mf", "mp", "p", "pp", "ppp"};
constexpr std::array<int, 8> kDefaultVelocityLevels = {127, 112, 96, 80, 64, 48, 32, 16};

class TRhythmCustomDlg : public QDialog {
  Q_OBJECT
 public:
  TRhythmCustomDlg(const std::array<int, 8>& levels, QWidget* parent = nullptr);
  // The levels typed, each clamped to 1..127 (a cell that is no number keeps its old value).
  std::array<int, 8> Levels() const;
  QTableWidget* Grid = nullptr;

 private:
  std::array<int, 8> old_;
};

}  // namespace melko
