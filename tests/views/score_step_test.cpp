// Step entry of the score: the step arithmetic, the boxes' lenient reading,
// both key tables, and the edits that write and remove notes (each undoable).
#include "views/score_step.h"

#include <gtest/gtest.h>

#include "edit/edit_test_util.h"
#include "song/smf_reader.h"
#include "views/score_staff.h"

namespace melko {
namespace {

using test::Ev;
using test::Events;
using test::Note;

struct Score {
  Song song;
  test::FakeUi ui;
  std::unique_ptr<EditDispatcher> d;
  StepEntryState state;
  std::unique_ptr<ScoreStep> w;
  explicit Score(uint16_t tpqn = 480) {
    song.ClearSong();
    song.TPQN = tpqn;
    ApplySongLoaded(song);
    d = std::make_unique<EditDispatcher>(song, ui);
    d->SongLoaded();
    state.SongLoaded(tpqn);
    w = std::make_unique<ScoreStep>(song, *d, state, 1);
  }
  std::vector<Ev> Track() { return Events(song.Tracks[1]); }
  void Keys(std::initializer_list<std::pair<int, int>> keys) {
    for (auto [vk, mods] : keys) w->KeyDown(vk, mods);
  }
};

TEST(ScoreStepArithmetic, NoteValuesDotsTiesAndTuplets) {
  struct Row {
    const char* name;
    std::function<void(ScoreStep&)> run;
    int32_t step;
  };
  const std::vector<Row> rows = {
      {"quarter twice is a half", [](ScoreStep& w) { w.ChooseNoteValue(3); w.ChooseNoteValue(3); }, 960},
      {"quarter tie eighth", [](ScoreStep& w) { w.ChooseNoteValue(3); w.Tie(); w.ChooseNoteValue(4); }, 720},
      {"quarter then eighth replaces", [](ScoreStep& w) { w.ChooseNoteValue(3); w.ChooseNoteValue(4); }, 240},
      {"quarter dot", [](ScoreStep& w) { w.ChooseNoteValue(3); w.Dot(); }, 720},
      {"quarter dot dot", [](ScoreStep& w) { w.ChooseNoteValue(3); w.Dot(); w.Dot(); }, 840},
      {"whole", [](ScoreStep& w) { w.ChooseNoteValue(1); }, 1920},
      {"64th", [](ScoreStep& w) { w.ChooseNoteValue(7); }, 30},
      {"tuplet 3", [](ScoreStep& w) { w.ChooseNoteValue(3); w.ApplyTuplet("3"); }, 320},
      {"tuplet 4 unchanged", [](ScoreStep& w) { w.ChooseNoteValue(3); w.ApplyTuplet("4"); }, 480},
      {"tuplet 5", [](ScoreStep& w) { w.ChooseNoteValue(3); w.ApplyTuplet("5"); }, 384},
      {"tuplet 16 clamps to 15", [](ScoreStep& w) { w.ChooseNoteValue(3); w.ApplyTuplet("16"); }, 480 * 8 / 15},
      {"tuplet text unreadable is 3", [](ScoreStep& w) { w.ChooseNoteValue(3); w.ApplyTuplet("x"); }, 320},
      {"after a tuplet the same value starts anew", [](ScoreStep& w) { w.ChooseNoteValue(3); w.ApplyTuplet("3"); w.ChooseNoteValue(3); }, 480},
  };
  for (const Row& r : rows) {
    Score s;
    r.run(*s.w);
    EXPECT_EQ(s.state.StepTime, r.step) << r.name;
  }
  Score s;
  s.w->ApplyTuplet("16");
  EXPECT_EQ(s.w->Palette.TupletText, "15");
}

TEST(ScoreStepArithmetic, GateFromRatioAndTheOneTickStep) {
  Score s;
  s.w->ChooseNoteValue(3);
  s.w->GateRatioTyped("90");
  EXPECT_EQ(s.state.StepEvent.Value, 432u);
  s.state.StepTime = 1;
  s.w->GateRatioTyped("50");
  EXPECT_EQ(s.state.StepEvent.Value, 1u) << "a gate is never 0";
  s.w->GateRatioTyped("abc");
  EXPECT_EQ(s.state.GateRatio, 80);
  s.w->GateRatioTyped("500");
  EXPECT_EQ(s.state.GateRatio, 100);
  // The gate box: 1..StepTime, the ratio stays.
  s.w->ChooseNoteValue(2);
  s.w->GateValueTyped("9999");
  EXPECT_EQ(s.state.StepEvent.Value, 960u);
  s.w->GateValueTyped("zz");
  EXPECT_EQ(s.state.StepEvent.Value, 960u);
  EXPECT_EQ(s.state.GateRatio, 100);
}

TEST(ScoreStepArithmetic, VelocityBoxAndPresets) {
  Score s;
  EXPECT_EQ(s.state.Velocity(), 100) << "f is down at start";
  for (auto [text, want] : {std::pair{"abc", 64}, {"200", 127}, {"0", 1}, {"77", 77}}) {
    s.w->VelocityTyped(text);
    EXPECT_EQ(s.state.Velocity(), want) << text;
  }
  s.w->VelocityPreset(5);
  EXPECT_EQ(s.state.Velocity(), 10);
  s.w->VelocityTyped("127");
  s.w->IncVelocity(1);
  EXPECT_EQ(s.state.Velocity(), 127);
}

TEST(ScoreStepArithmetic, TimebaseBelowFourKeepsGridAndStepAboveZero) {
  Score s(2);
  EXPECT_EQ(s.state.GridStep, 1);
  EXPECT_EQ(s.state.StepTime, 1);
  s.w->SetGrid(32);
  EXPECT_EQ(s.state.GridStep, 1);
  s.w->SetTick(7);
  s.w->KeyDown(kVkRight, kModShift);
  EXPECT_EQ(s.w->Tick(), 8u);
  EXPECT_EQ(s.w->SnapTick(5, false), 5u);
  // Distinct pixels still give distinct ticks.
  EXPECT_EQ(TickAtX(0, 0, 1, 2), 0u);
  EXPECT_EQ(TickAtX(2, 0, 1, 2), 1u);
  EXPECT_EQ(TickAtX(10, 6, 4, 480), 480u);
}

TEST(ScoreStepArithmetic, GridButtonsAndTripletGrid) {
  Score s;
  s.w->SetGrid(8);
  EXPECT_EQ(s.state.GridStep, 240);
  s.w->SetGridTriplet(true);
  EXPECT_EQ(s.state.GridStep, 160);
  s.w->SetGrid(4);
  EXPECT_EQ(s.state.GridStep, 320);
  s.w->ChooseNoteValue(4);
  s.w->TripletButton();
  EXPECT_EQ(s.state.StepTime, 160);
  EXPECT_EQ(s.state.GridStep, 160);
}

TEST(ScoreStepKeys, CursorMovesAndLimits) {
  Score s;
  // Two measures of 4/4: 1920 ticks each.
  s.w->SetTick(1000);
  s.w->KeyDown(kVkLeft, kModShift);
  EXPECT_EQ(s.w->Tick(), 960u);
  s.w->KeyDown(kVkRight, kModShift);
  EXPECT_EQ(s.w->Tick(), 1080u);
  s.w->KeyDown(kVkLeft, kModCtrl | kModShift);
  EXPECT_EQ(s.w->Tick(), 1070u);
  s.w->KeyDown(kVkHome, 0);
  EXPECT_EQ(s.w->Tick(), 0u);
  s.w->KeyDown(kVkLeft, 0);
  EXPECT_EQ(s.w->Tick(), 0u) << "never below 0";
  s.w->SetTick(1920);
  s.w->KeyDown(kVkHome, 0);
  EXPECT_EQ(s.w->Tick(), 0u) << "from a measure start to the one before";
  s.w->KeyDown(kVkEnd, 0);
  EXPECT_EQ(s.w->Tick(), 1920u);
  s.w->KeyDown(kVkHome, kModShift);
  EXPECT_EQ(s.w->Tick(), 0u);

  struct Row {
    int from, vk, want;
  };
  for (Row r : {Row{120, kVkPrior, 127}, {114, kVkPrior, 126}, {115, kVkPrior, 127}, {12, kVkNext, 0},
                {13, kVkNext, 1}, {127, kVkUp, 127}, {0, kVkDown, 0}}) {
    s.w->SetNote(r.from);
    s.w->KeyDown(r.vk, 0);
    EXPECT_EQ(s.w->Note(), r.want) << "from " << r.from << " key " << r.vk;
  }
  s.w->SetNote(66);  // F#4
  s.w->KeyDown('C', 0);
  EXPECT_EQ(s.w->Note(), 60);
  s.w->KeyDown('B', 0);
  EXPECT_EQ(s.w->Note(), 71);
  s.w->SetNote(127);
  s.w->KeyDown('B', 0);
  EXPECT_EQ(s.w->Note(), 127) << "clamped";
}

TEST(ScoreStepKeys, FunctionAndNumpadKeys) {
  Score s;
  s.Keys({{kVkF1 + 2, 0}});
  EXPECT_EQ(s.state.StepTime, 480);
  s.Keys({{kVkNumpad1 + 2, 0}});
  EXPECT_EQ(s.state.StepTime, 960);
  s.Keys({{kVkF1 + 4, kModShift}});
  EXPECT_EQ(s.state.Velocity(), 30);
  s.Keys({{kVkF1 + 6, kModShift}});
  EXPECT_EQ(s.state.Velocity(), 30) << "no seventh velocity preset";
  s.Keys({{kVkF1 + 2, kModCtrl}});
  EXPECT_EQ(s.state.GateRatio, 50);
  s.Keys({{kVkUp, kModCtrl}, {kVkDown, kModShift}});
  EXPECT_EQ(s.state.GateRatio, 51);
  EXPECT_EQ(s.state.Velocity(), 29);
  // Without pen mode the pen keys do nothing.
  bool handled = true;
  s.w->KeyDown(kVkReturn, 0, &handled);
  EXPECT_FALSE(handled);
  EXPECT_TRUE(s.Track().empty());
  // The tuplet key hands the keys to the tuplet box: numpad keys go there.
  s.w->SetPen(true);
  s.Keys({{kVkDivide, 0}});
  const int32_t before = s.state.StepTime;
  s.Keys({{kVkNumpad1, 0}});
  EXPECT_EQ(s.state.StepTime, before);
}

TEST(ScoreStepEdits, EnterWritesAndAdvancesShiftEnterMakesAChord) {
  Score s;
  s.w->SetPen(true);
  s.w->SetNote(60);
  s.Keys({{kVkF1 + 2, 0}, {kVkReturn, 0}, {kVkDecimal, 0}, {'E', 0}, {kVkReturn, 0}});
  EXPECT_EQ(s.Track(), (std::vector<Ev>{{0, 0x90, 60, 100, 432}, {480, 0x90, 64, 100, 648}}));
  EXPECT_EQ(s.w->Tick(), 480u + 720u);
  EXPECT_EQ(s.d->Undo().ButtonHint, kHintStepNote);
  s.Keys({{'G', 0}, {kVkReturn, kModShift}, {'B', 0}, {kVkReturn, kModShift}});
  EXPECT_EQ(s.w->Tick(), 1200u) << "Shift+Enter stays";
  auto t = s.Track();
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[2].Tick, 1200u);
  EXPECT_EQ(t[3].Tick, 1200u);
  // Each note is one undo step.
  s.d->sbtUndoClick();
  EXPECT_EQ(s.Track().size(), 3u);
}

TEST(ScoreStepEdits, HeldKeysEnterAChordInOneEdit) {
  Score s;
  s.w->SetPen(true);
  s.state.HoldKey(60);
  s.state.HoldKey(67);
  s.state.HoldKey(64);
  s.Keys({{kVkReturn, 0}});
  auto t = s.Track();
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].D1, 60);
  EXPECT_EQ(t[1].D1, 64);
  EXPECT_EQ(t[2].D1, 67);
  EXPECT_EQ(s.song.ClipLength, 0u) << "the carrier is emptied";
  s.d->sbtUndoClick();
  EXPECT_TRUE(s.Track().empty());
}

TEST(ScoreStepEdits, BackspaceDeleteAndInsert) {
  Score s;
  test::SetTrack(s.song, 1, {Note(0, 60), Note(240, 62), Note(240, 65), test::Ctrl(240, 7, 100), Note(960, 64)});
  s.w->SetPen(true);
  s.w->SetTick(0);
  const auto before = s.Track();
  s.Keys({{kVkBack, 0}});
  EXPECT_EQ(s.Track(), before) << "nothing before the cursor";
  s.w->SetTick(900);
  s.Keys({{kVkBack, 0}});
  EXPECT_EQ(s.w->Tick(), 240u);
  EXPECT_EQ(s.Track(), (std::vector<Ev>{{0, 0x90, 60, 100, 120}, {240, 0xB0, 7, 100, 0}, {960, 0x90, 64, 100, 120}}));
  EXPECT_EQ(s.song.ClipLength, 1u);
  EXPECT_EQ(Events(s.song.Clipboard[0]).size(), 2u) << "the removed notes can be pasted again";
  EXPECT_EQ(Events(s.song.Clipboard[0])[0].Tick, 0u);
  s.w->SetTick(961);
  s.Keys({{kVkDelete, 0}});
  EXPECT_EQ(s.Track().size(), 3u) << "Delete looks at the cursor tick only";
  s.w->SetTick(960);
  s.Keys({{kVkDelete, 0}});
  EXPECT_EQ(s.Track().size(), 2u);
  s.w->SetTick(100);
  s.Keys({{kVkInsert, 0}});
  EXPECT_EQ(s.Track(), (std::vector<Ev>{{0, 0x90, 60, 100, 120}, {480, 0xB0, 7, 100, 0}}));
  s.d->sbtUndoClick();
  EXPECT_EQ(s.Track()[1].Tick, 240u);
}

TEST(ScoreStepEdits, MidiChordCollectsNotesReleasedTogether) {
  Score s;
  s.w->Palette.ByMidi = true;
  s.w->MidiMessage(0, 0x90, 60, 90);
  s.w->MidiMessage(10, 0x90, 64, 80);
  s.w->MidiMessage(500, 0x80, 60, 0);
  s.w->MidiMessage(520, 0x90, 64, 0);
  EXPECT_EQ(s.Track(), (std::vector<Ev>{{0, 0x90, 60, 90, 216}, {0, 0x90, 64, 80, 216}}));
  EXPECT_EQ(s.w->Tick(), 240u);
  // A note released long after another starts a new chord: the first is dropped.
  s.w->MidiMessage(600, 0x90, 67, 70);
  s.w->MidiMessage(610, 0x90, 69, 70);
  s.w->MidiMessage(700, 0x80, 67, 0);
  s.w->MidiMessage(1000, 0x90, 72, 70);
  s.w->MidiMessage(1100, 0x80, 69, 0);
  s.w->MidiMessage(1120, 0x80, 72, 0);
  auto t = s.Track();
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[2].D1, 69);
  EXPECT_EQ(t[3].D1, 72);
}

TEST(ScoreStaffGeometry, KeyPitchAndTheMouseColumn) {
  EXPECT_EQ(KeyPitch(0, 3), 5);
  EXPECT_EQ(KeyPitch(1, 3), 6) << "F sharp in G major";
  EXPECT_EQ(KeyPitch(-1, 6), 10);
  EXPECT_EQ(KeyPitch(-7, 0), -1);
  EXPECT_EQ(KeyPitch(7, 6), 12);
  EXPECT_EQ(NoteAtStep(0, -7), 0) << "clamped";
  EXPECT_EQ(NoteAtStep(kTopStepMax, 0), 127);
  // A click on the top line of the treble staff (F of octave 6) in G major.
  const int nh = 3, top = TopStep(20);
  const int fLine = 6 * 7 + 3;
  EXPECT_EQ(StepAtY(StepY(fLine, top, nh), top, nh), fLine);
  EXPECT_EQ(StepAtY(StepY(fLine, top, nh) + 1, top, nh), fLine);
  EXPECT_EQ(StepAtY(StepY(fLine, top, nh) + 2, top, nh), fLine - 1);
  EXPECT_EQ(NoteAtStep(fLine, 1), 78);
  EXPECT_EQ(StepAtY(100000, top, nh), 0);
  EXPECT_EQ(GridLineTicks(480, 4), 480u * 4 / 2);
  EXPECT_EQ(GridLineTicks(480, 20), 120u);
  EXPECT_EQ(GridLineTicks(480, 1), 1920u);
}

TEST(ScoreStaffGeometry, SpellingOnTheStaff) {
  struct Row {
    int note, ks, step, alter;
    char mark;
  };
  for (Row r : {Row{66, 1, 38, 1, ' '}, {65, 1, 38, 0, 'n'}, {70, 0, 40, 1, '#'}, {70, -2, 41, -1, ' '}, {68, -1, 40, -1, 'b'}, {70, -1, 41, -1, ' '},
                {60, 7, 34, 1, ' '}, {59, -7, 35, -1, ' '}, {61, 0, 35, 1, '#'}}) {
    StaffSpelling s = SpellForStaff(r.note, r.ks);
    EXPECT_EQ(s.Step, r.step) << r.note << " in " << r.ks;
    EXPECT_EQ(s.Alter, r.alter) << r.note << " in " << r.ks;
    EXPECT_EQ(s.Mark, r.mark) << r.note << " in " << r.ks;
  }
}

}  // namespace
}  // namespace melko
