// A window being destroyed: nothing of it answers the signals its controls
// send while they go.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "app_rig.h"
#include "views/ui/track_form.h"

namespace melko::test {
namespace {

// The window hides while it is destroyed, and the range box that has the
// focus then says editingFinished: its connection to the window must be gone
// by then (the window's part of the object is already destroyed).
TEST(WindowTeardown, ARangeBoxLosingFocusWhileTheWindowDiesReachesNothingOfIt) {
  AppRig rig;
  rig.Start();
  TMkMainForm* form = rig.form.get();
  // The track sheet opens with the window; the main window is the active one here.
  if (form->TrackForm()) form->TrackForm()->hide();
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form));
  QLineEdit* box = form->edStartRange;
  box->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(box->hasFocus()) << "the test needs a focused box";
  int fired = 0;
  bool windowStillConnected = false;
  // Connected after the window's own connection, so it runs after it: when
  // the window's connection still exists here, the window was called.
  QObject::connect(box, &QLineEdit::editingFinished, [&, box, form] {
    ++fired;
    windowStillConnected =
        QObject::disconnect(box, &QLineEdit::editingFinished, static_cast<QObject*>(form), nullptr);
  });
  rig.form.reset();
  EXPECT_GT(fired, 0) << "the box lost its focus during the destruction";
  EXPECT_FALSE(windowStillConnected);
}

}  // namespace
}  // namespace melko::test
