// The event list's editing: commits by column, the keys, the reinsert
// buffer, the new row, the filter following edits, SysEx text, and the
// round trip of every cell typed back unchanged.
#include <gtest/gtest.h>

#include "base/text_encoding.h"
#include "edit/event_list_editor.h"
#include "edit/event_list_limits.h"
#include "edit/rpn_defs.h"
#include "edit/step_list.h"
#include "edit/edit_range.h"
#include "base/ini_file.h"
#include "edit_test_util.h"

namespace melko {
namespace {

using test::Chan;
using test::Ctrl;
using test::Ev;
using test::Meta;
using test::Note;

class EventListEdit : public ::testing::Test {
 protected:
  EventListEdit() : d(song, ui), e(song, d) {}
  void SetUp() override {
    test::SetTrack(song, 0, {Meta(0, 0x58, 0x04021808, 4), Meta(0, 0x51, 500000, 3)});
    song.RebuildMaps();
    test::SetTrack(song, 1, {Note(0, 60), Ctrl(0, 7, 100), Chan(480, 0xC0, 5), Note(960, 62, 80, 240)});
    e.Open(1);
  }
  const TMidiEvent& At(uint32_t i) const { return e.Model().Events()[i]; }

  Song song;
  test::FakeUi ui;
  EditDispatcher d;
  TEventListEditor e;
};

TEST_F(EventListEdit, ColumnsCommitTheirValues) {
  struct Case {
    const char* Name;
    uint32_t Row;
    int Col;
    const char* Text;
    std::function<bool(const TMidiEvent&)> Check;
  } cases[] = {
      {"program 0 is stored as 0", 2, 2, "0", [](const TMidiEvent& x) { return x.Data1 == 0; }},
      {"program with its kind name", 2, 2, "Prog     17", [](const TMidiEvent& x) { return x.Data1 == 16; }},
      {"program above 128 clamps", 2, 2, "300", [](const TMidiEvent& x) { return x.Data1 == 127; }},
      {"unreadable program keeps", 2, 2, "abc", [](const TMidiEvent& x) { return x.Data1 == 5; }},
      {"note by name", 0, 2, "Note   D  4", [](const TMidiEvent& x) { return x.Data1 == 74; }},
      {"velocity 0 clamps to 1", 0, 3, "0", [](const TMidiEvent& x) { return x.Data2 == 1; }},
      {"gate as length", 0, 4, "  1/ 10", [](const TMidiEvent& x) { return x.Value == 490; }},
      {"controller number", 1, 2, "10", [](const TMidiEvent& x) { return x.Data1 == 10; }},
      {"controller value", 1, 3, "200", [](const TMidiEvent& x) { return x.Data2 == 127; }},
      {"location", 1, 1, "  0/  2/   0", [](const TMidiEvent& x) { return x.Time == 480; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    SetUp();
    ASSERT_TRUE(e.SelectFull(c.Row).Refusal.empty());
    e.TypeCell(c.Col, c.Text, true);
    const TMidiEvent* found = nullptr;
    // The event may have moved by tick: find it by kind.
    for (const TMidiEvent& x : e.Model().Events())
      if ((x.Status >> 4) == (c.Row == 0 || c.Row == 3 ? 9 : c.Row == 1 ? 0xB : 0xC)) {
        found = &x;
        break;
      }
    ASSERT_TRUE(found);
    EXPECT_TRUE(c.Check(*found));
  }
}

TEST_F(EventListEdit, HexControllerNumbersAndBend) {
  e.Context.Settings = 0;
  e.SelectFull(1);
  e.TypeCell(2, "0A", true);
  EXPECT_EQ(At(1).Data1, 10);
  test::SetTrack(song, 2, {Chan(0, 0xE0, 0, 64)});
  e.Open(2);
  e.TypeCell(2, "-8192", true);
  EXPECT_EQ(At(0).Data1, 0);
  EXPECT_EQ(At(0).Data2, 0);
  e.TypeCell(2, "9000", true);
  EXPECT_EQ(At(0).Data1, 0x7F);
  EXPECT_EQ(At(0).Data2, 0x7F);
}

TEST_F(EventListEdit, ACommitIsOneUndoableEditAndKeepsTickOrder) {
  const auto before = test::Events(song.Tracks[1]);
  e.SelectFull(0);
  e.TypeCell(1, "  0/  4/   0", true);  // the first note moves after the program change
  EXPECT_EQ(test::Ticks(song.Tracks[1]), (std::vector<uint32_t>{0, 480, 960, 1440}));
  EXPECT_EQ(d.Undo().ButtonHint, "<List>イベント修正");
  d.sbtUndoClick();
  EXPECT_EQ(test::Events(song.Tracks[1]), before);
}

TEST_F(EventListEdit, LeavingAChangedRowCommitsIt) {
  e.SelectFull(3);
  e.TypeCell(3, "55");
  EXPECT_TRUE(e.RowChanged());
  EXPECT_EQ(test::Events(song.Tracks[1])[3].D2, 80);  // not yet
  e.KeyUp();
  EXPECT_EQ(test::Events(song.Tracks[1])[3].D2, 55);
  EXPECT_EQ(e.Row(), 2);
}

TEST_F(EventListEdit, EnterCommitsOnlyWhenTheSettingSaysSo) {
  e.TypeCell(3, "50");
  EXPECT_EQ(test::Events(song.Tracks[1])[0].D2, 100);
  e.KeyEscape();
  EXPECT_EQ(At(0).Data2, 100);
  EXPECT_FALSE(e.RowChanged());
  e.Context.Settings |= kListEnterCommits;
  e.TypeCell(3, "50");
  EXPECT_EQ(test::Events(song.Tracks[1])[0].D2, 50);
}

TEST_F(EventListEdit, TimeSignaturesNeitherMoveNorGo) {
  e.Open(0);
  ListKeyResult r = e.TypeCell(1, "  1/  1/   0", true);
  EXPECT_EQ(r.Refusal, kMsgMeterFixed);
  r = e.KeyDelete();
  EXPECT_EQ(r.Refusal, kMsgMeterFixed);
  EXPECT_EQ(test::Events(song.Tracks[0]).size(), 2u);
  // The same text typed back is no move.
  EXPECT_TRUE(e.TypeCell(1, "  0/  1/   0", true).Refusal.empty());
}

TEST_F(EventListEdit, TempoEditRebuildsTheTempoMap) {
  e.Open(0);
  e.SelectFull(1);
  e.TypeCell(3, "130", true);
  EXPECT_EQ(song.Maps.TempoMap[0].Tempo, 60000000u / 130);
  // Garbage keeps the tempo; out of range clamps.
  e.TypeCell(3, "fast", true);
  EXPECT_EQ(song.Maps.TempoMap[0].Tempo, 60000000u / 130);
  e.TypeCell(3, "900", true);
  EXPECT_EQ(song.Maps.TempoMap[0].Tempo, 60000000u / 500);
}

TEST_F(EventListEdit, DownOnTheLastRowAppendsACopyAndUpTakesItBack) {
  e.Step = 240;
  e.Select(3);
  e.KeyDown();
  ASSERT_TRUE(e.NewRowPending());
  ASSERT_EQ(e.Model().RowCount(), 5u);
  EXPECT_EQ(At(4).Time, 1200u);
  EXPECT_EQ(At(4).Data1, 62);
  EXPECT_EQ(test::Events(song.Tracks[1]).size(), 4u);  // not committed
  e.KeyUp();
  EXPECT_FALSE(e.NewRowPending());
  EXPECT_EQ(e.Model().RowCount(), 4u);
  EXPECT_EQ(e.Row(), 3);
  // Down twice: the first new row is committed when left downwards.
  e.KeyDown();
  e.KeyDown();
  EXPECT_EQ(test::Ticks(song.Tracks[1]), (std::vector<uint32_t>{0, 0, 480, 960, 1200}));
  EXPECT_TRUE(e.NewRowPending());
  EXPECT_EQ(e.KeyDelete().Committed, false);  // the pending row cannot be deleted
}

TEST_F(EventListEdit, NewRowAfterATimeSignatureIsATempoAndNeverPassesTheLargestTick) {
  test::SetTrack(song, 0, {Meta(0, 0x58, 0x04021808, 4)});
  e.Open(0);
  e.KeyDown();
  EXPECT_TRUE(At(1).IsMeta(0x51));
  EXPECT_EQ(At(1).Value, 500000u);
  test::SetTrack(song, 2, {Note(kMaxListTick - 10, 60)});
  e.Open(2);
  e.KeyDown();
  e.KeyDown();
  EXPECT_EQ(test::Ticks(song.Tracks[2]).back(), kMaxListTick);
}

TEST_F(EventListEdit, InsertAfterDeletePutsTheEventBack) {
  const std::string before = test::Bytes(song.Tracks[1]);
  e.SelectFull(2);
  e.KeyDelete();
  EXPECT_EQ(e.ReinsertCount(), 1);
  EXPECT_EQ(test::Events(song.Tracks[1]).size(), 3u);
  e.KeyInsert();
  EXPECT_EQ(test::Bytes(song.Tracks[1]), before);
  EXPECT_EQ(e.ReinsertCount(), 0);
  // Without a deleted event Insert copies the current one, a step on when
  // the next event is further away than that.
  e.Step = 120;
  e.SelectFull(2);
  e.KeyInsert();
  EXPECT_EQ(test::Ticks(song.Tracks[1]), (std::vector<uint32_t>{0, 0, 480, 600, 960}));
  e.SelectFull(0);
  e.KeyInsert();
  EXPECT_EQ(test::Ticks(song.Tracks[1]), (std::vector<uint32_t>{0, 0, 0, 480, 600, 960}));
}

TEST_F(EventListEdit, ADeletedTextComesBackWhole) {
  // The reinsert buffer keeps its own bytes: the buffer the event was read
  // from is the shadow that the insertion rebuilds.
  const std::string text = "verse one";
  TMidiEvent lyric = Meta(100, 5, 0, uint32_t(text.size()));
  lyric.Data = reinterpret_cast<const uint8_t*>(text.data());
  test::SetTrack(song, 3, {Note(0, 60), lyric, Note(200, 62)});
  const std::string before = test::Bytes(song.Tracks[3]);
  e.Open(3);
  e.SelectFull(1);
  e.KeyDelete();
  e.KeyInsert();
  EXPECT_EQ(test::Bytes(song.Tracks[3]), before);
  // A commit in between empties the buffer: Insert then copies the row.
  e.SelectFull(1);
  e.KeyDelete();
  e.SelectFull(0);
  e.TypeCell(3, "90", true);
  EXPECT_EQ(e.ReinsertCount(), 0);
  e.KeyInsert();
  EXPECT_EQ(test::Ticks(song.Tracks[3]), (std::vector<uint32_t>{0, 0, 200}));
}

TEST_F(EventListEdit, FunctionKeysSetStepVelocityAndGate) {
  e.KeyFunction(0, 1);
  EXPECT_EQ(e.Step, 1920u);
  e.KeyFunction(5, 1);
  EXPECT_EQ(e.Step, 60u);
  e.KeyFunction(1, 3);
  EXPECT_EQ(At(0).Data2, 100);
  e.KeyFunction(4, 3);
  EXPECT_EQ(At(0).Data2, 30);
  e.Step = 480;
  e.KeyFunction(2, 4);
  EXPECT_EQ(At(0).Value, 240u);
  e.Step = 1;
  e.KeyFunction(2, 4);
  EXPECT_EQ(At(0).Value, 1u);  // at least one tick
  EXPECT_TRUE(e.RowChanged());
  e.SetStepText("0");
  EXPECT_EQ(e.Step, 0u);
  e.SetStepText("  2/  0");
  EXPECT_EQ(e.Step, 960u);
}

TEST_F(EventListEdit, HiddenKindsComeBackWhenAnEditMakesThem) {
  e.Model().Filter.Bits = kListNote;
  e.Model().Filter.CtrlOn = true;
  e.Model().Filter.Ctrl = 10;
  e.Model().Refilter();
  EXPECT_EQ(e.Model().RowCount(), 2u);
  RpnTable t;
  ParseRpnText("[RPN]\n000 000 2 Pitch Bend Sensitivity\n", t);
  std::string text;
  auto events = MakeRpnEvents(t.Groups[0].Params[0], false, 2, 0, 0, 10, text);
  e.InsertEvents(events, kHintRpnInsert);
  EXPECT_EQ(e.Model().Filter.Bits, kListNote | kListCtrl | kListMeta);
  EXPECT_FALSE(e.Model().Filter.CtrlOn);
  EXPECT_EQ(d.Undo().ButtonHint, "<List>RPN/NRPN挿入");
  EXPECT_EQ(e.Model().RowCount(), 8u);  // the program change stays hidden
}

TEST_F(EventListEdit, SysExTextIsCheckedBeforeItBecomesAnEvent) {
  const std::string body("\x41\x10\x42\x12\x40\x00\x7F\x00\x41\xF7", 10);
  TMidiEvent sx = Meta(0, 0, 0, uint32_t(body.size()));
  sx.Status = 0xF0;
  sx.Data = reinterpret_cast<const uint8_t*>(body.data());
  test::SetTrack(song, 4, {sx});
  e.Open(4);
  const std::string before = test::Bytes(song.Tracks[4]);
  for (const char* bad : {"F0 41 10", "41 10 F7", "F0 41 80 F7", "F0 4G F7", "F0 F7 x"})
    EXPECT_FALSE(e.SetSysExText(bad).Refusal.empty()) << bad;
  EXPECT_FALSE(e.SetSysExText("F0 " + std::string(200000, '1') + " F7").Refusal.empty());
  EXPECT_EQ(test::Bytes(song.Tracks[4]), before);
  EXPECT_TRUE(e.SetSysExText("F0 7E 7F 09 01 F7").Committed);
  EXPECT_EQ(SysExHexText(At(0)), "F0 7E 7F 09 01 F7");
  // Typed into the data cell, the same checks.
  EXPECT_FALSE(e.TypeCell(4, " F0 01 02", true).Refusal.empty());
  EXPECT_TRUE(e.TypeCell(4, " f0 41 10 42 12 40 00 7f 00 41 f7", true).Committed);
  EXPECT_EQ(test::Bytes(song.Tracks[4]), before);
}

TEST_F(EventListEdit, CapsLockDropsCharactersOnlyInTheNoteColumn) {
  EXPECT_TRUE(e.DropsTypedChar(2, true));
  EXPECT_FALSE(e.DropsTypedChar(2, false));
  EXPECT_FALSE(e.DropsTypedChar(3, true));
  e.SelectFull(1);
  EXPECT_FALSE(e.DropsTypedChar(2, true));
}

// A track of every kind, each cell typed back as shown, leaves the bytes as
// they were; so does writing the array back without a change.
TEST_F(EventListEdit, EveryCellTypedBackUnchangedKeepsTheBytes) {
  const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // CP932 text
  const std::string utf8 = "歌";
  const std::string body("\x41\x10\x42\x12\x40\x00\x7F\x00\x41\xF7", 10);
  const std::string smpte("\x60\x00\x00\x00\x00", 5);
  auto withData = [](TMidiEvent ev, const std::string& s) {
    ev.Len = uint32_t(s.size());
    ev.Data = reinterpret_cast<const uint8_t*>(s.data());
    return ev;
  };
  TMidiEvent sx = withData(Meta(5, 0, 0, 0), body);
  sx.Status = 0xF0;
  test::SetTrack(song, 0, {Meta(0, 0x58, 0x03021808, 4), withData(Meta(0, 0x54, 0, 0), smpte),
                           Meta(0, 0x51, 470000, 3), Meta(0, 0x59, 0xFD01, 2), withData(Meta(0, 6, 0, 0), sjis),
                           withData(Meta(10, 1, 0, 0), utf8), sx});
  song.RebuildMaps();
  test::SetTrack(song, 1, {Note(0, 0, 1, 1), Note(3, 127, 127, 479999), Chan(3, 0xA0, 5, 6), Ctrl(7, 0, 127),
                           Chan(7, 0xC0, 127), Chan(8, 0xD0, 0), Chan(9, 0xE0, 0, 0), Chan(9, 0xE0, 0x7F, 0x7F),
                           sx, withData(Meta(1000, 5, 0, 0), sjis), withData(Meta(1000, 0x7F, 0, 0), body)});
  const auto snapshot = test::Snapshot(song);
  for (int settings : {0, 1}) {
    for (int track : {0, 1}) {
      e.Context.Settings = settings;
      e.Open(track);
      for (uint32_t row = 0; row < e.Model().Events().size(); ++row) {
        for (int col = 1; col <= 4; ++col) {
          e.SelectFull(row);
          const std::string text = DisplayText(e.Model().CellText(size_t(e.Row()), col, e.Row(), e.Context));
          ListKeyResult r = e.TypeCell(col, text, true);
          EXPECT_TRUE(r.Refusal.empty()) << track << ":" << row << ":" << col << " " << r.Refusal;
          EXPECT_FALSE(r.Committed) << track << ":" << row << ":" << col << " \"" << text << "\"";
        }
      }
      WriteEventsBack(song, d, track, e.Model().Events(), kHintListEdit);
      e.Open(track);
    }
  }
  EXPECT_EQ(test::Snapshot(song), snapshot);
}

}  // namespace
}  // namespace melko

namespace melko {
namespace {

TEST_F(EventListEdit, ATypedControllerOutsideTheTargetSwitchesTheTargetOff) {
  e.Model().Filter.CtrlOn = true;
  e.Model().Filter.Ctrl = 7;
  e.Model().Refilter();
  e.SelectFull(1);
  e.TypeCell(2, "10", true);
  EXPECT_FALSE(e.Model().Filter.CtrlOn);
  EXPECT_EQ(e.Model().RowCount(), 4u);
  EXPECT_EQ(e.Current().Data1, 10);
}

TEST(StepListTest, KeepsSixteenStepsInOrder) {
  StepList s;
  EXPECT_TRUE(s.Add("  1/  0", 480));
  EXPECT_TRUE(s.Add("0/240", 480));
  EXPECT_TRUE(s.Add("0", 480));
  EXPECT_FALSE(s.Add("0/480", 480));  // the same as 1/0
  EXPECT_EQ(s.Items(), (std::vector<std::string>{"0", "  0/240", "  1/  0"}));
  for (int i = 2; i < 40; ++i) s.Add(std::to_string(i) + "/0", 480);
  EXPECT_EQ(s.Items().size(), StepList::kMaxSteps);
  IniFile ini;
  s.Save(ini);
  StepList back;
  back.Load(ini, 480);
  EXPECT_EQ(back.Items(), s.Items());
}

}  // namespace
}  // namespace melko

namespace melko {
namespace {

TEST_F(EventListEdit, ALocationPastTheLargestTickClampsInsteadOfWrapping) {
  // 255 whole notes a measure at 30000 ticks a quarter: measure 999 lies far
  // beyond what a track can hold.
  song.TPQN = 30000;
  test::SetTrack(song, 0, {Meta(0, 0x58, MeterValue(255, 0), 4)});
  song.RebuildMaps();
  test::SetTrack(song, 1, {Note(0, 60), Note(10, 62)});
  e.Open(1);
  e.TypeCell(1, "999/1/0", true);
  EXPECT_EQ(test::Ticks(song.Tracks[1]), (std::vector<uint32_t>{10, kMaxListTick}));
}

}  // namespace
}  // namespace melko
