// Drum files (.DRM) and their reader: the display name, drum sets and their
// keys, lazily loaded note names, FindKey, and the reader's key rules.
#include <gtest/gtest.h>

#include "instruments/inst_defs.h"
#include "instruments/tm_ini_file.h"
#include "temp_folder.h"

namespace melko {
namespace {

TEST(TmIniFileRules, KeysValuesAndSections) {
  TmIniFile ini;
  ini.LoadFromBytes(
      "[Info]\r\nName=Kit \r\n[ Spaced ]\r\nKey = v\r\nkey=second\r\n[bad\r\nhidden=1\r\n[]\r\n[Info]\r\nName=dup\r\n"
      "[Numbers]\r\nA=0x1F\r\nB=$10\r\nC= 12\r\nD=12 \r\nE=-7\r\nF=0X7f\r\nG=x\r\n");
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Info", " Spaced ", "Info", "Numbers"}));
  EXPECT_EQ(ini.ReadString("INFO", "name", "?"), "Kit ");  // not trimmed, first section of the name
  EXPECT_EQ(ini.ReadString(2, "Name", "?"), "dup");
  EXPECT_EQ(ini.ReadString(" spaced ", "Key", "?"), "second");  // "Key " is not "Key"
  EXPECT_EQ(ini.ReadString(" Spaced ", "Key ", "?"), " v");
  // A line beginning with "[" ends the section even when it is no header.
  EXPECT_EQ(ini.ReadString(" Spaced ", "hidden", "none"), "none");
  EXPECT_EQ(ini.ReadString("Missing", "Name", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("Numbers", "A", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Numbers", "B", 0), 16);
  EXPECT_EQ(ini.ReadInteger("Numbers", "C", 0), 12);
  EXPECT_EQ(ini.ReadInteger("Numbers", "D", 99), 99);
  EXPECT_EQ(ini.ReadInteger("Numbers", "E", 0), -7);
  EXPECT_EQ(ini.ReadInteger("Numbers", "F", 0), 127);
  EXPECT_EQ(ini.ReadInteger("Numbers", "G", 5), 5);
  EXPECT_EQ(ini.ReadInteger("Numbers", "Z", 5), 5);
}

TEST(TmIniFileRules, IntegerLimits) {
  int32_t v = 0;
  EXPECT_TRUE(TmIniFile::ParseInteger("2147483647", v));
  EXPECT_EQ(v, 2147483647);
  EXPECT_TRUE(TmIniFile::ParseInteger("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_FALSE(TmIniFile::ParseInteger("2147483648", v));
  EXPECT_TRUE(TmIniFile::ParseInteger("$FFFFFFFF", v));
  EXPECT_EQ(v, -1);
  EXPECT_FALSE(TmIniFile::ParseInteger("$100000000", v));
  EXPECT_FALSE(TmIniFile::ParseInteger("99999999999999999999999", v));
  EXPECT_FALSE(TmIniFile::ParseInteger("", v));
  EXPECT_FALSE(TmIniFile::ParseInteger("-", v));
  EXPECT_FALSE(TmIniFile::ParseInteger("0x", v));
}

const char kKits[] =
    "[InstInfo]\nName=Test Drums\n\n"
    "[Standard]\nBankMSB=0\nBankLSB=0\nProgram=1\n036=Kick\n038=Snare\n036=Kick again\n37=two digits\n0039=four\n\n"
    "[Room]\nProgram=9\n036=Room Kick\n\n"
    "[Standard 2]\nBankMSB=$10\nBankLSB=0x02\nProgram=1\n036=Kick 2\n127=Top\n000=Bottom\n\n"
    "[Room]\nProgram=10\n036=Second Room\n";

TEST(TmDrumInstLoad, SetsKeysAndNames) {
  test::TempFolder dir;
  TmDrumInst drums;
  ASSERT_TRUE(drums.Load(dir.Write("K.DRM", kKits)));
  EXPECT_EQ(drums.DisplayName, "Test Drums");
  ASSERT_EQ(drums.Entries, (std::vector<std::string>{"Standard", "Room", "Standard 2", "Room"}));
  EXPECT_EQ(drums.GetKey(0), MakePatchKey(0, 0, 0, true));
  EXPECT_EQ(drums.GetKey(1), MakePatchKey(8, 255, 255, true));  // banks default to "none"
  EXPECT_EQ(drums.GetKey(2), MakePatchKey(0, 2, 16, true));

  EXPECT_FALSE(drums.ToneNamesLoaded(0));
  EXPECT_EQ(drums.GetToneName(0, 36), "Kick");
  EXPECT_TRUE(drums.ToneNamesLoaded(0));
  EXPECT_FALSE(drums.ToneNamesLoaded(2));
  EXPECT_EQ(drums.GetToneName(0, 37), "");  // only three digits name a note
  EXPECT_EQ(drums.GetToneName(0, 39), "");
  EXPECT_EQ(drums.GetToneName(2, 127), "Top");
  EXPECT_EQ(drums.GetToneName(2, 0), "Bottom");
  // Two sets of one name keep their own names.
  EXPECT_EQ(drums.GetToneName(1, 36), "Room Kick");
  EXPECT_EQ(drums.GetToneName(3, 36), "Second Room");
  EXPECT_EQ(drums.GetToneName(0, 128), "");
  EXPECT_EQ(drums.GetToneName(9, 36), "");

  drums.FreeToneNames(0);
  EXPECT_FALSE(drums.ToneNamesLoaded(0));
  EXPECT_TRUE(drums.ToneNamesLoaded(2));
  drums.FreeAllToneNames();
  EXPECT_FALSE(drums.ToneNamesLoaded(2));
  EXPECT_EQ(drums.GetToneName(0, 38), "Snare");  // loaded again on use
}

TEST(TmDrumInstLoad, WithoutNameTheFirstSectionIsStillNoSet) {
  test::TempFolder dir;
  TmDrumInst drums;
  ASSERT_TRUE(drums.Load(dir.Write("N.DRM", "[Kit A]\nProgram=1\n036=x\n[Kit B]\nProgram=2\n")));
  EXPECT_EQ(drums.DisplayName, "???");
  EXPECT_EQ(drums.Entries, (std::vector<std::string>{"Kit B"}));

  TmDrumInst empty;
  EXPECT_TRUE(empty.Load(dir.Write("E.DRM", "")));
  EXPECT_EQ(empty.DisplayName, "???");
  EXPECT_EQ(empty.Count(), 0);
}

TEST(TmDrumInstLoad, OutOfRangeSetIsSkippedAndTheRestIsRead) {
  test::TempFolder dir;
  MemoryLog log;
  TmDrumInst drums;
  drums.Load(dir.Write("R.DRM", "[I]\nName=R\n[A]\nProgram=1\n[Zero]\nProgram=0\n[Big]\nBankMSB=256\n"
                                "[B]\nProgram=256\n036=b\n"),
             &log);
  EXPECT_EQ(drums.Entries, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(drums.GetKey(1), MakePatchKey(255, 255, 255, true));
  EXPECT_EQ(drums.GetToneName(1, 36), "b");
  ASSERT_EQ(log.Lines.size(), 2u);
  EXPECT_NE(log.Lines[0].find("[Zero]"), std::string::npos);
}

TEST(TmDrumInstLoad, MissingFile) {
  test::TempFolder dir;
  MemoryLog log;
  TmDrumInst drums;
  EXPECT_FALSE(drums.Load(dir.Path() + "/NONE.DRM", &log));
  EXPECT_EQ(drums.DisplayName, "???");
  EXPECT_EQ(drums.Count(), 0);
  EXPECT_EQ(drums.GetToneName(0, 36), "");
  EXPECT_EQ(log.Lines.size(), 1u);
}

TEST(TmDrumInstFindKey, ExactFromTheEndFuzzyFirstInFileOrder) {
  test::TempFolder dir;
  TmDrumInst drums;
  ASSERT_TRUE(drums.Load(dir.Write("F.DRM",
                                   "[I]\nName=F\n[S1]\nBankMSB=0\nProgram=1\n[Room]\nProgram=9\n"
                                   "[S2]\nBankMSB=8\nProgram=1\n[S1 again]\nBankMSB=0\nProgram=1\n")));
  // The whole key twice in the file: the scan from the end finds the later.
  EXPECT_EQ(drums.FindKey(MakePatchKey(0, 255, 0, true)), 3);
  EXPECT_TRUE(drums.Exact);
  EXPECT_EQ(drums.FindKey(MakePatchKey(0, 255, 8, true)), 2);
  EXPECT_TRUE(drums.Exact);
  // Inexact: the first set in file order with the program, drum flag or not.
  EXPECT_EQ(drums.FindKey(MakePatchKey(0, 0, 127, true)), 0);
  EXPECT_FALSE(drums.Exact);
  EXPECT_EQ(drums.FindKey(MakePatchKey(0, 0, 0, false)), 0);
  EXPECT_EQ(drums.GetName(MakePatchKey(8, 1, 1, true)), "Room");
  EXPECT_EQ(drums.GetName(MakePatchKey(50, 0, 0, true)), "?");
  drums.Fuzzy = false;
  EXPECT_EQ(drums.FindKey(MakePatchKey(0, 0, 127, true)), -1);
  EXPECT_FALSE(drums.Exact);
}

}  // namespace
}  // namespace melko
