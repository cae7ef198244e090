// The SysEx input dialog driven offscreen: the group tree and the list, the
// fields for known and unknown messages, Enter in the hex box, the warning
// box, the variable fields in hexadecimal, named messages, and InputSysEx
// with OK, Cancel, a double click and a refused OK.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>

#include "sysex/ui/sysex_dlg.h"
#include "sysex/ui/sysex_spin_edit.h"

#include "qt_app.h"

namespace melko {
namespace {

using test::App;

const TSysExTableTexts kTables = {
    "[Switch]\n0=Off\n1=On\n",
    "[Offset64]\nRange=1 00 7F 40\n",
    "[Signed]\nRange=Offset64\nUnits=st\n[OnOff]\nTable=Switch\n",
    "[dd]\nName=Device ID\nFormat=%x\n",
    "[GS]\nData=41 dd 42 12\nDefDevID=10\nBgnCheckSum=5\n",
    "[Key Shift]\nModel=GS\nAddress=40 00 05\nType=Signed\nGroup=GS\\System\n"
    "[Part 1 Rx]\nModel=GS\nAddress=40 11 02\nType=OnOff\nDefault=1\nGroup=GS\\Part\n"
    "[Part 2 Rx]\nModel=GS\nAddress=40 12 02\nType=OnOff\nDefault=1\nGroup=GS\\Part\n"
    "[Other]\nModel=GS\nAddress=41 00 00\n"};

const std::vector<std::string> kNames = {"GS Reset", "Shift +3"};
const std::vector<std::string> kHexTexts = {"F0 41 10 42 12 40 00 7F 00 41 F7", "f0 41 10 42 12 ss 40 00 05 43 f7"};

constexpr const char* kUnknown = "F0 41 10 42 12 40 7F 7F 00 42 F7";
constexpr const char* kShift0 = "F0 41 10 42 12 40 00 05 40 7B F7";

QStringList Listed(const QListWidget& list) {
  QStringList out;
  for (int i = 0; i < list.count(); ++i) out << list.item(i)->text();
  return out;
}

// Runs `act` on the first visible top-level widget of type W once it is shown.
template <typename W>
void WhenShown(std::function<void(W&)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dlg = qobject_cast<W*>(w); dlg && dlg->isVisible()) {
        timer->stop();
        timer->deleteLater();
        act(*dlg);
        return;
      }
  });
  timer->start();
}

class SysExDialog : public ::testing::Test {
 protected:
  SysExDialog() {
    App();
    EXPECT_TRUE(nodes.LoadTexts(kTables)) << nodes.LoadError();
  }
  TSysExParamNodes nodes;
};

TEST_F(SysExDialog, GroupTreeAndParameterList) {
  TSysExInputDlg dlg(nodes, kNames, kHexTexts);
  QTreeWidgetItem* all = dlg.tvSysEx->topLevelItem(0);
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(dlg.tvSysEx->topLevelItemCount(), 1);
  EXPECT_EQ(all->text(0), QStringLiteral("All"));
  EXPECT_TRUE(all->isExpanded());
  EXPECT_EQ(dlg.tvSysEx->currentItem(), all);
  EXPECT_EQ(Listed(*dlg.lbxSysEx), (QStringList{"Key Shift", "Part 1 Rx", "Part 2 Rx", "Other"}));

  ASSERT_EQ(all->childCount(), 2);  // "GS" and the default group "Other"
  QTreeWidgetItem* gs = all->child(0);
  EXPECT_EQ(gs->text(0), QStringLiteral("GS"));
  ASSERT_EQ(gs->childCount(), 2);
  EXPECT_EQ(gs->child(0)->text(0), QStringLiteral("System"));
  EXPECT_EQ(gs->child(1)->text(0), QStringLiteral("Part"));

  dlg.tvSysEx->setCurrentItem(gs);
  EXPECT_EQ(Listed(*dlg.lbxSysEx), (QStringList{"Key Shift", "Part 1 Rx", "Part 2 Rx"}));
  dlg.tvSysEx->setCurrentItem(gs->child(1));
  EXPECT_EQ(Listed(*dlg.lbxSysEx), (QStringList{"Part 1 Rx", "Part 2 Rx"}));
  EXPECT_TRUE(dlg.edSysExHexStr->text().isEmpty());  // listing picks nothing

  // A click picks the parameter with its default value.
  dlg.show();
  QListWidgetItem* rx = dlg.lbxSysEx->item(1);
  QTest::mouseClick(dlg.lbxSysEx->viewport(), Qt::LeftButton, {}, dlg.lbxSysEx->visualItemRect(rx).center());
  EXPECT_EQ(dlg.cmbSysExDisp->currentText(), QStringLiteral("Part 2 Rx"));
  EXPECT_EQ(dlg.cmbSysExTable->currentText(), QStringLiteral("On (001)"));
  ASSERT_EQ(dlg.cmbSysExTable->count(), 2);
  EXPECT_EQ(dlg.cmbSysExTable->itemText(0), QStringLiteral("Off"));
  // Choosing a table entry applies its value.
  emit dlg.cmbSysExTable->activated(0);
  EXPECT_EQ(dlg.cmbSysExTable->currentText(), QStringLiteral("Off (000)"));
  EXPECT_EQ(dlg.edSysExHexStr->text(), QStringLiteral("F0 41 10 42 12 40 12 02 00 2C F7"));
}

TEST_F(SysExDialog, UnknownBodyAndKnownParameter) {
  TSysExInputDlg dlg(nodes, kNames, kHexTexts);
  dlg.SetInitialText(kUnknown);
  EXPECT_EQ(dlg.edSysExHexStr->text(), QString::fromLatin1(kUnknown));
  EXPECT_TRUE(dlg.cmbSysExTable->currentText().isEmpty());
  EXPECT_TRUE(dlg.cmbSysExDisp->currentText().isEmpty());
  EXPECT_FALSE(dlg.cmbSysExTable->isEnabled());
  EXPECT_FALSE(dlg.mveValue->isEnabled());
  EXPECT_TRUE(dlg.mveExtra0->isEnabled());
  EXPECT_TRUE(dlg.lbExtra0->isEnabled());
  EXPECT_FALSE(dlg.mveExtra1->isEnabled());
  EXPECT_EQ(dlg.lbExtra0->text(), QStringLiteral("Device ID"));
  EXPECT_EQ(dlg.mveExtra0->text(), QStringLiteral("10"));  // hexadecimal, two digits
  EXPECT_EQ(dlg.mveExtra0->Tag, 1);
  EXPECT_EQ(dlg.lbxSysEx->currentRow(), -1);

  dlg.SetInitialText(kShift0);
  EXPECT_EQ(dlg.cmbSysExDisp->currentText(), QStringLiteral("Key Shift"));
  EXPECT_EQ(dlg.lbxSysEx->currentRow(), 0);  // the opened parameter is selected
  EXPECT_TRUE(dlg.mveValue->isEnabled());
  EXPECT_EQ(dlg.mveValue->minimum(), -64);
  EXPECT_EQ(dlg.mveValue->maximum(), 63);

  // A value typed into the hex box, with Enter.
  dlg.show();
  dlg.edSysExHexStr->setFocus();
  dlg.edSysExHexStr->clear();
  QTest::keyClicks(dlg.edSysExHexStr, "7");
  QTest::keyClick(dlg.edSysExHexStr, Qt::Key_Return);
  EXPECT_EQ(dlg.edSysExHexStr->text(), QStringLiteral("F0 41 10 42 12 40 00 05 47 74 F7"));
  EXPECT_EQ(dlg.edSysExHexStr->selectedText(), dlg.edSysExHexStr->text());
  EXPECT_EQ(dlg.cmbSysExTable->currentText(), QStringLiteral("+7 st"));
  EXPECT_EQ(dlg.mveValue->value(), 7);
  EXPECT_TRUE(dlg.isVisible());  // Enter is the box's, not OK's

  // The value box and a device number typed in hexadecimal.
  dlg.mveValue->setValue(-5);
  EXPECT_EQ(dlg.cmbSysExTable->currentText(), QStringLiteral("-5 st"));
  dlg.mveExtra0->setFocus();
  dlg.mveExtra0->selectAll();
  QTest::keyClicks(dlg.mveExtra0, "7F");
  QTest::keyClick(dlg.mveExtra0, Qt::Key_Return);
  EXPECT_EQ(dlg.edSysExHexStr->text(), QStringLiteral("F0 41 7F 42 12 40 00 05 3B 00 F7"));
}

TEST_F(SysExDialog, ValueBoxAndLeavingTheBoxes) {
  TSysExInputDlg dlg(nodes, kNames, kHexTexts);
  dlg.SetInitialText(kShift0);
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  // Enter in the value box applies its text and selects it.
  dlg.cmbSysExTable->setFocus();
  dlg.cmbSysExTable->setEditText(QStringLiteral("12"));
  QTest::keyClick(dlg.cmbSysExTable, Qt::Key_Return);
  EXPECT_EQ(dlg.cmbSysExTable->currentText(), QStringLiteral("+12 st"));
  EXPECT_EQ(dlg.cmbSysExTable->lineEdit()->selectedText(), QStringLiteral("+12 st"));
  // Leaving it applies too.
  dlg.cmbSysExTable->setEditText(QStringLiteral("-1"));
  dlg.edSysExHexStr->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(dlg.cmbSysExTable->currentText(), QStringLiteral("-1 st"));
  // And so does leaving the hex box, but not for OK or Cancel, which decide themselves.
  dlg.edSysExHexStr->setText(QStringLiteral("4"));
  dlg.tvSysEx->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(dlg.cmbSysExTable->currentText(), QStringLiteral("+4 st"));
  bool warned = false;
  dlg.ShowWarning = [&](const std::string&) { warned = true; };
  dlg.edSysExHexStr->setFocus(Qt::TabFocusReason);
  dlg.edSysExHexStr->setText(QStringLiteral("F0 99 F7"));
  dlg.btCancel->setFocus(Qt::TabFocusReason);
  EXPECT_FALSE(warned);
  EXPECT_EQ(dlg.edSysExHexStr->text(), QStringLiteral("F0 99 F7"));  // Cancel drops it unread
}

TEST_F(SysExDialog, RefusedTextWarnsAndKeepsTheBody) {
  TSysExInputDlg dlg(nodes, kNames, kHexTexts);
  dlg.SetInitialText(kUnknown);
  dlg.show();
  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QPoint pointer;
  WhenShown<QMessageBox>([&](QMessageBox& box) {
    caption = box.windowTitle();
    text = box.text();
    icon = box.icon();
    pointer = QCursor::pos();
    box.accept();
  });
  dlg.edSysExHexStr->setFocus();
  dlg.edSysExHexStr->setText(QStringLiteral("5"));
  QTest::keyClick(dlg.edSysExHexStr, Qt::Key_Return);
  EXPECT_EQ(caption, QStringLiteral("警告"));
  EXPECT_EQ(text, QString::fromStdString(TSysExParamNodes::ErrorText(1)));
  EXPECT_EQ(icon, QMessageBox::Warning);
  const QRect screen = dlg.screen()->geometry();
  EXPECT_EQ(pointer, screen.center() + QPoint(10, 35));
  EXPECT_EQ(dlg.edSysExHexStr->text(), QString::fromLatin1(kUnknown));  // the body as it was
}

TEST_F(SysExDialog, NamedMessages) {
  TSysExInputDlg dlg(nodes, kNames, kHexTexts);
  ASSERT_EQ(dlg.cmbSysExDisp->count(), 2);
  EXPECT_EQ(dlg.cmbSysExDisp->itemText(1), QStringLiteral("Shift +3"));
  emit dlg.cmbSysExDisp->activated(1);
  EXPECT_EQ(dlg.edSysExHexStr->text(), QStringLiteral("F0 41 10 42 12 40 00 05 43 78 F7"));
  EXPECT_EQ(dlg.cmbSysExDisp->currentText(), QStringLiteral("Key Shift"));
  EXPECT_EQ(dlg.cmbSysExTable->currentText(), QStringLiteral("+3 st"));
  emit dlg.cmbSysExDisp->activated(0);  // GS Reset is no parameter of these tables
  EXPECT_EQ(dlg.edSysExHexStr->text(), QString::fromLatin1(kHexTexts[0].c_str()));
  EXPECT_TRUE(dlg.cmbSysExDisp->currentText().isEmpty());
}

TEST_F(SysExDialog, InputSysExOkCancelAndDoubleClick) {
  WhenShown<TSysExInputDlg>([](TSysExInputDlg& dlg) {
    dlg.edSysExHexStr->setText(QStringLiteral("-2"));
    QTest::mouseClick(dlg.btOk, Qt::LeftButton);
  });
  EXPECT_EQ(InputSysEx(nodes, kShift0, QPoint(10, 10), kNames, kHexTexts), "F0 41 10 42 12 40 00 05 3E 7D F7");

  WhenShown<TSysExInputDlg>([](TSysExInputDlg& dlg) {
    dlg.edSysExHexStr->setText(QStringLiteral("9"));
    QTest::mouseClick(dlg.btCancel, Qt::LeftButton);
  });
  EXPECT_EQ(InputSysEx(nodes, kShift0, QPoint(10, 10), kNames, kHexTexts), "");

  // Esc from a box holding a refused text closes without a warning.
  bool warned = false;
  WhenShown<TSysExInputDlg>([&warned](TSysExInputDlg& dlg) {
    dlg.ShowWarning = [&warned](const std::string&) { warned = true; };
    dlg.edSysExHexStr->setFocus();
    dlg.edSysExHexStr->setText(QStringLiteral("F0 99"));
    QTest::keyClick(dlg.edSysExHexStr, Qt::Key_Escape);
  });
  EXPECT_EQ(InputSysEx(nodes, kShift0, QPoint(10, 10), kNames, kHexTexts), "");
  EXPECT_FALSE(warned);

  WhenShown<TSysExInputDlg>([](TSysExInputDlg& dlg) {
    QListWidgetItem* item = dlg.lbxSysEx->item(1);
    const QPoint at = dlg.lbxSysEx->visualItemRect(item).center();
    QTest::mouseClick(dlg.lbxSysEx->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(dlg.lbxSysEx->viewport(), Qt::LeftButton, {}, at);
  });
  EXPECT_EQ(InputSysEx(nodes, "", QPoint(10, 10), kNames, kHexTexts), "F0 41 10 42 12 40 11 02 01 2C F7");
}

TEST_F(SysExDialog, RefusedOkStaysOpen) {
  bool warned = false, openAfter = false;
  WhenShown<TSysExInputDlg>([&](TSysExInputDlg& dlg) {
    dlg.ShowWarning = [&](const std::string&) { warned = true; };
    dlg.edSysExHexStr->setText(QStringLiteral("F0 80 F7"));
    QTest::mouseClick(dlg.btOk, Qt::LeftButton);
    openAfter = dlg.isVisible();
    EXPECT_EQ(dlg.edSysExHexStr->text(), QString::fromLatin1(kShift0));
    QTest::mouseClick(dlg.btOk, Qt::LeftButton);  // the restored text is accepted
  });
  EXPECT_EQ(InputSysEx(nodes, kShift0, QPoint(10, 10), kNames, kHexTexts), kShift0);
  EXPECT_TRUE(warned);
  EXPECT_TRUE(openAfter);
}

TEST(SysExDialogPlace, KeptOnScreen) {
  const QRect screen(0, 0, 800, 600);
  EXPECT_EQ(KeepOnScreen(QPoint(100, 50), QSize(300, 200), screen), QPoint(100, 50));
  EXPECT_EQ(KeepOnScreen(QPoint(700, 550), QSize(300, 200), screen), QPoint(500, 400));
  EXPECT_EQ(KeepOnScreen(QPoint(-20, -5), QSize(300, 200), screen), QPoint(0, 0));
  EXPECT_EQ(KeepOnScreen(QPoint(100, 100), QSize(900, 700), screen), QPoint(0, 0));  // too big: top-left shows
}

}  // namespace
}  // namespace melko
