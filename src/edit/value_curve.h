// Value curves: a straight line, a sine wave or a spline through four control
// points, drawn on a graph 128 units high over the edit range, and read back
// as values of a data kind (tempo, velocity, key pressure, channel pressure,
// pitch bend, a controller). This unit holds the run-long settings, the
// mapping between graph units and each kind's units, the evaluation of a
// curve at a tick offset (constant time per call once built) and the graph's
// mouse rules, so the dialog and the batch form share them. Pure logic, no
// song state; UI thread in practice, but any thread may use its own objects.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace melko {

// The data kinds by their index in the DYNCTRL.TXT list with its five heads;
// every index from kCurveControl on is a controller.
enum CurveKind { kCurveTempo = 0, kCurveVelocity, kCurveKyPrs, kCurveChPrs, kCurveBend, kCurveControl };
inline int CurveKindOf(int kindIndex) { return kindIndex < 0 ? kCurveVelocity : (kindIndex > 5 ? 5 : kindIndex); }

enum CurveLine { kLineStraight = 0, kLineSine = 1, kLineSpline = 2 };

// The graph: 128 units high (0 at the bottom), kGraphWidth pixels wide. The
// spline's control points are kept in its pixels with y counted downwards
// (graph value = 128 - y); pixel 0 is the range start, kGraphWidth - 1 its end.
constexpr int kGraphHeight = 128;
constexpr int kGraphWidth = 240;

struct CurvePoint {
  int X = 0;
  int Y = 0;
  bool operator==(const CurvePoint&) const = default;
};

// The tool's settings; they keep their values while the program runs (the
// interval also in the settings file).
struct MakeValueSettings {
  int KindIndex = kCurveVelocity;  // list index; 5.. a controller of DYNCTRL.TXT
  int Control = 0;                 // controller number when KindIndex >= 5
  int LineType = kLineStraight;
  int Interval = 16;               // ticks
  int From = 0, To = 127;          // graph units
  double Frequency = 1.0;          // cycles over the range
  int Amplitude = 64;              // graph units, -128..128
  int Phase = 0;                   // degrees, -180..180
  int Guide1 = 96, Guide2 = 32;    // graph units
  int PresetIndex = 0;
  std::array<CurvePoint, 4> Points{{{0, 127}, {160, 120}, {225, 60}, {239, 0}}};
};

constexpr double kMaxFrequency = 120.0;

// The kind's value of a graph value, clamped to the kind's range.
int GraphToValue(int kind, int64_t g);
// The graph value of a kind's value (tempo (BPM - 4) div 2; bend value / 128
// to the nearest integer plus 64; others the value).
int ValueToGraph(int kind, int64_t value);
// The kind's value range (tempo 5..500, velocity 1..127, bend -8192..8191,
// others 0..127) and the graph's bounds, which clamp the sine and the mouse.
void ValueRange(int kind, int& lo, int& hi);
void GraphBounds(int kind, int& lo, int& hi);
// The graph value of the centre line.
int GraphCentre(int kind);
// The axis labels lbMin, lbMid, lbMax.
std::array<int, 3> AxisLabels(int kind);

// Nearest integer, a half to the even neighbour.
int64_t RoundEven(double v);

// Keeps the settings sound: the four points in order with x strictly rising
// from 0 to kGraphWidth - 1 (so no two share an x), heights on the graph,
// the end points at the from and to values, amplitude, phase, frequency and
// guides in their ranges.
void CheckCurveSettings(MakeValueSettings& s);

// The spline through the four points sampled at every pixel, as graph
// values (not yet clamped). Natural end conditions.
std::array<double, kGraphWidth> SplineSamples(const std::array<CurvePoint, 4>& points);

// A curve over a range of `length` ticks (at least 1), ready to be read at
// offsets 0..length.
class ValueCurve {
 public:
  ValueCurve(const MakeValueSettings& s, uint32_t length);
  // The kind's value at offset x (0..length; larger is taken as length).
  int At(uint32_t x) const;
  // The graph value at offset x (what the dialog draws).
  double GraphAt(uint32_t x) const;
  int Kind() const { return kind_; }

 private:
  int kind_;
  int line_;
  uint32_t length_;
  double from_ = 0, to_ = 0;  // straight: the ends in the kind's units
  double frequency_ = 1, phase_ = 0, amplitude_ = 0;
  int centre_ = 64, lo_ = 0, hi_ = 128;
  std::array<int, kGraphWidth> samples_{};  // spline: the kind's values at each pixel
};

// The graph's left-button rules. px, py are graph pixels (py downwards,
// graph value 128 - py). Each returns true when a setting changed.
// Straight: the from value (left half) or the to value (right half) follows
// the pointer's height, clamped to the graph bounds.
bool DragStraight(MakeValueSettings& s, int px, int py);
// Sine: frequency px / 2, amplitude the centre's height minus the pointer's.
bool DragSine(MakeValueSettings& s, int px, int py);
// Spline: the control point nearest to the pointer (horizontal plus vertical
// distance, the earlier one on a tie).
int PickControlPoint(const MakeValueSettings& s, int px, int py);
// Moves point `index`: an inner point to the pointer, kept strictly between
// its neighbours; an end point only in height (and with it from or to).
bool DragControlPoint(MakeValueSettings& s, int index, int px, int py);

}  // namespace melko
