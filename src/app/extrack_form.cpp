#include "app/extrack_form.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "song/track_ops.h"

namespace melko {

namespace {
// Track t whole (tick 0 up to its end-of-track tick + 1) into `dest`; the length.
uint32_t CopyWholeTrack(const Song& song, int t, TMidiData& dest) {
  dest.Free();
  dest.Touch();
  uint32_t length = song.TrackEnds[t] + 1;
  TrackWalker walker(song.Tracks[t]);
  uint32_t last = 0;
  CopySpan(dest, walker, 0, length, last);
  return length;
}
}  // namespace

void CopyExTracksToClipboard(Song& song, const std::vector<int>& tracks) {
  if (tracks.empty()) return;
  for (auto& clip : song.Clipboard) clip.Free();
  song.ClipTrackSpan = static_cast<uint8_t>(std::min<size_t>(tracks.size(), kSongTracks) - 1);
  song.ClipLength = 0;
  for (size_t i = 0; i < tracks.size() && i < static_cast<size_t>(kSongTracks); ++i) {
    uint32_t length = CopyWholeTrack(song, tracks[i], song.Clipboard[i]);
    song.ClipLength = std::max(song.ClipLength, length);
  }
}

void MergeExConductorTrack(Song& song) {
  SongNotifier::Batch batch(song.Changes);  // track 0 and the maps, one notice
  song.ClipTrackSpan = 0;
  song.ClipLength = CopyWholeTrack(song, kExTrackBase, song.Clipboard[0]);
  MixTrack(song.ShadowTracks[0], song.Tracks[0], song.Clipboard[0], 0, song.ClipLength, 1, false);
  song.SwapTrack(0);
  song.RebuildMaps();
  song.Clipboard[0].Free();
  song.ClipLength = 0;
}

TExTrack::TExTrack(Song& song, QWidget* parent) : QWidget(parent, Qt::Window), song_(song) {
  setObjectName(QStringLiteral("ExTrack"));
  setWindowTitle(QStringLiteral("ExTrack"));
  lbxExTrack = new QListWidget(this);
  lbxExTrack->setObjectName(QStringLiteral("lbxExTrack"));
  lbxExTrack->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lbxExTrack->setContextMenuPolicy(Qt::CustomContextMenu);
  sbtTop = new QPushButton(QStringLiteral("T"), this);
  sbtTop->setCheckable(true);
  sbtTop->setToolTip(QStringLiteral("Stay on top"));
  sbtCopy = new QPushButton(QStringLiteral("Copy"), this);
  sbtCopy->setObjectName(QStringLiteral("sbtCopy"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(sbtTop);
  buttons->addWidget(sbtCopy);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(buttons);
  layout->addWidget(lbxExTrack);
  resize(300, 360);

  connect(sbtCopy, &QPushButton::clicked, this, &TExTrack::CopyClick);
  connect(sbtTop, &QPushButton::toggled, this, [this](bool on) {
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    show();
  });
  connect(lbxExTrack, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Merge ConductorTrack"), this, &TExTrack::MergeConductorClick);
    menu.exec(lbxExTrack->mapToGlobal(at));
  });
}

void TExTrack::SetList(const std::vector<std::string>& lines) {
  lbxExTrack->clear();
  for (const auto& line : lines) lbxExTrack->addItem(QString::fromStdString(line));
}

void TExTrack::CopyClick() {
  std::vector<int> tracks;
  for (int row = 0; row < lbxExTrack->count(); ++row)
    if (lbxExTrack->item(row)->isSelected()) tracks.push_back(kExTrackBase + row);
  CopyExTracksToClipboard(song_, tracks);
}

void TExTrack::MergeConductorClick() {
  if (lbxExTrack->count() == 0) return;
  if (BeginEdit) BeginEdit();
  MergeExConductorTrack(song_);
  if (FinishEdit) FinishEdit("Merge ConductorTrack");
}

}  // namespace melko
