// One QApplication for a test program's window tests, on the offscreen
// platform.
#pragma once

#include <QApplication>
#include <cstdlib>

namespace melko::test {

// The program's one QApplication, made on first use.
inline QApplication& App() {
  static QApplication* app = [] {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return existing;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "melko_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace melko::test
