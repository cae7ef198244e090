// The score's graphic edit: the pen's path for each line type, the values
// it turns into, and the edits it makes (one undo step each).
#include "views/score_gedit.h"

#include <gtest/gtest.h>

#include "edit/edit_test_util.h"
#include "song/smf_reader.h"

namespace melko {
namespace {

using test::Chan;
using test::Ctrl;
using test::Ev;
using test::Events;
using test::Note;

struct GEdit {
  Song song;
  test::FakeUi ui;
  std::unique_ptr<EditDispatcher> d;
  GEdit() {
    song.ClearSong();
    ApplySongLoaded(song);
    d = std::make_unique<EditDispatcher>(song, ui);
    d->SongLoaded();
  }
  // Presses on the first point, moves through the rest and releases.
  static std::vector<GEditPoint> Stroke(int line, std::vector<GEditPoint> pts) {
    GEditPen pen;
    pen.Press(line, pts[0].Tick, pts[0].Value);
    for (size_t i = 1; i < pts.size(); ++i) pen.Move(pts[i].Tick, pts[i].Value);
    return pen.Release();
  }
  bool Apply(int kind, int line, std::vector<GEditPoint> pts, int interval = 16, int control = 7) {
    return ApplyGEdit(song, *d, 1, kind, control, interval, Stroke(line, std::move(pts)));
  }
};

TEST(GEditValues, BandValuesBecomeEachKindsData) {
  struct Row {
    const char* name;
    int kind, v, want;
  };
  const Row rows[] = {
      {"tempo low end", kCurveTempo, 0, 5},         {"tempo 2v+4", kCurveTempo, 58, 120},
      {"tempo top", kCurveTempo, 128, 260},         {"velocity never 0", kCurveVelocity, 0, 1},
      {"velocity top", kCurveVelocity, 128, 127},   {"bend centre", kCurveBend, 64, 0},
      {"bend top clamps", kCurveBend, 128, 8191},   {"bend bottom", kCurveBend, 0, -8192},
      {"controller top", kCurveControl, 128, 127},  {"channel pressure", kCurveChPrs, 0, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(GEditDataValue(r.kind, r.v), r.want) << r.name;
  EXPECT_EQ(GEditValueAtY(0), 128);
  EXPECT_EQ(GEditValueAtY(128), 0);
  EXPECT_EQ(GEditValueAtY(300), 0);
  // Between points linear, a half to the even neighbour; the ends outside.
  const std::vector<GEditPoint> p = {{10, 0}, {14, 2}};
  EXPECT_EQ(GEditValueAt(p, 0), 0);
  EXPECT_EQ(GEditValueAt(p, 11), 0);  // 0.5 -> 0
  EXPECT_EQ(GEditValueAt(p, 13), 2);  // 1.5 -> 2
  EXPECT_EQ(GEditValueAt(p, 99), 2);
  EXPECT_EQ(GEditValueAt({}, 5), 0);
}

TEST(GEditPath, FreehandKeepsTicksSortedAndStraightTurnsRound) {
  GEditPen pen;
  pen.Press(kGEditFreeHand, 100, 10);
  pen.Move(100, 20);  // same tick: replaces
  pen.Move(150, 30);
  pen.Move(120, 99);  // back inside the span: nothing
  pen.Move(150, 40);  // the last point touched again
  pen.Move(50, 5);    // before the first: in front
  EXPECT_EQ(pen.Release(), (std::vector<GEditPoint>{{50, 5}, {100, 20}, {150, 40}}));
  EXPECT_FALSE(pen.Drawing());

  EXPECT_EQ(GEdit::Stroke(kGEditStraight, {{300, 1}, {250, 9}, {200, 80}}),
            (std::vector<GEditPoint>{{200, 80}, {300, 1}}));
  // A click without a move is one point, and so is a line back to its start.
  EXPECT_EQ(GEdit::Stroke(kGEditStraight, {{40, 7}}), (std::vector<GEditPoint>{{40, 7}}));
  EXPECT_EQ(GEdit::Stroke(kGEditStraight, {{40, 7}, {90, 1}, {40, 9}}), (std::vector<GEditPoint>{{40, 9}}));
}

TEST(GEditPath, CurveIsAParabolaFromThePressPoint) {
  EXPECT_EQ(GEdit::Stroke(kGEditCurve, {{0, 0}, {4, 16}}),
            (std::vector<GEditPoint>{{0, 0}, {1, 1}, {2, 4}, {3, 9}, {4, 16}}));
  // Drawn right to left the vertex stays at the press point.
  EXPECT_EQ(GEdit::Stroke(kGEditCurve, {{4, 16}, {0, 0}}),
            (std::vector<GEditPoint>{{0, 0}, {1, 7}, {2, 12}, {3, 15}, {4, 16}}));
  // Only where the value changes; the end closes the list.
  EXPECT_EQ(GEditParabola({0, 10}, {1000, 11}), (std::vector<GEditPoint>{{0, 10}, {708, 11}, {1000, 11}}));
  EXPECT_EQ(GEditParabola({5, 3}, {5, 90}), (std::vector<GEditPoint>{{5, 90}}));
}

TEST(GEditApply, StraightVelocityOverTheNotesUnderThePathOnly) {
  GEdit g;
  test::SetTrack(g.song, 1,
                 {Note(0, 60), Note(480, 62), Ctrl(480, 7, 100), Note(960, 64), Note(1440, 65), Note(1920, 67)});
  const std::vector<Ev> before = Events(g.song.Tracks[1]);
  // Drawn right to left: the same line.
  ASSERT_TRUE(g.Apply(kCurveVelocity, kGEditStraight, {{1440, 120}, {0, 0}}));
  EXPECT_EQ(Events(g.song.Tracks[1]), (std::vector<Ev>{{0, 0x90, 60, 1, 120},
                                                       {480, 0x90, 62, 40, 120},
                                                       {480, 0xB0, 7, 100, 0},
                                                       {960, 0x90, 64, 80, 120},
                                                       {1440, 0x90, 65, 120, 120},
                                                       {1920, 0x90, 67, 100, 120}}));
  EXPECT_EQ(g.d->Undo().ButtonHint, kHintGEdit);
  g.d->sbtUndoClick();
  EXPECT_EQ(Events(g.song.Tracks[1]), before);
}

TEST(GEditApply, FreehandControllerAtTheIntervalReplacesOnlyThatController) {
  GEdit g;
  test::SetTrack(g.song, 1, {Ctrl(0, 7, 10), Ctrl(50, 10, 5), Note(60, 60), Ctrl(100, 7, 20), Ctrl(500, 7, 30)});
  ASSERT_TRUE(g.Apply(kCurveControl, kGEditFreeHand, {{0, 0}, {50, 50}, {40, 99}, {100, 80}, {100, 100}}, 30));
  EXPECT_EQ(Events(g.song.Tracks[1]), (std::vector<Ev>{{0, 0xB0, 7, 0, 0},
                                                       {30, 0xB0, 7, 30, 0},
                                                       {50, 0xB0, 10, 5, 0},
                                                       {60, 0xB0, 7, 60, 0},
                                                       {60, 0x90, 60, 100, 120},
                                                       {90, 0xB0, 7, 90, 0},
                                                       {100, 0xB0, 7, 100, 0},
                                                       {500, 0xB0, 7, 30, 0}}));
  EXPECT_TRUE(g.song.Clipboard[0].IsNil() || Events(g.song.Clipboard[0]).empty());
}

TEST(GEditApply, StreamWritesOnlyChangesAndTakesIntervalZeroAsOne) {
  GEdit g;
  // A constant line is one event; interval 0 would never advance.
  ASSERT_TRUE(g.Apply(kCurveControl, kGEditStraight, {{0, 64}, {1000, 64}}, 0));
  EXPECT_EQ(Events(g.song.Tracks[1]), (std::vector<Ev>{{0, 0xB0, 7, 64, 0}}));
  ASSERT_TRUE(g.Apply(kCurveBend, kGEditStraight, {{0, 62}, {3, 65}}, 0));
  EXPECT_EQ(Events(g.song.Tracks[1]), (std::vector<Ev>{{0, 0xE0, 0, 62, 0},
                                                       {0, 0xB0, 7, 64, 0},
                                                       {1, 0xE0, 0, 63, 0},
                                                       {2, 0xE0, 0, 64, 0},
                                                       {3, 0xE0, 0, 65, 0}}));
  // The curve's points through channel pressure, one a tick.
  ASSERT_TRUE(g.Apply(kCurveChPrs, kGEditCurve, {{10, 0}, {14, 16}}, 1));
  std::vector<Ev> prs;
  for (const Ev& e : Events(g.song.Tracks[1]))
    if (e.Status == 0xD0) prs.push_back(e);
  EXPECT_EQ(prs, (std::vector<Ev>{{10, 0xD0, 0, 0, 0},
                                  {11, 0xD0, 1, 0, 0},
                                  {12, 0xD0, 4, 0, 0},
                                  {13, 0xD0, 9, 0, 0},
                                  {14, 0xD0, 16, 0, 0}}));
}

TEST(GEditApply, TempoGoesToTheConductorAndRebuildsTheMap) {
  GEdit g;
  test::SetTrack(g.song, 0, {test::Meta(0, 0x51, 500000, 3), test::Meta(480, 0x51, 400000, 3),
                             test::Meta(2000, 0x51, 300000, 3)});
  g.song.Maps.BuildTempoMap(g.song.Tracks[0], g.song.TPQN);
  ASSERT_TRUE(g.Apply(kCurveTempo, kGEditStraight, {{0, 28}, {960, 28}}));  // 60 BPM
  std::vector<std::pair<uint32_t, uint32_t>> tempos;
  for (TrackWalker w(g.song.Tracks[0]); !w.AtEnd(); w.Advance())
    if (w.Next().Status == 0xFF && w.Next().Data1 == 0x51) tempos.emplace_back(w.NextTick(), w.Next().Value);
  EXPECT_EQ(tempos, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 1000000}, {2000, 300000}}));
  EXPECT_EQ(g.song.Maps.TempoAt(0).Tempo, 1000000u);
}

TEST(GEditApply, EmptyPathOrBadTrackChangesNothing) {
  GEdit g;
  test::SetTrack(g.song, 1, {Note(0, 60)});
  EXPECT_FALSE(ApplyGEdit(g.song, *g.d, 1, kCurveVelocity, 0, 16, {}));
  EXPECT_FALSE(ApplyGEdit(g.song, *g.d, 0, kCurveVelocity, 0, 16, {{0, 10}}));
  EXPECT_FALSE(g.d->Undo().UndoEnabled);
  // One point: the note on its tick takes the value.
  ASSERT_TRUE(g.Apply(kCurveVelocity, kGEditFreeHand, {{0, 33}}));
  EXPECT_EQ(Events(g.song.Tracks[1])[0].D2, 33);
}

}  // namespace
}  // namespace melko
