// The score's graphic edit: the pen path drawn under the staff (freehand, a
// straight line or a curve), read as values 0..128 of the band, and applied
// to the track as one undoable edit: the velocities or key pressures of the
// events under the path are rewritten, or a stream of tempo, channel
// pressure, pitch bend or controller events at the interval replaces the old
// ones of that kind in the drawn span. The window (pnlGEdit) and the batch
// form (`gedit=`) both drive a GEditPen and call ApplyGEdit. UI thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit/edit_dispatcher.h"
#include "edit/value_curve.h"
#include "song/song.h"

namespace melko {

extern const char* const kHintGEdit;  // "<Score>GEdit"

enum GEditLine { kGEditFreeHand = 0, kGEditStraight = 1, kGEditCurve = 2 };

// The band is 128 pixels high; a pointer at y means the value 128 - y.
constexpr int kGEditBandHeight = 128;
constexpr int kGEditMinInterval = 1, kGEditMaxInterval = 999;
constexpr int kGEditDefaultInterval = 16;

struct GEditPoint {
  uint32_t Tick = 0;
  int Value = 0;  // band units, 0..128
  bool operator==(const GEditPoint&) const = default;
};

// The band value at a pointer height, kept in 0..128.
int GEditValueAtY(int y);

// A kind's data value of band value v (CurveKind numbering: tempo in BPM,
// velocity 1..127, bend -8192..8191, the others 0..127).
int GEditDataValue(int kind, int v);

// The band value at tick t on the path: linear between the points around
// it (a half to the even neighbour), the end values outside. 0 when empty.
int GEditValueAt(const std::vector<GEditPoint>& points, uint32_t t);

// The pen's path while the left button is held.
class GEditPen {
 public:
  void Press(int line, uint32_t tick, int value);
  void Move(uint32_t tick, int value);
  // Ends the stroke and gives the path to apply, sorted by tick: a straight
  // line drawn right to left is turned round, a curve becomes the parabola
  // from the press point to the release point (its vertex at the press).
  std::vector<GEditPoint> Release();
  bool Drawing() const { return drawing_; }
  int Line() const { return line_; }
  const std::vector<GEditPoint>& Points() const { return points_; }

 private:
  bool drawing_ = false;
  int line_ = kGEditFreeHand;
  size_t touched_ = 0;  // freehand: the point the last move touched
  std::vector<GEditPoint> points_;
};

// The parabola of a curve stroke through (tA, yA) and (tB, yB), as points
// where its value changes, ascending by tick.
std::vector<GEditPoint> GEditParabola(GEditPoint a, GEditPoint b);

// Applies `points` (sorted by tick) of `kind` (CurveKind; `control` the
// controller number for kCurveControl) to track `track` (tempo: the
// conductor track) in one BeginEdit/FinishEdit(kHintGEdit) bracket.
// `interval` is kept in 1..999. False, with nothing changed, for an empty
// path or a track out of range.
bool ApplyGEdit(Song& song, EditDispatcher& dispatcher, int track, int kind, int control, int interval,
                const std::vector<GEditPoint>& points);

}  // namespace melko
