// The event lists in the program: the Window menu and the track sheet's
// buttons open them on the right track, "MIDI" makes a list the window that
// takes played notes (the computer keyboard's too), the settings outlive
// the run, and a SysEx row's data cell goes through the SysEx dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app_rig.h"
#include "edit/ui/event_form.h"
#include "midi/midi_input.h"
#include "sysex/ui/sysex_dlg.h"
#include "views/ui/score_form.h"
#include "views/ui/track_form.h"

namespace melko::test {
namespace {

class EventListWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    song = rig.DataDir + "song.mid";
    MakeSongFile(song, 8);
    rig.Start();
    rig.doc().OpenFile(song);
  }
  QAction* MenuAction(const char* name) { return rig.form->findChild<QAction*>(QString::fromLatin1(name)); }
  AppRig rig;
  std::string song;
};

TEST_F(EventListWindow, TheMenuAndTheSheetOpenTheListsOnTheirTracks) {
  QAction* list1 = MenuAction("mnuShowList1");
  ASSERT_NE(list1, nullptr);
  EXPECT_EQ(list1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
  rig.form->Range().EditFromTrack = 1;
  list1->trigger();
  TEventForm* l1 = rig.form->List(1);
  ASSERT_NE(l1, nullptr);
  EXPECT_TRUE(l1->isVisible());
  EXPECT_EQ(l1->CurrentTrack(), 1);
  EXPECT_GT(l1->Editor().Model().RowCount(), 0u);

  TTrackForm* sheet = rig.form->TrackForm();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->sbtList2->isEnabled());
  sheet->SheetRow = 3;
  sheet->sbtList2->click();
  ASSERT_NE(rig.form->List(2), nullptr);
  EXPECT_EQ(rig.form->List(2)->CurrentTrack(), 3);
  sheet->sbtCond->click();
  EXPECT_EQ(rig.form->List(1)->CurrentTrack(), 0);
  // popAnotherList: the other list on this list's track.
  rig.form->List(2)->Hooks.OpenAnotherList();
  EXPECT_EQ(rig.form->List(1)->CurrentTrack(), 3);
  // "Score": the score of the list's track.
  rig.form->List(2)->sbtScore->click();
  bool shown = false;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* score = qobject_cast<TScoreForm*>(w); score && score->isVisible() && score->Tag() == 3) shown = true;
  for (QObject* o : sheet->children())
    if (auto* score = qobject_cast<TScoreForm*>(o); score && score->isVisible() && score->Tag() == 3) shown = true;
  EXPECT_TRUE(shown);
}

TEST_F(EventListWindow, MidiDownTakesPlayedNotes) {
  TEventForm* l = rig.form->ShowList(1, 1);
  ASSERT_NE(l, nullptr);
  int row = 0;
  while (row < int(l->Editor().Model().RowCount()) && !(l->Editor().Select(row), l->Editor().Current().IsNote())) ++row;
  ASSERT_TRUE(l->Editor().Current().IsNote());
  const size_t index = l->Editor().Model().FullIndex(size_t(row));
  l->sbtByMidi->setChecked(true);
  // A note played in: the current row's note becomes it.
  rig.core->Notify().Post(MimNoteData, 0, 0x90 | (67u << 8) | (90u << 16));
  rig.Run(5);
  EXPECT_EQ(l->Editor().Model().Events()[index].Data1, 67);
  l->sbtByMidi->setChecked(false);
  const uint8_t before = l->Editor().Current().Data1;
  rig.core->Notify().Post(MimNoteData, 0, 0x90 | (40u << 8) | (90u << 16));
  rig.Run(5);
  EXPECT_EQ(l->Editor().Current().Data1, before);
}

TEST_F(EventListWindow, TheSettingsOutliveTheRun) {
  TEventForm* l = rig.form->ShowList(2, 1);
  ASSERT_NE(l, nullptr);
  l->sbtSync->setChecked(true);
  ASSERT_TRUE(rig.Close());
  EXPECT_NE(rig.Ini().find("[List2]"), std::string::npos);
  rig.Restart();
  TEventForm* again = rig.form->ShowList(2, 1);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->sbtSync->isChecked());
}

TEST_F(EventListWindow, ASysExCellOpensTheDialog) {
  TEventForm* l = rig.form->ShowList(1, 1);
  ASSERT_NE(l, nullptr);
  ASSERT_TRUE(l->Hooks.EditSysEx);
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dlg = qobject_cast<TSysExInputDlg*>(w); dlg && dlg->isVisible()) dlg->btCancel->click();
  });
  EXPECT_FALSE(l->Hooks.EditSysEx("F0 7E 7F 09 01 F7").has_value());
}

}  // namespace
}  // namespace melko::test
