// Running out of memory ends the command that ran into it, not the program:
// the application object catches std::bad_alloc around every event it
// delivers (a menu item, a button, a box, a timer, a handed-over file) and
// shows the out-of-memory message; the commands that replace or rebuild the
// song catch it themselves first, so that the song stays as it was.
// UI thread.
#pragma once

#include <QApplication>
#include <functional>

namespace melko {

extern const char* const kMsgOutOfMemory;

class MelkoApplication : public QApplication {
 public:
  MelkoApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  // Shows the message; a plain warning box until the window sets its own.
  std::function<void()> OutOfMemory;
};

}  // namespace melko
