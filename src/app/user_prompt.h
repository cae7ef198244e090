// Every question, message box, file dialog and modal dialog of the main
// window goes through UserPrompt, so that tests answer them instead of a
// person. QtUserPrompt is the real one: its error box moves the mouse
// pointer to (screen width / 2 + 10, height / 2 + 35) and beeps, its question
// box moves it to (width / 2 - 20, height / 2 + 30); both put the pointer
// back afterwards. UI thread only.
#pragma once

#include <functional>
#include <string>

#include "song/song.h"

class QDialog;
class QWidget;

namespace melko {

class UserPrompt : public SongPrompt {
 public:
  enum Answer { kYes, kNo, kCancel };
  // SongPrompt: ShowError (warning with OK), AskYesNo.
  virtual Answer AskYesNoCancel(const std::string& text) = 0;
  // File dialogs: the chosen path, or "" when cancelled. `filter` is a Qt
  // name filter such as "MIDIﾌｧｲﾙ (*.mid *.rmi)".
  virtual std::string ChooseOpenFile(const std::string& title, const std::string& start,
                                     const std::string& filter) = 0;
  virtual std::string ChooseSaveFile(const std::string& title, const std::string& start,
                                     const std::string& filter, const std::string& defaultSuffix) = 0;
  // Runs a modal dialog; true when it was accepted.
  virtual bool Exec(QDialog& dialog) = 0;
};

class QtUserPrompt : public UserPrompt {
 public:
  explicit QtUserPrompt(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  void ShowError(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  Answer AskYesNoCancel(const std::string& text) override;
  std::string ChooseOpenFile(const std::string& title, const std::string& start,
                             const std::string& filter) override;
  std::string ChooseSaveFile(const std::string& title, const std::string& start, const std::string& filter,
                             const std::string& defaultSuffix) override;
  bool Exec(QDialog& dialog) override;
  // Own (non-native) dialogs, for "FileDialogType" 1.
  bool OwnFileDialogs = false;
  // The file browser's dialogs, for "FileDialogType" 2 (set by InstallFiler).
  std::function<std::string(const std::string& title, const std::string& start)> OpenDialog;
  std::function<std::string(const std::string& title, const std::string& start, const std::string& suffix)>
      SaveDialog;

 private:
  QWidget* parent_;
};

// Moves the mouse pointer for the lifetime of the object and puts it back.
class PointerMove {
 public:
  // Offsets from the centre of the primary screen.
  PointerMove(int dx, int dy);
  ~PointerMove();
  PointerMove(const PointerMove&) = delete;
  PointerMove& operator=(const PointerMove&) = delete;

 private:
  int oldX_, oldY_;
};

}  // namespace melko
