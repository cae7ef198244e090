#include "app/out_of_memory.h"

#include <QMessageBox>
#include <new>

namespace melko {

const char* const kMsgOutOfMemory = "メモリが確保できませんでした!";

MelkoApplication::MelkoApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool MelkoApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    // The command that ran out ends here; what it had done so far stays.
    try {
      if (OutOfMemory) OutOfMemory();
      else QMessageBox::warning(nullptr, QStringLiteral("MELKO"), QString::fromUtf8(kMsgOutOfMemory));
    } catch (const std::bad_alloc&) {
      // Not even the message fits: the command still ends, the program goes on.
    }
    return false;
  }
}

}  // namespace melko
