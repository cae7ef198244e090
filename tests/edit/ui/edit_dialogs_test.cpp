// The tool dialogs' boxes and keys, and the edit menus, under the offscreen
// platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "song/track_ops.h"
#include <cstdlib>

#include "edit/ui/edit_controller.h"
#include "edit/ui/set_dialogs.h"
#include "edit/ui/tool_dialogs.h"

#include "qt_app.h"

namespace melko {
namespace {

using test::App;

// Types into a box and leaves it (the box is checked as on focus loss).
void Type(QLineEdit* box, const QString& text) {
  box->setText(text);
  emit box->editingFinished();
}

TEST(EditDialogs, QuantizeRatioNeverZero) {
  App();
  QuantizeSettings q;
  int reso = 6;
  q.Type = kQuantizeGate;
  TQuantizeDlg dlg(q, reso, 480);
  EXPECT_EQ(dlg.lblQShift->text(), "Ratio");
  Type(dlg.edQShift, "0");
  EXPECT_EQ(dlg.edQShift->text(), "1");
  Type(dlg.edQShift, "abc");
  EXPECT_EQ(dlg.edQShift->text(), "1") << "unreadable keeps the old ratio";
  Type(dlg.edQShift, "300");
  EXPECT_EQ(dlg.edQShift->text(), "200");
  dlg.cmbQReso->setCurrentIndex(4);
  dlg.show();
  QTest::keyClick(dlg.edQPerc, Qt::Key_Return);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(q.Ratio, 200);
  EXPECT_EQ(q.Grid, 240);
  EXPECT_EQ(reso, 4);
}

TEST(EditDialogs, QuantizeShiftClampedToTheGridAndHiddenForGrid) {
  App();
  QuantizeSettings q;
  int reso = 6;
  q.Type = kQuantizeShuffle;
  TQuantizeDlg dlg(q, reso, 480);
  Type(dlg.edQShift, "-500");
  EXPECT_EQ(dlg.edQShift->text(), "-120");
  Type(dlg.edQShift, "x");
  EXPECT_EQ(dlg.edQShift->text(), "0") << "fallback 0";
  dlg.cmbQType->setCurrentIndex(kQuantizeGrid);
  EXPECT_TRUE(dlg.edQShift->isHidden());
}

TEST(EditDialogs, EscapeCancelsAndLeavesTheSettings) {
  App();
  QuantizeSettings q;
  int reso = 6;
  TQuantizeDlg dlg(q, reso, 480);
  dlg.show();
  Type(dlg.edQPerc, "50");
  QTest::keyClick(&dlg, Qt::Key_Escape);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_EQ(q.Strength, 100);
}

TEST(EditDialogs, DynamicsBoxesFollowTheKind) {
  App();
  DynamicsSettings d;
  NameTable table = ParseNameTable("07 Volume\n0B Expression\n", "DYNCTRL.TXT", nullptr);
  AddDynamicsHeads(table);
  TDynamicsDlg dlg(d, table);
  EXPECT_EQ(dlg.cmbControl->count(), 2) << "the five heads are left out";
  EXPECT_TRUE(dlg.cmbControl->isHidden());
  Type(dlg.edSet, "0");
  EXPECT_EQ(dlg.edSet->text(), "1") << "notes: 1..127";
  Type(dlg.edSet, "-9000");
  dlg.cmbData->setCurrentIndex(kDynBend);
  Type(dlg.edSet, "-9000");
  EXPECT_EQ(dlg.edSet->text(), "-8192");
  dlg.cmbData->setCurrentIndex(kDynControl);
  EXPECT_EQ(dlg.edSet->text(), "0") << "changing the kind re-checks the boxes";
  dlg.cmbControl->setCurrentIndex(1);
  Type(dlg.edLower, "100");
  Type(dlg.edUpper, "20");
  dlg.rbtCompress->setChecked(true);
  dlg.show();
  QTest::keyClick(dlg.edComp, Qt::Key_Enter);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(d.Kind, kDynControl);
  EXPECT_EQ(d.Control, 0x0B);
  EXPECT_EQ(d.Method, kMethodCompress);
  EXPECT_EQ(d.Lower, 20);
  EXPECT_EQ(d.Upper, 100);
}

TEST(EditDialogs, GateBoxesReadLengths) {
  App();
  GateSettings g;
  TGateDlg dlg(g, 480);
  EXPECT_EQ(dlg.edSet->text(), "  0/240");
  Type(dlg.edSet, "1/0");
  EXPECT_EQ(dlg.edSet->text(), "  1/  0");
  Type(dlg.edAdd, "-0/30");
  EXPECT_EQ(dlg.edAdd->text(), "-  0/ 30");
  dlg.rbtSet->setChecked(true);
  dlg.show();
  QTest::keyClick(dlg.edSet, Qt::Key_Return);
  EXPECT_EQ(g.Method, kMethodSet);
  EXPECT_EQ(g.Set, 480);
  EXPECT_EQ(g.Add, -30);
}

TEST(EditDialogs, TransposeNoteBoxesAndMidiInput) {
  App();
  TransposeSettings t;
  TTransposeDlg dlg(t, 0);
  EXPECT_EQ(dlg.edFrom->text(), "C  3");
  Type(dlg.edFrom, "d#4");
  EXPECT_EQ(dlg.edFrom->text(), "D# 4");
  dlg.show();
  dlg.activateWindow();
  dlg.edTo->setFocus();
  QApplication::processEvents();
  if (dlg.edTo->hasFocus()) {
    dlg.NoteOn(50, 0);
    EXPECT_EQ(dlg.edTo->text(), "C  4") << "velocity 0 is not a note-on";
    dlg.NoteOn(50, 90);
    EXPECT_EQ(dlg.edTo->text(), "D  2");
  }
  dlg.rbtChange->setChecked(true);
  QTest::keyClick(dlg.edFrom, Qt::Key_Return);
  EXPECT_EQ(t.Mode, kTransposeChange);
  EXPECT_EQ(t.FromNote, 75);
}

TEST(EditDialogs, EventCutterListsAndShiftEnter) {
  App();
  CutterSettings c;
  c.ControlIndex = 9;  // does not fit the list below
  NameTable control = ParseNameTable("01 Modulation\n07 Volume\n", "CONTROL.TXT", nullptr);
  NameTable meta = ParseNameTable("06 Marker\n", "META.TXT", nullptr);
  TEventCutterDlg dlg(c, control, meta, 0);
  EXPECT_FALSE(dlg.pnlNotes->isHidden());
  Type(dlg.edFromVAL, "e3");
  dlg.show();
  QTest::keyClick(dlg.edFromVAL, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(dlg.edUptoVal->text(), "E  3");
  EXPECT_EQ(dlg.result(), 0) << "Shift+Enter only copies";
  dlg.cmbSTAT->setCurrentIndex(kCutControl);
  EXPECT_EQ(dlg.cmbVAL1->count(), 2);
  EXPECT_EQ(dlg.cmbVAL1->currentIndex(), 0) << "a remembered index off the list starts again at 0";
  dlg.cmbVAL1->setCurrentIndex(1);
  QTest::keyClick(dlg.edFromVAL, Qt::Key_Return);
  EXPECT_EQ(c.Status, 0xB0);
  EXPECT_EQ(c.Low, 7);
  EXPECT_EQ(c.High, 7);
  EXPECT_EQ(c.ControlIndex, 1);
}

TEST(EditDialogs, SetDialogs) {
  App();
  TBPMDlg bpm;
  EXPECT_EQ(bpm.Bpm(), 120);
  bpm.edBPM->setText("abc");
  EXPECT_EQ(bpm.Bpm(), 120);
  bpm.edBPM->setText("1000");
  EXPECT_EQ(bpm.Bpm(), 500);
  TMeterDlg meter;
  EXPECT_EQ(meter.Value(), 0x04021808u);
  meter.tsbtNnDown->click();
  meter.cmbDd->setCurrentIndex(3);
  EXPECT_EQ(meter.Value(), 0x03031808u);
  // A whole meter typed into the numerator box, as the strip shows one.
  struct MeterCase {
    const char* typed;
    uint32_t value;
    const char* numerator;
    const char* denominator;
  } meters[] = {{"6/8", 0x06031808u, "6", "8"},
                {" 12 / 16 ", 0x0C041808u, "12", "16"},
                {"5/7", 0x05041808u, "5", "16"},  // no such item: the list keeps its choice
                {"7", 0x07041808u, "7", "16"}};
  for (const auto& m : meters) {
    SCOPED_TRACE(m.typed);
    meter.edNn->setText(QString::fromLatin1(m.typed));
    EXPECT_EQ(meter.Value(), m.value);
    EXPECT_EQ(meter.edNn->text().toStdString(), m.numerator);
    EXPECT_EQ(meter.cmbDd->currentText().toStdString(), m.denominator);
  }
  meter.edNn->setText(QStringLiteral("2/4"));
  meter.tsbtNnUp->click();
  EXPECT_EQ(meter.Value(), 0x03021808u);
  TKeySigDlg key(nullptr, KeyValue(2, false));
  EXPECT_EQ(key.cmbKey->currentText(), "D  Major / B  Minor (# 2)");
  key.rbtMinor->setChecked(true);
  EXPECT_EQ(key.Value(), KeyValue(2, true));
}

TEST(EditMenus, PopupEnablesByRangeAndClipboard) {
  App();
  QWidget window;
  Song song;
  song.RebuildMaps();
  TEditController edit(song, &window);
  QMenu* pop = edit.PopEditMenu();
  auto item = [pop](const char* name) { return pop->findChild<QAction*>(name); };
  ASSERT_NE(item("popCopy"), nullptr);
  EXPECT_EQ(item("popCopy")->text(), "コピー(&C)");
  EXPECT_EQ(item("popKeysig")->data().toInt(), 14);
  EXPECT_EQ(item("popRedo")->data().toInt(), 21);
  edit.Dispatcher().Range.EditToTick = 0;
  emit pop->aboutToShow();
  EXPECT_FALSE(item("popCopy")->isEnabled());
  EXPECT_FALSE(item("popPaste")->isEnabled());
  EXPECT_FALSE(item("popUndo")->isEnabled());
  item("popCopy")->trigger();
  EXPECT_EQ(song.ClipLength, 0u) << "a disabled item does nothing";
  edit.Dispatcher().Range.EditToTick = 480;
  emit pop->aboutToShow();
  EXPECT_TRUE(item("popCopy")->isEnabled());
  item("popCopy")->trigger();
  emit pop->aboutToShow();
  EXPECT_TRUE(item("popPaste")->isEnabled());
  item("popErase")->trigger();
  EXPECT_TRUE(item("popUndo")->isEnabled());
  EXPECT_FALSE(item("popRedo")->isEnabled());
  QMenu* menu = edit.EditMenu();
  EXPECT_EQ(menu->title(), "編集(&E)");
  EXPECT_EQ(menu->findChild<QAction*>("popPaste")->shortcut(), QKeySequence(QKeySequence::Paste));
  EXPECT_EQ(menu->findChild<QAction*>("popUndo")->shortcut(), QKeySequence(QKeySequence::Undo));
}


// The window's strip is nearly all boxes, so the Edit menu's keys must reach
// the menu while a range box has the focus.
TEST(EditMenus, EditKeysTypedInARangeBoxRunTheCommands) {
  App();
  QMainWindow window;
  auto* strip = new QWidget(&window);
  auto* box = new QLineEdit(QStringLiteral("001/01/000"), strip);
  (new QVBoxLayout(strip))->addWidget(box);
  window.setCentralWidget(strip);
  Song song;
  song.RebuildMaps();
  TEditController edit(song, &window);
  window.menuBar()->addMenu(edit.EditMenu());
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  box->setFocus();
  edit.Dispatcher().Range.EditToTick = 480;
  QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(song.ClipLength, 480u) << "Ctrl+C copied the range";
  QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
  EXPECT_TRUE(edit.Dispatcher().Undo().UndoEnabled) << "Ctrl+X cut";
  QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(edit.Dispatcher().Undo().ButtonCaption, "Redo") << "Ctrl+Z undid the cut";
  EXPECT_EQ(box->text(), "001/01/000");
}

}  // namespace
}  // namespace melko

namespace melko {
namespace {

// Answers the next modal dialog with a key on one of its boxes.
void AnswerNextDialog(const char* box, Qt::Key key, const QString& text = QString()) {
  QTimer::singleShot(0, [box, key, text] {
    QWidget* dlg = QApplication::activeModalWidget();
    ASSERT_NE(dlg, nullptr);
    auto* edit = dlg->findChild<QLineEdit*>(box);
    ASSERT_NE(edit, nullptr) << box;
    if (!text.isNull()) edit->setText(text);
    QTest::keyClick(edit, key);
  });
}

TEST(EditMenus, ToolFromThePopupMenuAndItsUndo) {
  App();
  QWidget window;
  Song song;
  song.RebuildMaps();
  TMidiData& t = song.Tracks[1];
  uint32_t last = 0;
  TMidiEvent note;
  note.Status = 0x90;
  note.Data1 = 60;
  note.Data2 = 100;
  note.Value = 100;
  EncodeEvent(t, note, last, 0, song.MaxGate());
  const std::string before(reinterpret_cast<const char*>(t.Top()), t.Length());
  TEditController edit(song, &window);
  std::string caption;
  edit.Hooks.UndoChanged = [&](const UndoMenuState& u) { caption = u.ButtonCaption + ":" + u.ButtonHint; };
  QAction* transpose = edit.PopEditMenu()->findChild<QAction*>("popTranspose");
  AnswerNextDialog("edTo", Qt::Key_Return, "D4");  // from C3 to D4: 14 semitones up
  transpose->trigger();
  EXPECT_EQ(TrackWalker(song.Tracks[1]).Next().Data1, 74);
  EXPECT_EQ(caption, "Undo:Transpose");
  // A cancelled dialog leaves the tracks and the undo state as they were.
  AnswerNextDialog("edQPerc", Qt::Key_Escape);
  edit.PopEditMenu()->findChild<QAction*>("popQuantize")->trigger();
  EXPECT_EQ(TrackWalker(song.Tracks[1]).Next().Data1, 74);
  edit.Run(kCmdUndo);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(song.Tracks[1].Top()), song.Tracks[1].Length()), before);
  EXPECT_EQ(caption, "Redo:Transpose");
  EXPECT_EQ(edit.Dispatcher().Tools.Transpose.ToNote, 74) << "the settings live on";
}

TEST(EditMenus, SetMeterOffAMeasureStartShowsTheMessage) {
  App();
  QWidget window;
  Song song;
  song.RebuildMaps();
  TEditController edit(song, &window);
  std::vector<std::string> errors;
  edit.Hooks.ShowError = [&](const std::string& text) { errors.push_back(text); };
  edit.Dispatcher().Range.EditFromTick = 100;
  edit.Run(kCmdMeter);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], kMsgNotMeasureStart);
  EXPECT_FALSE(edit.Dispatcher().Undo().UndoEnabled);
}

}  // namespace
}  // namespace melko
