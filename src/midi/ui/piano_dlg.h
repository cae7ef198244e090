// `TPianoDlg`, the note chooser: a piano with octave numbers, the chosen
// note's name, "<" and ">" to move the keyboard, and the computer keyboard
// playing along (its component starts at octave 3). Every key tried sounds
// through the relay the caller set up. UI thread.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "midi/kanabun.h"

class QLineEdit;
class QPushButton;

namespace melko {

class TmMidiRelay;
class TmPiano;
class TmKanabunRegistration;

class TPianoDlg : public QDialog {
  Q_OBJECT
 public:
  // How a note is named in the box; empty gives "C  3" (pitch, then the
  // octave with note 60 in octave 3 + centerC).
  using NoteNamer = std::function<QString(int note)>;

  TPianoDlg(int note, int centerC, TmMidiRelay* relay, QWidget* parent = nullptr, NoteNamer namer = {});
  ~TPianoDlg() override;

  // Opens the dialog with its bottom centre at the mouse pointer. On OK
  // `note` becomes the chosen note and the result is true; on Cancel it
  // keeps the note passed in.
  static bool ChooseNote(int& note, int centerC, TmMidiRelay* relay, QWidget* parent = nullptr,
                         NoteNamer namer = {});

  // The note shown pressed and named.
  int Selected() const { return selected_; }
  void Select(int note);
  // Puts the dialog's bottom centre at `point`, kept on its screen.
  void PlaceBottomCentreAt(const QPoint& point);

  TmPiano* Piano;
  QLineEdit* edNote1;
  QPushButton *btnLeft, *btnRight;
  TmKanabun Kanabun;

 private:
  NoteNamer namer_;
  int selected_ = -1;
  std::unique_ptr<TmKanabunRegistration> registration_;
};

// "%s%2d" of the pitch name and the octave, as the editors write notes.
QString PianoNoteName(int note, int centerC);

}  // namespace melko
