#include "instruments/ui/ref_list_box.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace melko {

void TmRefListModel::SetList(const std::vector<std::string>* list) {
  beginResetModel();
  list_ = list;
  endResetModel();
}

int TmRefListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !list_) return 0;
  return static_cast<int>(list_->size());
}

QVariant TmRefListModel::data(const QModelIndex& index, int role) const {
  if (!list_ || !index.isValid() || index.row() >= static_cast<int>(list_->size())) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
    return QString::fromStdString((*list_)[static_cast<size_t>(index.row())]);
  return {};
}

namespace {
// Hands each row to the box's owner.
class RefDelegate : public QStyledItemDelegate {
 public:
  explicit RefDelegate(TmRefListBox* box) : QStyledItemDelegate(box), box_(box) {}
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!box_->OnDrawItem) {
      QStyledItemDelegate::paint(p, option, index);
      return;
    }
    p->save();
    box_->OnDrawItem(*p, option.rect, index.row(), (option.state & QStyle::State_Selected) != 0);
    p->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {box_->ColumnWidth(), box_->RowHeight()};
  }

 private:
  TmRefListBox* box_;
};
}  // namespace

TmRefListBox::TmRefListBox(QWidget* parent) : QListView(parent) {
  setModel(&model_);
  setItemDelegate(new RefDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFlow(QListView::TopToBottom);
  setWrapping(true);
  setResizeMode(QListView::Adjust);
  setUniformItemSizes(true);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  UpdateGrid();
}

void TmRefListBox::SetList(const std::vector<std::string>* list) {
  model_.SetList(list);
  UpdateGrid();
}

int TmRefListBox::Count() const { return model_.rowCount(); }

int TmRefListBox::ColumnStep() const {
  // The names of a sound module's patches run to about 24 characters.
  static const QString typical = QStringLiteral("000 Acoustic Guitar (nylon)");
  return std::max(kMinColumnStep, fontMetrics().horizontalAdvance(typical) + 8);
}

int TmRefListBox::Columns() const { return std::max(1, width() / ColumnStep()); }

int TmRefListBox::ColumnWidth() const { return std::max(16, (width() - 4) / Columns()); }

int TmRefListBox::RowHeight() const { return fontMetrics().height() + 2; }

int TmRefListBox::ItemIndex() const {
  QModelIndex i = currentIndex();
  return i.isValid() && selectionModel()->isSelected(i) ? i.row() : -1;
}

void TmRefListBox::SetItemIndex(int index) {
  if (index < 0) {
    selectionModel()->clearSelection();
    return;
  }
  if (index >= Count()) return;
  selectionModel()->setCurrentIndex(model_.index(index), QItemSelectionModel::ClearAndSelect);
}

void TmRefListBox::ScrollToTop(int index) {
  if (index < 0 || index >= Count()) return;
  // Columns scroll sideways a column at a time; the row's column comes first.
  int rows = std::max(1, viewport()->height() / RowHeight());
  doItemsLayout();
  horizontalScrollBar()->setValue(index / rows * gridSize().width());
}

int TmRefListBox::TopIndex() const {
  QModelIndex i = indexAt(QPoint(2, 2));
  return i.isValid() ? i.row() : -1;
}

void TmRefListBox::resizeEvent(QResizeEvent* e) {
  UpdateGrid();
  QListView::resizeEvent(e);
}

void TmRefListBox::UpdateGrid() { setGridSize(QSize(ColumnWidth(), RowHeight())); }

}  // namespace melko
