// The main window's strip driven through its real controls: range boxes,
// tempo, meter and key boxes, the measure scroll bar, and play/stop on the
// engine with a hand-driven clock.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "app/log_form.h"
#include "app_rig.h"
#include "edit/edit_range.h"
#include "song/smf_reader.h"
#include "song/track_ops.h"

namespace melko::test {
namespace {

void Type(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  box->setText(text);
  QTest::keyClick(box, Qt::Key_Return);
}

class StripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    song = rig.DataDir + "song.mid";
    MakeSongFile(song, 12);
    rig.Start();
    rig.doc().OpenFile(song);
    ASSERT_TRUE(rig.prompt.Errors.empty());
  }
  TMkMainForm& f() { return *rig.form; }
  uint32_t Tick(int measure, int beat, int tick) { return rig.song().Maps.MeasureToTick(measure) + beat * 480 + tick; }
  AppRig rig;
  std::string song;
};

struct PositionCase {
  const char* name;
  const char* before;  // what the box shows first
  const char* typed;
  const char* shown;   // the box afterwards
};

TEST_F(StripTest, TypedPositionsFallBackFieldByField) {
  const PositionCase cases[] = {
      {"full position", "000/01/000", "5/1/0", "005/01/000"},
      {"beat and tick keep the measure", "005/03/120", "2/0", "005/02/000"},
      {"a single number is the tick", "005/03/120", "60", "005/03/060"},
      {"beat above the numerator is the last beat", "002/01/000", "3/9/0", "003/04/000"},
      {"tick 9999 is the last tick of the beat", "002/02/000", "9999", "002/02/479"},
      {"beat 0 becomes the first beat", "002/02/000", "0/5", "002/01/005"},
      {"measure above 999 becomes 999", "000/01/000", "1200/1/0", "999/01/000"},
      {"unreadable fields keep their place", "004/02/010", "x/y/z", "004/02/010"},
      {"negative tick stays in the beat", "004/02/010", "-5", "004/02/000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Type(f().edStartRange, QString::fromLatin1(c.before));
    ASSERT_EQ(f().edStartRange->text().toStdString(), c.before);
    Type(f().edStartRange, QString::fromLatin1(c.typed));
    EXPECT_EQ(f().edStartRange->text().toStdString(), c.shown);
    EXPECT_EQ(f().edStartRange->text().toStdString(), TickToLocText(rig.song().Maps, f().Range().EditFromTick));
    EXPECT_EQ(f().edStartRange->selectedText(), f().edStartRange->text());  // Enter selects the text
  }
  EXPECT_EQ(f().Range().EditFromTick, Tick(4, 1, 0));
}

TEST_F(StripTest, TrackBoxesClampAndKeepAndAreSwappedForACommand) {
  struct Case {
    const char* name;
    const char* from;
    const char* to;
    int wantFrom, wantTo;
  } cases[] = {
      {"plain", "2", "5", 2, 5},
      {"above 64", "99", "70", 64, 64},
      {"below 1", "0", "-3", 1, 1},
      {"text keeps the old value", "abc", "", 1, 1},
      {"reversed pair stays until a command", "3", "1", 3, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Type(f().edStartTrack, QString::fromLatin1(c.from));
    Type(f().edEndTrack, QString::fromLatin1(c.to));
    EXPECT_EQ(f().Range().EditFromTrack, c.wantFrom);
    EXPECT_EQ(f().Range().EditToTrack, c.wantTo);
  }
  TEditRange& r = f().NormalizedRange();
  EXPECT_EQ(r.EditFromTrack, 1);
  EXPECT_EQ(r.EditToTrack, 3);
  EXPECT_EQ(f().edStartTrack->text(), QStringLiteral("1"));
  EXPECT_EQ(f().edEndTrack->text(), QStringLiteral("3"));
}

TEST_F(StripTest, ReversedTickRangeIsSwappedForACommand) {
  Type(f().edStartRange, QStringLiteral("6/1/0"));
  Type(f().edEndRange, QStringLiteral("2/1/0"));
  TEditRange& r = f().NormalizedRange();
  EXPECT_EQ(r.EditFromTick, Tick(2, 0, 0));
  EXPECT_EQ(r.EditToTick, Tick(6, 0, 0));
  EXPECT_EQ(f().edStartRange->text(), QStringLiteral("002/01/000"));
  EXPECT_EQ(f().edEndRange->text(), QStringLiteral("006/01/000"));
}

TEST_F(StripTest, BpmBoxReadsClampsAndSetsTheSongTempo) {
  struct Case {
    const char* typed;
    int bpm;
  } cases[] = {{"abc", 120}, {"1000", 500}, {"3", 5}, {"90", 90}, {"", 120}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    Type(f().edBPM, QString::fromLatin1(c.typed));
    EXPECT_EQ(f().edBPM->text().toInt(), c.bpm);
    EXPECT_EQ(rig.song().GetSongTempo(), static_cast<uint32_t>(c.bpm));
    EXPECT_EQ(rig.song().Maps.TempoMap.front().Tempo, 60000000u / c.bpm);
    EXPECT_EQ(f().scbBPM->value(), std::clamp(c.bpm, 30, 240));
  }
  EXPECT_FALSE(rig.song().SongSaved);
  // The scroll bar sets the tempo too.
  f().scbBPM->setValue(150);
  EXPECT_EQ(f().edBPM->text(), QStringLiteral("150"));
  EXPECT_EQ(rig.song().GetSongTempo(), 150u);
}

TEST_F(StripTest, MeterBoxSetsTheFirstMeter) {
  struct Case {
    const char* typed;
    uint32_t value;
    const char* shown;
  } cases[] = {
      {"3/4", 0x03021808, "3/4"},
      {"6/8", 0x06031808, "6/8"},
      {"x/8", 0x04031808, "4/8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    Type(f().edMeter, QString::fromLatin1(c.typed));
    EXPECT_EQ(rig.song().Maps.MeterMap.front().Value, c.value);
    EXPECT_EQ(f().edMeter->text().toStdString(), c.shown);
  }
  // Measures follow the new meter: 3/4 makes tick 1440 the start of measure 1.
  Type(f().edMeter, QStringLiteral("3/4"));
  Type(f().edStartRange, QStringLiteral("1/1/0"));
  EXPECT_EQ(f().Range().EditFromTick, 1440u);
}

TEST_F(StripTest, RangeBoxesStopAtTheLastMeasureAfterAShorterMeter) {
  Type(f().edEndRange, QStringLiteral("999/4/479"));
  EXPECT_EQ(f().edEndRange->text(), QStringLiteral("999/04/479"));
  Type(f().edMeter, QStringLiteral("3/4"));
  // The tick of 999/04/479 in 4/4 lies beyond measure 999 in 3/4: the range
  // and its box stop at the last tick the box can show.
  EXPECT_EQ(f().edEndRange->text(), QStringLiteral("999/03/479"));
  EXPECT_EQ(f().Range().EditToTick, rig.song().Maps.MeasureToTick(1000) - 1);
}

TEST_F(StripTest, KeyAndMeterShownAtTheScrollPosition) {
  f().ApplyKey(KeyValue(-3, true));
  EXPECT_EQ(f().edKeySig->text(), QStringLiteral("C  Min"));
  f().ApplyKey(KeyValue(6, false));
  EXPECT_EQ(f().edKeySig->text(), QStringLiteral("F# Maj"));
  EXPECT_EQ(rig.song().Maps.KeyMap.front().Value, KeyValue(6, false));
}

TEST_F(StripTest, MeasureScrollBarMovesThePositionWhenStopped) {
  EXPECT_EQ(f().scbMeas->maximum(), 12 + 8);
  f().scbMeas->setValue(5);
  EXPECT_EQ(f().Range().CurrentTick, Tick(5, 0, 0));
  EXPECT_EQ(f().Range().SavedMeasure, 5u);
  EXPECT_EQ(f().edLoc->text(), QStringLiteral("005/01/000"));
  QTest::mouseClick(f().sbtRewind, Qt::LeftButton);
  EXPECT_EQ(f().scbMeas->value(), 0);
  EXPECT_EQ(f().Range().CurrentTick, 0u);
  EXPECT_EQ(f().edLoc->text(), QStringLiteral("000/01/000"));
}

TEST_F(StripTest, PlayFollowsBeatsAndAutoRewindReturnsToTheSavedMeasure) {
  f().scbMeas->setValue(3);
  QAction* playStop = nullptr;
  for (QAction* a : f().mnuPlay->actions())
    if (a->shortcut() == QKeySequence(Qt::Key_F11)) playStop = a;
  ASSERT_NE(playStop, nullptr);
  playStop->trigger();
  ASSERT_TRUE(f().IsPlaying());
  EXPECT_TRUE(f().sbtPlay->isChecked());
  rig.Run(1200);  // 2.4 beats at 120 BPM
  EXPECT_EQ(f().edLoc->text(), QStringLiteral("003/03/000"));
  EXPECT_NE(f().edTime->text(), QStringLiteral("00:00:000"));
  // The scroll bar does not move the position while playing.
  EXPECT_EQ(f().Range().CurrentTick, Tick(3, 0, 0));
  playStop->trigger();
  EXPECT_FALSE(f().IsPlaying());
  EXPECT_FALSE(f().sbtPlay->isChecked());
  EXPECT_EQ(f().scbMeas->value(), 3);
  EXPECT_EQ(f().edLoc->text(), QStringLiteral("003/01/000"));
  // Notes went to the synth, and the engine's lines to the log window.
  EXPECT_FALSE(rig.Backend->Snapshot().empty());
  QString log = f().LogForm()->Text();
  EXPECT_TRUE(log.contains(QStringLiteral("StartPos: 5760\n--- START PLAYING!! ---")));
  EXPECT_TRUE(log.contains(QStringLiteral("--- STOP  PLAYING!! ---")));
}

TEST_F(StripTest, WithoutAutoRewindThePositionStaysWherePlaybackStopped) {
  f().sbtAutoRewind->setChecked(false);
  f().scbMeas->setValue(2);
  f().Play(TMkMainForm::kPlaySong);
  rig.Run(2100);  // a little over one measure
  f().StopPlay();
  EXPECT_EQ(f().scbMeas->value(), 3);
  EXPECT_GE(f().Range().CurrentTick, Tick(3, 0, 0));
  EXPECT_EQ(f().edLoc->text().left(4), QStringLiteral("003/"));
}

TEST_F(StripTest, SongEndStopsPlaybackThroughTheEngineNotification) {
  f().scbMeas->setValue(11);
  f().Play(TMkMainForm::kPlaySong);
  ASSERT_TRUE(f().IsPlaying());
  rig.Run(3000);
  EXPECT_FALSE(f().IsPlaying());
  EXPECT_FALSE(f().sbtPlay->isChecked());
  EXPECT_EQ(f().edLoc->text(), QStringLiteral("011/01/000"));
}

TEST_F(StripTest, ThumbReleaseWhilePlayingRestartsFromTheChosenMeasure) {
  f().Play(TMkMainForm::kPlaySong);
  rig.Run(500);
  f().scbMeas->setValue(7);
  EXPECT_EQ(f().Range().CurrentTick, 0u);
  f().ScrollEnd();
  ASSERT_TRUE(f().IsPlaying());
  EXPECT_EQ(rig.core->Engine().StartTick, static_cast<int32_t>(Tick(7, 0, 0)));
  f().StopPlay();
}

TEST_F(StripTest, TrackPlaySolosTheFirstRangeTrackUntilStop) {
  Type(f().edStartTrack, QStringLiteral("1"));
  f().Play(TMkMainForm::kPlayTrack);
  EXPECT_EQ(rig.song().Solo, 1);
  f().StopPlay();
  EXPECT_EQ(rig.song().Solo, 0);
}

TEST_F(StripTest, ResetButtonsSendToTheFirstRangeTracksPort) {
  rig.Backend->Clear();
  f().ModuleReset(2);
  bool sawGs = false;
  for (const auto& m : rig.Backend->Snapshot())
    if (m.Bytes == std::vector<uint8_t>(kGsReset, kGsReset + sizeof kGsReset)) sawGs = true;
  EXPECT_TRUE(sawGs);
  EXPECT_EQ(f().scbMasterVolume->value(), 127);
}

}  // namespace
}  // namespace melko::test

namespace melko::test {
namespace {

TEST_F(StripTest, AltReleasedInARangeBoxOpensTheInstalledPopupMenu) {
  QMenu edit(QStringLiteral("編集(&E)"));
  QMenu pop;
  pop.addAction(QStringLiteral("Copy"));
  TEditRange shared;
  f().InstallEditMenus(&edit, &pop, &shared);
  EXPECT_EQ(&f().Range(), &shared);
  Type(f().edStartRange, QStringLiteral("3/1/0"));
  EXPECT_EQ(shared.EditFromTick, Tick(3, 0, 0));
  // Under the box, wherever the window is.
  f().move(300, 200);
  QTest::keyRelease(f().edEndTrack, Qt::Key_Alt);
  EXPECT_TRUE(pop.isVisible());
  EXPECT_EQ(pop.pos(), f().edEndTrack->mapToGlobal(QPoint(0, f().edEndTrack->height())));
  pop.hide();
  bool inMenuBar = false;
  for (QAction* a : f().menuBar()->actions()) inMenuBar |= a->menu() == &edit;
  EXPECT_TRUE(inMenuBar);
  f().menuBar()->removeAction(edit.menuAction());
}

TEST_F(StripTest, RewindWithSyncOutSendsTheSongPosition) {
  f().cbxMidiSyncOut->setChecked(true);
  f().scbMeas->setValue(4);
  rig.Backend->Clear();
  QTest::mouseClick(f().sbtRewind, Qt::LeftButton);
  bool sawSpp = false;
  for (const auto& m : rig.Backend->Snapshot())
    if (m.Bytes == std::vector<uint8_t>{0xF2, 0x00, 0x00}) sawSpp = true;
  EXPECT_TRUE(sawSpp);
  f().cbxMidiSyncOut->setChecked(false);
}

}  // namespace
}  // namespace melko::test

namespace melko::test {
namespace {

// Open, play from a measure, watch the position, change, save, quit, reload.
TEST(Journey, OpenPlaySaveQuitAndTheFileIsIntact) {
  AppRig rig;
  rig.Start();
  std::string file = rig.ProgramDir + "journey.mid";
  MakeSongFile(file, 6, 480, "Journey");
  rig.prompt.Files = {file};
  rig.form->Open1->trigger();
  rig.form->scbMeas->setValue(2);
  rig.form->Play(TMkMainForm::kPlaySong);
  ASSERT_TRUE(rig.form->IsPlaying());
  QString seen = rig.form->edLoc->text();
  rig.Run(1100);
  EXPECT_NE(rig.form->edLoc->text(), seen);
  rig.form->StopPlay();
  rig.form->edBPM->setText(QStringLiteral("132"));
  rig.form->edBPMEnter();
  rig.form->Save1->trigger();
  ASSERT_TRUE(rig.Close());
  EXPECT_TRUE(rig.prompt.Errors.empty());
  EXPECT_TRUE(rig.prompt.Questions.empty());

  Song back;
  ScriptedPrompt quiet;
  ASSERT_TRUE(OpenSongFile(back, file, quiet));
  EXPECT_EQ(back.TrackNames[0], "Journey");
  EXPECT_EQ(back.GetSongTempo(), 132u);
  int notes = 0;
  for (TrackWalker w(back.Tracks[1]); !w.AtEnd(); w.Advance()) notes += w.Next().IsNote();
  EXPECT_EQ(notes, 24);
  // The next start opens the same file from the recent-file menu.
  rig.Restart();
  ASSERT_FALSE(rig.form->hmMidiFile->actions().isEmpty());
  rig.form->hmMidiFile->actions().first()->trigger();
  EXPECT_EQ(rig.doc().DocumentName, file);
}

}  // namespace
}  // namespace melko::test
