#include "views/ui/mixer_controls.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace melko {

namespace {
constexpr double kPi = 3.14159265358979323846;
QPointF OnCircle(QPointF c, double radius, double degrees) {
  const double a = degrees * kPi / 180.0;
  return {c.x() + radius * std::cos(a), c.y() + radius * std::sin(a)};
}
int WheelSteps(QWheelEvent* e) {
  const int d = e->angleDelta().y();
  return d > 0 ? 1 : d < 0 ? -1 : 0;
}
}  // namespace

// ------------------------------------------------------------------ knob

TmRKnob::TmRKnob(QWidget* parent) : QWidget(parent) {
  setFixedSize(34, 34);
  // It paints every pixel itself, so a moved knob repaints nothing beneath it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
}

void TmRKnob::SetMin(int v) {
  if (v >= range_.Max) return;
  range_.Min = v;
  face_ = QPixmap();
  SetPosition(position_);
  update();
}

void TmRKnob::SetMax(int v) {
  if (v <= range_.Min) return;
  range_.Max = v;
  face_ = QPixmap();
  SetPosition(position_);
  update();
}

void TmRKnob::SetSweep(int degrees) {
  if (degrees < 91 || degrees > 359) return;
  range_.Sweep = degrees;
  face_ = QPixmap();
  update();
}

void TmRKnob::SetPosition(int v) {
  v = std::clamp(v, range_.Min, range_.Max);
  if (v == position_) return;
  position_ = v;
  update();
  if (!loading_) emit Changed(position_);
}

namespace {
// The knob's unmoving parts: background, dark scale track and lit dome.
QPixmap KnobFace(QSize size, qreal ratio, const KnobRange& range, const QColor& back) {
  QPixmap face(size * ratio);
  face.setDevicePixelRatio(ratio);
  face.fill(back);
  QPainter p(&face);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(size.width() / 2.0, size.height() / 2.0);
  const double outer = std::min(size.width(), size.height()) / 2.0 - 1.0;
  const double body = outer - 5.0;
  const double a0 = KnobAngle(range, range.Min), a1 = KnobAngle(range, range.Max);
  const QRectF ring(c.x() - outer + 1.5, c.y() - outer + 1.5, 2 * outer - 3, 2 * outer - 3);
  p.setPen(QPen(QColor(0x50, 0x50, 0x50), 3, Qt::SolidLine, Qt::FlatCap));
  p.drawArc(ring, int(-a0 * 16), int(-(a1 - a0) * 16));
  QRadialGradient g(c.x() - body * 0.35, c.y() - body * 0.35, body * 1.6);
  g.setColorAt(0, QColor(0xF4, 0xF4, 0xF4));
  g.setColorAt(0.6, QColor(0x9A, 0x9A, 0x9A));
  g.setColorAt(1, QColor(0x4A, 0x4A, 0x4A));
  p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
  p.setBrush(g);
  p.drawEllipse(c, body, body);
  return face;
}
}  // namespace

void TmRKnob::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // The face is drawn once and again only when the size or colour changes.
  const QColor back = palette().color(QPalette::Window);
  if (face_.isNull() || face_.size() != size() * devicePixelRatioF() || faceBack_ != back.rgba()) {
    face_ = KnobFace(size(), devicePixelRatioF(), range_, back);
    faceBack_ = back.rgba();
  }
  p.drawPixmap(0, 0, face_);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(width() / 2.0, height() / 2.0);
  const double outer = std::min(width(), height()) / 2.0 - 1.0;
  const double body = outer - 5.0;
  const double a0 = KnobAngle(range_, range_.Min);
  const double a = KnobAngle(range_, position_);
  // The value lit from Min, or from the middle for a knob that starts
  // centred (pan), to the pointer.
  const QRectF ring(c.x() - outer + 1.5, c.y() - outer + 1.5, 2 * outer - 3, 2 * outer - 3);
  const double from = centred_ ? KnobAngle(range_, (range_.Min + range_.Max + 1) / 2) : a0;
  p.setPen(QPen(QColor(0xFF, 0x9A, 0x1E), 3, Qt::SolidLine, Qt::FlatCap));
  p.drawArc(ring, int(-from * 16), int(-(a - from) * 16));
  // Pointer.
  p.setPen(QPen(QColor(0x10, 0x10, 0x10), 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(OnCircle(c, body * 0.25, a), OnCircle(c, body - 1, a));
}

void TmRKnob::DragTo(QPointF pos) {
  const QPointF d = pos - QPointF(width() / 2.0, height() / 2.0);
  if (std::abs(d.x()) < 0.5 && std::abs(d.y()) < 0.5) return;  // no direction at the centre
  SetPosition(KnobPositionAt(range_, KnobDirection(d.x(), d.y())));
}

void TmRKnob::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) DragTo(e->position());
}

void TmRKnob::mouseMoveEvent(QMouseEvent* e) {
  if (e->buttons() & Qt::LeftButton) DragTo(e->position());
}

void TmRKnob::wheelEvent(QWheelEvent* e) {
  SetPosition(position_ + WheelSteps(e));
  e->accept();
}

// ----------------------------------------------------------------- fader

namespace {
constexpr int kCapHeight = 12;
}

TmSlideBar::TmSlideBar(QWidget* parent) : QWidget(parent) {
  setFixedSize(24, 130);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

void TmSlideBar::SetPosition(int v) {
  v = std::clamp(v, 0, 127);
  if (v == position_) return;
  position_ = v;
  update();
  if (!loading_) emit Changed(position_);
}

int TmSlideBar::CapY(int value) const {
  const int travel = height() - kCapHeight;
  return (127 - value) * travel / 127;
}

int TmSlideBar::ValueAt(int y) const {
  const int travel = std::max(height() - kCapHeight, 1);
  return std::clamp(127 - int(std::lround(double(y) * 127 / travel)), 0, 127);
}

void TmSlideBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  p.setRenderHint(QPainter::Antialiasing);
  const int cx = width() / 2 + 2;
  const int top = kCapHeight / 2, bottom = height() - kCapHeight / 2;
  // Scale marks at the left: every 16 steps, longer at 0, 64 and 127.
  p.setPen(QColor(0x60, 0x60, 0x60));
  for (int v = 0; v <= 128; v += 16) {
    const int y = CapY(std::min(v, 127)) + kCapHeight / 2;
    const int len = (v == 0 || v == 64 || v == 128) ? 5 : 3;
    p.drawLine(0, y, len, y);
  }
  // The slot.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x20, 0x20, 0x20));
  p.drawRoundedRect(QRectF(cx - 2, top, 4, bottom - top), 2, 2);
  // The cap: a ridged block with a line at the value.
  const int y = CapY(position_);
  const QRectF cap(cx - 9, y, 18, kCapHeight);
  QLinearGradient g(cap.topLeft(), cap.bottomLeft());
  g.setColorAt(0, QColor(0xF0, 0xF0, 0xF0));
  g.setColorAt(0.5, QColor(0xB0, 0xB0, 0xB0));
  g.setColorAt(1, QColor(0x70, 0x70, 0x70));
  p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
  p.setBrush(g);
  p.drawRoundedRect(cap, 2, 2);
  p.setPen(QPen(QColor(0x10, 0x10, 0x10), 2));
  p.drawLine(QPointF(cap.left() + 2, cap.center().y()), QPointF(cap.right() - 2, cap.center().y()));
}

void TmSlideBar::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const int y = int(e->position().y());
  const int capY = CapY(position_);
  // Grabbing the cap keeps it under the mouse; a click elsewhere jumps there.
  grabOffset_ = (y >= capY && y < capY + kCapHeight) ? y - capY : kCapHeight / 2;
  SetPosition(ValueAt(y - grabOffset_));
}

void TmSlideBar::mouseMoveEvent(QMouseEvent* e) {
  if (e->buttons() & Qt::LeftButton) SetPosition(ValueAt(int(e->position().y()) - grabOffset_));
}

void TmSlideBar::wheelEvent(QWheelEvent* e) {
  SetPosition(position_ + WheelSteps(e));
  e->accept();
}

// ----------------------------------------------------------------- meter

TMixerMeter::TMixerMeter(QWidget* parent) : QWidget(parent) {
  setFixedSize(8, 130);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TMixerMeter::SetLevel(int meter) {
  meter = std::clamp(meter, 0, kMixerMeterMax);
  if (meter == level_) return;
  level_ = meter;
  update();
}

void TMixerMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0x10, 0x10, 0x10));
  // Segments of 4 pixels, one per step: green, then yellow, then red at the top.
  for (int i = 0; i < level_; ++i) {
    const int y = height() - 1 - (i + 1) * 4;
    const QColor c = i >= 28 ? QColor(0xFF, 0x30, 0x30) : i >= 22 ? QColor(0xFF, 0xD0, 0x20) : QColor(0x30, 0xE0, 0x40);
    p.fillRect(QRect(1, y + 1, width() - 2, 3), c);
  }
}

}  // namespace melko
