#include "views/ui/rhythm_grid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace melko {

TRhythmGrid::TRhythmGrid(TRhythmPattern& pattern, QWidget* parent) : QAbstractScrollArea(parent), pattern_(pattern) {
  setObjectName(QStringLiteral("DrawGrid2"));
  for (int i = 0; i < 128; ++i) RowMap[size_t(i)] = uint8_t(i);
  viewport()->setMouseTracking(false);
  Relayout();
}

QSize TRhythmGrid::sizeHint() const { return {kNameWidth + 32 * kCellWidth + 20, kHeaderHeight + 20 * kRowHeight}; }

void TRhythmGrid::Relayout() {
  const int gridWidth = pattern_.PatternSteps() * kCellWidth;
  const int visibleW = std::max(0, viewport()->width() - kNameWidth);
  horizontalScrollBar()->setRange(0, std::max(0, gridWidth - visibleW));
  horizontalScrollBar()->setPageStep(visibleW);
  horizontalScrollBar()->setSingleStep(kCellWidth);
  const int visibleRows = std::max(1, (viewport()->height() - kHeaderHeight) / kRowHeight);
  verticalScrollBar()->setRange(0, std::max(0, 128 - visibleRows));
  verticalScrollBar()->setPageStep(visibleRows);
  verticalScrollBar()->setSingleStep(1);
  viewport()->update();
}

void TRhythmGrid::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  Relayout();
}

void TRhythmGrid::SetPlayStep(int step) {
  if (step == PlayStep) return;
  PlayStep = step;
  viewport()->update();
}

int TRhythmGrid::RowOfNote(int note) const {
  for (int r = 0; r < 128; ++r)
    if (RowMap[size_t(r)] == note) return r;
  return -1;
}

void TRhythmGrid::ScrollToRow(int row) { verticalScrollBar()->setValue(row); }

bool TRhythmGrid::CellAt(QPoint p, int& step, int& note) const {
  if (p.x() < kNameWidth || p.y() < kHeaderHeight) return false;
  step = (p.x() - kNameWidth + horizontalScrollBar()->value()) / kCellWidth;
  const int row = (p.y() - kHeaderHeight) / kRowHeight + verticalScrollBar()->value();
  if (step < 0 || step >= pattern_.PatternSteps() || row < 0 || row >= 128) return false;
  note = RowMap[size_t(row)];
  return true;
}

void TRhythmGrid::Write(int step, int note, int velocity) {
  if (pattern_.Cell(step, note) == velocity) return;
  pattern_.SetCell(step, note, velocity);
  viewport()->update();
  if (CellChanged) CellChanged(step, note);
}

void TRhythmGrid::mousePressEvent(QMouseEvent* e) {
  int step, note;
  if (!CellAt(e->position().toPoint(), step, note)) return;
  if (e->button() == Qt::LeftButton) {
    dragVelocity_ = PenMode || pattern_.Cell(step, note) == 0 ? Velocity : 0;
    Write(step, note, dragVelocity_);
  } else if (e->button() == Qt::RightButton) {
    dragVelocity_ = 0;
    Write(step, note, 0);
  }
}

void TRhythmGrid::mouseMoveEvent(QMouseEvent* e) {
  int step, note;
  if (dragVelocity_ < 0 || !(e->buttons() & (Qt::LeftButton | Qt::RightButton))) return;
  if (CellAt(e->position().toPoint(), step, note)) Write(step, note, dragVelocity_);
}

void TRhythmGrid::mouseDoubleClickEvent(QMouseEvent* e) {
  int step, note;
  if (e->button() == Qt::RightButton && CellAt(e->position().toPoint(), step, note) && VelocityMenu)
    VelocityMenu(step, note, e->globalPosition().toPoint());
}

void TRhythmGrid::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const int w = viewport()->width(), h = viewport()->height();
  const int x0 = horizontalScrollBar()->value(), firstRow = verticalScrollBar()->value();
  const int steps = pattern_.PatternSteps();
  const int firstStep = x0 / kCellWidth;
  const int lastStep = std::min(steps - 1, (x0 + w - kNameWidth) / kCellWidth);
  const int rows = (h - kHeaderHeight) / kRowHeight + 1;
  // Steps per beat and per measure, for the lines (0 when not whole).
  const int perBeat = pattern_.PatternQuant % pattern_.PatternBeatUnit == 0
                          ? pattern_.PatternQuant / pattern_.PatternBeatUnit : 0;
  const int perMeasure = perBeat * pattern_.PatternBeats;
  p.fillRect(rect(), palette().base());
  const QColor light(0xF4, 0xF6, 0xFA), dark(0xE4, 0xE8, 0xF0), line(0xC8, 0xCC, 0xD6), beatLine(0x90, 0x98, 0xA8),
      measureLine(0x30, 0x38, 0x50), playing(0xFF, 0xF0, 0xB0);
  const QFontMetrics fm(font());
  p.setClipRect(kNameWidth, kHeaderHeight, w - kNameWidth, h - kHeaderHeight);
  for (int s = firstStep; s <= lastStep; ++s) {
    const int x = kNameWidth + s * kCellWidth - x0;
    const bool darkBeat = perBeat > 0 && (s / perBeat) % 2 == 1;
    p.fillRect(x, kHeaderHeight, kCellWidth, h, s == PlayStep ? playing : darkBeat ? dark : light);
  }
  for (int i = 0; i < rows && firstRow + i < 128; ++i) {
    const int y = kHeaderHeight + i * kRowHeight;
    const int note = RowMap[size_t(firstRow + i)];
    p.setPen(line);
    p.drawLine(kNameWidth, y + kRowHeight - 1, w, y + kRowHeight - 1);
    if (!pattern_.RowUsed(note)) continue;
    for (int s = firstStep; s <= lastStep; ++s) {
      const int v = pattern_.Cell(s, note);
      if (!v) continue;
      const int x = kNameWidth + s * kCellWidth - x0;
      // Darker and taller for louder hits.
      const int shade = 230 - v * 200 / 127;
      const int barH = 4 + (kRowHeight - 7) * v / 127;
      p.fillRect(x + 2, y + kRowHeight - 2 - barH, kCellWidth - 4, barH, QColor(shade, shade / 2 + 40, 60));
    }
  }
  for (int s = firstStep; s <= lastStep + 1; ++s) {
    const int x = kNameWidth + s * kCellWidth - x0;
    p.setPen(perMeasure > 0 && s % perMeasure == 0 ? measureLine : perBeat > 0 && s % perBeat == 0 ? beatLine : line);
    p.drawLine(x, kHeaderHeight, x, h);
  }
  // The header: the step number at every beat (every fourth step without beats).
  p.setClipRect(kNameWidth, 0, w - kNameWidth, kHeaderHeight);
  p.fillRect(kNameWidth, 0, w, kHeaderHeight, palette().button());
  p.setPen(palette().buttonText().color());
  const int labelEvery = perBeat > 0 ? perBeat : 4;
  for (int s = firstStep - firstStep % labelEvery; s <= lastStep; s += labelEvery) {
    const int x = kNameWidth + s * kCellWidth - x0;
    QString text = perMeasure > 0 && s % perMeasure == 0 ? QString::number(s / perMeasure + 1) + QStringLiteral(":")
                                                          : QString();
    text += QString::number(s);
    p.drawText(QRect(x + 2, 0, labelEvery * kCellWidth - 2, kHeaderHeight), Qt::AlignVCenter | Qt::AlignLeft, text);
  }
  // The row names.
  p.setClipRect(0, 0, kNameWidth, h);
  p.fillRect(0, 0, kNameWidth, h, palette().button());
  p.drawText(QRect(4, 0, kNameWidth - 8, kHeaderHeight), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Note"));
  for (int i = 0; i < rows && firstRow + i < 128; ++i) {
    const int y = kHeaderHeight + i * kRowHeight;
    const int note = RowMap[size_t(firstRow + i)];
    p.setPen(line);
    p.drawLine(0, y, kNameWidth, y);
    p.setPen(pattern_.RowUsed(note) ? QColor(0x10, 0x30, 0x90) : palette().buttonText().color());
    const QString name = QString::asprintf("%.3d ", note) + QString::fromStdString(RowNames[size_t(note)]);
    p.drawText(QRect(4, y, kNameWidth - 8, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft,
               fm.elidedText(name, Qt::ElideRight, kNameWidth - 8));
  }
}

}  // namespace melko
