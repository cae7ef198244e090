// The main window and the song's change notifier: it subscribes for its
// lifetime, follows changes made elsewhere, and announces its own.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "app/extrack_form.h"
#include "app_rig.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"

namespace melko::test {
namespace {

struct Notices {
  explicit Notices(Song& song)
      : Watch(song.Changes.Subscribe([this](const SongChange& c) { Seen.push_back(c); })) {}
  std::vector<SongChange> Seen;
  SongNotifier::Subscription Watch;
};

void Type(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  box->setText(text);
  QTest::keyClick(box, Qt::Key_Return);
}

TEST(WindowNotices, TheWindowAndItsEditLayerSubscribeForTheirLifetime) {
  AppRig rig;
  EXPECT_EQ(rig.song().Changes.SubscriberCount(), 1) << "the window, from its constructor";
  rig.Start();
  EXPECT_EQ(rig.song().Changes.SubscriberCount(), 4)
      << "and the edit dispatcher, the track sheet and the score windows' step state";
  rig.form.reset();
  EXPECT_EQ(rig.song().Changes.SubscriberCount(), 0);
  rig.song().SongReplaced();  // reaches nobody, and nothing dangling
}

TEST(WindowNotices, ALoadIsOneNoticeOfTheWholeSong) {
  AppRig rig;
  rig.Start();
  std::string file = rig.DataDir + "song.mid";
  MakeSongFile(file, 4);
  Notices n(rig.song());
  uint64_t before = rig.song().TrackRevision(1);
  rig.doc().OpenFile(file);
  ASSERT_EQ(n.Seen.size(), 1u);
  EXPECT_TRUE(n.Seen[0].Has(kChangeWholeSong));
  EXPECT_NE(rig.song().TrackRevision(1), before);
  n.Seen.clear();
  rig.form->mnuNewFile->trigger();
  ASSERT_EQ(n.Seen.size(), 1u) << "New with its song setup: one notice";
  EXPECT_TRUE(n.Seen[0].Has(kChangeWholeSong));
}

TEST(WindowNotices, TheStripFollowsAConductorChangedElsewhere) {
  AppRig rig;
  rig.Start();
  Song& song = rig.song();
  {
    // What a view of the conductor track would do.
    SongNotifier::Batch batch(song.Changes);
    song.SetSongTempo(90);
    song.SetSongMeter(0x03021808);
    song.RebuildMaps();
  }
  EXPECT_EQ(rig.form->edBPM->text(), QStringLiteral("90"));
  EXPECT_EQ(rig.form->edMeter->text(), QStringLiteral("3/4"));
}

TEST(WindowNotices, WhatTheStripAndItsMenusChangeIsAnnounced) {
  AppRig rig;
  rig.Start();
  Song& song = rig.song();
  Notices n(song);
  struct Row {
    const char* name;
    std::function<void()> act;
    uint32_t what;
    bool track0;
  } rows[] = {
      {"tempo box", [&] { Type(rig.form->edBPM, QStringLiteral("100")); }, kChangeMaps | kChangeTrackData, true},
      {"meter box", [&] { Type(rig.form->edMeter, QStringLiteral("6/8")); }, kChangeMaps | kChangeTrackData, true},
      {"key", [&] { rig.form->ApplyKey(KeyValue(2, false)); }, kChangeMaps | kChangeTrackData, true},
      {"Note Off [8n]", [&] { rig.form->mnuOffStat->trigger(); }, kChangeSongSettings, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    n.Seen.clear();
    row.act();
    ASSERT_EQ(n.Seen.size(), 1u);
    EXPECT_EQ(n.Seen[0].What, row.what);
    EXPECT_EQ(n.Seen[0].Tracks.test(0), row.track0);
  }
}

TEST(WindowNotices, TheExTrackMergeIsOneNoticeAndTheStripShowsIt) {
  AppRig rig;
  rig.Start();
  std::string ex = rig.ProgramDir + "ex.mid";
  {
    Song other;
    other.ClearSong();
    ApplySongLoaded(other);
    other.SetSongTempo(75);
    ASSERT_TRUE(SaveSongFile(other, ex, false));
  }
  Notices n(rig.song());
  rig.prompt.Files = {ex};
  rig.form->mnuOpenExTrack->trigger();
  ASSERT_EQ(n.Seen.size(), 1u) << "the ExTrack's tracks, once its list is filled";
  EXPECT_TRUE(n.Seen[0].Touches(kExTrackBase));
  EXPECT_FALSE(n.Seen[0].Touches(0));
  EXPECT_TRUE(rig.form->mnuCloseExTrack->isEnabled());
  n.Seen.clear();
  rig.form->edBPM->setText(QStringLiteral("stale"));
  rig.form->ExTrackForm()->MergeConductorClick();
  ASSERT_EQ(n.Seen.size(), 1u);
  EXPECT_EQ(n.Seen[0].What, static_cast<uint32_t>(kChangeTrackData | kChangeMaps));
  EXPECT_TRUE(n.Seen[0].Touches(0));
  uint32_t first = rig.song().Maps.TempoMap.front().Tempo;
  EXPECT_EQ(rig.form->edBPM->text(), QString::number(60000000u / first)) << "the strip was told";
  n.Seen.clear();
  rig.form->mnuCloseExTrack->trigger();
  ASSERT_EQ(n.Seen.size(), 1u);
  EXPECT_FALSE(rig.form->mnuCloseExTrack->isEnabled());
}

}  // namespace
}  // namespace melko::test
