// The mixer window driven offscreen: a knob dragged and a fader typed send
// their controller once, played events move the strips and the meter falls,
// the arrows scroll, the mute button's Ctrl rule, the volume row refused,
// and the set dialog's Mix writing the strips into the song.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>

#include "edit/edit_test_util.h"
#include "song/smf_reader.h"
#include "views/mixer_commands.h"
#include "views/ui/mixer_controls.h"
#include "views/ui/mixer_form.h"
#include "views/ui/set_mixer_dlg.h"

#include "qt_app.h"

namespace melko {
namespace {

using test::App;

struct Sent {
  int Track;
  uint32_t Msg;
};

class MixerForm : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    song.ClearSong();
    ApplySongLoaded(song);
    for (int t = 1; t <= 3; ++t) test::SetTrack(song, t, {test::Note(0, 60)});
    song.Ch[1] = 4;
    d = std::make_unique<EditDispatcher>(song, ui);
    d->SongLoaded();
    form = std::make_unique<TMixerForm>(song, *d, mixer);
    form->Hooks.Send = [this](int t, uint32_t msg) { sent.push_back({t, msg}); };
    form->Hooks.ShowWarning = [this](const std::string& text) { warnings.push_back(text); };
    form->Hooks.CtrlHeld = [this] { return ctrl; };
    form->show();
    QApplication::processEvents();
  }
  const TMixerStrip& Strip(int i) { return form->Strips()[size_t(i)]; }

  Song song;
  test::FakeUi ui;
  std::unique_ptr<EditDispatcher> d;
  MixerState mixer;
  std::unique_ptr<TMixerForm> form;
  std::vector<Sent> sent;
  std::vector<std::string> warnings;
  bool ctrl = false;
};

TEST_F(MixerForm, KnobAndFaderSendTheirControllerOnlyWhenTheValueChanges) {
  TmRKnob* knob = Strip(0).Knobs[0];
  // Straight up from the centre is the middle of the sweep.
  const QPoint up(knob->width() / 2, 2);
  QTest::mousePress(knob, Qt::LeftButton, {}, up);
  QTest::mouseRelease(knob, Qt::LeftButton, {}, up);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Track, 1);
  EXPECT_EQ(sent[0].Msg, 0xB4u | 91u << 8 | 63u << 16);
  EXPECT_EQ(Strip(0).KnobEdits[0]->text(), QStringLiteral("63")) << "the edit follows the knob";
  QTest::mousePress(knob, Qt::LeftButton, {}, up);
  QTest::mouseRelease(knob, Qt::LeftButton, {}, up);
  EXPECT_EQ(sent.size(), 1u) << "the knob moved to its own value sends nothing";

  QLineEdit* fader = Strip(1).FaderEdit;
  fader->setFocus();
  fader->selectAll();
  QTest::keyClicks(fader, "90");
  QTest::keyClick(fader, Qt::Key_Return);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].Track, 2);
  EXPECT_EQ(sent[1].Msg, (0xB0u | song.Ch[2]) | 7u << 8 | 90u << 16) << "on the track's channel";
  EXPECT_EQ(Strip(1).Fader->Position(), 90) << "the fader follows its edit";
  EXPECT_EQ(mixer.Track(2).CtrlValue[kFaderRow], 90);
}

TEST_F(MixerForm, PlayedEventsMoveTheStripsAndTheMeterFalls) {
  form->PlayedEvent(0xB1u | 10u << 8 | 20u << 16 | 2u << 24);
  form->PlayedEvent(0xB1u | 7u << 8 | 45u << 16 | 2u << 24);
  form->PlayedEvent(0xC1u | 17u << 8 | 2u << 24);
  form->FlushPlayed();  // the strips show the state 40 ms after the first event
  EXPECT_EQ(Strip(1).Knobs[3]->Position(), 20);
  EXPECT_EQ(Strip(1).KnobEdits[3]->text(), QStringLiteral("20"));
  EXPECT_EQ(Strip(1).FaderEdit->text(), QStringLiteral("45"));
  EXPECT_EQ(Strip(1).Fader->Position(), 45);
  EXPECT_EQ(Strip(1).Program->text(), QStringLiteral("017"));
  form->PlayedEvent(0x91u | 60u << 8 | 99u << 16 | 2u << 24);
  EXPECT_EQ(Strip(1).Meter->Level(), 25);
  form->Timer1Timer();
  EXPECT_EQ(Strip(1).Meter->Level(), 24);
  EXPECT_TRUE(sent.empty()) << "following playback sends nothing";

  sent.clear();
  form->sbtSync->click();
  EXPECT_FALSE(mixer.Sync);
  form->PlayedEvent(0xB1u | 10u << 8 | 99u << 16 | 2u << 24);
  form->FlushPlayed();
  EXPECT_EQ(Strip(1).Knobs[3]->Position(), 20) << "Sync off: the strip stays";
}

TEST_F(MixerForm, ScrollingShowsLaterTracksFromTheState) {
  mixer.Track(20).CtrlValue[kFaderRow] = 33;
  form->tsbtIncTr16->click();
  EXPECT_EQ(mixer.FirstTrack, 17);
  EXPECT_EQ(Strip(3).Track, 20);
  EXPECT_EQ(Strip(3).Fader->Position(), 33);
  EXPECT_EQ(Strip(3).FaderEdit->text(), QStringLiteral("33"));
  form->tsbtIncTr16->click();
  form->tsbtIncTr16->click();
  form->tsbtIncTr16->click();
  EXPECT_EQ(mixer.FirstTrack, 49) << "the last strip stays at track 64";
  form->tsbtDecTr->click();
  EXPECT_EQ(mixer.FirstTrack, 48);
  EXPECT_EQ(form->DrawGrid1->TrackAt(0), 48);
  EXPECT_TRUE(sent.empty()) << "showing other strips sends nothing";
}

TEST_F(MixerForm, MuteWithCtrlLeavesOnlyTheClickedTrackAsItWas) {
  ctrl = true;
  Strip(2).Mute->click();  // pressed: track 3 muted, all others too
  for (int t = 1; t <= 64; ++t) EXPECT_EQ(song.Mute[size_t(t)], 1) << t;
  Strip(2).Mute->click();  // released with Ctrl: all muted but track 3
  EXPECT_EQ(song.Mute[3], 0);
  EXPECT_TRUE(Strip(0).Mute->isChecked()) << "the other strips show it";
  EXPECT_FALSE(Strip(2).Mute->isChecked());
  EXPECT_TRUE(form->sbtMasterMute->isChecked());
  form->sbtMasterMute->click();  // Ctrl: every flag cleared, muting off
  for (int t = 0; t <= 64; ++t) EXPECT_EQ(song.Mute[size_t(t)], 0) << t;
  EXPECT_FALSE(Strip(0).Mute->isChecked());
  ctrl = false;
  Strip(1).Solo->click();
  EXPECT_EQ(song.Solo, 2);
  Strip(1).Solo->click();
  EXPECT_EQ(song.Solo, 0);
}

TEST_F(MixerForm, TheGridsColumnsTakeAChannelAndAPort) {
  TMixerGrid* grid = form->DrawGrid1;
  const int w = TMixerGrid::kColumnWidth + 1;
  QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(w + 5, 10));
  QTest::mouseClick(grid, Qt::LeftButton, Qt::ShiftModifier, QPoint(2 * w + 5, 10));
  EXPECT_EQ(grid->SelectedTracks(), (std::vector<int>{2, 3}));
  form->SetChannelOfSelection(9);
  form->SetPortOfSelection(2);
  EXPECT_EQ(song.Ch[2], 9);
  EXPECT_EQ(song.Ch[3], 9);
  EXPECT_EQ(song.OutPort[3], 2);
  EXPECT_NE(song.Ch[1], 9);
  // The strips now send on the new channel.
  form->ControlMoved(1, 4, 12);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Msg & 0xFF, 0xB9u);
}

// Picks the menu entry whose data is `cc` once the row button's menu is up.
void PickFromMenu(int cc) {
  QTimer::singleShot(0, [cc] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions())
      if (a->data().toInt() == cc) {
        menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
        return;
      }
    menu->close();
  });
}

TEST_F(MixerForm, TheVolumeControllerCannotGoOnAKnobRow) {
  PickFromMenu(7);
  form->sbtCtrlClick(2);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], kMsgVolumeNotAssignable);
  EXPECT_EQ(mixer.RowCtrl[2], 94);
  PickFromMenu(74);
  form->sbtCtrlClick(2);
  EXPECT_EQ(mixer.RowCtrl[2], 74);
  EXPECT_TRUE(form->sbtCtrl[2]->text().startsWith(QStringLiteral("74")));
}

TEST_F(MixerForm, SetDialogMixWritesTheStripsIntoTheSong) {
  mixer.Track(1).CtrlValue[kFaderRow] = 77;
  d->Range.EditFromTrack = d->Range.EditToTrack = 1;
  d->Range.EditFromTick = 0;
  d->Range.EditToTick = 480;
  QTimer::singleShot(0, [] {
    auto* dlg = qobject_cast<TSetMixerDlg*>(QApplication::activeModalWidget());
    if (!dlg) return;
    for (int r = 0; r < kMixerRows; ++r) dlg->cbxCtrl[size_t(r)]->setChecked(r == kFaderRow);
    dlg->cbxProg->setChecked(false);
    dlg->veStep->setValue(0);
    dlg->btMix->click();
  });
  form->sbtSetClick();
  EXPECT_EQ(mixer.MixerCheckedCtrls, 1u << kFaderRow) << "the boxes are stored";
  EXPECT_EQ(mixer.StepInc, 0);
  auto events = test::Events(song.Tracks[1]);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], (test::Ev{0, 0x90, 60, 100, 120})) << "the old event stays first";
  EXPECT_EQ(events[1], (test::Ev{0, 0xB0, 7, 77, 0}));
  EXPECT_EQ(d->Undo().ButtonHint, kHintMixerMix);
}

}  // namespace
}  // namespace melko
