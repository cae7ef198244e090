// `TmPiano`, the on-screen keyboard: white keys `KeyWidth` pixels wide from
// white key `LeftWhiteKey` on, black keys over the upper three fifths, an
// optional strip of octave numbers on top. Pressing a key with the mouse
// sounds it through the relay and shows it pressed; dragging across keys
// plays each in turn. The owner may mark notes pressed itself (bit 0 of a
// note's state). UI thread; the relay is not owned and may be null.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

namespace melko {

class TmMidiRelay;

class TmPiano : public QWidget {
  Q_OBJECT
 public:
  explicit TmPiano(QWidget* parent = nullptr);
  ~TmPiano() override;

  static constexpr int kOctaveStrip = 11;  // height of the octave numbers
  static constexpr int kMinKeyWidth = 4, kMaxKeyWidth = 99;
  static constexpr int kMaxLeftWhiteKey = 70;

  bool ShowOctaveNum() const { return showOctaveNum_; }
  void SetShowOctaveNum(bool on);
  int CenterC() const { return centerC_; }
  // Only 0 and 1 are taken: the octave number of note 60 is 3 + CenterC.
  void SetCenterC(int centerC);
  int KeyWidth() const { return keyWidth_; }
  void SetKeyWidth(int width);  // clamped to 4..99
  int LeftWhiteKey() const { return leftWhiteKey_; }
  void SetLeftWhiteKey(int key);  // clamped to 0..70

  uint8_t KeyState(int note) const;
  void SetKeyState(int note, uint8_t state);
  bool IsPressed(int note) const { return (KeyState(note) & 1) != 0; }
  void SetPressed(int note, bool on);

  TmMidiRelay* Relay = nullptr;
  std::function<void(int key)> OnPianoKeyDown, OnPianoKeyMove, OnPianoKeyUp;

  // The note under a point of the control (x is clamped to the width).
  int KeyAt(int x, int y) const;
  // The key sounding under the mouse, -1 when none.
  int CurrentKey() const { return current_; }
  // Width for `whiteKeys` white keys.
  int WidthFor(int whiteKeys) const { return whiteKeys * keyWidth_ + 1; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  int KeyTop() const { return showOctaveNum_ ? kOctaveStrip : 0; }
  int BlackHeight() const { return (height() - KeyTop()) * 3 / 5; }
  void StartKey(int key);
  void EndKey();

  bool showOctaveNum_ = false;
  int centerC_ = 0;
  int keyWidth_ = 9;
  int leftWhiteKey_ = 28;
  std::array<uint8_t, 128> state_{};
  int current_ = -1;
};

}  // namespace melko
