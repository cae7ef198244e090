// The on-screen piano (hit zones, drawing, the mouse) and the note chooser.
#include "midi/ui/piano.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "midi/relay_rig.h"
#include "midi/ui/kanabun_manager.h"
#include "midi/ui/piano_dlg.h"
#include "qt_app.h"

namespace melko::test {
namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

struct Zone {
  const char* name;
  int x, y;
  int note;
};

TEST(Piano, KeyUnderThePointer) {
  App();
  TmPiano piano;  // KeyWidth 9, first white key 28 (note 48), no octave strip
  piano.resize(9 * 20, 60);  // black keys down to y 36
  const Zone zones[] = {
      {"C, lower part", 0, 50, 48},
      {"C, black band left of its black key", 5, 10, 48},
      {"C's right zone is C sharp", 6, 10, 49},
      {"C's right zone only in the black band", 7, 40, 48},
      {"D's left zone is C sharp", 9 + 2, 10, 49},
      {"D past its left zone", 9 + 3, 10, 50},
      {"E's right zone has no black key", 18 + 8, 10, 52},
      {"F's left zone has none", 27 + 1, 10, 53},
      {"B's left zone is A sharp", 54 + 1, 10, 58},
      {"left of the control is clamped", -30, 50, 48},
      {"right of it too: the last key shown", 5000, 50, 81},
  };
  for (const Zone& z : zones) EXPECT_EQ(piano.KeyAt(z.x, z.y), z.note) << z.name;

  piano.SetLeftWhiteKey(200);
  EXPECT_EQ(piano.LeftWhiteKey(), 70);
  EXPECT_EQ(piano.KeyAt(4 * 9, 50), 127) << "G of the top octave";
  EXPECT_EQ(piano.KeyAt(4 * 9 + 8, 10), 127) << "no black key above 127";
  EXPECT_EQ(piano.KeyAt(5 * 9, 50), 127) << "nothing above 127";

  piano.SetShowOctaveNum(true);  // 11 pixels more on top: black band to 11 + 49 * 3 / 5 = 40
  piano.SetLeftWhiteKey(28);
  EXPECT_EQ(piano.KeyAt(7, 39), 49);
  EXPECT_EQ(piano.KeyAt(7, 41), 48);

  piano.SetKeyWidth(2);
  EXPECT_EQ(piano.KeyWidth(), 4);
  piano.SetCenterC(2);
  EXPECT_EQ(piano.CenterC(), 0) << "refused";
}

TEST(Piano, LinesLeftOfEachC) {
  App();
  TmPiano piano;
  piano.resize(9 * 20, 60);
  const QImage img = piano.grab().toImage();
  const int y = 55;
  EXPECT_EQ(img.pixelColor(0, y), QColor(Qt::magenta)) << "left of C 48";
  EXPECT_EQ(img.pixelColor(7 * 9, y), QColor(Qt::blue)) << "left of note 60";
  EXPECT_EQ(img.pixelColor(14 * 9, y), QColor(Qt::magenta)) << "left of C 72";
  EXPECT_EQ(img.pixelColor(9, y), QColor(Qt::black));
  EXPECT_EQ(img.pixelColor(4, y), QColor(Qt::white));
  EXPECT_EQ(img.pixelColor(7, 10), QColor(Qt::black)) << "C sharp's black key";
  piano.SetPressed(49, true);
  EXPECT_NE(piano.grab().toImage().pixelColor(7, 10), QColor(Qt::black)) << "shown pressed";
}

TEST(Piano, MouseDownMoveAndUp) {
  App();
  RelayRig rig;
  TmPiano piano;
  piano.Relay = &rig.relay;
  piano.resize(9 * 20, 60);
  std::vector<std::string> log;
  piano.OnPianoKeyDown = [&](int k) { log.push_back("down " + std::to_string(k)); };
  piano.OnPianoKeyMove = [&](int k) { log.push_back("move " + std::to_string(k)); };
  piano.OnPianoKeyUp = [&](int k) { log.push_back("up " + std::to_string(k)); };

  Mouse(&piano, QEvent::MouseButtonPress, {2, 50}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(piano.IsPressed(48));
  Mouse(&piano, QEvent::MouseMove, {4, 50}, Qt::NoButton, Qt::LeftButton);  // same key
  Mouse(&piano, QEvent::MouseMove, {12, 50}, Qt::NoButton, Qt::LeftButton);
  EXPECT_FALSE(piano.IsPressed(48));
  EXPECT_TRUE(piano.IsPressed(50));
  Mouse(&piano, QEvent::MouseMove, {30, 50}, Qt::NoButton, Qt::NoButton);  // button not held
  Mouse(&piano, QEvent::MouseButtonRelease, {30, 50}, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(piano.IsPressed(50));
  EXPECT_EQ(log, (std::vector<std::string>{"down 48", "move 50", "up 50"}));
  EXPECT_EQ(rig.Notes(), (std::vector<std::string>{"+48", "-48", "+50", "-50"}));

  piano.show();
  Mouse(&piano, QEvent::MouseButtonPress, {7, 10}, Qt::LeftButton, Qt::LeftButton);
  piano.hide();
  EXPECT_EQ(rig.Notes().back(), "-49") << "a hidden piano ends its note";
  EXPECT_EQ(piano.CurrentKey(), -1);
}

// Runs `step` on the note chooser once it is open and active; a chooser the
// step left open is closed with a result that is neither OK nor Cancel.
void WhenOpen(std::function<void(TPianoDlg&)> step) {
  QTimer::singleShot(0, [step = std::move(step)] {
    auto* dlg = qobject_cast<TPianoDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowActive(dlg));
    step(*dlg);
    if (dlg->isVisible()) {
      ADD_FAILURE() << "the chooser is still open";
      dlg->done(-1);
    }
  });
}

TEST(PianoDlg, OkReturnsTheChosenNote) {
  App();
  RelayRig rig;
  int note = 60;
  WhenOpen([&](TPianoDlg& dlg) {
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Piano"));
    EXPECT_EQ(dlg.edNote1->text(), QStringLiteral("C  4")) << "centre C option 1";
    EXPECT_TRUE(dlg.Piano->IsPressed(60));
    EXPECT_EQ(dlg.Piano->LeftWhiteKey(), 7);
    // White key 7 is note 12; the fourth key shown is F 17.
    Mouse(dlg.Piano, QEvent::MouseButtonPress, {3 * 10 + 5, 60}, Qt::LeftButton, Qt::LeftButton);
    Mouse(dlg.Piano, QEvent::MouseButtonRelease, {3 * 10 + 5, 60}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(dlg.Piano->IsPressed(60));
    EXPECT_TRUE(dlg.Piano->IsPressed(17)) << "the choice stays shown after the mouse lets go";
    EXPECT_EQ(dlg.edNote1->text(), QStringLiteral("F  0"));
    dlg.btnRight->click();
    EXPECT_EQ(dlg.Piano->LeftWhiteKey(), 8);
    dlg.btnLeft->click();
    dlg.btnLeft->click();
    EXPECT_EQ(dlg.Piano->LeftWhiteKey(), 6);
    dlg.accept();
  });
  EXPECT_TRUE(TPianoDlg::ChooseNote(note, 1, &rig.relay, nullptr));
  EXPECT_EQ(note, 17);
  EXPECT_EQ(rig.Notes(), (std::vector<std::string>{"+17", "-17"})) << "the key tried sounded";
}

TEST(PianoDlg, CancelKeepsTheNotePassedIn) {
  App();
  int note = 42;
  WhenOpen([](TPianoDlg& dlg) {
    dlg.Select(50);
    dlg.reject();
  });
  EXPECT_FALSE(TPianoDlg::ChooseNote(note, 0, nullptr, nullptr));
  EXPECT_EQ(note, 42);
}

TEST(PianoDlg, ComputerKeysChooseFromOctaveThree) {
  App();
  TmKanabunManager::SetLockReader([](int) { return std::optional<bool>(true); });
  int note = 60;
  WhenOpen([](TPianoDlg& dlg) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, 0x2E + 8, 0, 0, QStringLiteral("c"));
    QCoreApplication::sendEvent(dlg.windowHandle(), &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_C, Qt::NoModifier, 0x2E + 8, 0, 0);
    QCoreApplication::sendEvent(dlg.windowHandle(), &release);
    EXPECT_EQ(dlg.Selected(), 36);
    EXPECT_EQ(dlg.edNote1->text(), QStringLiteral("C  1"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, 28 + 8, 0, 0, QStringLiteral("\r"));
    QCoreApplication::sendEvent(dlg.windowHandle(), &enter);
  });
  EXPECT_TRUE(TPianoDlg::ChooseNote(note, 0, nullptr, nullptr));
  EXPECT_EQ(note, 36);
  TmKanabunManager::SetLockReader({});
  EXPECT_EQ(TmKanabunManager::Instance(), nullptr) << "the dialog's component was the only one";
}

}  // namespace
}  // namespace melko::test
