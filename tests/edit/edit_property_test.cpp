// Properties over random tracks and ranges: cut then insert at the same place
// gives the track back byte for byte, and every command followed by undo
// gives every track back byte for byte.
#include <gtest/gtest.h>

#include <random>

#include "edit_test_util.h"

namespace melko {
namespace {

std::vector<TMidiEvent> RandomTrack(std::mt19937& rng, int count) {
  std::vector<TMidiEvent> events;
  uint32_t tick = 0;
  for (int i = 0; i < count; ++i) {
    tick += rng() % 4 == 0 ? 0 : rng() % 300;
    switch (rng() % 5) {
      case 0:
      case 1: events.push_back(test::Note(tick, rng() % 128, 1 + rng() % 127, 1 + rng() % 2000)); break;
      case 2: events.push_back(test::Ctrl(tick, rng() % 2 ? 7 : rng() % 128, rng() % 128)); break;
      case 3: events.push_back(test::Chan(tick, 0xE0, rng() % 128, rng() % 128)); break;
      default: events.push_back(test::Chan(tick, 0xD0, rng() % 128)); break;
    }
  }
  return events;
}

void RandomSong(Song& song, std::mt19937& rng) {
  song.RebuildMaps();
  for (int t = 1; t <= 8; ++t)
    if (rng() % 4) test::SetTrack(song, t, RandomTrack(rng, static_cast<int>(rng() % 200)));
}

void RandomRange(TEditRange& r, std::mt19937& rng) {
  r.EditFromTrack = 1 + static_cast<int>(rng() % 8);
  r.EditToTrack = 1 + static_cast<int>(rng() % 8);
  r.EditFromTick = rng() % 20000;
  r.EditToTick = rng() % 3 == 0 ? r.EditFromTick : rng() % 20000;
  r.RepeatCount = static_cast<int>(rng() % 4);
  r.Normalize();
}

TEST(EditProperties, CutThenInsertAtTheSamePlaceRestoresTheTracks) {
  for (unsigned seed = 1; seed <= 200; ++seed) {
    std::mt19937 rng(seed);
    Song song;
    test::FakeUi ui;
    EditDispatcher d(song, ui);
    RandomSong(song, rng);
    RandomRange(d.Range, rng);
    d.Range.RepeatCount = 1;
    auto before = test::Snapshot(song);
    d.PopUpEditClick(kCmdCut);
    d.PopUpEditClick(kCmdInsert);
    ASSERT_EQ(test::Snapshot(song), before) << "seed " << seed;
  }
}

TEST(EditProperties, AnyCommandFollowedByUndoRestoresEveryTrack) {
  const int commands[] = {kCmdCopy,      kCmdErase,    kCmdCut,      kCmdPaste,   kCmdInsert,
                          kCmdMix,       kCmdDynamics, kCmdTranspose, kCmdGateTime, kCmdQuantize,
                          kCmdEventCutter, kCmdTempo,  kCmdMeter,    kCmdKeySig};
  for (unsigned seed = 1; seed <= 60; ++seed) {
    std::mt19937 rng(seed);
    Song song;
    test::FakeUi ui;
    ui.Tool = [&rng](int, ToolSettings& s) {
      s.Dynamics.Kind = static_cast<int>(rng() % 5);
      s.Dynamics.Method = static_cast<int>(rng() % 4);
      s.Dynamics.Add = static_cast<int>(rng() % 300) - 150;
      s.Dynamics.Control = 7;
      s.Transpose.ToNote = static_cast<int>(rng() % 128);
      s.Gate.Method = static_cast<int>(rng() % 4);
      s.Quantize.Type = static_cast<uint8_t>(rng() % 3);
      s.Quantize.Strength = static_cast<uint8_t>(rng() % 101);
      s.Quantize.Shift = static_cast<int16_t>(rng() % 240) - 120;
      s.Cutter.Kind = static_cast<int>(rng() % 8);
      CutterBounds(s.Cutter, 7);
      return true;
    };
    ui.Set = [&rng](int, SetPositionValues& v) {
      v.Bpm = 30 + static_cast<int>(rng() % 200);
      return true;
    };
    EditDispatcher d(song, ui);
    RandomSong(song, rng);
    for (int step = 0; step < 12; ++step) {
      RandomRange(d.Range, rng);
      int command = commands[rng() % std::size(commands)];
      auto before = test::Snapshot(song);
      bool undoable = d.Undo().UndoEnabled;
      const bool ran = d.PopUpEditClick(command);
      // Meter and key off a measure start, copy, and a command refused for an
      // empty range or clipboard leave the tracks (and the undo) as they were.
      if (ran && d.Undo().UndoEnabled && (command != kCmdCopy) && ui.Messages.empty()) {
        d.PopUpEditClick(kCmdUndo);
        ASSERT_EQ(test::Snapshot(song), before) << "seed " << seed << " step " << step << " command " << command;
        d.PopUpEditClick(kCmdRedo);
      } else {
        ASSERT_EQ(test::Snapshot(song), before) << "seed " << seed << " command " << command;
        EXPECT_EQ(d.Undo().UndoEnabled, undoable);
      }
      ui.Messages.clear();
    }
  }
}

}  // namespace
}  // namespace melko
