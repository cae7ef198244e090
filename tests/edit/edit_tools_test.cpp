// The edit tools run through the dispatcher, and their settings checks.
#include <gtest/gtest.h>

#include "edit/tool_checks.h"
#include "edit/tool_text.h"
#include "edit_test_util.h"

namespace melko {
namespace {

using test::Chan;
using test::Ctrl;
using test::Ev;
using test::Events;
using test::Note;
using test::SetTrack;
using test::Ticks;

struct Fixture {
  Song song;
  test::FakeUi ui;
  EditDispatcher d{song, ui};
  test::NoticeLog log{song};
  Fixture() {
    song.RebuildMaps();
    d.Range.EditFromTrack = d.Range.EditToTrack = 1;
    d.Range.EditFromTick = 0;
    d.Range.EditToTick = 100000;
  }
  // Runs a tool whose dialog answers with `set` applied to the settings.
  void Run(int command, const std::function<void(ToolSettings&)>& set) {
    ui.Tool = [set](int, ToolSettings& s) {
      set(s);
      return true;
    };
    d.PopUpEditClick(command);
  }
};

TEST(EditTools, TransposeClampsAndChanges) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 120), Note(10, 3), Ctrl(20, 7, 100), Note(200000, 60)});
  f.Run(kCmdTranspose, [](ToolSettings& s) {
    s.Transpose = {kTransposeBy, 60, 72};
  });
  auto ev = Events(f.song.Tracks[1]);
  EXPECT_EQ(ev[0].D1, 127);
  EXPECT_EQ(ev[1].D1, 15);
  EXPECT_EQ(ev[2].D1, 7) << "controllers are not notes";
  EXPECT_EQ(ev[3].D1, 60) << "outside the range";
  f.Run(kCmdTranspose, [](ToolSettings& s) { s.Transpose = {kTransposeChange, 15, 40}; });
  ev = Events(f.song.Tracks[1]);
  EXPECT_EQ(ev[0].D1, 127);
  EXPECT_EQ(ev[1].D1, 40);
  f.Run(kCmdTranspose, [](ToolSettings& s) { s.Transpose = {kTransposeBy, 72, 0}; });
  EXPECT_EQ(Events(f.song.Tracks[1])[1].D1, 0);
}

struct DynRow {
  const char* Name;
  DynamicsSettings Settings;
  TMidiEvent In;
  int WantD1, WantD2;
};

DynamicsSettings Dyn(int kind, int method, int amount, int control = 0) {
  DynamicsSettings d;
  d.Kind = kind;
  d.Method = method;
  d.Control = control;
  d.Add = amount;
  d.Change = static_cast<uint16_t>(amount);
  d.Set = amount;
  return d;
}

TEST(EditTools, Dynamics) {
  DynamicsSettings comp;
  comp.Kind = kDynControl;
  comp.Control = 7;
  comp.Method = kMethodCompress;
  comp.CompCenter = 64;
  comp.CompPerc = 50;
  comp.Lower = 40;
  comp.Upper = 80;
  const DynRow rows[] = {
      {"VelocityChange150", Dyn(kDynNote, kMethodChange, 150), Note(0, 60, 100), 60, 127},
      {"VelocitySetZeroGivesOne", Dyn(kDynNote, kMethodSet, 0), Note(0, 60, 100), 60, 1},
      {"VelocityAddClampsLow", Dyn(kDynNote, kMethodAdd, -200), Note(0, 60, 100), 60, 1},
      {"KeyPressureAdd", Dyn(kDynKeyPressure, kMethodAdd, 10), Chan(0, 0xA0, 60, 120), 60, 127},
      {"ChosenControllerOnly", Dyn(kDynControl, kMethodSet, 5, 7), Ctrl(0, 7, 100), 7, 5},
      {"OtherControllerUntouched", Dyn(kDynControl, kMethodSet, 5, 7), Ctrl(0, 10, 100), 10, 100},
      {"ChannelPressureIsFirstByte", Dyn(kDynChannelPressure, kMethodAdd, 10), Chan(0, 0xD0, 50), 60, 0},
      {"BendAddCarries", Dyn(kDynBend, kMethodAdd, 100), Chan(0, 0xE0, 0, 64), 100, 64},
      {"BendClampsHigh", Dyn(kDynBend, kMethodAdd, 100000), Chan(0, 0xE0, 0, 64), 127, 127},
      {"BendClampsLow", Dyn(kDynBend, kMethodSet, -9000), Chan(0, 0xE0, 0, 64), 0, 0},
      {"CompressInsideBounds", comp, Ctrl(0, 7, 80), 7, 72},
      {"CompressOutsideBounds", comp, Ctrl(0, 7, 90), 7, 90},
      {"NoteKindLeavesControllers", Dyn(kDynNote, kMethodSet, 1), Ctrl(0, 7, 90), 7, 90},
  };
  for (const DynRow& row : rows) {
    Fixture f;
    SetTrack(f.song, 1, {row.In});
    f.Run(kCmdDynamics, [&](ToolSettings& s) { s.Dynamics = row.Settings; });
    auto ev = Events(f.song.Tracks[1]);
    ASSERT_EQ(ev.size(), 1u) << row.Name;
    EXPECT_EQ(ev[0].D1, row.WantD1) << row.Name;
    EXPECT_EQ(ev[0].D2, row.WantD2) << row.Name;
  }
}

TEST(EditTools, GateSetWithTheText1Slash0SetsOneQuarter) {
  Fixture f;
  SetTrack(f.song, 1, {Note(0, 60, 100, 10), Note(5, 61, 100, 5000), Note(200000, 62, 100, 7)});
  f.Run(kCmdGateTime, [&](ToolSettings& s) {
    s.Gate.Method = kMethodSet;
    s.Gate.Set = static_cast<int>(ReadLengthText("1/0", s.Gate.Set, f.song.TPQN, false));
  });
  auto ev = Events(f.song.Tracks[1]);
  EXPECT_EQ(ev[0].Gate, 480u);
  EXPECT_EQ(ev[1].Gate, 480u);
  EXPECT_EQ(ev[2].Gate, 7u);
}

TEST(EditTools, GateMethodsClampToTheStoredRange) {
  struct Row {
    const char* Name;
    int Method, Amount;
    uint32_t In, Want;
  };
  const Row rows[] = {{"AddBelowOne", kMethodAdd, -500, 100, 1},
                      {"AddAboveMax", kMethodAdd, 479999, 100, 479999},
                      {"Change50", kMethodChange, 50, 101, 50},
                      {"Compress", kMethodCompress, 0, 280, 260}};
  for (const Row& row : rows) {
    Fixture f;
    SetTrack(f.song, 1, {Note(0, 60, 100, row.In)});
    f.Run(kCmdGateTime, [&](ToolSettings& s) {
      s.Gate.Method = row.Method;
      s.Gate.Add = row.Amount;
      s.Gate.Change = static_cast<uint16_t>(row.Amount);
      s.Gate.CompCenter = 240;
      s.Gate.CompPerc = 50;
    });
    EXPECT_EQ(Events(f.song.Tracks[1])[0].Gate, row.Want) << row.Name;
  }
}

QuantizeSettings Q(uint8_t type, uint16_t grid, uint8_t strength, int16_t shift = 0, uint8_t ratio = 90) {
  QuantizeSettings q;
  q.Type = type;
  q.Grid = grid;
  q.Strength = strength;
  q.Shift = shift;
  q.Ratio = ratio;
  return q;
}

TEST(EditTools, QuantizeGridShuffleAndGate) {
  struct Row {
    const char* Name;
    QuantizeSettings Settings;
    std::vector<uint32_t> In, Want;
  };
  const Row rows[] = {
      {"Grid100TieGoesToTheLaterLine", Q(kQuantizeGrid, 120, 100), {60, 170, 181}, {120, 120, 240}},
      {"Grid50MovesHalfWayTruncated", Q(kQuantizeGrid, 120, 50), {25, 60, 117}, {13, 90, 118}},
      {"Shuffle", Q(kQuantizeShuffle, 120, 100, 40), {0, 120, 130, 240, 360, 600}, {0, 130, 160, 240, 400, 640}},
      {"ShuffleBackwards", Q(kQuantizeShuffle, 120, 100, -40), {100, 120}, {80, 100}},
  };
  for (const Row& row : rows) {
    Fixture f;
    std::vector<TMidiEvent> in;
    for (uint32_t t : row.In) in.push_back(Note(t, 60));
    SetTrack(f.song, 1, in);
    f.Run(kCmdQuantize, [&](ToolSettings& s) { s.Quantize = row.Settings; });
    EXPECT_EQ(Ticks(f.song.Tracks[1]), row.Want) << row.Name;
  }
}

TEST(EditTools, QuantizeKeepsTheOrderOfEventsThatMeetOnATick) {
  Fixture f;
  // Notes land on 120 from either side; the controller at 120 stays.
  SetTrack(f.song, 1, {Note(110, 1), Ctrl(120, 7, 1), Note(130, 2), Note(131, 3), Ctrl(131, 10, 2)});
  f.Run(kCmdQuantize, [](ToolSettings& s) { s.Quantize = Q(kQuantizeGrid, 120, 100); });
  std::vector<Ev> want = {{120, 0x90, 1, 100, 120}, {120, 0xB0, 7, 1, 0}, {120, 0x90, 2, 100, 120},
                          {120, 0x90, 3, 100, 120}, {131, 0xB0, 10, 2, 0}};
  EXPECT_EQ(Events(f.song.Tracks[1]), want);
}

TEST(EditTools, QuantizeOnlyMovesNotesThatStartInRange) {
  Fixture f;
  f.d.Range.EditFromTick = 100;
  f.d.Range.EditToTick = 200;
  SetTrack(f.song, 1, {Note(70, 1), Note(110, 2), Note(210, 3)});
  f.Run(kCmdQuantize, [](ToolSettings& s) { s.Quantize = Q(kQuantizeGrid, 120, 100); });
  EXPECT_EQ(Ticks(f.song.Tracks[1]), (std::vector<uint32_t>{70, 120, 210}));
}

TEST(EditTools, GateQuantize) {
  // Ratio 90, grid 120: gate 200 lies between 0.9 × 120 = 108 and 0.9 × 240 = 216.
  struct Row {
    const char* Name;
    uint8_t Ratio, Strength;
    uint32_t In, Want;
  };
  const Row rows[] = {{"PulledUp", 90, 100, 200, 216},
                      {"HalfWay", 90, 50, 200, 208},
                      {"PulledDown", 90, 100, 120, 108},
                      {"RatioZeroActsAsOne", 0, 100, 10, 10}};
  for (const Row& row : rows) {
    Fixture f;
    SetTrack(f.song, 1, {Note(0, 60, 100, row.In)});
    f.Run(kCmdQuantize, [&](ToolSettings& s) { s.Quantize = Q(kQuantizeGate, 120, row.Strength, 0, row.Ratio); });
    EXPECT_EQ(Events(f.song.Tracks[1])[0].Gate, row.Want) << row.Name;
  }
}

TEST(EditTools, EventCutterOnVolumeThenPastePutsItBack) {
  Fixture f;
  std::vector<TMidiEvent> events = {Ctrl(0, 7, 100), Note(10, 60), Ctrl(480, 7, 90), Ctrl(480, 10, 64),
                                    Ctrl(960, 7, 80), Ctrl(2000, 7, 70)};
  SetTrack(f.song, 1, events);
  SetTrack(f.song, 2, {Ctrl(500, 7, 1), Ctrl(500, 11, 1)});
  auto original1 = Events(f.song.Tracks[1]);
  f.d.Range.EditToTrack = 2;
  f.d.Range.EditFromTick = 480;
  f.d.Range.EditToTick = 1920;
  f.Run(kCmdEventCutter, [](ToolSettings& s) {
    s.Cutter.Kind = kCutControl;
    CutterBounds(s.Cutter, 7);
  });
  EXPECT_EQ(Ticks(f.song.Tracks[1]), (std::vector<uint32_t>{0, 10, 480, 2000}));
  EXPECT_EQ(Ticks(f.song.Tracks[2]), (std::vector<uint32_t>{500}));
  EXPECT_EQ(Ticks(f.song.Clipboard[0]), (std::vector<uint32_t>{0, 480}));
  EXPECT_EQ(f.song.ClipLength, 1440u);
  EXPECT_EQ(f.song.ClipTrackSpan, 1);
  f.d.PopUpEditClick(kCmdMix);
  EXPECT_EQ(Events(f.song.Tracks[1]).size(), original1.size());
  std::vector<Ev> want2 = {{500, 0xB0, 11, 1, 0}, {500, 0xB0, 7, 1, 0}};
  EXPECT_EQ(Events(f.song.Tracks[2]), want2) << "mixed back after the event that stayed";
  // A paste over the same range puts back exactly the removed controllers.
  f.d.PopUpEditClick(kCmdUndo);
  f.d.PopUpEditClick(kCmdPaste);
  std::vector<Ev> want = {{0, 0xB0, 7, 100, 0}, {10, 0x90, 60, 100, 120}, {480, 0xB0, 7, 90, 0},
                          {960, 0xB0, 7, 80, 0}, {2000, 0xB0, 7, 70, 0}};
  EXPECT_EQ(Events(f.song.Tracks[1]), want) << "paste overwrites the range";
}

TEST(EditTools, CutterBoundsPerKind) {
  struct Row {
    const char* Name;
    int Kind, From, To;
    uint8_t Code, Status, Low, High;
  };
  const Row rows[] = {{"NotesSwapped", kCutNote, 72, 60, 0, 0x90, 60, 72},
                      {"KeyPressure", kCutKeyPressure, 1, 2, 0, 0xA0, 1, 2},
                      {"Ctrl", kCutControl, 0, 0, 7, 0xB0, 7, 7},
                      {"Program", kCutProgram, 0, 0, 0, 0xC0, 255, 255},
                      {"SysEx", kCutSysEx, 0, 0, 0, 0xF0, 255, 255},
                      {"Meta", kCutMeta, 0, 0, 6, 0xFF, 6, 6}};
  for (const Row& row : rows) {
    CutterSettings c;
    c.Kind = row.Kind;
    c.FromNote = row.From;
    c.ToNote = row.To;
    CutterBounds(c, row.Code);
    EXPECT_EQ(c.Status, row.Status) << row.Name;
    EXPECT_EQ(c.Low, row.Low) << row.Name;
    EXPECT_EQ(c.High, row.High) << row.Name;
  }
}

TEST(EditTools, DialogChecks) {
  DynamicsSettings d;
  d.Kind = kDynNote;
  d.Set = 0;
  d.Lower = 90;
  d.Upper = 200;
  d.Change = 5000;
  d.CompPerc = 300;
  CheckDynamics(d);
  EXPECT_EQ(d.Set, 1);
  EXPECT_EQ(d.Lower, 90);
  EXPECT_EQ(d.Upper, 127);
  EXPECT_EQ(d.Change, 999);
  EXPECT_EQ(d.CompPerc, 100);
  d.Lower = 100;
  d.Upper = 20;
  CheckDynamics(d);
  EXPECT_EQ(d.Lower, 20);
  EXPECT_EQ(d.Upper, 100);

  QuantizeSettings q;
  q.Type = kQuantizeShuffle;
  q.Shift = 500;
  q.Ratio = 0;
  CheckQuantize(q, 4, 480);
  EXPECT_EQ(q.Grid, 240);
  EXPECT_EQ(q.Shift, 240);
  EXPECT_EQ(q.Ratio, 1);
  EXPECT_EQ(QuantizeGrid(480, 9), 20) << "32nd triplets divide by 96";
  EXPECT_EQ(QuantizeGrid(480, 6), 120);
}

TEST(EditTools, EveryTrackOfTheRangeIsRebuiltAndMarked) {
  Fixture f;
  f.d.Range.EditFromTrack = 2;
  f.d.Range.EditToTrack = 4;
  SetTrack(f.song, 3, {Ctrl(0, 7, 1)});
  f.Run(kCmdTranspose, [](ToolSettings&) {});
  EXPECT_EQ(f.song.UndoFlags[1], 0);
  for (int t = 2; t <= 4; ++t) EXPECT_EQ(f.song.UndoFlags[t], 1) << t;
  EXPECT_EQ(f.d.Undo().ButtonHint, "Transpose");
  // One notice for the command, naming exactly the tracks it rebuilt.
  ASSERT_EQ(f.log.Notices.size(), 2u) << "the fixture's map rebuild, then the command";
  const SongChange& c = f.log.Notices.back();
  EXPECT_EQ(c.What, static_cast<uint32_t>(kChangeTrackData));
  for (int t = 0; t < kAllTracks; ++t) EXPECT_EQ(c.Tracks.test(t), t >= 2 && t <= 4) << t;
}

}  // namespace
}  // namespace melko

namespace melko {
namespace {

TEST(EditTools, QuantizeOrderHoldsWhenManyEventsAreOvertaken) {
  // 3000 notes at 181 move to 240 past 3000 controllers at 200: far more
  // moves than a local sort is given, so the whole array is sorted instead.
  Fixture f;
  std::vector<TMidiEvent> in;
  for (int i = 0; i < 3000; ++i) in.push_back(Note(181, static_cast<uint8_t>(i % 128)));
  for (int i = 0; i < 3000; ++i) in.push_back(Ctrl(200, 7, static_cast<uint8_t>(i % 128)));
  SetTrack(f.song, 1, in);
  f.Run(kCmdQuantize, [](ToolSettings& s) { s.Quantize = Q(kQuantizeGrid, 120, 100); });
  auto ev = Events(f.song.Tracks[1]);
  ASSERT_EQ(ev.size(), 6000u);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(ev[i], (Ev{200, 0xB0, 7, i % 128, 0})) << i;
    ASSERT_EQ(ev[3000 + i], (Ev{240, 0x90, i % 128, 100, 120})) << i;
  }
}

// A tool rewrites the values it is about and nothing else of a note: the
// note-off velocity rides along through every re-encode.
TEST(EditTools, ToolsKeepTheNoteOffVelocity) {
  struct Row {
    const char* Name;
    int Command;
    std::function<void(ToolSettings&)> Set;
  };
  const Row rows[] = {
      {"DynamicsOnVelocity", kCmdDynamics, [](ToolSettings& s) { s.Dynamics = Dyn(kDynNote, kMethodSet, 20); }},
      {"Transpose", kCmdTranspose, [](ToolSettings& s) { s.Transpose = {kTransposeBy, 60, 62}; }},
      {"GateTime", kCmdGateTime, [](ToolSettings& s) { s.Gate.Method = kMethodSet; s.Gate.Set = 7; }},
      {"QuantizeGrid", kCmdQuantize, [](ToolSettings& s) { s.Quantize = Q(kQuantizeGrid, 120, 100); }},
      {"QuantizeGate", kCmdQuantize, [](ToolSettings& s) { s.Quantize = Q(kQuantizeGate, 120, 100, 0, 90); }},
  };
  for (const Row& row : rows) {
    Fixture f;
    TMidiEvent n = Note(50, 60, 100, 100);
    n.Data3 = 64;
    SetTrack(f.song, 1, {n});
    f.Run(row.Command, row.Set);
    TrackWalker w(f.song.Tracks[1]);
    ASSERT_FALSE(w.AtEnd()) << row.Name;
    EXPECT_EQ(w.Next().Data3, 64) << row.Name;
  }
}

}  // namespace
}  // namespace melko
