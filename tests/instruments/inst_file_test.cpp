// Instrument files (.INS): the fixed columns, banks, drum banks, the display
// name, damaged lines, and FindKey's exact and fuzzy rules.
#include <gtest/gtest.h>

#include "instruments/inst_defs.h"
#include "temp_folder.h"

namespace melko {
namespace {

TmInst FromText(const std::string& text, MemoryLog* log = nullptr) {
  TmInst inst;
  inst.LoadFromBytes(text, "T.INS", log);
  return inst;
}

TEST(TmInstLoad, BanksFixedColumnsAndDrumFlag) {
  const TmInst inst = FromText(
      "  Sound Module  \r\n"
      "[Capital]\r\n"
      "000 000 001 Piano 1\r\n"
      "000 000 002 Piano 2\r\n"
      "\r\n"
      "; a comment is ignored\r\n"
      "[Variation]\r\n"
      "008 003 001 Piano 1w\r\n"
      "\r\n"
      "[Drum Set 1]\r\n"
      "255 255 001 Standard\r\n"
      "255 255 017 Power\r\n");  // no empty line: the end of the file closes it
  EXPECT_EQ(inst.DisplayName, "Sound Module");
  ASSERT_EQ(inst.Count(), 5);
  EXPECT_EQ(inst.Entries[0], "001 Piano 1");  // from column 9 on
  EXPECT_EQ(inst.Entries[2], "001 Piano 1w");
  EXPECT_EQ(inst.GetKey(0), MakePatchKey(0, 0, 0, false));
  EXPECT_EQ(inst.GetKey(2), 0x00080300u);
  EXPECT_EQ(inst.GetKey(4), 0x01FFFF10u);  // drum flag, no bank select, program 17
  ASSERT_EQ(inst.Banks.size(), 3u);
  EXPECT_EQ(inst.Banks[0].Name, "Capital");
  EXPECT_EQ(inst.Banks[0].FirstEntry, 0);
  EXPECT_EQ(inst.Banks[1].Name, "Variation");
  EXPECT_EQ(inst.Banks[1].FirstEntry, 2);
  EXPECT_EQ(inst.Banks[2].Name, "Drum Set 1");
  EXPECT_EQ(inst.Banks[2].FirstEntry, 3);
  EXPECT_EQ(inst.BankOf(1), 0);
  EXPECT_EQ(inst.BankOf(3), 2);
  EXPECT_EQ(inst.GetKey(99), 0u);
}

TEST(TmInstLoad, BankHeaderAsFirstLineIsTheDisplayName) {
  const TmInst inst = FromText("[General MIDI]\n000 000 001 Piano\n000 000 002 Bright\n\n");
  EXPECT_EQ(inst.DisplayName, "[General MIDI]");
  EXPECT_EQ(inst.Count(), 2);
  EXPECT_TRUE(inst.Banks.empty());  // its patches belong to no bank
  EXPECT_EQ(inst.BankOf(0), -1);
}

TEST(TmInstLoad, PatchesBeforeTheFirstBankAreShownInIt) {
  const TmInst inst = FromText("X\n000 000 001 Loose\n[Bank]\n000 000 002 Inside\n");
  ASSERT_EQ(inst.Banks.size(), 1u);
  EXPECT_EQ(inst.Banks[0].FirstEntry, 1);
  EXPECT_EQ(inst.BankOf(0), 0);
  EXPECT_EQ(inst.GetKey(0), MakePatchKey(0, 0, 0, false));  // not a drum, not in a bank
}

TEST(TmInstLoad, HeaderWithoutEmptyLineStillClosesTheBankBeforeIt) {
  const TmInst inst = FromText("X\n[A]\n000 000 001 a\n[Drum Set B]\n000 000 001 b\n\n000 000 003 c\n");
  ASSERT_EQ(inst.Banks.size(), 2u);
  EXPECT_EQ(inst.Banks[0].Name, "A");
  EXPECT_EQ(inst.Banks[1].FirstEntry, 1);
  EXPECT_FALSE(KeyIsDrum(inst.GetKey(0)));
  EXPECT_TRUE(KeyIsDrum(inst.GetKey(1)));
  EXPECT_FALSE(KeyIsDrum(inst.GetKey(2)));  // the empty line ended the drum bank
}

TEST(TmInstLoad, UnreadableFieldsReadAs255) {
  const TmInst inst = FromText("X\n0xx 0 0 abc Odd\n1\n");
  ASSERT_EQ(inst.Count(), 2);
  EXPECT_EQ(inst.GetKey(0), MakePatchKey(254, 255, 255, false));  // program field "abc"
  EXPECT_EQ(inst.Entries[0], "abc Odd");
  EXPECT_EQ(inst.GetKey(1), MakePatchKey(254, 255, 1, false));  // a line too short
  EXPECT_EQ(inst.Entries[1], "");
}

TEST(TmInstLoad, OutOfRangeLinesAreSkippedAndTheRestIsRead) {
  MemoryLog log;
  const TmInst inst = FromText(
      "X\n[B]\n000 000 001 First\n256 000 002 BadMsb\n000 -01 003 BadLsb\n000 000 000 ZeroProgram\n"
      "000 000 257 BigProgram\n000 000 256 LastProgram\n000 000 005 After\n",
      &log);
  ASSERT_EQ(inst.Count(), 3);
  EXPECT_EQ(inst.Entries[0], "001 First");
  EXPECT_EQ(inst.GetKey(1), MakePatchKey(255, 0, 0, false));
  EXPECT_EQ(inst.Entries[2], "005 After");
  ASSERT_EQ(inst.Banks.size(), 1u);
  ASSERT_EQ(log.Lines.size(), 4u);
  EXPECT_EQ(log.Lines[0], "T.INS: line 4: bank or program number out of range, the patch is skipped");
  EXPECT_NE(log.Lines[3].find("line 7"), std::string::npos);
}

TEST(TmInstLoad, MissingFileGivesNothing) {
  test::TempFolder dir;
  MemoryLog log;
  TmInst inst;
  EXPECT_FALSE(inst.Load(dir.Path() + "/NONE.INS", &log));
  EXPECT_EQ(inst.Count(), 0);
  EXPECT_EQ(log.Lines.size(), 1u);
  EXPECT_EQ(inst.GetName(0), "?");
}

TEST(TmInstLoad, ReadsFromDiskWithBom) {
  test::TempFolder dir;
  TmInst inst;
  EXPECT_TRUE(inst.Load(dir.Write("A.INS", "\xEF\xBB\xBFName\n[B]\n000 000 001 P\n"), nullptr));
  EXPECT_EQ(inst.DisplayName, "Name");
  EXPECT_EQ(inst.Count(), 1);
}

// Program 1 in a melodic bank, a variation bank and a drum bank.
const char kSameProgram[] =
    "X\n[Capital]\n000 000 001 Piano\n000 000 002 Bright\n\n[Var]\n008 000 001 PianoW\n\n"
    "[Drum Set]\n000 000 001 Standard\n000 000 002 Room\n\n";

TEST(TmInstFindKey, ExactThenFuzzyByProgramAndDrumFlag) {
  TmInst inst = FromText(kSameProgram);
  EXPECT_EQ(inst.FindKey(MakePatchKey(0, 0, 8, false)), 2);
  EXPECT_TRUE(inst.Exact);
  EXPECT_EQ(inst.FindKey(MakePatchKey(0, 0, 0, true)), 3);
  EXPECT_TRUE(inst.Exact);

  // Not in the file: the first patch with the same program and drum flag.
  EXPECT_EQ(inst.FindKey(MakePatchKey(0, 0, 16, false)), 0);
  EXPECT_FALSE(inst.Exact);
  EXPECT_EQ(inst.FindKey(MakePatchKey(0, 0, 16, true)), 3);
  EXPECT_FALSE(inst.Exact);
  EXPECT_EQ(inst.GetName(MakePatchKey(1, 5, 5, true)), "002 Room");
  // No program 3 at all.
  EXPECT_EQ(inst.FindKey(MakePatchKey(2, 0, 0, false)), -1);
  EXPECT_EQ(inst.GetName(MakePatchKey(2, 0, 0, false)), "?");
}

TEST(TmInstFindKey, WithoutAMatchingDrumFlagTheLastSameProgramWins) {
  TmInst inst = FromText("X\n[A]\n000 000 001 a\n008 000 001 b\n\n[Drum Set]\n000 000 002 d\n");
  EXPECT_EQ(inst.FindKey(MakePatchKey(0, 0, 0, true)), 1);
  EXPECT_FALSE(inst.Exact);
}

TEST(TmInstFindKey, NotFuzzyFindsOnlyTheWholeKey) {
  TmInst inst = FromText(kSameProgram);
  inst.Fuzzy = false;
  EXPECT_EQ(inst.FindKey(MakePatchKey(0, 0, 16, false)), -1);
  EXPECT_FALSE(inst.Exact);
  EXPECT_EQ(inst.FindKey(MakePatchKey(1, 0, 0, false)), 1);
  EXPECT_TRUE(inst.Exact);
}

}  // namespace
}  // namespace melko
