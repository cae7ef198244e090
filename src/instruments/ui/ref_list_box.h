// `TmRefListBox`: a list that keeps no texts of its own. It is given a list
// of strings (a definition's Entries) and draws each row from it by index,
// so thousands of patches show without a copy. Rows flow top to bottom in
// Width div 160 columns of equal width and scroll sideways; the owner paints
// each row (OnDrawItem) or leaves the plain drawing. A column takes at least
// 160 pixels, more when the font needs it for a typical patch name. The list must outlive
// the box or be replaced (SetList) before it changes. UI thread.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <functional>
#include <string>
#include <vector>

class QPainter;

namespace melko {

class TmRefListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;
  void SetList(const std::vector<std::string>* list);
  const std::vector<std::string>* List() const { return list_; }
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const std::vector<std::string>* list_ = nullptr;
};

class TmRefListBox : public QListView {
  Q_OBJECT
 public:
  static constexpr int kMinColumnStep = 160;

  explicit TmRefListBox(QWidget* parent = nullptr);

  // Null empties the box. Resets the selection.
  void SetList(const std::vector<std::string>* list);
  int Count() const;
  // One column per this many pixels of width.
  int ColumnStep() const;
  int Columns() const;
  int ColumnWidth() const;
  int RowHeight() const;

  int ItemIndex() const;
  // -1 clears the selection; out of range is ignored.
  void SetItemIndex(int index);
  // Scrolls so that the column of `index` is the first one shown.
  void ScrollToTop(int index);
  // The first row shown.
  int TopIndex() const;

  // Paints one row in `rect`; `selected` as the box shows it. When empty the
  // row is drawn in the list's normal colours.
  std::function<void(QPainter& p, const QRect& rect, int index, bool selected)> OnDrawItem;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void UpdateGrid();
  TmRefListModel model_;
};

}  // namespace melko
