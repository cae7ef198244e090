// The change notifier and the track revisions: what windows rely on to learn
// of changes without calling each other.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "song/song.h"
#include "song/track_ops.h"

namespace melko {
namespace {

struct Log {
  std::vector<SongChange> Seen;
  SongNotifier::Handler Record() {
    return [this](const SongChange& c) { Seen.push_back(c); };
  }
};

std::vector<int> TracksOf(const SongChange& c) {
  std::vector<int> out;
  for (int t = 0; t < kNoticeTracks; ++t)
    if (c.Tracks.test(t)) out.push_back(t);
  return out;
}

void PutNote(TMidiData& d, uint32_t tick, uint8_t note) {
  TMidiEvent ev;
  ev.Status = 0x90;
  ev.Data1 = note;
  ev.Data2 = 100;
  ev.Value = 10;
  ev.Time = tick;
  uint32_t last = 0;
  EncodeEvent(d, ev, last, 0, MaxGate(480));
}

TEST(SongNotifier, SubscribersHearEachChangeUntilTheyUnsubscribe) {
  SongNotifier n;
  Log a, b;
  auto subA = n.Subscribe(a.Record());
  {
    auto subB = n.Subscribe(b.Record());
    EXPECT_EQ(n.SubscriberCount(), 2);
    n.Notify(kChangeTrackSettings, 5);
    ASSERT_EQ(b.Seen.size(), 1u) << "delivered inside the call";
    EXPECT_EQ(TracksOf(b.Seen[0]), std::vector<int>{5});
    EXPECT_TRUE(b.Seen[0].Has(kChangeTrackSettings));
    EXPECT_FALSE(b.Seen[0].Has(kChangeTrackData));
  }
  EXPECT_EQ(n.SubscriberCount(), 1) << "a destroyed subscription unsubscribes";
  n.NotifyTracks(kChangeTrackData, 60, 200);
  EXPECT_EQ(b.Seen.size(), 1u);
  ASSERT_EQ(a.Seen.size(), 2u);
  EXPECT_EQ(TracksOf(a.Seen[1]).size(), static_cast<size_t>(kNoticeTracks - 60)) << "clamped to the last track";
  n.Notify(0);
  EXPECT_EQ(a.Seen.size(), 2u) << "nothing changed, nothing said";
  subA.Reset();
  EXPECT_FALSE(subA.Active());
  n.Notify(kChangeMaps);
  EXPECT_EQ(a.Seen.size(), 2u);
}

TEST(SongNotifier, ABatchIsOneNoticeWithEverythingInIt) {
  SongNotifier n;
  Log a;
  auto sub = n.Subscribe(a.Record());
  {
    SongNotifier::Batch outer(n);
    n.Notify(kChangeTrackData, 3);
    {
      SongNotifier::Batch inner(n);
      n.Notify(kChangeTrackData, 7);
      n.Notify(kChangeMaps);
    }
    EXPECT_TRUE(a.Seen.empty()) << "the inner batch does not deliver";
    EXPECT_TRUE(n.InBatch());
  }
  ASSERT_EQ(a.Seen.size(), 1u);
  EXPECT_EQ(a.Seen[0].What, static_cast<uint32_t>(kChangeTrackData | kChangeMaps));
  EXPECT_EQ(TracksOf(a.Seen[0]), (std::vector<int>{3, 7}));
  { SongNotifier::Batch empty(n); }
  EXPECT_EQ(a.Seen.size(), 1u) << "an empty batch says nothing";
}

TEST(SongNotifier, ChangesAndUnsubscriptionsDuringADeliveryAreSafeAndOrdered) {
  SongNotifier n;
  std::vector<std::string> order;
  SongNotifier::Subscription first, second, third;
  // The first subscriber answers a maps notice with a settings change, and
  // unsubscribes the third; the second unsubscribes itself on that change.
  first = n.Subscribe([&](const SongChange& c) {
    order.push_back("first " + std::to_string(c.What));
    if (c.Has(kChangeMaps)) {
      n.Notify(kChangeSongSettings);
      third.Reset();
    }
  });
  second = n.Subscribe([&](const SongChange& c) {
    order.push_back("second " + std::to_string(c.What));
    if (c.Has(kChangeSongSettings)) second.Reset();
  });
  third = n.Subscribe([&](const SongChange& c) { order.push_back("third " + std::to_string(c.What)); });
  SongNotifier::Subscription late;
  auto adder = n.Subscribe([&](const SongChange&) {
    if (!late.Active()) late = n.Subscribe([&](const SongChange& c) { order.push_back("late " + std::to_string(c.What)); });
  });
  n.Notify(kChangeMaps);
  // Everyone hears the maps notice before anyone hears the settings one.
  std::vector<std::string> want = {"first 4", "second 4", "first 8", "second 8", "late 8"};
  EXPECT_EQ(order, want);
  EXPECT_EQ(n.SubscriberCount(), 3) << "first, adder and late";
  order.clear();
  n.Notify(kChangeTrackData, 1);
  EXPECT_EQ(order, (std::vector<std::string>{"first 1", "late 1"}));
}

TEST(SongNotifier, ASubscriptionMayOutliveItsSongAndFollowsAMovedOne) {
  Log a;
  SongNotifier::Subscription sub;
  {
    auto song = std::make_unique<Song>();
    sub = song->Changes.Subscribe(a.Record());
    Song moved(std::move(*song));
    moved.Changes.Notify(kChangeMaps);
    song->Changes.Notify(kChangeMaps);
    EXPECT_EQ(a.Seen.size(), 1u) << "the subscriber went with the moved song";
    EXPECT_EQ(song->Changes.SubscriberCount(), 0);
  }
  EXPECT_FALSE(sub.Active());
  sub.Reset();  // nothing left to unsubscribe from
}

class SwapCounter : public TrackSwapListener {
 public:
  void TrackSwapped(int t) override { Swapped.push_back(t); }
  std::vector<int> Swapped;
};

TEST(TrackRevision, RaisedByEverySwapAndInPlaceWriteAndAnnounced) {
  Song song;
  Log log;
  SwapCounter player;
  song.Player = &player;
  auto sub = song.Changes.Subscribe(log.Record());

  uint64_t r1 = song.TrackRevision(1), r2 = song.TrackRevision(2);
  PutNote(song.ShadowTracks[1], 0, 60);
  song.SwapTrack(1);
  EXPECT_NE(song.TrackRevision(1), r1);
  EXPECT_EQ(song.TrackRevision(2), r2);
  EXPECT_EQ(player.Swapped, std::vector<int>{1}) << "the player still takes the hand-over";
  ASSERT_EQ(log.Seen.size(), 1u);
  EXPECT_EQ(log.Seen[0].What, static_cast<uint32_t>(kChangeTrackData));
  EXPECT_EQ(TracksOf(log.Seen[0]), std::vector<int>{1});

  struct Write {
    const char* name;
    int track;
    std::function<void()> run;
  } writes[] = {
      {"tempo inserted", 0, [&] { song.SetSongTempo(100); }},
      {"tempo changed in place", 0, [&] { song.SetSongTempo(90); }},
      {"meter changed in place", 0, [&] { song.SetSongMeter(0x03021808); song.SetSongMeter(0x04021808); }},
      {"key changed in place", 0, [&] { song.SetSongKey(0x0100); song.SetSongKey(0x0200); }},
      {"patch inserted", 2, [&] { song.SetTrackPatch(2, 1, 2, 3); }},
      {"patch changed in place", 2, [&] { song.SetTrackPatch(2, 4, 5, 6); }},
      {"bank only changed in place", 2, [&] { song.SetTrackPatch(2, 7, 8, 6); }},
      {"event inserted", 3, [&] {
         TMidiEvent ev;
         ev.Status = 0xB0;
         ev.Data1 = 7;
         ev.Data2 = 90;
         song.InsertEvent(3, ev, false);
       }},
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(w.name);
    uint64_t before = song.TrackRevision(w.track);
    std::string bytes(reinterpret_cast<const char*>(song.Tracks[w.track].Top()), song.Tracks[w.track].Length());
    log.Seen.clear();
    w.run();
    EXPECT_NE(song.TrackRevision(w.track), before);
    ASSERT_FALSE(log.Seen.empty());
    for (const auto& c : log.Seen) EXPECT_EQ(TracksOf(c), std::vector<int>{w.track});
    EXPECT_NE(std::string(reinterpret_cast<const char*>(song.Tracks[w.track].Top()), song.Tracks[w.track].Length()),
              bytes);
  }
  log.Seen.clear();
  song.RebuildMaps();
  ASSERT_EQ(log.Seen.size(), 1u);
  EXPECT_EQ(log.Seen[0].What, static_cast<uint32_t>(kChangeMaps));
}

TEST(TrackRevision, NeverRepeatsAcrossAClearAndALoad) {
  Song song;
  Log log;
  auto sub = song.Changes.Subscribe(log.Record());
  PutNote(song.ShadowTracks[4], 0, 60);
  song.SwapTrack(4);
  std::vector<uint64_t> before;
  for (int t = 0; t < kAllTracks; ++t) before.push_back(song.TrackRevision(t));
  log.Seen.clear();
  song.ClearSong();
  for (int t = 0; t < kSongTracks; ++t) EXPECT_NE(song.TrackRevision(t), before[t]) << t;
  EXPECT_TRUE(log.Seen.empty()) << "the whole song is announced when the new one is complete";
  uint64_t cleared = song.TrackRevision(4);
  song.SongReplaced();
  ASSERT_EQ(log.Seen.size(), 1u);
  EXPECT_TRUE(log.Seen[0].Has(kChangeWholeSong));
  for (int t = 0; t < kAllTracks; ++t) EXPECT_TRUE(log.Seen[0].Touches(t));
  EXPECT_NE(song.TrackRevision(4), cleared);
  for (int t = 0; t < kAllTracks; ++t)
    for (uint64_t old : before) EXPECT_NE(song.TrackRevision(t), old) << t;

  log.Seen.clear();
  uint64_t ex = song.TrackRevision(kExTrackBase + 3);
  song.ClearExTrack();
  ASSERT_EQ(log.Seen.size(), 1u);
  EXPECT_EQ(TracksOf(log.Seen[0]).front(), kExTrackBase);
  EXPECT_EQ(TracksOf(log.Seen[0]).size(), static_cast<size_t>(kAllTracks - kExTrackBase));
  EXPECT_NE(song.TrackRevision(kExTrackBase + 3), ex);
}

}  // namespace
}  // namespace melko
