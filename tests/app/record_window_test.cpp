// Recording and MIDI input through the main window's real controls: the
// record button with its panels and checks, the input indicator and thru,
// on a recording backend whose input device the test plays.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

#include "app_rig.h"
#include "edit/recorder.h"
#include "midi/midi_input.h"
#include "song/track_ops.h"
#include "views/ui/score_form.h"
#include "views/ui/track_form.h"

namespace melko::test {
namespace {

class RecordWindow : public ::testing::Test {
 protected:
  // A keyboard on input device 1, thru to port A.
  RecordWindow() : rig("[Port]\nIn=1\nInName=Keyboard\nThru=2\n", {"Test Synth"}, {"Keyboard"}) {}
  void SetUp() override {
    song = rig.DataDir + "song.mid";
    MakeSongFile(song, 8);
    rig.Start();
    rig.doc().OpenFile(song);
    ASSERT_TRUE(rig.prompt.Errors.empty());
  }
  TMkMainForm& f() { return *rig.form; }
  void Play(uint32_t msg) {
    MidiInCallback in = rig.Backend->InputCallback(1);
    ASSERT_TRUE(in);
    in(msg, 0);
  }
  // Note-ons of track t as (tick, key).
  std::vector<std::pair<uint32_t, int>> Notes(int t) {
    std::vector<std::pair<uint32_t, int>> out;
    for (TrackWalker w(rig.song().Tracks[t]); !w.AtEnd(); w.Advance())
      if (w.Next().Status == 0x90) out.push_back({w.Next().Time, w.Next().Data1});
    return out;
  }
  AppRig rig;
  std::string song;
};

TEST_F(RecordWindow, InputLightsTheIndicatorAndGoesThru) {
  EXPECT_EQ(f().pnlThru->text(), QStringLiteral("A"));
  EXPECT_EQ(f().pnlThru->toolTip(), QStringLiteral("THRU to Test Synth"));
  rig.Backend->Clear();
  EXPECT_FALSE(f().InputIndicatorLit());
  Play(ShortMsg(0x92, 60, 100));
  f().DrainEngine();
  EXPECT_TRUE(f().InputIndicatorLit());
  auto sent = rig.Backend->Snapshot();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().Bytes, (std::vector<uint8_t>{0x92, 60, 100}));
}

TEST_F(RecordWindow, TheRecordButtonRecordsIntoTheArmedTrackAsOneUndoableEdit) {
  // Arm track 1 (the range's first track) and record from measure 2.
  f().cbxRecTrack->click();
  ASSERT_EQ(rig.song().Rec[1], 1);
  f().Range().SavedMeasure = 2;
  f().pnlOptions->setCurrentWidget(f().pnlRecOpt);
  while (f().edCount->text() != QStringLiteral("0")) f().sbtCountDown->click();
  f().sbtRec->click();
  ASSERT_TRUE(f().IsRecording()) << (rig.prompt.Errors.empty() ? "" : rig.prompt.Errors[0]);
  EXPECT_EQ(f().lblArmed->text(), QStringLiteral("[1]"));
  EXPECT_FALSE(f().sbtUndo->isEnabled()) << "no undo in the middle of a take";
  EXPECT_TRUE(f().sbtPlay->isChecked());
  EXPECT_FALSE(f().sbtLoop->isEnabled());
  EXPECT_FALSE(f().pnlOptions->isEnabled());
  rig.Run(250);  // 120 BPM: 240 ticks into measure 2
  Play(ShortMsg(0x90, 72, 90));
  f().DrainEngine();
  EXPECT_TRUE(f().InputIndicatorLit()) << "the lamp lights while recording too";
  rig.Run(250);
  Play(ShortMsg(0x80, 72, 0));
  rig.Run(500);
  f().sbtRec->click();
  EXPECT_FALSE(f().IsRecording());
  EXPECT_FALSE(f().sbtPlay->isChecked());
  EXPECT_TRUE(f().sbtLoop->isEnabled());
  const uint32_t m2 = rig.song().Maps.MeasureToTick(2);
  auto notes = Notes(1);
  // The take replaced what track 1 had from measure 2 on for its length.
  bool found = false;
  for (auto [tick, key] : notes) {
    if (key == 72) {
      found = true;
      EXPECT_NEAR(double(tick), double(m2 + 230), 4.0);  // 240 less the 10 ms the timer leads by
    } else {
      EXPECT_TRUE(tick < m2 || tick >= m2 + 900) << tick;
    }
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(f().sbtUndo->toolTip().toStdString().find("リアルタイム録音") != std::string::npos ||
                f().sbtUndo->isEnabled(),
            true);
  // Undo gives the old track back.
  f().sbtUndo->click();
  for (auto [tick, key] : Notes(1)) EXPECT_NE(key, 72);
}

TEST_F(RecordWindow, WarningsOfTheRecordButtonAndSingle) {
  f().sbtRec->click();
  EXPECT_FALSE(f().IsRecording());
  EXPECT_FALSE(f().sbtRec->isChecked());
  ASSERT_EQ(rig.prompt.Errors.size(), 1u);
  EXPECT_EQ(rig.prompt.Errors[0], kMsgNoRecordTrack);
  // Single with two armed tracks takes every arm away.
  rig.song().Rec[1] = rig.song().Rec[2] = 1;
  f().cbxSingle->click();
  ASSERT_EQ(rig.prompt.Errors.size(), 2u);
  EXPECT_EQ(rig.prompt.Errors[1], kMsgSingleOneTrack);
  EXPECT_EQ(rig.song().Rec[1] + rig.song().Rec[2], 0);
  EXPECT_FALSE(f().cbxRecTrack->isChecked());
  // Loop down disables the record button.
  f().sbtLoop->click();
  EXPECT_FALSE(f().sbtRec->isEnabled());
  f().sbtLoop->click();
  EXPECT_TRUE(f().sbtRec->isEnabled());
}

TEST_F(RecordWindow, ThePlayButtonAndF12EndATake) {
  f().cbxRecTrack->click();
  f().mnuRecord->trigger();  // F12
  ASSERT_TRUE(f().IsRecording());
  EXPECT_TRUE(f().sbtRec->isChecked());
  rig.Run(2200);  // the count-in of four beats
  Play(ShortMsg(0x90, 40, 90));
  rig.Run(100);
  f().sbtPlay->click();  // released while recording
  EXPECT_FALSE(f().IsRecording());
  EXPECT_FALSE(f().sbtRec->isChecked());
  bool found = false;
  for (auto [tick, key] : Notes(1)) found = found || key == 40;
  EXPECT_TRUE(found);
}

// A new song asked for while recording takes the take into the song first,
// so the question about discarding it comes.
TEST_F(RecordWindow, ANewSongDuringATakeAsksAboutTheTake) {
  f().cbxRecTrack->click();
  f().sbtRec->click();
  ASSERT_TRUE(f().IsRecording());
  rig.Run(2300);
  Play(ShortMsg(0x90, 40, 90));
  rig.Run(100);
  rig.prompt.DefaultYesNo = false;  // keep the song
  rig.doc().NewFileCommand(false);
  EXPECT_FALSE(f().IsRecording());
  ASSERT_EQ(rig.prompt.Questions.size(), 1u);
  bool found = false;
  for (auto [tick, key] : Notes(1)) found = found || key == 40;
  EXPECT_TRUE(found);
}

TEST_F(RecordWindow, ThePanelsSwitchAndTheStepsKeepTheirRanges) {
  EXPECT_EQ(f().pnlOptions->currentWidget(), f().pnlSeqOpt);
  f().sbtRecOption->click();
  EXPECT_EQ(f().pnlOptions->currentWidget(), f().pnlRecOpt);
  EXPECT_EQ(f().edCount->text(), QStringLiteral("4"));
  EXPECT_EQ(f().edPreRange->text(), QStringLiteral("16"));
  for (int i = 0; i < 30; ++i) f().sbtCountUp->click();
  EXPECT_EQ(f().edCount->text(), QStringLiteral("16"));
  for (int i = 0; i < 30; ++i) f().sbtPreRangeDown->click();
  EXPECT_EQ(f().edPreRange->text(), QStringLiteral("4"));
  EXPECT_EQ(f().CurrentRecordSetup().PreRange, 1);
  f().sbtRecOption->click();
  EXPECT_EQ(f().pnlOptions->currentWidget(), f().pnlSeqOpt);
}

// The keyboard piano of an armed track's score plays into the take, and
// makes no step entry there.
TEST_F(RecordWindow, TheScoresKeyboardPianoRecordsIntoItsArmedTrack) {
  f().cbxRecTrack->click();
  ASSERT_EQ(rig.song().Rec[1], 1);
  f().pnlOptions->setCurrentWidget(f().pnlRecOpt);
  while (f().edCount->text() != QStringLiteral("0")) f().sbtCountDown->click();
  f().TrackForm()->Hooks.OpenScore(1);
  TScoreForm* score = f().TrackForm()->findChild<TScoreForm*>();
  ASSERT_NE(score, nullptr);
  f().sbtRec->click();
  ASSERT_TRUE(f().IsRecording());
  rig.Run(250);
  score->Kanabun().NoteOn(74);
  rig.Run(250);
  score->Kanabun().NoteOff(74);
  rig.Run(500);
  f().sbtRec->click();
  bool found = false;
  for (auto [tick, key] : Notes(1)) found = found || key == 74;
  EXPECT_TRUE(found);
  EXPECT_EQ(score->Step().State().HeldCount, 0);
}

}  // namespace
}  // namespace melko::test
