// The score window offscreen: heads on the right lines and spaces, the
// accidentals the key asks for, and the mouse and keys entering notes.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include "app_rig.h"
#include "edit/edit_test_util.h"
#include "song/smf_reader.h"
#include "views/score_staff.h"
#include "views/ui/music_font.h"
#include "views/ui/palette_custom_dlg.h"
#include <QTableWidget>
#include "views/ui/score_form.h"
#include "views/ui/track_form.h"

namespace melko::test {
namespace {

class ScoreFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    song.ClearSong();
    ApplySongLoaded(song);
    d = std::make_unique<EditDispatcher>(song, ui);
    d->SongLoaded();
    state.SongLoaded(song.TPQN);
  }
  void Open(int keySf = 0) {
    if (keySf) {
      song.SetSongKey(uint32_t(uint8_t(int8_t(keySf))) << 8);
      song.RebuildMaps();
    }
    form = std::make_unique<TScoreForm>(song, *d, state, 1);
    form->resize(1000, 400);
    form->show();
    form->ScrollToTick(0);
    QApplication::processEvents();
  }
  QImage Paint() {
    TStaffView* v = form->Staff();
    QImage img(v->size(), QImage::Format_RGB32);
    QPainter p(&img);
    v->PaintStaff(p, img.rect());
    return img;
  }
  static bool Ink(const QImage& img, int x, int y) {
    if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return false;
    const QColor c = img.pixelColor(x, y);
    return c.red() < 100 && c.green() < 100 && c.blue() < 100;
  }
  double HeadX(uint32_t tick) const {
    const MusicFont& f = form->Font();
    const double inset = std::min(f.StaffSpace() * 0.9, double(XOfTick(song.TPQN / 4 + 1, form->PixelsPer16th(), song.TPQN)) / 2);
    return double(XOfTick(tick, form->PixelsPer16th(), song.TPQN) - form->ScrollOffset()) + inset;
  }
  int Y(int step) const { return StepY(step, form->Staff()->TopStepNow(), form->NoteHeight()); }
  // The middle of the tallest run of ink down the head's middle column.
  int HeadCentre(const QImage& img, uint32_t tick) {
    const int x = int(HeadX(tick) + form->Font().Width(kGlyphHeadBlack) * 0.4);
    int best = -1, bestLen = 0;
    for (int y = 0; y < img.height();) {
      if (!Ink(img, x, y)) {
        ++y;
        continue;
      }
      int e = y;
      while (e < img.height() && Ink(img, x, e)) ++e;
      if (e - y > bestLen) {
        bestLen = e - y;
        best = (y + e - 1) / 2;
      }
      y = e;
    }
    return best;
  }
  // Ink left of a head off the staff lines, where an accidental would be.
  int InkBeforeHead(const QImage& img, uint32_t tick, int step) {
    const double s = form->Font().StaffSpace();
    int count = 0;
    for (int y = Y(step) - int(s); y <= Y(step) + int(s); ++y) {
      // Rows of staff and ledger lines (the odd steps) hold no accidental.
      const int nh = form->NoteHeight();
      if ((Y(step) - y) % nh == 0 && (step + (Y(step) - y) / nh) % 2 == 1) continue;
      // A bar line at the note's tick is not an accidental either.
      const int bar = int(XOfTick(tick, form->PixelsPer16th(), song.TPQN) - form->ScrollOffset());
      for (int x = int(HeadX(tick) - s * 1.6); x < int(HeadX(tick)) - 1; ++x)
        if (std::abs(x - bar) > 1) count += Ink(img, x, y);
    }
    return count;
  }
  Song song;
  FakeUi ui;
  std::unique_ptr<EditDispatcher> d;
  StepEntryState state;
  std::unique_ptr<TScoreForm> form;
};

TEST_F(ScoreFormTest, TheCMajorScaleSitsOnItsLinesAndSpaces) {
  const int notes[8] = {60, 62, 64, 65, 67, 69, 71, 72};
  std::vector<TMidiEvent> events;
  for (int i = 0; i < 8; ++i) events.push_back(Note(uint32_t(i) * 480, uint8_t(notes[i]), 100, 432));
  SetTrack(song, 1, events);
  song.TrackDataChanged(1);
  Open();
  form->Step().SetTick(7680);  // the cursor's ghost head away from the scale
  const QImage img = Paint();
  for (int i = 0; i < 8; ++i) {
    const int step = kMiddleC + i;  // C4 .. C5
    EXPECT_NEAR(HeadCentre(img, uint32_t(i) * 480), Y(step), 1.5) << "note " << notes[i];
    EXPECT_LT(InkBeforeHead(img, uint32_t(i) * 480, step), 4) << "no accidental on " << notes[i];
  }
  // E4 and G4 are lines, F4 a space: the staff line crosses the E head's middle.
  EXPECT_TRUE(Ink(img, int(HeadX(2 * 480)) - 2, Y(kTrebleBottomLine)));
}

TEST_F(ScoreFormTest, AccidentalsFollowTheKey) {
  // F sharp in G major carries none; in C major note 70 carries one.
  SetTrack(song, 1, {Note(0, 66, 100, 432), Note(480, 70, 100, 432)});
  song.TrackDataChanged(1);
  Open(1);
  QImage img = Paint();
  EXPECT_NEAR(HeadCentre(img, 0), Y(38), 1.5);
  EXPECT_LT(InkBeforeHead(img, 0, 38), 4) << "F sharp in G major";
  EXPECT_GT(InkBeforeHead(img, 480, 40), 10) << "A sharp (note 70) needs its sign in G major";
  form.reset();
  song.SetSongKey(0);
  song.RebuildMaps();
  Open();
  img = Paint();
  EXPECT_GT(InkBeforeHead(img, 0, 38), 10) << "F sharp in C major";
}

TEST_F(ScoreFormTest, PenClickEntersTheNoteUnderThePointerAndKeysMoveTheCursor) {
  Open(1);
  form->sbtPen->click();
  TStaffView* v = form->Staff();
  // The top line of the treble staff is F of octave 6: in G major a click there is F sharp.
  const int fLine = kTrebleBottomLine + 8;
  const int x = int(XOfTick(960, form->PixelsPer16th(), song.TPQN) - form->ScrollOffset()) + 2;
  QTest::mouseMove(v, QPoint(x, Y(fLine)));
  QTest::mousePress(v, Qt::LeftButton, {}, QPoint(x, Y(fLine)));
  QTest::mouseRelease(v, Qt::LeftButton, {}, QPoint(x, Y(fLine)));
  EXPECT_EQ(Events(song.Tracks[1]), (std::vector<Ev>{{960, 0x90, 78, 100, 216}}));
  // Keys through the window: Right moves by the step, Backspace removes the note before the cursor.
  v->setFocus();
  QTest::keyClick(v, Qt::Key_Right);
  EXPECT_EQ(form->Step().Tick(), 1200u);
  QTest::keyClick(v, Qt::Key_Backspace);
  EXPECT_TRUE(Events(song.Tracks[1]).empty());
  EXPECT_EQ(form->Step().Tick(), 960u);
  d->sbtUndoClick();
  EXPECT_EQ(Events(song.Tracks[1]).size(), 1u);
}

TEST_F(ScoreFormTest, PaletteCustomizeCopiesBackOnlyOnOkAndReadsCellsLeniently) {
  TPaletteCustomDlg dlg(state.VelocityPresets, state.GatePresets);
  dlg.Grid()->item(0, 1)->setText(QStringLiteral("200"));
  dlg.Grid()->item(1, 1)->setText(QStringLiteral("abc"));
  dlg.Grid()->item(8, 1)->setText(QStringLiteral("0"));
  EXPECT_EQ(dlg.Velocities()[0], 127);
  EXPECT_EQ(dlg.Velocities()[1], 100) << "unreadable keeps the old value";
  EXPECT_EQ(dlg.Gates()[2], 1);
  // The window's velocity buttons use the tables.
  Open();
  state.VelocityPresets = dlg.Velocities();
  form->sbtVelocity[0]->click();
  EXPECT_EQ(state.Velocity(), 127);
}

TEST_F(ScoreFormTest, RightClickSnapsEraseClickDeletesAndCtrlKeepsTheTick) {
  SetTrack(song, 1, {Note(480, 72, 100, 432), Note(960, 74, 100, 432)});
  song.TrackDataChanged(1);
  Open();
  TStaffView* v = form->Staff();
  auto xOf = [&](uint32_t tick) { return int(XOfTick(tick, form->PixelsPer16th(), song.TPQN) - form->ScrollOffset()); };
  // 130 ticks in: the 16th grid takes it back to 120, Ctrl keeps it.
  QTest::mouseClick(v, Qt::RightButton, {}, QPoint(xOf(130) + 1, Y(40)));
  EXPECT_EQ(form->Step().Tick(), 120u);
  form->sbtByMouse->click();  // off: pen mode leaves the cursor alone while the pointer moves
  form->sbtPen->click();
  QTest::mouseClick(v, Qt::RightButton, Qt::ControlModifier, QPoint(xOf(130) + 1, Y(40)));
  EXPECT_GE(form->Step().Tick(), 130u);
  EXPECT_LT(form->Step().Tick(), 150u);
  // Erase mode: a click on the second note's head deletes it.
  form->sbtErase->click();
  EXPECT_FALSE(form->sbtPen->isChecked()) << "pen and erase exclude each other";
  Paint();
  const int head = int(HeadX(960) + 3);
  QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(head, Y(43)));
  EXPECT_EQ(Events(song.Tracks[1]), (std::vector<Ev>{{480, 0x90, 72, 100, 432}}));
  // A position moved elsewhere shows in the position box.
  d->Range.CurrentTick = 1920;
  form->PositionMoved();
  EXPECT_EQ(form->edLoca->text(), QStringLiteral("001/01/000"));
}

TEST_F(ScoreFormTest, MidiKeysAndTheKeyboardPianoMakeChords) {
  Open();
  TScoreForm* asked = nullptr;
  bool wanted = false;
  form->Hooks.WantMidiInput = [&](TScoreForm* w, bool on) {
    asked = w;
    wanted = on;
  };
  form->sbtByMidi->click();
  EXPECT_EQ(asked, form.get());
  EXPECT_TRUE(wanted);
  form->MidiInput(0x90 | 60 << 8 | 90 << 16);
  form->MidiInput(0x90 | 67 << 8 | 70 << 16);
  form->MidiInput(0x80 | 60 << 8);
  form->MidiInput(0x90 | 67 << 8);
  EXPECT_EQ(Events(song.Tracks[1]), (std::vector<Ev>{{0, 0x90, 60, 90, 216}, {0, 0x90, 67, 70, 216}}));
  EXPECT_EQ(form->Step().Tick(), 240u);
  // Keys held on the window's keyboard piano: Enter in pen mode enters them together.
  form->sbtPen->click();
  form->Kanabun().NoteOn(62);
  form->Kanabun().NoteOn(65);
  form->SendKey(kVkReturn, 0);
  form->Kanabun().ReleaseAll();
  const auto t = Events(song.Tracks[1]);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[2], (Ev{240, 0x90, 62, 100, 216}));
  EXPECT_EQ(t[3].D1, 65);
  EXPECT_EQ(state.HeldCount, 0);
}

TEST(ScoreFromTheSheet, TheSheetOpensOneScorePerTrack) {
  AppRig rig;
  rig.Start();
  TTrackForm* sheet = rig.form->TrackForm();
  ASSERT_NE(sheet, nullptr);
  ASSERT_TRUE(sheet->Hooks.OpenScore);
  sheet->Hooks.OpenScore(3);
  sheet->Hooks.OpenScore(3);
  sheet->Hooks.OpenScore(5);
  QApplication::processEvents();
  const auto scores = sheet->findChildren<TScoreForm*>();
  ASSERT_EQ(scores.size(), 2);
  EXPECT_TRUE(scores[0]->isVisible());
  EXPECT_EQ(scores[0]->Tag() + scores[1]->Tag(), 8);
}

// "TR" lists the tracks as "%.2d: %s" and opens the chosen track's score.
TEST(ScoreFromTheSheet, TrackChangeOpensTheChosenTracksScore) {
  AppRig rig;
  rig.Start();
  rig.song().TrackNames[4] = "Bass";
  TTrackForm* sheet = rig.form->TrackForm();
  ASSERT_NE(sheet, nullptr);
  sheet->Hooks.OpenScore(1);
  TScoreForm* first = sheet->findChild<TScoreForm*>();
  ASSERT_NE(first, nullptr);
  std::vector<int> tracks;
  const QStringList lines = first->TrackChoices(tracks);
  ASSERT_EQ(lines.size(), 64);
  EXPECT_EQ(lines[3], QStringLiteral("04: Bass"));
  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    menu->setActiveAction(menu->actions()[3]);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  first->sbtTrackChange->click();
  bool opened = false;
  for (TScoreForm* s : sheet->findChildren<TScoreForm*>()) opened = opened || (s->Tag() == 4 && s->isVisible());
  EXPECT_TRUE(opened);
}

}  // namespace
}  // namespace melko::test
