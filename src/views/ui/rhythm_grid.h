// DrawGrid2 of the rhythm pattern editor: the steps (columns) by the drum
// notes (rows, in the order of the drum map, named by the drum set) of one
// pattern, a cell shaded by its velocity. It draws only what is on screen.
// A left click (and a drag) sets cells to the current velocity when pen mode
// is on and toggles a cell otherwise; a right click empties a cell; a right
// double-click opens the velocity menu for the cell. Every change is told
// through CellChanged. UI thread; the pattern is the window's.
#pragma once

#include <QAbstractScrollArea>
#include <array>
#include <functional>
#include <string>

#include "views/rhythm_pattern.h"

namespace melko {

class TRhythmGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TRhythmGrid(TRhythmPattern& pattern, QWidget* parent = nullptr);

  static constexpr int kCellWidth = 18;
  static constexpr int kRowHeight = 17;
  static constexpr int kHeaderHeight = 20;
  static constexpr int kNameWidth = 170;

  std::array<uint8_t, 128> RowMap{};           // display row -> note
  std::array<std::string, 128> RowNames;        // by note, UTF-8
  int Velocity = 100;                           // what a click writes
  bool PenMode = true;
  int PlayStep = -1;                            // the step playing, -1 when stopped

  // A cell was written (or emptied) by the mouse.
  std::function<void(int step, int note)> CellChanged;
  // Right double-click: the velocity menu at the cell (the window opens it).
  std::function<void(int step, int note, QPoint globalPos)> VelocityMenu;

  // The layout or the map changed: the scroll ranges and the picture.
  void Relayout();
  void SetPlayStep(int step);
  // The display row of note, -1 when the map has none.
  int RowOfNote(int note) const;
  // Scrolls so that display row is the first visible.
  void ScrollToRow(int row);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  // The cell under a viewport point; false over the names, the header or
  // past the grid.
  bool CellAt(QPoint p, int& step, int& note) const;
  void Write(int step, int note, int velocity);
  TRhythmPattern& pattern_;
  int dragVelocity_ = -1;  // what a left drag writes, -1 when none
};

}  // namespace melko
