#include "app/user_prompt.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>

namespace melko {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
// A chosen file's name as the file system spells it (the way Qt decoded it).
std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }
// Message texts may carry the Windows line breaks of the originals.
QString MessageText(const std::string& s) { return Q(s).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// A box shown during a load gets the normal pointer, not the hourglass.
class ArrowWhileAsking {
 public:
  ArrowWhileAsking() : busy_(QApplication::overrideCursor() != nullptr) {
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~ArrowWhileAsking() {
    if (busy_) QApplication::restoreOverrideCursor();
  }

 private:
  bool busy_;
};
}  // namespace

PointerMove::PointerMove(int dx, int dy) {
  QPoint old = QCursor::pos();
  oldX_ = old.x();
  oldY_ = old.y();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect g = screen->geometry();
    QCursor::setPos(g.width() / 2 + dx, g.height() / 2 + dy);
  }
}

PointerMove::~PointerMove() { QCursor::setPos(oldX_, oldY_); }

void QtUserPrompt::ShowError(const std::string& text) {
  ArrowWhileAsking arrow;
  PointerMove move(10, 35);
  QApplication::beep();
  QMessageBox::warning(parent_, QStringLiteral("MELKO"), MessageText(text), QMessageBox::Ok);
}

bool QtUserPrompt::AskYesNo(const std::string& text) {
  ArrowWhileAsking arrow;
  PointerMove move(-20, 30);
  return QMessageBox::question(parent_, QStringLiteral("MELKO"), MessageText(text),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

UserPrompt::Answer QtUserPrompt::AskYesNoCancel(const std::string& text) {
  ArrowWhileAsking arrow;
  PointerMove move(-20, 30);
  auto r = QMessageBox::question(parent_, QStringLiteral("MELKO"), MessageText(text),
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  return r == QMessageBox::Yes ? kYes : r == QMessageBox::No ? kNo : kCancel;
}

std::string QtUserPrompt::ChooseOpenFile(const std::string& title, const std::string& start,
                                         const std::string& filter) {
  if (OpenDialog) return OpenDialog(title, start);
  QFileDialog::Options options;
  if (OwnFileDialogs) options |= QFileDialog::DontUseNativeDialog;
  return LocalPath(QFileDialog::getOpenFileName(parent_, Q(title), Q(start), Q(filter), nullptr, options));
}

std::string QtUserPrompt::ChooseSaveFile(const std::string& title, const std::string& start,
                                         const std::string& filter, const std::string& defaultSuffix) {
  if (SaveDialog) return SaveDialog(title, start, defaultSuffix);
  QFileDialog dialog(parent_, Q(title), Q(start), Q(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(Q(defaultSuffix));
  dialog.selectFile(Q(start));
  if (OwnFileDialogs) dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return LocalPath(dialog.selectedFiles().first());
}

bool QtUserPrompt::Exec(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

}  // namespace melko
