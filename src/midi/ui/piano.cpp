#include "midi/ui/piano.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "midi/midi_ports.h"

namespace melko {

namespace {
const int kWhite[7] = {0, 2, 4, 5, 7, 9, 11};
const QColor kPressedWhite(0xFF, 0x70, 0x70);
const QColor kPressedBlack(0xC0, 0x20, 0x20);

// C, D, F, G and A have a black key to their right.
bool HasBlackRight(int step) { return step == 0 || step == 1 || step == 3 || step == 4 || step == 5; }
// D, E, G, A and B have one to their left.
bool HasBlackLeft(int step) { return step == 1 || step == 2 || step == 4 || step == 5 || step == 6; }
int WhiteNote(int whiteIndex) { return kWhite[whiteIndex % 7] + 12 * (whiteIndex / 7); }
}  // namespace

TmPiano::TmPiano(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Piano"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TmPiano::~TmPiano() {
  // A note started with the mouse must not outlive its control.
  if (current_ >= 0 && Relay) Relay->NoteOff(current_);
}

void TmPiano::SetShowOctaveNum(bool on) {
  showOctaveNum_ = on;
  updateGeometry();
  update();
}

void TmPiano::SetCenterC(int centerC) {
  if (centerC != 0 && centerC != 1) return;
  centerC_ = centerC;
  update();
}

void TmPiano::SetKeyWidth(int width) {
  keyWidth_ = std::clamp(width, kMinKeyWidth, kMaxKeyWidth);
  updateGeometry();
  update();
}

void TmPiano::SetLeftWhiteKey(int key) {
  leftWhiteKey_ = std::clamp(key, 0, kMaxLeftWhiteKey);
  update();
}

uint8_t TmPiano::KeyState(int note) const { return note >= 0 && note < 128 ? state_[note] : 0; }

void TmPiano::SetKeyState(int note, uint8_t state) {
  if (note < 0 || note >= 128 || state_[note] == state) return;
  state_[note] = state;
  update();
}

void TmPiano::SetPressed(int note, bool on) {
  if (note < 0 || note >= 128) return;
  SetKeyState(note, on ? (state_[note] | 1) : (state_[note] & ~1));
}

int TmPiano::KeyAt(int x, int y) const {
  x = std::clamp(x, 0, std::max(0, width() - 1));
  const int whiteIndex = x / keyWidth_ + leftWhiteKey_;
  const int step = whiteIndex % 7;
  int note = WhiteNote(whiteIndex);
  if (y < KeyTop() + BlackHeight()) {
    const int inKey = x % keyWidth_;
    if (HasBlackRight(step) && inKey >= keyWidth_ - keyWidth_ / 3)
      ++note;
    else if (HasBlackLeft(step) && inKey < keyWidth_ / 2 - keyWidth_ / 6)
      --note;
  }
  return std::min(note, 127);
}

QSize TmPiano::sizeHint() const { return QSize(WidthFor(52), KeyTop() + 48); }

void TmPiano::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int top = KeyTop();
  const int bottom = height() - 1;
  const int blackBottom = top + BlackHeight();
  const int kw = keyWidth_;
  p.fillRect(rect(), palette().color(QPalette::Window));
  if (showOctaveNum_) {
    QFont f = font();
    f.setPixelSize(kOctaveStrip - 1);
    p.setFont(f);
  }
  // White keys, each with its left line.
  for (int wi = leftWhiteKey_, x = 0; x < width(); ++wi, x += kw) {
    const int note = WhiteNote(wi);
    if (note > 127) {
      p.fillRect(x, top, width() - x, height() - top, Qt::darkGray);
      break;
    }
    p.fillRect(x, top, kw, height() - top, IsPressed(note) ? kPressedWhite : QColor(Qt::white));
    QColor line = note == 60 ? QColor(Qt::blue) : note % 12 == 0 ? QColor(Qt::magenta) : QColor(Qt::black);
    p.setPen(line);
    p.drawLine(x, top, x, bottom);
    if (showOctaveNum_ && note % 12 == 0) {
      p.setPen(palette().color(QPalette::WindowText));
      p.drawText(QRect(x + 1, 0, kw * 3, kOctaveStrip), Qt::AlignLeft | Qt::AlignVCenter,
                 QString::number(note / 12 - 2 + centerC_));
    }
  }
  // Black keys over the joints.
  for (int wi = leftWhiteKey_ > 0 ? leftWhiteKey_ - 1 : 0; (wi - leftWhiteKey_) * kw < width(); ++wi) {
    const int note = WhiteNote(wi);
    if (note + 1 > 127) break;
    if (!HasBlackRight(wi % 7)) continue;
    const int x = (wi - leftWhiteKey_) * kw;
    const int left = x + kw - kw / 3;
    const int right = x + kw + kw / 2 - kw / 6;  // exclusive
    p.fillRect(QRect(QPoint(left, top), QPoint(right - 1, blackBottom)),
               IsPressed(note + 1) ? kPressedBlack : QColor(Qt::black));
  }
  p.setPen(Qt::black);
  p.drawLine(0, top, width() - 1, top);
  p.drawLine(0, bottom, width() - 1, bottom);
  p.drawLine(width() - 1, top, width() - 1, bottom);
}

void TmPiano::StartKey(int key) {
  current_ = key;
  if (Relay) Relay->NoteOn(key);
  SetPressed(key, true);
}

void TmPiano::EndKey() {
  if (current_ < 0) return;
  if (Relay) Relay->NoteOff(current_);
  SetPressed(current_, false);
  current_ = -1;
}

void TmPiano::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  EndKey();  // never two at once
  const int key = KeyAt(e->position().toPoint().x(), e->position().toPoint().y());
  StartKey(key);
  if (OnPianoKeyDown) OnPianoKeyDown(key);
}

void TmPiano::mouseMoveEvent(QMouseEvent* e) {
  if (!(e->buttons() & Qt::LeftButton) || current_ < 0) return;
  const int key = KeyAt(e->position().toPoint().x(), e->position().toPoint().y());
  if (key == current_) return;
  EndKey();
  StartKey(key);
  if (OnPianoKeyMove) OnPianoKeyMove(key);
}

void TmPiano::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || current_ < 0) return;
  const int key = current_;
  EndKey();
  if (OnPianoKeyUp) OnPianoKeyUp(key);
}

void TmPiano::hideEvent(QHideEvent* e) {
  // The release would go to nobody: end the note here.
  if (current_ >= 0) {
    const int key = current_;
    EndKey();
    if (OnPianoKeyUp) OnPianoKeyUp(key);
  }
  QWidget::hideEvent(e);
}

}  // namespace melko
