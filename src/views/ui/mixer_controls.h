// The mixer's own controls, drawn with QPainter: TmRKnob, a rotary knob
// with a scale around it (Min, Max, Position, a sweep of 91..359 degrees,
// dragged by the direction of the mouse from its centre); TmSlideBar, a
// vertical fader over 0..127 with a scale and a cap; and the level meter, a
// bar of Meter × 4 pixels rising in a 130-pixel area. A change of Position
// by the user or by code fires Changed, except while the form is loading
// (SetLoading). UI thread.
#pragma once

#include <QPixmap>
#include <QWidget>

#include "views/mixer_state.h"

namespace melko {

class TmRKnob : public QWidget {
  Q_OBJECT
 public:
  explicit TmRKnob(QWidget* parent = nullptr);

  int Min() const { return range_.Min; }
  int Max() const { return range_.Max; }
  int Position() const { return position_; }
  int Sweep() const { return range_.Sweep; }
  // A new Min only below Max, a new Max only above Min, a sweep only in 91..359.
  void SetMin(int v);
  void SetMax(int v);
  void SetSweep(int degrees);
  // Clamped to Min..Max; redraws and fires Changed when it moved.
  void SetPosition(int v);
  // While loading, position changes redraw but fire nothing.
  void SetLoading(bool on) { loading_ = on; }
  // The lit arc starts at the middle (a pan knob) rather than at Min.
  void SetCentred(bool on) {
    centred_ = on;
    update();
  }
  QSize sizeHint() const override { return {32, 32}; }

 signals:
  void Changed(int position);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  void DragTo(QPointF p);
  KnobRange range_;
  int position_ = 0;
  bool loading_ = false;
  bool centred_ = false;
  QPixmap face_;  // background, scale and dome, as KnobFace drew them
  QRgb faceBack_ = 0;
};

class TmSlideBar : public QWidget {
  Q_OBJECT
 public:
  explicit TmSlideBar(QWidget* parent = nullptr);
  int Position() const { return position_; }
  void SetPosition(int v);  // 0..127; fires Changed when it moved
  void SetLoading(bool on) { loading_ = on; }
  QSize sizeHint() const override { return {22, 130}; }

 signals:
  void Changed(int position);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  int ValueAt(int y) const;
  int CapY(int value) const;
  int position_ = 100;
  int grabOffset_ = 0;
  bool loading_ = false;
};

class TMixerMeter : public QWidget {
  Q_OBJECT
 public:
  explicit TMixerMeter(QWidget* parent = nullptr);
  void SetLevel(int meter);  // 0..32
  int Level() const { return level_; }
  QSize sizeHint() const override { return {8, 130}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  int level_ = 0;
};

}  // namespace melko
