// TSongSetupDlg: song name, copyright and (for a new song only) the timebase.
// On OK the song takes the values and counts as changed; event ticks are not
// converted when the timebase changes. UI thread.
#pragma once

#include <QDialog>

#include "app/user_prompt.h"
#include "song/song.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace melko {

class TSongSetupDlg : public QDialog {
  Q_OBJECT
 public:
  TSongSetupDlg(const Song& song, bool showReso, QWidget* parent = nullptr);
  QLineEdit* edSongName;
  QLineEdit* edCopyRight;
  QLabel* lbReso;
  QComboBox* cmbReso;
  // Stores the dialog's values into the song (after OK).
  void Apply(Song& song) const;
};

// mnuSongSetupClick: runs the dialog through `prompt`; true on OK.
bool RunSongSetup(Song& song, UserPrompt& prompt, bool showReso, QWidget* parent);

}  // namespace melko
