// Value curves: the graph-to-value mapping of each kind, the three lines,
// the graph's mouse rules, and applying a curve to the edit range as one
// undoable edit (command 9).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "edit/make_values.h"
#include "edit/range_ops.h"
#include "edit_test_util.h"

namespace melko {
namespace {

using test::Ctrl;
using test::Ev;
using test::Events;
using test::Meta;
using test::Note;
using test::SetTrack;
using test::Snapshot;

constexpr uint32_t M = 1920;  // one 4/4 measure at TPQN 480

// The dispatcher's window: the value-curve dialog answers with `apply`.
class CurveUi : public test::FakeUi {
 public:
  std::function<bool()> Curves;
  bool OpenValueCurves() override { return Curves && Curves(); }
};

struct Fixture {
  Song song;
  CurveUi ui;
  EditDispatcher d{song, ui};
  MakeValueSettings s;
  Fixture() {
    song.RebuildMaps();
    ui.Curves = [this] { return ApplyMakeValues(song, d.Range, d.Curves); };
  }
  void Range(int t1, int t2, uint32_t from, uint32_t to) {
    d.Range.EditFromTrack = t1;
    d.Range.EditToTrack = t2;
    d.Range.EditFromTick = from;
    d.Range.EditToTick = to;
  }
  bool Run(const MakeValueSettings& settings) {
    d.Curves = settings;
    return d.PopUpEditClick(kCmdMakeValues);
  }
};

MakeValueSettings Straight(int kindIndex, int from, int to, int interval = 16) {
  MakeValueSettings s;
  s.KindIndex = kindIndex;
  s.LineType = kLineStraight;
  s.From = from;
  s.To = to;
  s.Interval = interval;
  return s;
}

TEST(ValueCurveMapping, EachKindsUnitsAndTheBendCentre) {
  struct Row {
    const char* name;
    int kind, g, value;
  } rows[] = {
      {"tempo low", kCurveTempo, 0, 5},        {"tempo top", kCurveTempo, 128, 260},
      {"tempo centre", kCurveTempo, 58, 120},  {"velocity 0", kCurveVelocity, 0, 1},
      {"velocity top", kCurveVelocity, 128, 127}, {"chprs 0", kCurveChPrs, 0, 0},
      {"bend centre", kCurveBend, 64, 0},      {"bend top", kCurveBend, 128, 8191},
      {"bend bottom", kCurveBend, 0, -8192},   {"ctrl top", kCurveControl, 128, 127},
  };
  for (const Row& r : rows) EXPECT_EQ(GraphToValue(r.kind, r.g), r.value) << r.name;
  EXPECT_EQ(GraphCentre(kCurveBend), 64);
  EXPECT_EQ(GraphCentre(kCurveTempo), 58) << "120 BPM";
  EXPECT_EQ(ValueToGraph(kCurveBend, 0), 64);
  EXPECT_EQ(ValueToGraph(kCurveBend, 8191), 128);
  EXPECT_EQ(ValueToGraph(kCurveBend, -8192), 0);
  EXPECT_EQ(ValueToGraph(kCurveBend, 64), 64) << "64 / 128 is a half: to the even 0";
  EXPECT_EQ(ValueToGraph(kCurveBend, 192), 66) << "1.5 to the even 2";
  EXPECT_EQ(ValueToGraph(kCurveTempo, 61), 28);
  EXPECT_EQ(AxisLabels(kCurveBend), (std::array<int, 3>{-8192, 0, 8191}));
  EXPECT_EQ(AxisLabels(kCurveTempo), (std::array<int, 3>{4, 120, 260}));
  EXPECT_EQ(RoundEven(2.5), 2);
  EXPECT_EQ(RoundEven(-2.5), -2);
  EXPECT_EQ(RoundEven(3.5), 4);
}

TEST(ValueCurveMapping, BendCentreLineGivesOneEventAtTheCentre) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60)});
  f.Range(1, 1, 0, M);
  ASSERT_TRUE(f.Run(Straight(kCurveBend, 64, 64)));
  EXPECT_EQ(Events(f.song.Tracks[1]), (std::vector<Ev>{{0, 0xE0, 0x00, 0x40, 0}, {0, 0x90, 60, 100, 120}}))
      << "bend 0 is 8192: LSB 0, MSB 64, ahead of the note on its tick";
}

TEST(ValueCurveDrag, TempoLineDrawnRightToLeft) {
  MakeValueSettings s = Straight(kCurveTempo, 0, 127);
  // Pressed in the right half at 180 BPM, dragged across into the left half to 60 BPM.
  EXPECT_TRUE(DragStraight(s, 230, kGraphHeight - 88));
  EXPECT_TRUE(DragStraight(s, 150, kGraphHeight - 70));
  EXPECT_TRUE(DragStraight(s, 20, kGraphHeight - 28));
  EXPECT_EQ(s.To, 70) << "the last height in the right half";
  EXPECT_EQ(s.From, 28);
  EXPECT_TRUE(DragStraight(s, 119, kGraphHeight - 40)) << "pixel 119 is the left half";
  EXPECT_EQ(s.From, 40);
  EXPECT_TRUE(DragStraight(s, 120, kGraphHeight - 88)) << "pixel 120 is the right half";
  EXPECT_EQ(s.To, 88);
  EXPECT_FALSE(DragStraight(s, 120, kGraphHeight - 88)) << "nothing changed";
  EXPECT_TRUE(DragStraight(s, 0, -50));
  EXPECT_EQ(s.From, 128) << "clamped to the graph";
  ValueCurve c(s, M);
  EXPECT_EQ(c.At(0), 260);
  EXPECT_EQ(c.At(M), 180);
  for (uint32_t x = 0; x < M; x += 97) EXPECT_GE(c.At(x), c.At(x + 97)) << "falls from left to right";
}

TEST(ValueCurveDrag, SineAndSplinePoints) {
  MakeValueSettings s;
  s.KindIndex = kCurveBend;
  s.LineType = kLineSine;
  EXPECT_TRUE(DragSine(s, 9, kGraphHeight - 100));
  EXPECT_EQ(s.Frequency, 4.5);
  EXPECT_EQ(s.Amplitude, 36) << "pointer 36 above the centre";

  s.LineType = kLineSpline;
  CheckCurveSettings(s);
  EXPECT_EQ(PickControlPoint(s, 150, 110), 1);
  EXPECT_EQ(PickControlPoint(s, 238, 5), 3);
  EXPECT_EQ(PickControlPoint(s, 238, 120), 2) << "nearer by horizontal plus vertical distance";
  // An inner point is kept strictly between its neighbours: never one x with them.
  EXPECT_TRUE(DragControlPoint(s, 1, 300, 50));
  EXPECT_EQ(s.Points[1].X, s.Points[2].X - 1);
  EXPECT_TRUE(DragControlPoint(s, 2, -5, 50));
  EXPECT_EQ(s.Points[2].X, s.Points[1].X + 1);
  // An end point moves only in height, and with it the to value.
  EXPECT_TRUE(DragControlPoint(s, 3, 10, 28));
  EXPECT_EQ(s.Points[3], (CurvePoint{kGraphWidth - 1, 28}));
  EXPECT_EQ(s.To, 100);
}

TEST(ValueCurveLines, SplineGoesThroughItsControlPoints) {
  MakeValueSettings s;
  s.KindIndex = kCurveControl;
  s.LineType = kLineSpline;
  s.From = 10;
  s.To = 120;
  s.Points[1] = {60, kGraphHeight - 100};
  s.Points[2] = {180, kGraphHeight - 30};
  CheckCurveSettings(s);
  auto samples = SplineSamples(s.Points);
  for (const CurvePoint& p : s.Points) EXPECT_NEAR(samples[size_t(p.X)], kGraphHeight - p.Y, 1e-9) << p.X;
  // A range of 239 × 10 ticks puts pixel p on tick 10 p exactly.
  const uint32_t length = (kGraphWidth - 1) * 10;
  ValueCurve c(s, length);
  EXPECT_EQ(c.At(0), 10);
  EXPECT_EQ(c.At(600), 100);
  EXPECT_EQ(c.At(1800), 30);
  EXPECT_EQ(c.At(length), 120);
  // Between two samples the value lies between them.
  const int a = c.At(610), b = c.At(620), mid = c.At(615);
  EXPECT_GE(mid, std::min(a, b));
  EXPECT_LE(mid, std::max(a, b));
}

TEST(ValueCurveLines, SplinePointsOnOneXStillGiveACurve) {
  MakeValueSettings s;
  s.LineType = kLineSpline;
  s.Points[1] = {100, 10};
  s.Points[2] = {100, 90};
  auto samples = SplineSamples(s.Points);
  for (double v : samples) ASSERT_TRUE(std::isfinite(v));
  CheckCurveSettings(s);
  EXPECT_LT(s.Points[0].X, s.Points[1].X);
  EXPECT_LT(s.Points[1].X, s.Points[2].X);
  EXPECT_LT(s.Points[2].X, s.Points[3].X);
  s.Points[1] = {0, 10};
  s.Points[2] = {kGraphWidth - 1, 90};
  CheckCurveSettings(s);
  EXPECT_EQ(s.Points[1].X, 1);
  EXPECT_EQ(s.Points[2].X, kGraphWidth - 2);
}

TEST(MakeValues, StraightVelocityOverOneMeasure) {
  Fixture f;
  std::vector<TMidiEvent> notes;
  for (uint32_t t = 0; t <= M; t += 240) notes.push_back(Note(t, 60, 100));
  SetTrack(f.song, 1, notes);
  SetTrack(f.song, 2, {Note(960, 64, 100)});
  f.Range(1, 2, 0, M);
  ASSERT_TRUE(f.Run(Straight(kCurveVelocity, 0, 127)));
  auto ev = Events(f.song.Tracks[1]);
  ASSERT_EQ(ev.size(), 9u);
  EXPECT_EQ(ev[0].D2, 1) << "from 0 is velocity 1";
  EXPECT_EQ(ev[4].D2, 64) << "1 + 126 / 2";
  EXPECT_EQ(ev[7].D2, 111) << "1 + 126 × 1680 / 1920 = 111.25";
  EXPECT_EQ(ev[8].D2, 100) << "the note on the range's end is outside it";
  EXPECT_EQ(Events(f.song.Tracks[2])[0].D2, 64);
  EXPECT_EQ(f.d.Undo().ButtonHint, "MakeValues");
}

TEST(MakeValues, KeyPressureRewritesOnlyKeyPressure) {
  Fixture f;
  SetTrack(f.song, 1, {test::Chan(0, 0xA0, 60, 5), test::Chan(480, 0xD0, 9), Note(480, 60, 90)});
  f.Range(1, 1, 0, M);
  ASSERT_TRUE(f.Run(Straight(kCurveKyPrs, 77, 77)));
  EXPECT_EQ(Events(f.song.Tracks[1]),
            (std::vector<Ev>{{0, 0xA0, 60, 77, 0}, {480, 0xD0, 9, 0, 0}, {480, 0x90, 60, 90, 120}}));
}

TEST(MakeValues, Controller7ConstantLineGivesOneEventAndReplacesOnlyItsNumber) {
  Fixture f;
  SetTrack(f.song, 1, {Ctrl(0, 7, 20), Ctrl(100, 10, 64), Ctrl(500, 7, 30), Ctrl(M, 7, 40)});
  f.Range(1, 1, 0, M);
  MakeValueSettings s = Straight(kCurveControl, 90, 90, 16);
  s.Control = 7;
  ASSERT_TRUE(f.Run(s));
  EXPECT_EQ(Events(f.song.Tracks[1]),
            (std::vector<Ev>{{0, 0xB0, 7, 90, 0}, {100, 0xB0, 10, 64, 0}, {M, 0xB0, 7, 40, 0}}))
      << "one event at the start, none at the end, pan kept, the event on the range's end kept";
  EXPECT_EQ(f.song.ClipLength, 0u) << "the clipboard counts as empty";
}

TEST(MakeValues, ControllerKindTakesItsCodeFromDynCtrl) {
  NameTable t = ParseNameTable("001 Modulation\n007 Volume\n", "DYNCTRL.TXT", nullptr);
  AddDynamicsHeads(t);
  MakeValueSettings s;
  s.KindIndex = kDynamicsHeadCount + 1;
  ResolveCurveControl(s, t);
  EXPECT_EQ(s.Control, 7);
}

TEST(MakeValues, SineBendSwingsFromBottomToTop) {
  Fixture f;
  SetTrack(f.song, 1, {test::Chan(10, 0xE0, 0, 0x20), Note(20, 60)});
  f.Range(1, 1, 0, M);
  MakeValueSettings s;
  s.KindIndex = kCurveBend;
  s.LineType = kLineSine;
  s.Amplitude = 64;
  s.Frequency = 1;
  s.Interval = 1;
  ASSERT_TRUE(f.Run(s));
  int lo = 1 << 20, hi = -(1 << 20), bends = 0;
  for (const Ev& e : Events(f.song.Tracks[1]))
    if (e.Status == 0xE0) {
      int v = e.D1 + e.D2 * 128 - 8192;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
      ++bends;
      EXPECT_NE(e.Tick, 10u) << "the old bend is gone";
    }
  EXPECT_EQ(lo, -8192);
  EXPECT_EQ(hi, 8191);
  EXPECT_EQ(bends, 257) << "one per graph step: up 64, down 128, up 64, and the first";
}

TEST(MakeValues, TempoCurve60To180ReplacesTheTempoEventsInside) {
  Fixture f;
  SetTrack(f.song, 0,
           {Meta(0, 0x51, 500000, 3), Meta(0, 0x58, 0x04021808, 4), Meta(960, 0x51, 666666, 3),
            Meta(M, 0x51, 600000, 3)});
  f.song.RebuildMaps();
  const auto before = Snapshot(f.song);
  f.Range(1, 1, 0, M);
  MakeValueSettings s = Straight(kCurveTempo, ValueToGraph(kCurveTempo, 60), ValueToGraph(kCurveTempo, 180), 480);
  ASSERT_TRUE(f.Run(s));
  std::vector<Ev> tempos;
  std::vector<uint32_t> values;
  for (TrackWalker w(f.song.Tracks[0]); !w.AtEnd(); w.Advance())
    if (w.Next().IsMeta(0x51)) {
      tempos.push_back({w.NextTick(), 0xFF, 0x51, 0, 0});
      values.push_back(w.Next().Value);
    }
  ASSERT_EQ(tempos.size(), 6u);
  EXPECT_EQ(tempos[0].Tick, 0u);
  EXPECT_EQ(tempos[4].Tick, M - 1) << "the end value on the range's last tick";
  EXPECT_EQ(tempos[5].Tick, M) << "the tempo on the range's end is kept";
  EXPECT_EQ(values, (std::vector<uint32_t>{1000000, 666666, 500000, 400000, 333333, 600000}))
      << "60, 90, 120, 150 and 180 BPM";
  EXPECT_EQ(f.song.Maps.TempoAt(M - 1).Tempo, 333333u) << "the tempo map is rebuilt";
  EXPECT_TRUE(f.d.PopUpEditClick(kCmdUndo));
  EXPECT_EQ(Snapshot(f.song), before);
  EXPECT_EQ(f.song.Maps.TempoAt(1000).Tempo, 666666u);
}

TEST(MakeValues, OneTickRangeAndIntervalAboveTheRange) {
  Fixture f;
  f.Range(1, 1, 100, 101);
  MakeValueSettings s = Straight(kCurveChPrs, 0, 127, 16);
  ASSERT_TRUE(f.Run(s));
  EXPECT_EQ(Events(f.song.Tracks[1]), (std::vector<Ev>{{100, 0xD0, 127, 0, 0}}))
      << "start and end share the one tick: the end value, once";
  f.Range(1, 1, 0, 100);
  s.Interval = 5000;
  ASSERT_TRUE(f.Run(s));
  EXPECT_EQ(Events(f.song.Tracks[1]), (std::vector<Ev>{{0, 0xD0, 0, 0, 0}, {99, 0xD0, 127, 0, 0}, {100, 0xD0, 127, 0, 0}}));
  // Two ticks: the steps at 0 and 1 (interval 1) and the end value on tick 1 do not double up.
  f.Range(2, 2, 0, 2);
  s.Interval = 1;
  ASSERT_TRUE(f.Run(s));
  EXPECT_EQ(Events(f.song.Tracks[2]), (std::vector<Ev>{{0, 0xD0, 0, 0, 0}, {1, 0xD0, 127, 0, 0}}));
}

TEST(MakeValues, EmptyRangeAndCancelChangeNothing) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60)});
  f.Range(1, 1, 0, 480);
  ASSERT_TRUE(f.d.PopUpEditClick(kCmdCut));
  const auto cut = Snapshot(f.song);
  const uint32_t clip = f.song.ClipLength;
  f.ui.Curves = [] { return false; };  // Cancel
  EXPECT_TRUE(f.d.PopUpEditClick(kCmdMakeValues));
  EXPECT_EQ(Snapshot(f.song), cut);
  EXPECT_EQ(f.song.ClipLength, clip) << "a cancelled dialog leaves the clipboard as it was";
  EXPECT_EQ(f.d.Undo().ButtonHint, "切り取り");
  f.Range(1, 1, 300, 300);
  EXPECT_FALSE(f.d.PopUpEditClick(kCmdMakeValues)) << "an empty range is refused";
  EXPECT_FALSE(ApplyMakeValues(f.song, f.d.Range, Straight(kCurveChPrs, 0, 1)));
  EXPECT_EQ(Snapshot(f.song), cut);
}

TEST(MakeValues, UndoAndRedoExchangeEveryTrackOfTheRange) {
  Fixture f;
  SetTrack(f.song, 1, {Ctrl(0, 1, 3), Note(10, 60)});
  SetTrack(f.song, 3, {Note(10, 62)});
  const auto before = Snapshot(f.song);
  f.Range(1, 3, 0, M);
  MakeValueSettings s = Straight(kCurveControl, 0, 127, 1);
  s.Control = 1;
  ASSERT_TRUE(f.Run(s));
  const auto after = Snapshot(f.song);
  EXPECT_EQ(Events(f.song.Tracks[2]).size(), 128u) << "every value 0..127 once";
  EXPECT_TRUE(f.d.PopUpEditClick(kCmdUndo));
  EXPECT_EQ(Snapshot(f.song), before);
  EXPECT_TRUE(f.d.PopUpEditClick(kCmdRedo));
  EXPECT_EQ(Snapshot(f.song), after);
}

}  // namespace
}  // namespace melko
