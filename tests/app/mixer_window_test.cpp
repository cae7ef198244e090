// The mixer in the application: opened from the Window menu, following a
// playing song open or closed (its meters falling either way), a knob
// reaching the track's device, the master volume in step with the main
// window's bar, and its settings written at the end.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "app_rig.h"
#include "views/mixer_state.h"
#include "views/ui/mixer_controls.h"
#include "views/ui/mixer_form.h"

namespace melko::test {
namespace {

QAction* MenuAction(QMenu* menu, const char* name) {
  for (QAction* a : menu->actions())
    if (a->objectName() == QLatin1String(name)) return a;
  return nullptr;
}

class MixerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    song = rig.DataDir + "song.mid";
    MakeSongFile(song, 8);
    rig.Start();
    rig.doc().OpenFile(song);
  }
  AppRig rig;
  std::string song;
};

TEST_F(MixerWindowTest, FollowsPlaybackClosedAndOpen) {
  MixerState* mixer = rig.form->Mixer();
  ASSERT_NE(mixer, nullptr);
  // Closed: the state alone follows, and the meter falls on its own.
  rig.form->Play(TMkMainForm::kPlaySong);
  rig.Run(300);
  EXPECT_EQ(mixer->Track(1).Program, 5);
  EXPECT_GT(mixer->Track(1).Meter, 0);
  rig.form->StopPlay();
  rig.Run(2000);
  EXPECT_EQ(mixer->Track(1).Meter, 0) << "the meter falls with the window closed too";

  QAction* open = MenuAction(rig.form->mnuWindow, "mnuShowMixer");
  ASSERT_NE(open, nullptr);
  open->trigger();
  TMixerForm* mixerForm = rig.form->MixerForm();
  ASSERT_NE(mixerForm, nullptr);
  ASSERT_TRUE(mixerForm->isVisible());
  EXPECT_EQ(mixerForm->Strips()[0].Program->text(), QStringLiteral("005"));
  rig.form->Play(TMkMainForm::kPlaySong);
  rig.Run(300);
  EXPECT_GT(mixerForm->Strips()[0].Meter->Level(), 0) << "open: the strip's meter moves";
  rig.form->StopPlay();
  mixerForm->close();
}

TEST_F(MixerWindowTest, AKnobReachesTheDeviceAndTheMasterVolumeFollowsTheBar) {
  rig.form->ShowMixer();
  TMixerForm* mixerForm = rig.form->MixerForm();
  ASSERT_NE(mixerForm, nullptr);
  rig.Backend->Clear();
  mixerForm->ControlMoved(0, 0, 50);
  bool found = false;
  for (const RecordedMessage& m : rig.Backend->Snapshot())
    if (m.Bytes == std::vector<uint8_t>{uint8_t(0xB0 | rig.song().Ch[1]), 91, 50}) found = true;
  EXPECT_TRUE(found) << "the control change left on the track's port";

  rig.form->scbMasterVolume->setValue(90);
  EXPECT_EQ(mixerForm->sbMasterVolume->Position(), 90);
  EXPECT_EQ(rig.form->Mixer()->MasterVolume, 90);
  mixerForm->sbMasterVolume->SetPosition(40);
  EXPECT_EQ(rig.form->scbMasterVolume->value(), 40) << "the mixer moves the main window's bar";
  EXPECT_EQ(mixerForm->veMasterVolume->text(), QStringLiteral("40"));

  rig.form->Mixer()->StepInc = 7;
  ASSERT_TRUE(rig.Close());
  const std::string ini = rig.Ini();
  for (const char* key : {"[Mixer]", "Ctrl0=91", "Ctrl3=10", "FirstTrack=1", "StripCount=16", "Sync=1",
                          "MixerCheckedCtrls=63", "StepInc=7", "CascadeInc=120", "Left="})
    EXPECT_NE(ini.find(key), std::string::npos) << key << "\n" << ini;
  rig.Restart();
  ASSERT_NE(rig.form->Mixer(), nullptr);
  EXPECT_EQ(rig.form->Mixer()->StepInc, 7) << "the next run reads them back";
}

}  // namespace
}  // namespace melko::test
