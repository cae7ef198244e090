// The value-curve dialog under the offscreen platform: the graph's mouse,
// the boxes, the presets, and command 9 from the popup menu with its undo.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>

#include "edit/ui/edit_controller.h"
#include "edit/ui/make_value_dialog.h"
#include "song/track_ops.h"

#include "qt_app.h"

namespace melko {
namespace {

QApplication& TheApp() { return test::App(); }

void Type(QLineEdit* box, const QString& text) {
  box->setText(text);
  emit box->editingFinished();
}

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

NameTable DynCtrl() {
  NameTable t = ParseNameTable("001 Modulation\n007 Volume\n", "DYNCTRL.TXT", nullptr);
  AddDynamicsHeads(t);
  return t;
}

TEST(MakeValueDialog, TempoLineDrawnRightToLeftWithTheMouse) {
  TheApp();
  MakeValueSettings s;
  s.KindIndex = kCurveTempo;
  std::vector<LinePreset> presets;
  NameTable table = DynCtrl();
  {
    TMakeValueDlg dlg(s, presets, table, 1920);
    dlg.show();
    EXPECT_EQ(dlg.graph->lbMin->text(), "4");
    EXPECT_EQ(dlg.graph->lbMid->text(), "120");
    EXPECT_EQ(dlg.graph->lbMax->text(), "260");
    TValueGraph* g = dlg.graph;
    Mouse(g, QEvent::MouseButtonPress, TValueGraph::ToWidget(230, 88), Qt::LeftButton);
    Mouse(g, QEvent::MouseMove, TValueGraph::ToWidget(120, 60), Qt::LeftButton);
    Mouse(g, QEvent::MouseMove, TValueGraph::ToWidget(15, 28), Qt::LeftButton);
    Mouse(g, QEvent::MouseButtonRelease, TValueGraph::ToWidget(15, 28), Qt::NoButton);
    EXPECT_EQ(dlg.edTo->text(), "124") << "the last height on the right half: graph 60";
    EXPECT_EQ(dlg.edFrom->text(), "60");
    Mouse(g, QEvent::MouseMove, TValueGraph::ToWidget(200, 120), Qt::NoButton);
    EXPECT_EQ(dlg.edTo->text(), "124") << "no button, no drawing";
    dlg.reject();
  }
  EXPECT_EQ(s.From, 0) << "Cancel keeps the old line";
  EXPECT_EQ(s.KindIndex, kCurveTempo);
  {
    TMakeValueDlg dlg(s, presets, table, 1920);
    dlg.show();
    Type(dlg.edFrom, "60");
    Type(dlg.edTo, "abc");
    EXPECT_EQ(dlg.edTo->text(), "258") << "unreadable keeps the old value (graph 127)";
    Type(dlg.edTo, "900");
    EXPECT_EQ(dlg.edTo->text(), "260") << "graph top: 500 BPM is beyond it";
    QTest::keyClick(dlg.edTo, Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
  }
  EXPECT_EQ(s.From, 28);
  EXPECT_EQ(s.To, 128);
}

TEST(MakeValueDialog, BoxesPanelsAndPresets) {
  TheApp();
  MakeValueSettings s;
  s.Interval = 480;
  std::vector<LinePreset> presets = ParseLinePresets("Vibrato Bend: 4, 1, 8, 32, 0\r\nFade: 6, 0, 0, 100\r\n");
  NameTable table = DynCtrl();
  TMakeValueDlg dlg(s, presets, table, 100);
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), "MakeValues");
  EXPECT_EQ(dlg.cmbData->count(), 7);
  EXPECT_EQ(dlg.edInterval->text(), "100") << "kept within the range";
  QTest::mouseClick(dlg.tsbtDecInterval, Qt::LeftButton);
  EXPECT_EQ(dlg.edInterval->text(), "99");
  EXPECT_TRUE(dlg.pnlSine->isHidden());
  dlg.rbtSine->click();
  EXPECT_FALSE(dlg.pnlSine->isHidden());
  EXPECT_TRUE(dlg.pnlFromTo->isHidden());
  for (int i = 0; i < 14; ++i) QTest::mouseClick(dlg.tsbtIncPhase, Qt::LeftButton);
  EXPECT_EQ(dlg.edPhase->text(), "180") << "phase stops at 180";
  Type(dlg.edFrq, "2.5");
  QTest::mouseClick(dlg.tsbtIncFrq, Qt::LeftButton);
  EXPECT_EQ(dlg.edFrq->text(), "3");
  Type(dlg.edAmp, "-300");
  EXPECT_EQ(dlg.edAmp->text(), "-128");

  // The preset shown as chosen at the start is applied by a click on it.
  QTest::mouseClick(dlg.lbxPreset->viewport(), Qt::LeftButton, {},
                    dlg.lbxPreset->visualItemRect(dlg.lbxPreset->item(0)).center());
  EXPECT_EQ(dlg.cmbData->currentText(), "Bend");
  EXPECT_TRUE(dlg.rbtSine->isChecked());
  EXPECT_EQ(dlg.edFrq->text(), "4");
  EXPECT_EQ(dlg.graph->lbMin->text(), "-8192");
  dlg.lbxPreset->setCurrentRow(1);
  EXPECT_EQ(dlg.cmbData->currentText(), "Volume");
  EXPECT_EQ(dlg.Work().Control, 7);
  EXPECT_EQ(dlg.edTo->text(), "100");

  dlg.AskName = [](QString& name) {
    name = QStringLiteral("ゆっくり");
    return true;
  };
  Type(dlg.edTo, "50");
  QTest::mouseClick(dlg.sbtAdd, Qt::LeftButton);
  ASSERT_EQ(presets.size(), 3u);
  EXPECT_EQ(presets[2].Name, "\x82\xE4\x82\xC1\x82\xAD\x82\xE8") << "stored as CP932";
  EXPECT_EQ(presets[2].To, 50);
  EXPECT_EQ(dlg.lbxPreset->item(2)->text(), QStringLiteral("ゆっくり"));
  dlg.lbxPreset->setCurrentRow(1);
  Type(dlg.edFrom, "20");
  QTest::mouseClick(dlg.sbtModify, Qt::LeftButton);
  EXPECT_EQ(presets[1].From, 20);
  EXPECT_EQ(presets[1].Name, "Fade");
  QTest::mouseClick(dlg.sbtDelete, Qt::LeftButton);
  ASSERT_EQ(presets.size(), 2u);
  EXPECT_EQ(presets[1].To, 50);
  dlg.reject();
  EXPECT_EQ(s.KindIndex, 6) << "closing keeps the kind";
  EXPECT_EQ(s.Interval, 480) << "the interval shortened for the range is not stored";
}

TEST(MakeValueDialog, CommandNineFromThePopupAndItsUndo) {
  TheApp();
  QWidget window;
  Song song;
  song.RebuildMaps();
  TMidiData& t = song.Tracks[1];
  uint32_t last = 0;
  for (uint32_t tick : {0u, 480u, 960u, 1440u}) {
    TMidiEvent note;
    note.Time = tick;
    note.Status = 0x90;
    note.Data1 = 60;
    note.Data2 = 100;
    note.Value = 100;
    EncodeEvent(t, note, last, 0, song.MaxGate());
  }
  const std::string before(reinterpret_cast<const char*>(t.Top()), t.Length());
  TEditController edit(song, &window);
  edit.Hooks.ValueCurves = [&edit] { return edit.MakeValuesDialog(); };
  edit.Dispatcher().Range.EditToTick = 1920;
  std::string caption;
  edit.Hooks.UndoChanged = [&](const UndoMenuState& u) { caption = u.ButtonCaption + ":" + u.ButtonHint; };
  QMenu* pop = edit.PopEditMenu();
  emit pop->aboutToShow();
  QAction* item = pop->findChild<QAction*>("popMakeValues");
  ASSERT_TRUE(item->isEnabled());
  QTimer::singleShot(0, [] {
    auto* dlg = qobject_cast<TMakeValueDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    dlg->edFrom->setText("1");
    dlg->edTo->setText("127");
    QTest::keyClick(dlg->edTo, Qt::Key_Return);
  });
  item->trigger();
  std::vector<int> velocities;
  for (TrackWalker w(song.Tracks[1]); !w.AtEnd(); w.Advance()) velocities.push_back(w.Next().Data2);
  EXPECT_EQ(velocities, (std::vector<int>{1, 32, 64, 96})) << "32.5 to the even 32";
  EXPECT_EQ(caption, "Undo:MakeValues");
  edit.Run(kCmdUndo);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(song.Tracks[1].Top()), song.Tracks[1].Length()), before);
}

}  // namespace
}  // namespace melko
