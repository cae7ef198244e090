// The event list's cell texts: kind names, the location blanking rule and
// the third and fourth columns by kind.
#include <gtest/gtest.h>

#include "edit/event_list_model.h"
#include "edit/event_list_text.h"
#include "edit_test_util.h"
#include "sysex/sysex_param_nodes.h"

namespace melko {
namespace {

using test::Chan;
using test::Ctrl;
using test::Meta;
using test::Note;

TMidiEvent TextMeta(uint32_t tick, uint8_t type, const std::string& text) {
  TMidiEvent ev = Meta(tick, type, 0, uint32_t(text.size()));
  ev.Data = reinterpret_cast<const uint8_t*>(text.data());
  return ev;
}

TEST(EventListText, KindNamesAreSixCharacters) {
  struct Row {
    const char* Name;
    TMidiEvent Ev;
    const char* Want;
  } rows[] = {
      {"note", Note(0, 60), "Note  "},        {"kyprs", Chan(0, 0xA0, 60, 1), "KyPrs "},
      {"ctrl", Ctrl(0, 7, 1), "Ctrl  "},      {"prog", Chan(0, 0xC0, 1), "Prog  "},
      {"chprs", Chan(0, 0xD0, 1), "ChPrs "},  {"bend", Chan(0, 0xE0, 0, 64), "Bend  "},
      {"sysex", Chan(0, 0xF0, 0), "SysEx "},  {"text", Meta(0, 1, 0, 0), "Text  "},
      {"copyright", Meta(0, 2, 0, 0), "(C)   "}, {"cue", Meta(0, 7, 0, 0), "Cue   "},
      {"tempo", Meta(0, 0x51, 0, 3), "Tempo "}, {"52", Meta(0, 0x52, 0, 0), "52    "},
      {"smpte", Meta(0, 0x54, 0, 5), "SMPTE "}, {"meter", Meta(0, 0x58, 0, 4), "Meter "},
      {"key", Meta(0, 0x59, 0, 2), "Key   "},  {"other", Meta(0, 0x7F, 0, 0), "7F    "},
      {"port", Meta(0, 0x21, 0, 1), "21    "},
  };
  for (const Row& r : rows) EXPECT_EQ(KindName(r.Ev), r.Want) << r.Name;
}

TEST(EventListText, LocationBlanksWhatThePreviousRowShares) {
  SongMaps maps;  // 4/4 at 480
  EXPECT_EQ(LocationText(maps, 1920 + 480 + 5), "  1/  2/   5");
  // Same measure: the beat and tick stay.
  EXPECT_EQ(LocationCell(maps, 1920 + 480, true, 1920, false), "      2/   0");
  // Same measure and beat: only the tick part.
  EXPECT_EQ(LocationCell(maps, 1925, true, 1920, false), "           5");
  // Same tick: nothing at all.
  EXPECT_EQ(LocationCell(maps, 1920, true, 1920, false), "");
  // The selected row and the first row show everything.
  EXPECT_EQ(LocationCell(maps, 1920, true, 1920, true), "  1/  1/   0");
  EXPECT_EQ(LocationCell(maps, 1920, false, 0, false), "  1/  1/   0");
  // Another measure shows everything even at the same beat and tick.
  EXPECT_EQ(LocationCell(maps, 3840, true, 1920, false), "  2/  1/   0");
}

TEST(EventListText, ModelBlanksAgainstTheDisplayedPreviousRow) {
  Song song;
  test::SetTrack(song, 1, {Note(0, 60), Ctrl(0, 7, 1), Note(10, 62)});
  TEventListModel m;
  m.Filter.Bits = kListNote;
  m.Load(song, 1);
  ListTextContext c;
  c.Maps = &song.Maps;
  ASSERT_EQ(m.RowCount(), 2u);
  EXPECT_EQ(m.CellText(1, 0, -1, c), "1");
  EXPECT_EQ(m.CellText(1, 1, -1, c), "          10");
  EXPECT_EQ(m.CellText(1, 1, 1, c), "  0/  1/  10");
}

TEST(EventListText, FirstValuesByKind) {
  ListTextContext c;
  c.Settings = 0;
  EXPECT_EQ(KindCell(Ctrl(0, 10, 1), false, c), "Ctrl     0A");
  c.Settings = kListDecimalCtrl;
  EXPECT_EQ(KindCell(Ctrl(0, 10, 1), false, c), "Ctrl     10");
  EXPECT_EQ(KindCell(Chan(0, 0xC0, 0), false, c), "Prog      1");
  EXPECT_EQ(KindCell(Chan(0, 0xE0, 0, 0), false, c), "Bend  -8192");
  EXPECT_EQ(KindCell(Chan(0, 0xE0, 0x7F, 0x7F), false, c), "Bend   8191");
  EXPECT_EQ(KindCell(Note(0, 60), false, c), "Note   C  3");
  EXPECT_EQ(KindCell(Meta(0, 0x51, 500000, 3), true, c), "Tempo ");
}

TEST(EventListText, ConductorColumnsShowTempoMeterKeyAndTexts) {
  ListTextContext c;
  const std::string marker = "Intro";
  EXPECT_EQ(ThirdCell(Meta(0, 0x51, 500000, 3), true, c), "120");
  EXPECT_EQ(ThirdCell(Meta(0, 0x51, 0, 3), true, c), "0");  // a zero tempo does not divide
  EXPECT_EQ(ThirdCell(Meta(0, 0x58, 0x03021808, 4), true, c), "3/4");
  EXPECT_EQ(ThirdCell(Meta(0, 0x59, 0x0100, 2), true, c), "G  Maj");
  EXPECT_EQ(ThirdCell(TextMeta(0, 6, marker), true, c), "Intro");
  EXPECT_EQ(FourthCell(TextMeta(0, 6, marker), "", 0, c), " Intro");
  // On a user track the third column of a text is empty.
  EXPECT_EQ(ThirdCell(TextMeta(0, 6, marker), false, c), "");
  const std::string smpte("\x61\x02\x03\x04\x05", 5);
  EXPECT_EQ(ThirdCell(TextMeta(0, 0x54, smpte), true, c), "01:02:03:04.05");
  EXPECT_EQ(ThirdCell(Note(0, 60, 99), false, c), "99");
  EXPECT_EQ(FourthCell(Note(0, 60, 99, 600), "", 0, c), "  1/120");
}

TEST(EventListText, ControllerAndPatchNames) {
  NameTable control = ParseNameTable("07 Volume\n0A Panpot\n", "CONTROL.TXT", nullptr);
  ListTextContext c;
  c.Control = &control;
  EXPECT_EQ(FourthCell(Ctrl(0, 10, 64), "", 0, c), " Panpot");
  EXPECT_EQ(FourthCell(Ctrl(0, 11, 64), "", 0, c), " ");
  // Without a name the program number from 1.
  EXPECT_EQ(FourthCell(Chan(0, 0xC0, 4), "GM", 4, c), "5");
  std::string asked;
  uint32_t key = 0;
  c.PatchName = [&](const std::string& inst, uint32_t k) {
    asked = inst;
    key = k;
    return std::string("Piano 2");
  };
  Song song;
  song.Instrument[1] = "GS";
  test::SetTrack(song, 1, {Ctrl(0, 0, 8), Ctrl(0, 32, 2), Chan(0, 0xC0, 1)});
  TEventListModel m;
  m.Load(song, 1);
  EXPECT_EQ(m.CellText(2, 4, -1, c), "Piano 2");
  EXPECT_EQ(asked, "GS");
  EXPECT_EQ(key, 0x00080201u);
}

TEST(EventListText, SysExShowsItsParameterOrItsBytes) {
  const std::string body("\x41\x10\x42\x12\x40\x00\x7F\x00\x41\xF7", 10);
  TMidiEvent ev = TextMeta(0, 0, body);
  ev.Status = 0xF0;
  ListTextContext c;
  EXPECT_EQ(FourthCell(ev, "", 0, c), " F0 41 10 42 12 40 00 7F 00 41 F7");
  EXPECT_EQ(ThirdCell(ev, false, c), "");
  TSysExParamNodes nodes(std::string(MELKO_SHIPPED_DATA_DIR) + "/SysEx");
  c.Nodes = &nodes;
  const std::string d = ThirdCell(ev, true, c);
  EXPECT_FALSE(d.empty());
  EXPECT_NE(d.substr(0, 2), "F0") << d;
}

}  // namespace
}  // namespace melko
