// The track sheet's commands: flag clicks, typed cells, row moves that clear
// the undo, and the pad commands as undoable edits.
#include "views/track_commands.h"

#include <gtest/gtest.h>

#include "edit/edit_test_util.h"
#include "song/smf_reader.h"

namespace melko {
namespace {

using test::Events;
using test::Note;

struct Sheet {
  Song song;
  test::FakeUi ui;
  std::unique_ptr<EditDispatcher> d;
  Sheet() {
    song.ClearSong();
    ApplySongLoaded(song);
    d = std::make_unique<EditDispatcher>(song, ui);
    d->SongLoaded();
    for (int t = 1; t <= 5; ++t) {
      test::SetTrack(song, t, {Note(0, uint8_t(60 + t))});
      song.TrackNames[size_t(t)] = "T" + std::to_string(t);
    }
  }
  std::vector<std::string> Names(int upTo) {
    std::vector<std::string> n;
    for (int t = 1; t <= upTo; ++t) n.push_back(song.TrackNames[size_t(t)]);
    return n;
  }
  int FirstKey(int t) {
    auto e = Events(song.Tracks[size_t(t)]);
    return e.empty() ? -1 : e[0].D1;
  }
};

TEST(TrackSheet, MuteSoloAndRecClicks) {
  Sheet s;
  EXPECT_EQ(s.song.Mute[0], 0);
  MuteClick(s.song, {2, 3}, false);
  EXPECT_EQ(s.song.Mute[0], 1) << "any mute click switches the master on";
  EXPECT_EQ(s.song.Mute[2] + s.song.Mute[3], 2);
  MuteClick(s.song, {2}, false);
  EXPECT_EQ(s.song.Mute[2], 0);
  MuteClick(s.song, {4}, true);  // Ctrl: all but the selection
  for (int t = 1; t <= 64; ++t) EXPECT_EQ(s.song.Mute[size_t(t)], t == 4 ? 0 : 1) << t;
  MuteHeaderClick(s.song, false);
  EXPECT_EQ(s.song.Mute[0], 0);
  MuteHeaderClick(s.song, true);
  for (int t = 1; t <= 64; ++t) EXPECT_EQ(s.song.Mute[size_t(t)], 0);

  SoloClick(s.song, 5);
  EXPECT_EQ(s.song.Solo, 5);
  SoloClick(s.song, 5);
  EXPECT_EQ(s.song.Solo, 0);
  SoloClick(s.song, 3);
  SoloHeaderClick(s.song);
  EXPECT_EQ(s.song.Solo, 0);

  RecClick(s.song, {1, 2}, 1, false);
  EXPECT_EQ(s.song.Rec[1] + s.song.Rec[2], 2);
  RecClick(s.song, {1, 2}, 4, true);  // single: only the clicked track
  for (int t = 1; t <= 64; ++t) EXPECT_EQ(s.song.Rec[size_t(t)], t == 4 ? 1 : 0);
}

TEST(TrackSheet, TypedCellsKeepTheirRanges) {
  Sheet s;
  s.song.Ch[1] = 2;
  SetChannelText(s.song, 1, "17");
  EXPECT_EQ(s.song.Ch[1], 15);
  SetChannelText(s.song, 1, "x");
  EXPECT_EQ(s.song.Ch[1], 15) << "text that is no number keeps the channel";
  SetChannelText(s.song, 1, "1");
  EXPECT_EQ(s.song.Ch[1], 0);
  SetDelayText(s.song, 1, "5000");
  EXPECT_EQ(s.song.Delay[1], 1920);
  SetDelayText(s.song, 1, "-5000");
  EXPECT_EQ(s.song.Delay[1], -1920);
  SetPadText(s.song, 1, "C 3", 0);
  EXPECT_EQ(s.song.Pad[1], 60);
  SetPadText(s.song, 1, "-", 0);
  EXPECT_EQ(s.song.Pad[1], kNoPad);
  EXPECT_FALSE(s.song.SongSaved);
}

TEST(TrackSheet, NewMovesTheRowsDownAndClearsTheUndo) {
  Sheet s;
  s.d->Range.EditFromTrack = s.d->Range.EditToTrack = 1;
  ASSERT_TRUE(s.d->PopUpEditClick(kCmdErase));
  ASSERT_TRUE(s.d->Undo().ButtonEnabled);
  s.song.Solo = 4;
  ASSERT_TRUE(TrackNew(s.song, *s.d, 3));
  EXPECT_EQ(s.Names(6), (std::vector<std::string>{"T1", "T2", "", "T3", "T4", "T5"}));
  EXPECT_EQ(s.FirstKey(4), 63);
  EXPECT_EQ(s.song.Ch[3], 2) << "the new row's channel is its own default";
  EXPECT_EQ(s.song.Solo, 0);
  EXPECT_FALSE(s.d->Undo().ButtonEnabled) << "an undo now would exchange the wrong rows";
  EXPECT_FALSE(TrackNew(s.song, *s.d, 9)) << "past the last used track";
}

TEST(TrackSheet, DeleteAndEraseAndInsert) {
  {
    Sheet s;
    s.d->Range.EditFromTrack = 2;
    s.d->Range.EditToTrack = 3;
    TrackDelete(s.song, *s.d);
    EXPECT_EQ(s.Names(5), (std::vector<std::string>{"T1", "T4", "T5", "", ""}));
    EXPECT_EQ(s.FirstKey(2), 64);
    EXPECT_EQ(s.song.Ch[63], 14);
    EXPECT_TRUE(s.song.Tracks[64].IsNil());
  }
  {
    Sheet s;
    s.d->Range.EditFromTrack = 2;
    s.d->Range.EditToTrack = 3;
    TrackErase(s.song, *s.d);
    EXPECT_EQ(s.Names(5), (std::vector<std::string>{"T1", "", "", "T4", "T5"}));
    EXPECT_TRUE(s.song.Tracks[2].IsNil());
  }
  {
    Sheet s;  // tracks 4..5 before row 2
    s.d->Range.EditFromTrack = 4;
    s.d->Range.EditToTrack = 5;
    ASSERT_TRUE(TrackInsert(s.song, *s.d, 2));
    EXPECT_EQ(s.Names(5), (std::vector<std::string>{"T1", "T4", "T5", "T2", "T3"}));
    s.d->Range.EditFromTrack = 2;
    s.d->Range.EditToTrack = 3;
    EXPECT_FALSE(TrackInsert(s.song, *s.d, 4)) << "just after the range: a beep";
    ASSERT_TRUE(TrackInsert(s.song, *s.d, 6));  // rows 2..3 to just before 6
    EXPECT_EQ(s.Names(5), (std::vector<std::string>{"T1", "T2", "T3", "T4", "T5"}));
  }
  EXPECT_EQ(TrackRangeQuestion(kMsgDeleteTracks, 2, 3), "TR 2 ～ TR 3 を削除します。よろしいですか？");
}

TEST(TrackSheet, NoteToPadSkipsUnsetPadsAndPadToNoteGivesTheKeysBack) {
  Sheet s;
  test::SetTrack(s.song, 1, {Note(0, 36), Note(240, 38), Note(480, 36), Note(960, 42)});
  s.song.Ch[1] = 9;
  for (int t = 2; t <= 4; ++t) s.song.Tracks[size_t(t)].Free();
  s.song.Pad[2] = 36;
  s.song.Pad[4] = 38;  // track 3 has no pad key
  s.d->Range.EditFromTrack = 2;
  s.d->Range.EditToTrack = 4;
  s.d->Range.EditFromTick = 0;
  s.d->Range.EditToTick = 960;
  ASSERT_TRUE(NoteToPad(s.song, *s.d, 1, false));
  auto two = Events(s.song.Tracks[2]);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[1].Tick, 480u);
  EXPECT_EQ(Events(s.song.Tracks[4]).size(), 1u);
  EXPECT_TRUE(Events(s.song.Tracks[3]).empty());
  EXPECT_EQ(s.song.Ch[2], 9);
  EXPECT_EQ(s.song.Ch[3], 2) << "a track without a pad key keeps its channel";
  EXPECT_EQ(s.song.ClipLength, 0u);
  EXPECT_EQ(s.d->Undo().ButtonHint, kHintNoteToPad);

  test::SetTrack(s.song, 2, {Note(0, 50), Note(100, 51)});
  s.d->Range.EditToTrack = 2;
  ASSERT_TRUE(PadToNote(s.song, *s.d));
  for (const auto& e : Events(s.song.Tracks[2])) EXPECT_EQ(e.D1, 36);
  EXPECT_EQ(s.d->Undo().ButtonHint, kHintPadToNote);
  s.d->PopUpEditClick(kCmdUndo);
  EXPECT_EQ(Events(s.song.Tracks[2])[1].D1, 51);
}

TEST(TrackSheet, NoteToLyricPutsOneEmptyLyricAfterTheFirstNoteOfEachTick) {
  Sheet s;
  test::SetTrack(s.song, 1, {Note(0, 60), Note(0, 64), Note(480, 62), test::Ctrl(600, 7, 100)});
  ASSERT_TRUE(NoteToLyric(s.song, *s.d, 1));
  auto e = Events(s.song.Tracks[1]);
  ASSERT_EQ(e.size(), 6u);
  EXPECT_EQ(e[0].Status, 0x90);
  EXPECT_EQ(e[1].Status, 0xFF);
  EXPECT_EQ(e[1].D1, 0x05);
  EXPECT_EQ(e[2].Status, 0x90);
  EXPECT_EQ(e[4].Status, 0xFF);
  EXPECT_EQ(e[4].Tick, 480u);
}

}  // namespace
}  // namespace melko
