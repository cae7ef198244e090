// Range operations, the clipboard and one-step undo through the dispatcher.
#include <gtest/gtest.h>

#include "edit/range_ops.h"
#include "edit_test_util.h"

namespace melko {
namespace {

using test::Ctrl;
using test::Meta;
using test::Ev;
using test::Events;
using test::Note;
using test::SetTrack;
using test::Snapshot;
using test::Ticks;

constexpr uint32_t M = 1920;  // one 4/4 measure at TPQN 480

struct Fixture {
  Song song;
  test::FakeUi ui;
  EditDispatcher d{song, ui};
  test::NoticeLog log{song};
  Fixture() { song.RebuildMaps(); }
  void Range(int t1, int t2, uint32_t from, uint32_t to) {
    d.Range.EditFromTrack = t1;
    d.Range.EditToTrack = t2;
    d.Range.EditFromTick = from;
    d.Range.EditToTick = to;
  }
};

TEST(RangeOps, CopyTracks2To4OverMeasures1And2PastedAtMeasure5OfTrack7) {
  Fixture f;
  for (int t = 2; t <= 4; ++t)
    SetTrack(f.song, t, {Note(100, 60), Note(M + 10 * t, 60 + t), Note(2 * M + 5, 70 + t), Note(3 * M, 80)});
  for (int t = 7; t <= 10; ++t)
    SetTrack(f.song, t, {Note(4 * M, 40), Note(5 * M, 41), Note(6 * M + 7, 42), Note(7 * M, 43)});
  auto track10 = test::Bytes(f.song.Tracks[10]);
  f.Range(2, 4, M, 3 * M);
  f.d.PopUpEditClick(kCmdCopy);
  EXPECT_EQ(f.song.ClipLength, 2 * M);
  EXPECT_EQ(f.song.ClipTrackSpan, 2);
  EXPECT_FALSE(f.d.Undo().UndoEnabled) << "copy leaves the undo state alone";
  f.Range(7, 7, 5 * M, 5 * M + 1);
  f.d.PopUpEditClick(kCmdPaste);
  for (int t = 7; t <= 9; ++t) {
    std::vector<Ev> want = {{4 * M, 0x90, 40, 100, 120},
                            {5 * M + 10 * (t - 5), 0x90, uint8_t(60 + t - 5), 100, 120},
                            {6 * M + 5, 0x90, uint8_t(70 + t - 5), 100, 120},
                            {7 * M, 0x90, 43, 100, 120}};
    EXPECT_EQ(Events(f.song.Tracks[t]), want) << "track " << t;
  }
  EXPECT_EQ(test::Bytes(f.song.Tracks[10]), track10);
  EXPECT_EQ(f.song.UndoFlags[10], 0);
}

TEST(RangeOps, InsertWithRepeat3PushesLaterEventsBy3Lengths) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60), Note(480, 61), Note(500, 62), Note(1000, 63)});
  f.Range(1, 1, 480, 960);
  f.d.PopUpEditClick(kCmdCopy);
  f.d.Range.RepeatCount = 3;
  f.d.PopUpEditClick(kCmdInsert);
  EXPECT_EQ(Ticks(f.song.Tracks[1]),
            (std::vector<uint32_t>{0, 480, 500, 960, 980, 1440, 1460, 480 + 1440, 500 + 1440, 1000 + 1440}));
}

TEST(RangeOps, RepeatBelowOneLaysOneCopy) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60), Note(600, 61)});
  f.Range(1, 1, 0, 480);
  f.d.PopUpEditClick(kCmdCopy);
  f.d.Range.RepeatCount = 0;
  f.d.PopUpEditClick(kCmdInsert);
  EXPECT_EQ(Ticks(f.song.Tracks[1]), (std::vector<uint32_t>{0, 480, 1080}));
}

TEST(RangeOps, MixPutsTheOldEventFirstOnEqualTicks) {
  Fixture f;
  SetTrack(f.song, 1, {Ctrl(0, 7, 1), Ctrl(10, 7, 2)});
  SetTrack(f.song, 2, {Ctrl(0, 10, 99), Ctrl(480, 10, 98), Ctrl(490, 10, 97)});
  f.Range(1, 1, 0, 480);
  f.d.PopUpEditClick(kCmdCopy);
  f.Range(2, 2, 480, 480);
  f.d.Range.RepeatCount = 2;
  f.d.PopUpEditClick(kCmdMix);
  std::vector<Ev> want = {{0, 0xB0, 10, 99, 0},   {480, 0xB0, 10, 98, 0}, {480, 0xB0, 7, 1, 0},
                          {490, 0xB0, 10, 97, 0}, {490, 0xB0, 7, 2, 0}, {960, 0xB0, 7, 1, 0},
                          {970, 0xB0, 7, 2, 0}};
  EXPECT_EQ(Events(f.song.Tracks[2]), want);
}

TEST(RangeOps, MixSkipsEmptyClipboardTracks) {
  Fixture f;
  SetTrack(f.song, 1, {Ctrl(0, 7, 1)});
  SetTrack(f.song, 3, {Ctrl(100, 7, 1)});
  f.Range(1, 2, 0, 480);
  f.d.PopUpEditClick(kCmdCopy);
  f.Range(3, 3, 0, 0);
  f.d.PopUpEditClick(kCmdMix);
  EXPECT_EQ(f.song.UndoFlags[3], 1);
  EXPECT_EQ(f.song.UndoFlags[4], 0) << "the empty second clipboard track leaves track 4 alone";
}

TEST(RangeOps, CutThenUndoRestoresAndRedoCutsAgainWhileTheClipboardKeepsTheCut) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60), Note(500, 61), Note(700, 62), Note(2000, 63)});
  SetTrack(f.song, 2, {Ctrl(490, 7, 1), Ctrl(960, 7, 2)});
  auto before = Snapshot(f.song);
  f.Range(1, 2, 480, 960);
  f.d.PopUpEditClick(kCmdCut);
  auto afterCut = Snapshot(f.song);
  auto clip0 = test::Bytes(f.song.Clipboard[0]), clip1 = test::Bytes(f.song.Clipboard[1]);
  EXPECT_EQ(Ticks(f.song.Tracks[1]), (std::vector<uint32_t>{0, 2000 - 480}));
  EXPECT_EQ(Ticks(f.song.Clipboard[0]), (std::vector<uint32_t>{20, 220}));
  EXPECT_EQ(f.d.Undo().ButtonCaption, "Undo");
  EXPECT_EQ(f.d.Undo().ButtonHint, "切り取り");

  f.d.sbtUndoClick();
  EXPECT_EQ(Snapshot(f.song), before);
  EXPECT_FALSE(f.d.Undo().UndoEnabled);
  EXPECT_TRUE(f.d.Undo().RedoEnabled);
  EXPECT_EQ(f.d.Undo().ButtonCaption, "Redo");

  f.d.PopUpEditClick(kCmdRedo);
  EXPECT_EQ(Snapshot(f.song), afterCut);
  EXPECT_TRUE(f.d.Undo().UndoEnabled);
  EXPECT_FALSE(f.d.Undo().RedoEnabled);
  EXPECT_EQ(f.d.Undo().ButtonCaption, "Undo");
  EXPECT_EQ(test::Bytes(f.song.Clipboard[0]), clip0);
  EXPECT_EQ(test::Bytes(f.song.Clipboard[1]), clip1);
  EXPECT_EQ(f.song.ClipLength, 480u);
}

TEST(RangeOps, EraseKeepsLaterTicksWhileCutClosesTheGap) {
  struct Row {
    const char* Name;
    int Command;
    std::vector<uint32_t> Want;
  };
  for (const Row& row : {Row{"erase", kCmdErase, {0, 1000, 1500}}, Row{"cut", kCmdCut, {0, 520, 1020}}}) {
    Fixture f;
    SetTrack(f.song, 1, {Note(0, 60), Note(480, 61), Note(959, 62), Note(1000, 63), Note(1500, 64)});
    f.Range(1, 1, 480, 960);
    f.d.PopUpEditClick(row.Command);
    EXPECT_EQ(Ticks(f.song.Tracks[1]), row.Want) << row.Name;
    EXPECT_EQ(Ticks(f.song.Clipboard[0]), (std::vector<uint32_t>{0, 479})) << row.Name;
  }
}

TEST(RangeOps, PasteFromANarrowerClipboardChangesOnlyItsTracks) {
  Fixture f;
  SetTrack(f.song, 1, {Note(10, 60)});
  for (int t = 3; t <= 6; ++t) SetTrack(f.song, t, {Note(20, 50)});
  f.Range(1, 1, 0, 480);
  f.d.PopUpEditClick(kCmdCopy);
  f.Range(3, 6, 0, 480);
  f.d.PopUpEditClick(kCmdPaste);
  EXPECT_EQ(Ticks(f.song.Tracks[3]), (std::vector<uint32_t>{10}));
  for (int t = 4; t <= 6; ++t) {
    EXPECT_EQ(Ticks(f.song.Tracks[t]), (std::vector<uint32_t>{20}));
    EXPECT_EQ(f.song.UndoFlags[t], 0);
  }
}

TEST(RangeOps, EmptyRangeCopyLeavesTheClipboardEmpty) {
  Fixture f;
  SetTrack(f.song, 1, {Note(10, 60)});
  f.Range(1, 1, 0, 480);
  f.d.PopUpEditClick(kCmdCopy);
  f.Range(1, 1, 100, 100);
  EXPECT_FALSE(f.d.PopUpEditClick(kCmdCut)) << "the dispatcher refuses an empty range";
  EXPECT_EQ(f.song.ClipLength, 480u) << "and the clipboard keeps the copy";
  RangeCut(f.song, f.d.Range);  // the operation itself, past the dispatcher
  EXPECT_EQ(f.song.ClipLength, 0u);
  EXPECT_EQ(Ticks(f.song.Tracks[1]), (std::vector<uint32_t>{10}));
  EditMenuEnabled e = f.d.PopEditMenuPopup();
  EXPECT_FALSE(e.Cut);
  EXPECT_FALSE(e.Paste);
}

TEST(RangeOps, PopupNormalizesAndEnables) {
  Fixture f;
  f.Range(5, 2, 960, 0);
  EditMenuEnabled e = f.d.PopEditMenuPopup();
  EXPECT_EQ(f.d.Range.EditFromTrack, 2);
  EXPECT_EQ(f.d.Range.EditToTick, 960u);
  EXPECT_TRUE(e.Copy && e.Erase && e.Cut && e.Tools);
  EXPECT_FALSE(e.Paste || e.Insert || e.Mix || e.Undo || e.Redo);
  f.d.PopUpEditClick(kCmdCopy);
  e = f.d.PopEditMenuPopup();
  EXPECT_TRUE(e.Paste && e.Insert && e.Mix);
}

TEST(RangeOps, CancellingAToolAfterACutKeepsTheCutsUndo) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60), Note(500, 61), Note(1000, 62)});
  auto before = Snapshot(f.song);
  f.Range(1, 1, 480, 960);
  f.d.PopUpEditClick(kCmdCut);
  f.ui.Tool = [](int, ToolSettings&) { return false; };
  f.d.PopUpEditClick(kCmdQuantize);
  EXPECT_EQ(f.ui.ToolDialogs, 1);
  EXPECT_EQ(f.d.Undo().ButtonHint, "切り取り");
  f.d.sbtUndoClick();
  EXPECT_EQ(Snapshot(f.song), before);
}

TEST(RangeOps, SetTempoReplacesTheTempoInRangeAndEmptiesTheClipboard) {
  Fixture f;
  SetTrack(f.song, 0, {Meta(0, 0x51, 500000, 3), Meta(0, 0x58, 0x04021808, 4), Meta(1920, 0x51, 400000, 3)});
  f.song.RebuildMaps();
  SetTrack(f.song, 1, {Note(0, 60)});
  f.Range(1, 1, 0, 480);
  f.d.PopUpEditClick(kCmdCopy);
  ASSERT_GT(f.song.ClipLength, 0u);
  auto before = test::Bytes(f.song.Tracks[0]);
  f.Range(1, 1, 1920, 1920);  // empty: the removal span is one tick
  f.ui.Set = [](int, SetPositionValues& v) { v.Bpm = 150; return true; };
  f.d.PopUpEditClick(kCmdTempo);
  EXPECT_EQ(f.song.ClipLength, 0u);
  EXPECT_TRUE(f.song.Clipboard[0].IsNil());
  std::vector<Ev> want = {{0, 0xFF, 0x51, 0, 0}, {0, 0xFF, 0x58, 0, 0}, {1920, 0xFF, 0x51, 0, 0}};
  EXPECT_EQ(Events(f.song.Tracks[0]), want);
  EXPECT_EQ(f.song.Maps.TempoAt(1920).Tempo, 400000u);
  EXPECT_EQ(f.d.Undo().ButtonHint, "Set Tempo");
  f.d.sbtUndoClick();
  EXPECT_EQ(test::Bytes(f.song.Tracks[0]), before);
  EXPECT_EQ(f.song.Maps.TempoAt(1920).Tempo, 400000u);
}

TEST(RangeOps, SetTempoGoesAheadOfOtherEventsAtItsTick) {
  Fixture f;
  SetTrack(f.song, 0, {Meta(960, 0x06, 0, 0)});
  f.Range(1, 1, 960, 1920);
  f.ui.Set = [](int, SetPositionValues& v) { v.Bpm = 1000; return true; };
  f.d.PopUpEditClick(kCmdTempo);
  auto ev = Events(f.song.Tracks[0]);
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].D1, 0x51);
  EXPECT_EQ(f.song.Maps.TempoAt(960).Tempo, 60000000u / 500);
  // The strip learns of it from the notice and shows the first tempo event's.
  ASSERT_FALSE(f.log.Notices.empty());
  EXPECT_TRUE(f.log.Notices.back().Has(kChangeMaps));
  EXPECT_TRUE(f.log.Notices.back().Touches(0));
  EXPECT_EQ(f.song.GetSongTempo(), 500u);
}

TEST(RangeOps, MeterAndKeyRefuseAPositionOffAMeasureStart) {
  for (int command : {kCmdMeter, kCmdKeySig}) {
    Fixture f;
    SetTrack(f.song, 1, {Note(0, 60)});
    f.Range(1, 1, 0, 480);
    f.d.PopUpEditClick(kCmdCut);
    auto snap = Snapshot(f.song);
    f.Range(1, 1, 480, 960);
    bool opened = false;
    f.ui.Set = [&](int, SetPositionValues&) { return opened = true; };
    f.d.PopUpEditClick(command);
    EXPECT_FALSE(opened);
    ASSERT_EQ(f.ui.Messages.size(), 1u);
    EXPECT_EQ(f.ui.Messages[0], "このイベントは小節の頭になければいけません！");
    EXPECT_EQ(Snapshot(f.song), snap);
    EXPECT_EQ(f.song.UndoFlags[1], 1) << "the cut's undo survives";
  }
}

TEST(RangeOps, MeterAtAMeasureStartRebuildsTheMeterMap) {
  Fixture f;
  f.Range(1, 1, 2 * M, 3 * M);
  f.ui.Set = [](int, SetPositionValues& v) { v.Meter = 0x03021808; return true; };
  f.d.PopUpEditClick(kCmdMeter);
  EXPECT_EQ(f.song.Maps.MeasureToTick(3), 2 * M + 1440);
  f.ui.Set = [](int, SetPositionValues& v) { v.Key = KeyValue(-3, true); return true; };
  f.d.PopUpEditClick(kCmdKeySig);
  EXPECT_EQ(KeyText(f.song.Maps.KeyAt(2 * M)), "C  Min");
  EXPECT_EQ(f.d.Undo().ButtonHint, "Set KeySignature");
}

TEST(RangeOps, BackupByEditCount) {
  Fixture f;
  f.d.BackupConds = 2;
  f.d.BackupUndoCount = 2;
  SetTrack(f.song, 1, {Note(0, 60)});
  f.Range(1, 1, 0, 480);
  f.d.PopUpEditClick(kCmdErase);
  EXPECT_EQ(f.ui.Backups, 0);
  f.ui.Playing = true;
  f.d.PopUpEditClick(kCmdErase);
  EXPECT_EQ(f.ui.Backups, 0) << "no backup while playing";
  f.ui.Playing = false;
  f.d.PopUpEditClick(kCmdErase);
  EXPECT_EQ(f.ui.Backups, 1);
  EXPECT_EQ(f.d.EditCount, 0);
  f.d.BackupConds = 1;
  f.d.PopUpEditClick(kCmdErase);
  EXPECT_EQ(f.d.EditCount, 0) << "counting is off without bit value 2";
}

TEST(RangeOps, UndoBeforeAnyEditDoesNothing) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60)});
  auto snap = Snapshot(f.song);
  f.d.sbtUndoClick();
  EXPECT_EQ(Snapshot(f.song), snap);
  EXPECT_FALSE(f.d.Undo().UndoEnabled || f.d.Undo().RedoEnabled || f.d.Undo().ButtonEnabled);
}

TEST(RangeOps, CopyAfterACutLeavesTheCutsUndoAndItsState) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60), Note(500, 61), Note(1000, 62)});
  SetTrack(f.song, 2, {Note(100, 70)});
  auto before = Snapshot(f.song);
  f.Range(1, 1, 480, 960);
  f.d.PopUpEditClick(kCmdCut);
  f.Range(2, 2, 0, 480);
  f.d.PopUpEditClick(kCmdCopy);
  EXPECT_TRUE(f.d.Undo().UndoEnabled);
  EXPECT_FALSE(f.d.Undo().RedoEnabled);
  EXPECT_EQ(f.d.Undo().ButtonHint, "切り取り");
  f.d.sbtUndoClick();
  EXPECT_EQ(Snapshot(f.song), before);
  EXPECT_EQ(Ticks(f.song.Clipboard[0]), (std::vector<uint32_t>{100})) << "undo leaves the clipboard alone";
}

TEST(RangeOps, SetAtPositionKeepsThePreviousConductorInTheShadow) {
  Fixture f;
  SetTrack(f.song, 0, {Meta(0, 0x59, 0, 2), Meta(0, 0x06, 0, 0), Meta(1, 0x59, 0x0100, 2)});
  f.song.RebuildMaps();
  auto before = test::Bytes(f.song.Tracks[0]);
  f.Range(1, 1, 0, 0);  // empty: only tick 0 is cleared
  f.ui.Set = [](int, SetPositionValues& v) { v.Key = KeyValue(2, false); return true; };
  f.d.PopUpEditClick(kCmdKeySig);
  EXPECT_EQ(test::Bytes(f.song.ShadowTracks[0]), before);
  EXPECT_EQ(f.song.UndoFlags[0], 1);
  std::vector<uint32_t> keys;
  for (TrackWalker w(f.song.Tracks[0]); !w.AtEnd(); w.Advance())
    keys.push_back(w.Next().Data1 == 0x59 ? w.Next().Value : 0xFFFF);
  EXPECT_EQ(keys, (std::vector<uint32_t>{0x0200, 0xFFFF, 0x0100})) << "new key first, the key at tick 1 stays";
}

}  // namespace
}  // namespace melko

namespace melko {
namespace {

// A command that has nothing to work on is refused by the dispatcher itself,
// so no caller (menu, --edit, a view) can open an undo frame for it and lose
// the last edit's undo.
TEST(Dispatcher, CommandsWithNothingToDoKeepTheLastUndo) {
  struct Row {
    const char* name;
    int command;
    bool emptyClipboard;  // else an empty range
  } rows[] = {{"copy, empty range", kCmdCopy, false},        {"erase, empty range", kCmdErase, false},
              {"cut, empty range", kCmdCut, false},          {"transpose, empty range", kCmdTranspose, false},
              {"quantize, empty range", kCmdQuantize, false}, {"cutter, empty range", kCmdEventCutter, false},
              {"paste, empty clipboard", kCmdPaste, true},   {"insert, empty clipboard", kCmdInsert, true},
              {"mix, empty clipboard", kCmdMix, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fixture f;
    SetTrack(f.song, 1, {Note(0, 60), Note(M, 62), Note(2 * M, 64)});
    auto original = Snapshot(f.song);
    f.Range(1, 1, M, 2 * M);
    ASSERT_TRUE(f.d.PopUpEditClick(kCmdErase));
    auto erased = Snapshot(f.song);
    if (row.emptyClipboard) ClearClipboard(f.song);
    else f.Range(1, 1, 3 * M, 3 * M);
    size_t notices = f.log.Notices.size();
    int dialogs = f.ui.ToolDialogs;
    const uint32_t clip = f.song.ClipLength;

    EXPECT_FALSE(f.d.CommandEnabled(row.command));
    EXPECT_FALSE(f.d.PopUpEditClick(row.command));
    EXPECT_EQ(f.ui.ToolDialogs, dialogs) << "no dialog for a refused tool";
    EXPECT_EQ(f.log.Notices.size(), notices) << "nothing changed, nothing announced";
    EXPECT_EQ(Snapshot(f.song), erased);
    EXPECT_EQ(f.song.ClipLength, clip) << "the clipboard is left alone too";
    EXPECT_EQ(f.song.UndoFlags[1], 1);
    EXPECT_TRUE(f.d.Undo().UndoEnabled);
    EXPECT_EQ(f.d.Undo().ButtonHint, "消去");
    ASSERT_TRUE(f.d.sbtUndoClick());
    EXPECT_EQ(Snapshot(f.song), original) << "the erase is still undoable";
  }
}

TEST(Dispatcher, UndoAndRedoNeedAnEditAndTheMenuRulesComeFromTheDispatcher) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60), Note(M, 62)});
  f.Range(1, 1, 0, M);
  EXPECT_FALSE(f.d.CommandEnabled(kCmdUndo));
  EXPECT_FALSE(f.d.PopUpEditClick(kCmdRedo));
  EXPECT_TRUE(f.d.CommandEnabled(kCmdTempo)) << "the set commands need no range";
  ASSERT_TRUE(f.d.PopUpEditClick(kCmdCut));
  EditMenuEnabled e = f.d.PopEditMenuPopup();
  EXPECT_TRUE(e.Allows(kCmdUndo));
  EXPECT_FALSE(e.Allows(kCmdRedo));
  EXPECT_TRUE(e.Allows(kCmdPaste)) << "the cut filled the clipboard";
  ASSERT_TRUE(f.d.PopUpEditClick(kCmdUndo));
  e = f.d.PopEditMenuPopup();
  EXPECT_FALSE(e.Allows(kCmdUndo));
  EXPECT_TRUE(e.Allows(kCmdRedo));
  EXPECT_TRUE(f.d.CommandEnabled(kCmdUndo)) << "sbtUndo redoes then";
}

}  // namespace
}  // namespace melko
