// The score's graphic edit driven offscreen: the GEdit button shows the
// band, a straight line drawn with the pen sets the velocities of the notes
// under it (one undo step), and without the pen nothing is drawn.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QToolButton>
#include <cstdlib>

#include "edit/edit_test_util.h"
#include "song/smf_reader.h"
#include "views/ui/score_form.h"
#include "views/ui/score_gedit_panel.h"

namespace melko {
namespace {

QApplication& GEditApp() {
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "melko_views_ui_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

TEST(ScoreGEditPanel, PenLineSetsTheVelocitiesUnderItInOneUndoStep) {
  GEditApp();
  Song song;
  song.ClearSong();
  ApplySongLoaded(song);
  const uint32_t far = 480 * 4 * 60;
  test::SetTrack(song, 1, {test::Note(0, 60), test::Note(480, 64), test::Note(far, 67)});
  test::FakeUi ui;
  EditDispatcher d(song, ui);
  d.SongLoaded();
  StepEntryState state;
  state.SongLoaded(song.TPQN);
  TScoreForm form(song, d, state, 1);
  form.resize(900, 520);
  form.show();
  QApplication::processEvents();
  ASSERT_FALSE(form.pnlGEdit->isVisible());
  form.sbtGEdit->click();
  QApplication::processEvents();
  ASSERT_TRUE(form.pnlGEdit->isVisible());
  EXPECT_EQ(form.pnlGEdit->cmbData->currentText().toStdString(), "Velocity");

  TGEditBand* band = form.pnlGEdit->Band();
  const int y50 = band->height() - 5 - 50;  // value 50 in the band's box
  const QPoint a(2, y50), b(band->width() - 2, y50);
  // Without the pen the mouse only looks.
  QTest::mousePress(band, Qt::LeftButton, {}, a);
  QTest::mouseMove(band, b);
  QTest::mouseRelease(band, Qt::LeftButton, {}, b);
  EXPECT_EQ(test::Events(song.Tracks[1])[0].D2, 100);
  EXPECT_FALSE(d.Undo().UndoEnabled);
  form.sbtPen->click();
  ASSERT_TRUE(form.Step().Palette.Pen);
  QTest::mousePress(band, Qt::LeftButton, {}, a);
  QTest::mouseMove(band, b);
  QTest::mouseRelease(band, Qt::LeftButton, {}, b);
  EXPECT_EQ(test::Events(song.Tracks[1])[0].D2, 50);
  EXPECT_EQ(test::Events(song.Tracks[1])[1].D2, 50);
  EXPECT_EQ(test::Events(song.Tracks[1])[2].D2, 100);
  EXPECT_EQ(d.Undo().ButtonHint, "<Score>GEdit");
  d.sbtUndoClick();
  EXPECT_EQ(test::Events(song.Tracks[1])[0].D2, 100);
}

}  // namespace
}  // namespace melko
