// The ExTrack window (TExTrack, caption "ExTrack"): the tracks of a second
// Standard MIDI File loaded into tracks 65..129, from which whole tracks are
// copied to the program's clipboard ("Copy") and whose conductor track can be
// merged into the song's ("Merge ConductorTrack"). UI thread.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "song/song.h"

class QListWidget;
class QPushButton;

namespace melko {

// "Copy": the ExTrack tracks (65..129, in the order given) into clipboard
// tracks 0.., each whole; the clipboard holds them afterwards.
void CopyExTracksToClipboard(Song& song, const std::vector<int>& tracks);
// Mixes the ExTrack's conductor track into the song's from tick 0 through
// the clipboard (emptied again afterwards) and rebuilds the maps, announced
// as one notice. The caller brackets it as one edit.
void MergeExConductorTrack(Song& song);

class TExTrack : public QWidget {
  Q_OBJECT
 public:
  explicit TExTrack(Song& song, QWidget* parent = nullptr);

  void SetList(const std::vector<std::string>& lines);
  // Around the merge: the edit bracket (the song's notifier tells the rest).
  std::function<void()> BeginEdit;
  std::function<void(const std::string& hint)> FinishEdit;

  void CopyClick();
  void MergeConductorClick();

  QListWidget* lbxExTrack;
  QPushButton* sbtTop;
  QPushButton* sbtCopy;

 private:
  Song& song_;
};

}  // namespace melko
