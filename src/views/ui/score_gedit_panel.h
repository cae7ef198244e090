// pnlGEdit, the score's graphic edit under the staff: the data list
// cmbData, the line type (FreeHand, Straight, Curve), the interval box and
// the 128-pixel value band in which the pen draws. The band scrolls with the
// staff (same ticks at the same x), shows the values of the chosen kind that
// are on screen and the path being drawn; on release the path is applied by
// ApplyGEdit (views/score_gedit.h) as one undoable edit. UI thread.
#pragma once

#include <QWidget>

#include "edit/name_tables.h"
#include "song/tick_index.h"
#include "views/score_gedit.h"

class QComboBox;
class QLineEdit;

namespace melko {

class TScoreForm;
class TGEditBand;

class TGEditPanel : public QWidget {
  Q_OBJECT
 public:
  explicit TGEditPanel(TScoreForm& form);
  // The controllers after the five heads, from DYNCTRL.TXT (with its heads).
  void SetControllers(const NameTable& dynCtrl);
  // The chosen kind (CurveKind) and controller number.
  int Kind() const;
  int Control() const;
  TGEditBand* Band() const { return band_; }

  QComboBox* cmbData = nullptr;
  QComboBox* cmbLine = nullptr;
  QLineEdit* edInterval = nullptr;

 private:
  TScoreForm& form_;
  TGEditBand* band_ = nullptr;
  std::vector<int> controls_;  // cmbData's controller numbers, after the heads
};

// The band itself: x as on the staff, value 128 - y in its box.
class TGEditBand : public QWidget {
  Q_OBJECT
 public:
  TGEditBand(TScoreForm& form, TGEditPanel& panel);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  uint32_t TickAt(int x) const;
  int XAt(uint32_t tick) const;
  void Press(const QPoint& p);
  void Move(const QPoint& p);
  void Release();
  TScoreForm& form_;
  TGEditPanel& panel_;
  GEditPen pen_;
  TickIndex index_;
};

}  // namespace melko
