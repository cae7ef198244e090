#include "app/song_setup_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "base/int_helpers.h"
#include "base/text_encoding.h"

namespace melko {

TSongSetupDlg::TSongSetupDlg(const Song& song, bool showReso, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SongSetupDlg"));
  setWindowTitle(QStringLiteral("ソング設定"));
  auto* form = new QFormLayout(this);
  edSongName = new QLineEdit(QString::fromStdString(DisplayText(song.TrackNames[0])), this);
  edSongName->setObjectName(QStringLiteral("edSongName"));
  edCopyRight = new QLineEdit(QString::fromStdString(DisplayText(song.Copyright)), this);
  edCopyRight->setObjectName(QStringLiteral("edCopyRight"));
  // Room for a whole title or copyright line, and the start of it in view.
  const int textWidth = fontMetrics().averageCharWidth() * 40;
  for (QLineEdit* ed : {edSongName, edCopyRight}) {
    ed->setMinimumWidth(textWidth);
    ed->setCursorPosition(0);
  }
  cmbReso = new QComboBox(this);
  cmbReso->setObjectName(QStringLiteral("cmbReso"));
  cmbReso->setEditable(true);
  cmbReso->addItems({"960", "480", "384", "240", "120", "96", "48"});
  cmbReso->setEditText(QString::number(song.TPQN));
  lbReso = new QLabel(QStringLiteral("TPQN"), this);
  form->addRow(QStringLiteral("SongName"), edSongName);
  form->addRow(QStringLiteral("著作権表示"), edCopyRight);
  form->addRow(lbReso, cmbReso);
  lbReso->setVisible(showReso);
  cmbReso->setVisible(showReso);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

void TSongSetupDlg::Apply(Song& song) const {
  song.TrackNames[0] = StoreText(edSongName->text().toStdString());
  song.Copyright = StoreText(edCopyRight->text().toStdString());
  int64_t tpqn = StrToIntClamp(cmbReso->currentText().toStdString(), song.TPQN, 48, 960);
  song.TPQN = static_cast<uint16_t>(ClampInt(tpqn, 48, 960));
  song.SongSaved = false;
  song.Changes.Notify(kChangeSongSettings);
}

bool RunSongSetup(Song& song, UserPrompt& prompt, bool showReso, QWidget* parent) {
  TSongSetupDlg dlg(song, showReso, parent);
  if (!prompt.Exec(dlg)) return false;
  dlg.Apply(song);
  return true;
}

}  // namespace melko
