// The computer keyboard's event filter on real windows: key events with
// native scan codes as X11 sends them, the lock key, and the releases on
// deactivation and menus.
#include "midi/ui/kanabun_manager.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "qt_app.h"
#include "midi/relay_rig.h"

namespace melko::test {
namespace {

constexpr quint32 kXkbC = 0x2E + 8, kXkbV = 0x2F + 8, kXkbCaps = 0x3A + 8;

// A window with a text box holding the focus, a component registered with
// it, and Caps Lock as the test says.
struct KeyWindow {
  // The application comes before the window member (a test may run alone).
  bool appReady = (App(), true);
  RelayRig rig;
  bool caps = true;
  QWidget window;
  QLineEdit* edit;
  TmKanabun k;
  std::unique_ptr<TmKanabunRegistration> reg;
  int toggles = 0;

  KeyWindow() {
    App();
    TmKanabunManager::SetLockReader([this](int) { return std::optional<bool>(caps); });
    edit = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(edit);
    k.Relay = &rig.relay;
    k.OnToggleChanged = [this] { ++toggles; };
    reg = std::make_unique<TmKanabunRegistration>(k, &window);
    window.show();
    window.activateWindow();
    edit->setFocus();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  ~KeyWindow() {
    reg.reset();
    TmKanabunManager::SetLockReader({});
  }
  // A key as the window system delivers it: to the window first.
  bool Key(QEvent::Type type, int qtKey, quint32 native, Qt::KeyboardModifiers mods = Qt::NoModifier,
           const QString& text = {}, bool repeat = false) {
    QKeyEvent e(type, qtKey, mods, native, 0, 0, text, repeat);
    QCoreApplication::sendEvent(window.windowHandle(), &e);
    return e.isAccepted();
  }
  void Press(int qtKey, quint32 native, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    Key(QEvent::KeyPress, qtKey, native, mods, text);
  }
  void Release(int qtKey, quint32 native, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Key(QEvent::KeyRelease, qtKey, native, mods);
  }
};

TEST(KanabunManager, LivesFromTheFirstComponentToTheLast) {
  App();
  EXPECT_EQ(TmKanabunManager::Instance(), nullptr);
  QWidget w1, w2;
  TmKanabun a, b;
  {
    TmKanabunRegistration ra(a, &w1);
    TmKanabunManager* m = TmKanabunManager::Instance();
    ASSERT_NE(m, nullptr);
    {
      TmKanabunRegistration rb(b, &w2);
      EXPECT_EQ(TmKanabunManager::Instance(), m);
    }
    EXPECT_EQ(TmKanabunManager::Instance(), m);
  }
  EXPECT_EQ(TmKanabunManager::Instance(), nullptr);
}

TEST(KanabunManager, NoteKeysPlayAndAreNotTyped) {
  KeyWindow w;
  ASSERT_TRUE(TmKanabunManager::Instance()->InputOn());
  ASSERT_EQ(TmKanabunManager::Instance()->ActiveComponent(), &w.k);
  w.Press(Qt::Key_C, kXkbC, Qt::NoModifier, QStringLiteral("c"));
  w.Key(QEvent::KeyPress, Qt::Key_C, kXkbC, Qt::NoModifier, QStringLiteral("c"), true);
  w.Key(QEvent::KeyRelease, Qt::Key_C, kXkbC, Qt::NoModifier, {}, true);
  EXPECT_EQ(w.k.HeldNotes(), std::vector<int>{60}) << "auto-repeat keeps the note";
  w.Press(Qt::Key_V, kXkbV, Qt::ShiftModifier, QStringLiteral("V"));
  EXPECT_EQ(w.k.HeldNotes(), (std::vector<int>{60, 62})) << "Shift+V plays";
  w.Release(Qt::Key_C, kXkbC);
  w.Release(Qt::Key_V, kXkbV);
  EXPECT_EQ(w.rig.Notes(), (std::vector<std::string>{"+60", "+62", "-60", "-62"}));
  EXPECT_EQ(w.edit->text(), QString()) << "consumed keys never reach the box";

  w.Press(Qt::Key_C, kXkbC, Qt::ControlModifier);
  EXPECT_TRUE(w.k.HeldNotes().empty()) << "Ctrl+C is no note";
  w.Release(Qt::Key_C, kXkbC, Qt::ControlModifier);

  // A shortcut must not fire on a key that plays; Ctrl+C keeps its own.
  QWidget plain(&w.window);
  QKeyEvent asPlayed(QEvent::ShortcutOverride, Qt::Key_C, Qt::NoModifier, kXkbC, 0, 0, QStringLiteral("c"));
  asPlayed.ignore();
  QCoreApplication::sendEvent(&plain, &asPlayed);
  EXPECT_TRUE(asPlayed.isAccepted());
  QKeyEvent asShortcut(QEvent::ShortcutOverride, Qt::Key_C, Qt::ControlModifier, kXkbC, 0, 0, {});
  asShortcut.ignore();
  QCoreApplication::sendEvent(&plain, &asShortcut);
  EXPECT_FALSE(asShortcut.isAccepted());
  EXPECT_TRUE(w.k.HeldNotes().empty()) << "asking about an override plays nothing";
}

TEST(KanabunManager, LockKeyOffLetsKeysType) {
  KeyWindow w;
  w.caps = false;
  w.Press(Qt::Key_CapsLock, kXkbCaps);
  w.Release(Qt::Key_CapsLock, kXkbCaps);
  EXPECT_FALSE(TmKanabunManager::Instance()->InputOn());
  EXPECT_EQ(w.toggles, 1);
  w.Press(Qt::Key_C, kXkbC, Qt::NoModifier, QStringLiteral("c"));
  w.Release(Qt::Key_C, kXkbC);
  EXPECT_EQ(w.edit->text(), QStringLiteral("c"));
  EXPECT_TRUE(w.rig.Notes().empty());

  w.caps = true;
  w.Press(Qt::Key_CapsLock, kXkbCaps);
  w.Release(Qt::Key_CapsLock, kXkbCaps);
  w.Press(Qt::Key_C, kXkbC, Qt::NoModifier, QStringLiteral("C"));
  w.caps = false;
  w.Press(Qt::Key_CapsLock, kXkbCaps);
  w.Release(Qt::Key_CapsLock, kXkbCaps);
  EXPECT_EQ(w.rig.Notes(), (std::vector<std::string>{"+60", "-60"})) << "switching off silences";
  EXPECT_EQ(w.toggles, 3);
}

TEST(KanabunManager, PageKeysMoveTheOctave) {
  KeyWindow w;
  w.Press(Qt::Key_PageUp, 112 + 8);
  w.Release(Qt::Key_PageUp, 112 + 8);
  w.Press(Qt::Key_PageUp, 112 + 8, Qt::ShiftModifier);
  EXPECT_EQ(w.k.Octave(), 6);
  EXPECT_EQ(w.k.Transpose(), 1);
}

TEST(KanabunManager, NotesEndWhenTheWindowLosesTheKeyboard) {
  KeyWindow w;
  w.Press(Qt::Key_C, kXkbC);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_TRUE(w.k.HeldNotes().empty()) << "deactivated";
  EXPECT_EQ(TmKanabunManager::Instance()->ActiveComponent(), nullptr);
  w.Press(Qt::Key_V, kXkbV);
  EXPECT_TRUE(w.k.HeldNotes().empty()) << "keys of another window are not ours";
  other.hide();

  w.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
  w.Press(Qt::Key_C, kXkbC);
  QMenu menu(&w.window);
  menu.addAction(QStringLiteral("Item"));
  menu.popup(QPoint(10, 10));
  EXPECT_TRUE(w.k.HeldNotes().empty()) << "a menu opened";
  EXPECT_EQ(TmKanabunManager::Instance()->ActiveComponent(), nullptr) << "the menu has the keys";
  menu.close();

  w.Press(Qt::Key_C, kXkbC);
  ASSERT_EQ(w.k.HeldNotes(), std::vector<int>{60});
  QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
  QCoreApplication::sendEvent(w.edit, &out);
  EXPECT_TRUE(w.k.HeldNotes().empty()) << "focus lost";
  EXPECT_EQ(w.rig.Notes(), (std::vector<std::string>{"+60", "-60", "+60", "-60", "+60", "-60"}));
}

TEST(KanabunManager, SettingsReachTheTableAndReleaseFirst) {
  KeyWindow w;
  constexpr quint32 kXkbE = 0x12 + 8;
  w.Press(Qt::Key_E, kXkbE, Qt::NoModifier, QStringLiteral("e"));
  EXPECT_TRUE(w.k.HeldNotes().empty());
  w.Release(Qt::Key_E, kXkbE);
  w.Press(Qt::Key_C, kXkbC);
  TmKanabunManager::SetUpperEnabled(true);
  EXPECT_TRUE(w.k.HeldNotes().empty()) << "a new table would leave the note without its key";
  w.Press(Qt::Key_E, kXkbE);
  EXPECT_EQ(w.k.HeldNotes(), std::vector<int>{72});
  w.Release(Qt::Key_E, kXkbE);
  TmKanabunManager::SetUpperEnabled(false);

  TmKanabunManager::SetToggleType(1);
  EXPECT_EQ(TmKanabunManager::Instance()->Keys().ToggleType(), 1);
  TmKanabunManager::SetToggleType(5);
  EXPECT_EQ(TmKanabunManager::ToggleType(), 1) << "refused";
  TmKanabunManager::SetToggleType(0);
}

}  // namespace
}  // namespace melko::test
