// The track sheet through its real view, offscreen: a click in the map sets
// the edit range, a Mute click silences a playing track at once, a typed
// cell lands in the song, and the popup's New moves the rows.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QTest>

#include "app_rig.h"
#include "base/text_encoding.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"
#include "views/track_commands.h"
#include "views/ui/track_form.h"

namespace melko::test {
namespace {

class TrackFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    song = rig.DataDir + "song.mid";
    MakeSongFile(song, 8);
    rig.Start();
    rig.doc().OpenFile(song);
    sheet = rig.form->TrackForm();
    ASSERT_NE(sheet, nullptr);
    sheet->resize(1000, 500);
    sheet->show();
    QApplication::processEvents();
  }
  QPoint ListCell(int row, int column) {
    const QRect r = sheet->Sheet()->CellRect(row, column);
    return r.center();
  }
  QPoint MapCell(int row, int cell) {
    return QPoint(sheet->Sheet()->ListWidth() + cell * TSheetView::kCellWidth + 5, row * TSheetView::kRowHeight + 5);
  }
  AppRig rig;
  std::string song;
  TTrackForm* sheet = nullptr;
};

TEST_F(TrackFormTest, AMapClickSelectsTheTrackAndTicksOfTheEditRange) {
  EXPECT_EQ(sheet->windowTitle().left(7), QStringLiteral("Song - "));
  const uint32_t cellTicks = sheet->Maps().MapCellTicks;
  QTest::mouseClick(sheet->Sheet()->viewport(), Qt::LeftButton, {}, MapCell(1, 4));
  QTest::mouseClick(sheet->Sheet()->viewport(), Qt::LeftButton, Qt::ShiftModifier, MapCell(2, 7));
  const TEditRange& r = rig.form->Range();
  EXPECT_EQ(r.EditFromTrack, 1);
  EXPECT_EQ(r.EditToTrack, 2);
  EXPECT_EQ(r.EditFromTick, 4 * cellTicks);
  EXPECT_EQ(r.EditToTick, 8 * cellTicks);
  EXPECT_EQ(rig.form->edStartTrack->text(), QStringLiteral("1"));
  EXPECT_EQ(rig.form->edEndTrack->text(), QStringLiteral("2"));
}

TEST_F(TrackFormTest, AMuteClickSilencesAPlayingTrackAtOnce) {
  rig.form->Play(TMkMainForm::kPlaySong);
  ASSERT_TRUE(rig.form->IsPlaying());
  rig.Run(300);
  EXPECT_FALSE(rig.core->Engine().Silent[1].load());
  QTest::mouseClick(sheet->Sheet()->viewport(), Qt::LeftButton, {}, ListCell(1, kColMute));
  EXPECT_EQ(rig.song().Mute[1], 1);
  EXPECT_EQ(rig.song().Mute[0], 1);
  EXPECT_TRUE(rig.core->Engine().Silent[1].load());
  // The header with Ctrl clears every mute flag; the track sounds again.
  QTest::mouseClick(sheet->Sheet()->viewport(), Qt::LeftButton, Qt::ControlModifier, ListCell(0, kColMute));
  EXPECT_EQ(rig.song().Mute[1], 0);
  EXPECT_FALSE(rig.core->Engine().Silent[1].load());
  rig.form->StopPlay();
}

TEST_F(TrackFormTest, TypedCellsAndTheNewCommand) {
  QTest::mouseDClick(sheet->Sheet()->viewport(), Qt::LeftButton, {}, ListCell(1, kColName));
  QLineEdit* editor = sheet->Sheet()->Editor();
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("ピアノ"));
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(DisplayText(rig.song().TrackNames[1]), "ピアノ");
  QTest::mouseDClick(sheet->Sheet()->viewport(), Qt::LeftButton, {}, ListCell(1, kColDelay));
  ASSERT_NE(sheet->Sheet()->Editor(), nullptr);
  sheet->Sheet()->Editor()->setText(QStringLiteral("5000"));
  QTest::keyClick(sheet->Sheet()->Editor(), Qt::Key_Return);
  EXPECT_EQ(rig.song().Delay[1], 1920);

  sheet->SheetRow = 1;
  sheet->CommandNew();
  EXPECT_TRUE(rig.song().TrackNames[1].empty());
  EXPECT_EQ(DisplayText(rig.song().TrackNames[2]), "ピアノ");
  EXPECT_FALSE(rig.form->sbtUndo->isEnabled());
}

// A song that names a definition of the INST folder keeps it, and the sheet
// names its patches from there.
TEST(TrackFormDefinitions, ADefinitionNamedByTheSongNamesItsPatches) {
  AppRig rig;
  WriteFile(rig.DataDir + "INST/GS.INS", "GS\r\n[GS Capital Tones]\r\n000 000 034 Fingered Bs.\r\n");
  rig.Start();
  Song gs;
  gs.ClearSong();
  ApplySongLoaded(gs);
  TMidiData& d = gs.Tracks[1];
  d.Touch();
  uint32_t last = 0;
  TMidiEvent pc;
  pc.Status = 0xC0;
  pc.Data1 = 33;  // program 34
  EncodeEvent(d, pc, last, 0, gs.MaxGate());
  gs.Instrument[1] = "GS";
  const std::string file = rig.DataDir + "gs.mid";
  ASSERT_TRUE(SaveSongFile(gs, file, false));
  rig.doc().OpenFile(file);
  EXPECT_EQ(rig.song().Instrument[1], "GS");
  rig.song().GetTrackPatch(1);
  SheetTextContext c;
  c.PatchName = rig.form->TrackForm()->Hooks.PatchName;
  EXPECT_NE(SheetCellText(rig.song(), 1, kColProgram, c).find("Fingered Bs."), std::string::npos)
      << SheetCellText(rig.song(), 1, kColProgram, c);
}

TEST_F(TrackFormTest, TheMarkerBoxPutsMarkersAndJumpsToThem) {
  rig.form->Range().EditFromTick = rig.song().Maps.MeasureToTick(3);
  sheet->MarkerEntered(QStringLiteral("Chorus"));
  ASSERT_EQ(sheet->MarkerTicks().size(), 1u);
  EXPECT_EQ(sheet->cmbMarker->itemText(0), QStringLiteral("003: Chorus"));
  sheet->MarkerEntered(QStringLiteral("Again"));  // the same place
  ASSERT_FALSE(rig.prompt.Errors.empty());
  EXPECT_EQ(rig.prompt.Errors.back(), kMsgMarkerExists);
  sheet->JumpToMarker(0);
  EXPECT_EQ(rig.form->Range().CurrentTick, rig.song().Maps.MeasureToTick(3));
  EXPECT_EQ(rig.form->scbMeas->value(), 3);
}

TEST_F(TrackFormTest, TheProgramCellSetsTheChosenPatchOnTheSelectedRows) {
  int asked = 0;
  sheet->Hooks.ChoosePatch = [&](int track, uint32_t& patch) {
    ++asked;
    EXPECT_EQ(track, 1);
    patch = 0x00000010;  // program 17, no bank select
    return true;
  };
  QTest::mouseClick(sheet->Sheet()->viewport(), Qt::LeftButton, {}, ListCell(1, kColProgram));
  EXPECT_EQ(asked, 1);
  rig.song().GetTrackPatch(1);
  EXPECT_EQ(rig.song().ProgramChange[1] & 0xFF, 0x10u);
  EXPECT_TRUE(rig.form->sbtUndo->isEnabled()) << "one undoable edit";
}

TEST_F(TrackFormTest, SyncFollowsThePlayPosition) {
  sheet->sbtSync->setChecked(true);
  rig.form->Play(TMkMainForm::kPlaySong);
  rig.Run(1000);
  sheet->SyncStep();
  EXPECT_EQ(sheet->SyncTick, std::max(rig.core->Engine().PlayTick.load(), 0));
  EXPECT_GT(sheet->SyncTick, 0);
  rig.form->StopPlay();
  sheet->SyncStep();
  EXPECT_EQ(sheet->SyncTick, -1);
}

TEST_F(TrackFormTest, TheQuantButtonsAndTheSettingsKeys) {
  const int quant = sheet->Maps().MapQuant;
  sheet->sbtQuantUp->click();
  EXPECT_EQ(sheet->Maps().MapQuant, std::min(quant * 2, 64));
  EXPECT_EQ(sheet->edQuant->text(), QString::number(sheet->Maps().MapQuant));
  sheet->Sheet()->ColWidths[kColName] = 210;
  sheet->sbtMonitor->setChecked(true);
  IniFile ini;
  sheet->SaveSettings(ini);
  EXPECT_EQ(ini.ReadInteger("Track", "Quant", 0), sheet->Maps().MapQuant);
  sheet->Sheet()->ColWidths[kColName] = 50;
  sheet->sbtMonitor->setChecked(false);
  ini.WriteInteger("Track", "Quant", 40);  // typed by hand: the power of two below
  sheet->LoadSettings(ini);
  EXPECT_EQ(sheet->Sheet()->ColWidths[kColName], 210);
  EXPECT_TRUE(sheet->sbtMonitor->isChecked());
  EXPECT_EQ(sheet->Maps().MapQuant, 32);
}

// The Ch cell's list sets the channel of every selected row.
TEST_F(TrackFormTest, TheChannelListSetsEverySelectedRow) {
  QTest::mouseClick(sheet->Sheet()->viewport(), Qt::LeftButton, {}, ListCell(2, kColName));
  QString offered;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions()) offered += a->text() + ",";
    for (QAction* a : menu->actions())
      if (a->text() == QStringLiteral("12")) menu->setActiveAction(a);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  QTest::mouseClick(sheet->Sheet()->viewport(), Qt::LeftButton, Qt::ShiftModifier, ListCell(4, kColCh));
  EXPECT_TRUE(offered.startsWith(QStringLiteral("1,2,3,"))) << offered.toStdString();
  EXPECT_TRUE(offered.endsWith(QStringLiteral("16,")));
  for (int t = 2; t <= 4; ++t) EXPECT_EQ(rig.song().Ch[size_t(t)], 11) << t;
  EXPECT_NE(rig.song().Ch[1], 11);
  EXPECT_NE(rig.song().Ch[5], 11);
}

// "Full" widens the name column to the longest name and gives back the
// user's widths when released; the settings keep the user's widths.
TEST_F(TrackFormTest, FullShowsWholeTextsAndGivesTheWidthsBack) {
  rig.song().TrackNames[3] = StoreText("とても長いトラックの名前がここに入っています、最後まで読めるように");
  rig.song().Changes.Notify(kChangeTrackSettings, 3);
  const int normal = sheet->Sheet()->ColWidths[kColName];
  sheet->sbtFull->click();
  ASSERT_TRUE(sheet->FullView());
  const QFontMetrics metrics(sheet->Sheet()->viewport()->font());
  const int needed = metrics.horizontalAdvance(QString::fromStdString(DisplayText(rig.song().TrackNames[3])));
  EXPECT_GE(sheet->Sheet()->ColWidths[kColName], needed);
  EXPECT_GT(sheet->Sheet()->ColWidths[kColName], normal);
  IniFile ini;
  sheet->SaveSettings(ini);
  const std::string prefix = "28," + std::to_string(normal) + ",";
  EXPECT_EQ(ini.ReadString("Track", "ColWidths", "").substr(0, prefix.size()), prefix);
  // A longer name typed while Full is down widens the column again.
  rig.song().TrackNames[4] = StoreText(DisplayText(rig.song().TrackNames[3]) + "、もう少し長く");
  rig.song().Changes.Notify(kChangeTrackSettings, 4);
  EXPECT_GE(sheet->Sheet()->ColWidths[kColName],
            metrics.horizontalAdvance(QString::fromStdString(DisplayText(rig.song().TrackNames[4]))));
  sheet->sbtFull->click();
  EXPECT_FALSE(sheet->FullView());
  EXPECT_EQ(sheet->Sheet()->ColWidths[kColName], normal);
}

// Delete asks about the range's tracks; No keeps them, Yes closes the gap.
TEST_F(TrackFormTest, DeleteAsksAboutTheRangeAndNoKeepsTheTracks) {
  rig.song().TrackNames[2] = StoreText("two");
  rig.song().TrackNames[4] = StoreText("four");
  rig.form->Range().EditFromTrack = 2;
  rig.form->Range().EditToTrack = 3;
  std::string asked;
  bool answer = false;
  sheet->Hooks.AskYesNo = [&](const std::string& q) {
    asked = q;
    return answer;
  };
  sheet->CommandDelete();
  EXPECT_EQ(asked, "TR 2 ～ TR 3 を削除します。よろしいですか？");
  EXPECT_EQ(DisplayText(rig.song().TrackNames[2]), "two");
  answer = true;
  sheet->CommandDelete();
  EXPECT_EQ(DisplayText(rig.song().TrackNames[2]), "four");
  EXPECT_FALSE(rig.form->sbtUndo->isEnabled());
}

}  // namespace
}  // namespace melko::test
