#include "edit/ui/event_grid.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include "base/text_encoding.h"

namespace melko {

namespace {
QString Show(const std::string& raw) { return QString::fromStdString(DisplayText(raw)); }
}  // namespace

TEventGrid::TEventGrid(TEventListEditor& editor, QWidget* parent)
    : QAbstractScrollArea(parent), editor_(editor), edit_(new QLineEdit(viewport())) {
  setObjectName(QStringLiteral("DrawGrid1"));
  setFocusPolicy(Qt::StrongFocus);
  edit_->hide();
  edit_->setFrame(false);
  edit_->installEventFilter(this);
  UpdateMetrics();
  verticalScrollBar()->setSingleStep(1);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), [this] { viewport()->update(); });
}

void TEventGrid::UpdateMetrics() {
  const QFontMetrics fm(font());
  rowHeight_ = fm.height() + 2;
  charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
  // Wide enough for the row number of a long track, the location, the kind
  // and value, the third value and a name.
  ColumnWidths = {charWidth_ * 7 + 6, charWidth_ * 12 + 8, charWidth_ * 11 + 8, charWidth_ * 7 + 6,
                  charWidth_ * 24 + 6};
}

void TEventGrid::changeEvent(QEvent* e) {
  if (e->type() == QEvent::FontChange) {
    UpdateMetrics();
    edit_->setFont(font());
    Refresh();
  }
  QAbstractScrollArea::changeEvent(e);
}

int TEventGrid::VisibleRows() const { return std::max(1, viewport()->height() / rowHeight_); }
int TEventGrid::TopRow() const { return verticalScrollBar()->value(); }

void TEventGrid::Refresh() {
  const int rows = int(std::min<size_t>(editor_.Model().RowCount(), size_t(INT32_MAX)));
  verticalScrollBar()->setRange(0, std::max(0, rows - VisibleRows()));
  verticalScrollBar()->setPageStep(VisibleRows());
  viewport()->update();
}

void TEventGrid::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  Refresh();
}

void TEventGrid::ScrollToRow(long row) {
  if (row < 0) return;
  const int top = TopRow(), n = VisibleRows();
  if (row < top) verticalScrollBar()->setValue(int(row));
  else if (row >= top + n) verticalScrollBar()->setValue(int(row) - n + 1);
  viewport()->update();
}

QRect TEventGrid::CellRect(long row, int col) const {
  int x = 0;
  for (int c = 0; c < col; ++c) x += ColumnWidths[size_t(c)];
  const int w = col == 4 ? std::max(ColumnWidths[4], viewport()->width() - x) : ColumnWidths[size_t(col)];
  return QRect(x, int(row - TopRow()) * rowHeight_, w, rowHeight_);
}

QColor TEventGrid::TextColor(const TMidiEvent& ev, int col) const {
  if (ev.Status == 0xF0 || ev.Status == 0xF7) return col >= 3 ? Colors.SysEx : Colors.General;
  if ((ev.Status >> 4) == 0xB && col == 4) return Colors.Control;
  if ((ev.Status >> 4) == 0xC && col == 4) return Colors.Patch;
  return Colors.General;
}

void TEventGrid::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.fillRect(viewport()->rect(), Colors.Background);
  const TEventListModel& m = editor_.Model();
  const long top = TopRow();
  const long end = std::min<long>(long(m.RowCount()), top + VisibleRows() + 1);
  const long sel = editor_.Row();
  const QColor grid(0xD0, 0xD0, 0xD0);
  for (long row = top; row < end; ++row) {
    const TMidiEvent& ev = m.Events()[m.FullIndex(size_t(row))];
    for (int col = 0; col < TEventListModel::kColumns; ++col) {
      const QRect r = CellRect(row, col);
      const bool current = row == sel && col == editor_.Column;
      if (col == 0) p.fillRect(r, QColor(0xE8, 0xE8, 0xE8));
      else if (row == sel) p.fillRect(r, current ? QColor(0x33, 0x66, 0xCC) : QColor(0xDD, 0xE8, 0xFF));
      p.setPen(current ? Qt::white : TextColor(ev, col));
      const QString text = Show(m.CellText(size_t(row), col, sel, editor_.Context));
      p.drawText(r.adjusted(3, 0, -2, 0), Qt::AlignVCenter | (col == 0 ? Qt::AlignRight : Qt::AlignLeft), text);
      p.setPen(grid);
      p.drawLine(r.topRight(), r.bottomRight());
      p.drawLine(r.bottomLeft(), r.bottomRight());
    }
  }
}

void TEventGrid::AfterMove() {
  ScrollToRow(editor_.Row());
  Refresh();
  if (RowChanged) RowChanged();
}

void TEventGrid::BeginEdit(const QString& text, bool selectAll) {
  const long row = editor_.Row();
  if (row < 0 || editor_.Column < 1) return;
  const TMidiEvent& ev = editor_.Current();
  const bool sysex = (ev.Status == 0xF0 || ev.Status == 0xF7) && editor_.Column >= 3;
  if (sysex && EditSysEx) {
    if (auto hex = EditSysEx(SysExHexText(ev))) editor_.SetSysExText(*hex);
    AfterMove();
    return;
  }
  ScrollToRow(row);
  QString start = text;
  if (start.isEmpty())
    start = sysex ? QString::fromStdString(SysExHexText(ev))
                  : Show(editor_.Model().CellText(size_t(row), editor_.Column, row, editor_.Context)).trimmed();
  edit_->setGeometry(CellRect(row, editor_.Column));
  edit_->setText(start);
  if (selectAll && text.isEmpty()) edit_->selectAll();
  else edit_->end(false);
  edit_->show();
  edit_->setFocus();
}

void TEventGrid::EndEdit(bool take) {
  if (!edit_->isVisible()) return;
  const std::string text = edit_->text().toStdString();
  edit_->hide();
  setFocus();
  if (take) editor_.TypeCell(editor_.Column, text);
  viewport()->update();
}

bool TEventGrid::eventFilter(QObject* o, QEvent* e) {
  if (o == edit_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Escape) {
      edit_->hide();
      setFocus();
      editor_.KeyEscape();
      viewport()->update();
      return true;
    }
    if (editor_.DropsTypedChar(editor_.Column, CapsLock && CapsLock()) && !k->text().isEmpty() &&
        k->text().at(0).isPrint())
      return true;
    const bool leftAtStart = k->key() == Qt::Key_Left && edit_->cursorPosition() == 0 && edit_->text().isEmpty();
    const bool rightAtEnd = k->key() == Qt::Key_Right && edit_->text().isEmpty();
    switch (k->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        EndEdit(true);
        AfterMove();
        return true;
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown:
      case Qt::Key_Insert:
      case Qt::Key_Delete:
        if (k->key() == Qt::Key_Delete && !edit_->text().isEmpty()) return false;
        EndEdit(true);
        return HandleKey(k);
      default:
        if (leftAtStart || rightAtEnd) {
          EndEdit(false);
          return HandleKey(k);
        }
        return false;
    }
  }
  return QAbstractScrollArea::eventFilter(o, e);
}

bool TEventGrid::HandleKey(QKeyEvent* e) {
  if (FormKey && FormKey(e)) return true;
  const int key = e->key();
  const int cols = TEventListModel::kColumns;
  switch (key) {
    case Qt::Key_Down:
    case Qt::Key_PageDown:
      editor_.KeyDown();
      break;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
      editor_.KeyUp();
      break;
    case Qt::Key_Left:
      if (editor_.Column > 1) --editor_.Column;
      else editor_.Select(editor_.Row() - 1);
      break;
    case Qt::Key_Right:
      if (editor_.Column < cols - 1) {
        ++editor_.Column;
      } else if (size_t(editor_.Row() + 1) < editor_.Model().RowCount()) {
        editor_.Select(editor_.Row() + 1);
        editor_.Column = 1;
      }
      break;
    case Qt::Key_Insert: editor_.KeyInsert(); break;
    case Qt::Key_Delete: editor_.KeyDelete(); break;
    case Qt::Key_Escape: editor_.KeyEscape(); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      BeginEdit();
      return true;
    default:
      if (key >= Qt::Key_F1 && key <= Qt::Key_F6) {
        editor_.KeyFunction(key - Qt::Key_F1, editor_.Column);
        break;
      }
      if (!e->text().isEmpty() && e->text().at(0).isPrint() && !(e->modifiers() & Qt::ControlModifier)) {
        if (editor_.DropsTypedChar(editor_.Column, CapsLock && CapsLock())) return true;
        BeginEdit(e->text(), false);
        return true;
      }
      return false;
  }
  AfterMove();
  return true;
}

void TEventGrid::keyPressEvent(QKeyEvent* e) {
  if (!HandleKey(e)) QAbstractScrollArea::keyPressEvent(e);
}

void TEventGrid::mousePressEvent(QMouseEvent* e) {
  EndEdit(true);
  const long row = TopRow() + long(e->position().y()) / rowHeight_;
  int x = int(e->position().x()), col = 0;
  while (col < 4 && x >= ColumnWidths[size_t(col)]) x -= ColumnWidths[size_t(col++)];
  if (row < long(editor_.Model().RowCount())) {
    editor_.Select(row);
    editor_.Column = std::max(1, col);
  }
  setFocus();
  AfterMove();
}

void TEventGrid::mouseDoubleClickEvent(QMouseEvent* e) {
  mousePressEvent(e);
  BeginEdit();
}

}  // namespace melko
