#include "edit/value_curve.h"

#include <cmath>
#include <cstdlib>

#include "base/int_helpers.h"

namespace melko {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kLastPixel = kGraphWidth - 1;

int Clamp(int64_t v, int64_t lo, int64_t hi) { return static_cast<int>(ClampInt(v, lo, hi)); }
}  // namespace

int64_t RoundEven(double v) {
  if (!std::isfinite(v)) return 0;
  if (v > 1e15) return int64_t(1e15);
  if (v < -1e15) return -int64_t(1e15);
  // nearbyint rounds a half to even in the default rounding mode; do it by
  // hand so that nobody's fesetround changes a curve.
  double f = std::floor(v);
  double diff = v - f;
  int64_t i = static_cast<int64_t>(f);
  if (diff > 0.5) return i + 1;
  if (diff < 0.5) return i;
  return (i % 2 == 0) ? i : i + 1;
}

int GraphToValue(int kind, int64_t g) {
  switch (CurveKindOf(kind)) {
    case kCurveTempo: return Clamp(2 * g + 4, 5, 500);
    case kCurveVelocity: return Clamp(g, 1, 127);
    case kCurveBend: return Clamp((g - 64) * 128, -8192, 8191);
    default: return Clamp(g, 0, 127);
  }
}

int ValueToGraph(int kind, int64_t value) {
  switch (CurveKindOf(kind)) {
    case kCurveTempo: return static_cast<int>((value - 4) / 2);
    case kCurveBend: return static_cast<int>(RoundEven(static_cast<double>(value) / 128.0) + 64);
    default: return static_cast<int>(value);
  }
}

void ValueRange(int kind, int& lo, int& hi) {
  switch (CurveKindOf(kind)) {
    case kCurveTempo: lo = 5; hi = 500; return;
    case kCurveVelocity: lo = 1; hi = 127; return;
    case kCurveBend: lo = -8192; hi = 8191; return;
    default: lo = 0; hi = 127; return;
  }
}

void GraphBounds(int kind, int& lo, int& hi) {
  switch (CurveKindOf(kind)) {
    case kCurveTempo:
    case kCurveBend: lo = 0; hi = 128; return;
    case kCurveVelocity: lo = 1; hi = 127; return;
    default: lo = 1; hi = 128; return;
  }
}

int GraphCentre(int kind) {
  switch (CurveKindOf(kind)) {
    case kCurveTempo: return ValueToGraph(kCurveTempo, 120);
    case kCurveBend: return ValueToGraph(kCurveBend, 0);
    default: return 64;
  }
}

std::array<int, 3> AxisLabels(int kind) {
  switch (CurveKindOf(kind)) {
    case kCurveTempo: return {4, 120, 260};
    case kCurveVelocity: return {1, 64, 127};
    case kCurveBend: return {-8192, 0, 8191};
    default: return {0, 64, 127};
  }
}

void CheckCurveSettings(MakeValueSettings& s) {
  s.KindIndex = Clamp(s.KindIndex, 0, 5 + 127);
  s.Control = Clamp(s.Control, 0, 127);
  s.LineType = Clamp(s.LineType, kLineStraight, kLineSpline);
  if (s.Interval < 1) s.Interval = 1;
  s.From = Clamp(s.From, 0, kGraphHeight);
  s.To = Clamp(s.To, 0, kGraphHeight);
  if (!std::isfinite(s.Frequency)) s.Frequency = 1.0;
  s.Frequency = std::fmin(std::fmax(s.Frequency, 0.0), kMaxFrequency);
  s.Amplitude = Clamp(s.Amplitude, -128, 128);
  s.Phase = Clamp(s.Phase, -180, 180);
  s.Guide1 = Clamp(s.Guide1, 0, kGraphHeight);
  s.Guide2 = Clamp(s.Guide2, 0, kGraphHeight);
  // The spline needs strictly rising x: two points on one x would divide by
  // a zero interval. The ends sit on the graph's edges, at the from and to values.
  auto& p = s.Points;
  p[0] = {0, kGraphHeight - s.From};
  p[3] = {kLastPixel, kGraphHeight - s.To};
  p[1].X = Clamp(p[1].X, 1, kLastPixel - 2);
  p[2].X = Clamp(p[2].X, p[1].X + 1, kLastPixel - 1);
  p[1].Y = Clamp(p[1].Y, 0, kGraphHeight);
  p[2].Y = Clamp(p[2].Y, 0, kGraphHeight);
}

std::array<double, kGraphWidth> SplineSamples(const std::array<CurvePoint, 4>& points) {
  // Work on a checked copy so that any caller gets a curve, never a NaN.
  MakeValueSettings s;
  s.From = kGraphHeight - points[0].Y;
  s.To = kGraphHeight - points[3].Y;
  s.Points = points;
  CheckCurveSettings(s);
  double x[4], y[4], h[3];
  for (int i = 0; i < 4; ++i) {
    x[i] = s.Points[size_t(i)].X;
    y[i] = kGraphHeight - s.Points[size_t(i)].Y;
  }
  for (int i = 0; i < 3; ++i) h[i] = x[i + 1] - x[i];
  // Slopes m from the tridiagonal system: natural ends (no bend at the
  // ends), and at the inner points
  //   h1 m0 + 2 (h0 + h1) m1 + h0 m2 = 3 (h1 (y1 - y0) / h0 + h0 (y2 - y1) / h1).
  double a[4], b[4], c[4], d[4];
  a[0] = 0; b[0] = 2; c[0] = 1; d[0] = 3 * (y[1] - y[0]) / h[0];
  for (int i = 1; i < 3; ++i) {
    a[i] = h[i];
    b[i] = 2 * (h[i - 1] + h[i]);
    c[i] = h[i - 1];
    d[i] = 3 * (h[i] * (y[i] - y[i - 1]) / h[i - 1] + h[i - 1] * (y[i + 1] - y[i]) / h[i]);
  }
  a[3] = 1; b[3] = 2; c[3] = 0; d[3] = 3 * (y[3] - y[2]) / h[2];
  for (int i = 1; i < 4; ++i) {
    double w = a[i] / b[i - 1];
    b[i] -= w * c[i - 1];
    d[i] -= w * d[i - 1];
  }
  double m[4];
  m[3] = d[3] / b[3];
  for (int i = 2; i >= 0; --i) m[i] = (d[i] - c[i] * m[i + 1]) / b[i];

  std::array<double, kGraphWidth> out{};
  int seg = 0;
  for (int px = 0; px < kGraphWidth; ++px) {
    while (seg < 2 && px > x[seg + 1]) ++seg;
    double t = (px - x[seg]) / h[seg];
    double t2 = t * t, t3 = t2 * t;
    out[size_t(px)] = (2 * t3 - 3 * t2 + 1) * y[seg] + (t3 - 2 * t2 + t) * h[seg] * m[seg] +
                      (-2 * t3 + 3 * t2) * y[seg + 1] + (t3 - t2) * h[seg] * m[seg + 1];
  }
  return out;
}

ValueCurve::ValueCurve(const MakeValueSettings& settings, uint32_t length)
    : kind_(CurveKindOf(settings.KindIndex)), line_(settings.LineType), length_(length < 1 ? 1 : length) {
  MakeValueSettings s = settings;
  CheckCurveSettings(s);
  line_ = s.LineType;
  GraphBounds(kind_, lo_, hi_);
  centre_ = GraphCentre(kind_);
  from_ = GraphToValue(kind_, s.From);
  to_ = GraphToValue(kind_, s.To);
  frequency_ = s.Frequency;
  phase_ = s.Phase;
  amplitude_ = s.Amplitude;
  if (line_ == kLineSpline) {
    std::array<double, kGraphWidth> g = SplineSamples(s.Points);
    for (int i = 0; i < kGraphWidth; ++i)
      samples_[size_t(i)] = GraphToValue(kind_, ClampInt(RoundEven(g[size_t(i)]), lo_, hi_));
  }
}

int ValueCurve::At(uint32_t x) const {
  if (x > length_) x = length_;
  switch (line_) {
    case kLineSine: {
      double s = std::sin(((double(x) * 360.0 / length_) * frequency_ + phase_) * kPi / 180.0) * amplitude_;
      return GraphToValue(kind_, ClampInt(centre_ + RoundEven(s), lo_, hi_));
    }
    case kLineSpline: {
      // The pixel of x, exactly: x × (width - 1) / length as a whole part and a remainder.
      uint64_t num = uint64_t(x) * kLastPixel;
      uint64_t i = num / length_, rem = num % length_;
      if (i >= uint64_t(kLastPixel) || rem == 0) return samples_[size_t(i)];
      double v0 = samples_[size_t(i)], v1 = samples_[size_t(i) + 1];
      return static_cast<int>(RoundEven(v0 + (v1 - v0) * double(rem) / double(length_)));
    }
    default:
      return static_cast<int>(RoundEven(from_ + (to_ - from_) / length_ * x));
  }
}

double ValueCurve::GraphAt(uint32_t x) const {
  if (x > length_) x = length_;
  if (line_ == kLineSpline || line_ == kLineSine) {
    const int v = At(x);
    if (kind_ == kCurveBend) return v / 128.0 + 64;
    if (kind_ == kCurveTempo) return (v - 4) / 2.0;
    return v;
  }
  const double v = from_ + (to_ - from_) / length_ * x;
  if (kind_ == kCurveBend) return v / 128.0 + 64;
  if (kind_ == kCurveTempo) return (v - 4) / 2.0;
  return v;
}

bool DragStraight(MakeValueSettings& s, int px, int py) {
  int lo, hi;
  GraphBounds(s.KindIndex, lo, hi);
  const int g = Clamp(kGraphHeight - py, lo, hi);
  int& end = px < kGraphWidth / 2 ? s.From : s.To;
  if (end == g) return false;
  end = g;
  CheckCurveSettings(s);
  return true;
}

bool DragSine(MakeValueSettings& s, int px, int py) {
  const double f = std::fmin(std::fmax(Clamp(px, 0, kLastPixel) / 2.0, 0.0), kMaxFrequency);
  // Heights in pixels from the top: the pointer above the centre line gives
  // a wave that starts upwards.
  const int a = Clamp((kGraphHeight - GraphCentre(s.KindIndex)) - py, -128, 128);
  if (f == s.Frequency && a == s.Amplitude) return false;
  s.Frequency = f;
  s.Amplitude = a;
  return true;
}

int PickControlPoint(const MakeValueSettings& s, int px, int py) {
  int best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < 4; ++i) {
    const CurvePoint& p = s.Points[size_t(i)];
    int d = std::abs(p.X - px) + std::abs(p.Y - py);
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

bool DragControlPoint(MakeValueSettings& s, int index, int px, int py) {
  if (index < 0 || index > 3) return false;
  int lo, hi;
  GraphBounds(s.KindIndex, lo, hi);
  const int y = kGraphHeight - Clamp(kGraphHeight - py, lo, hi);
  MakeValueSettings before = s;
  CurvePoint& p = s.Points[size_t(index)];
  if (index == 0 || index == 3) {
    (index == 0 ? s.From : s.To) = kGraphHeight - y;
  } else {
    p.X = Clamp(px, s.Points[size_t(index) - 1].X + 1, s.Points[size_t(index) + 1].X - 1);
    p.Y = y;
  }
  CheckCurveSettings(s);
  return !(before.Points == s.Points) || before.From != s.From || before.To != s.To;
}

}  // namespace melko
