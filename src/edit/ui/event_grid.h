// TEventGrid (DrawGrid1): the event list's five-column grid. It paints only
// the rows in view, asking the editor's model for their cell texts, and
// turns keys, clicks and the in-cell editor into the editor's calls. No
// widget per row: one line edit is laid over the cell being edited.
// UI thread; the editor is the form's and outlives the grid.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QLineEdit>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "edit/event_list_editor.h"

namespace melko {

struct ListColors {
  QColor General{0, 0, 0};
  QColor Control{0, 0, 0xFF};      // "ControlFontColor" FF0000 (00BBGGRR)
  QColor Patch{0xFF, 0, 0xFF};     // "PatchFontColor" FF00FF
  QColor SysEx{0xFF, 0, 0x80};     // "SysExFontColor" 8000FF
  QColor Background{0xFF, 0xFF, 0xFF};
};

class TEventGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TEventGrid(TEventListEditor& editor, QWidget* parent = nullptr);

  // Rows and columns changed (a load, a filter, a commit): scroll range and repaint.
  void Refresh();
  void ScrollToRow(long row);
  int RowHeight() const { return rowHeight_; }
  int VisibleRows() const;
  int TopRow() const;
  std::array<int, 5> ColumnWidths;
  ListColors Colors;
  // The SysEx dialog for a SysEx row's data cell; without it the cell is
  // edited as hexadecimal text.
  std::function<std::optional<std::string>(const std::string& initialHex)> EditSysEx;
  // A row was selected (the form auditions notes, follows the score).
  std::function<void()> RowChanged;
  // Keys the form handles (F9, Shift+F9, Shift+F10, Ctrl+Shift+F10); true when taken.
  std::function<bool(QKeyEvent*)> FormKey;
  // Whether Caps Lock is on (the platform does not say; the form may).
  std::function<bool()> CapsLock;
  bool Editing() const { return edit_->isVisible(); }
  // Starts editing the current cell with `text` (empty: the cell's text).
  void BeginEdit(const QString& text = QString(), bool selectAll = true);

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void changeEvent(QEvent*) override;
  bool eventFilter(QObject*, QEvent*) override;

 private:
  void UpdateMetrics();
  void EndEdit(bool take);
  bool HandleKey(QKeyEvent* e);
  void AfterMove();
  QRect CellRect(long row, int col) const;
  QColor TextColor(const TMidiEvent& ev, int col) const;

  TEventListEditor& editor_;
  QLineEdit* edit_;
  int rowHeight_ = 16;
  int charWidth_ = 8;
};

}  // namespace melko
