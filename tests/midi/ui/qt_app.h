// One QApplication for the MIDI layer's window tests, on the offscreen
// platform.
#pragma once

#include <QApplication>
#include <cstdlib>

namespace melko::test {

inline QApplication& App() {
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "melko_midi_ui_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace melko::test
