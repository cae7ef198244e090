#include "sysex/sysex_param_nodes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <cstdio>

#include "base/atomic_write.h"
#include "sysex/sysex_test_util.h"

namespace melko {
namespace {

using test::Bytes;
using test::Hex;

TSysExTableTexts SampleTables() {
  TSysExTableTexts t;
  t.Tables =
      "[Reverb]\r\n0 0=No Effect\r\n1 0=Hall 1\r\n1 1=Hall 2\r\n"
      "[Switch]\r\n0=Off\r\n1=On\r\n";
  t.Ranges =
      "[Offset64]\nRange=1 00 7F 40\n"
      "[Small]\nRange=1  0   20 0\n"
      "[Nib]\nRange=4 18 7E8 400\n"
      "[Two]\nRange=2 0 3FFF 0\n"
      "[Text]\nRange=8 0 0 0\n"
      "[default]\nRange=2 0 0 0\n";  // the built-in wins
  t.Types =
      "[Signed]\nRange=Offset64\n"
      "[Small]\nRange=Small\nUnits=steps\n"
      "[Tune]\nRange=Nib\nFunc=Nibbled_Fine_Tune\nUnits=cents\n"
      "[RevType]\nRange=Two\nTable=Reverb\n"
      "[Name]\nRange=Text\nTable=Switch\nFunc=Display_ASCII\n"
      "[NoRange]\nRange=Missing\nUnits=steps\n";
  t.Extras = "[dd]\nName=Device ID\nFormat=%x\n[0n]\nName=Device ID\n";
  t.Models =
      "[GS]\nData=41 dd 42 12\nDefDevID=10\nBgnCheckSum=5\n"
      "[XG]\nData=43 1n 4C\nDefDevID=0\n";
  t.Params =
      "[GS Reset]\nModel=GS\nAddress=40 00 7F\nGroup=GS\\System\n"
      "[Key Shift]\nModel=GS\nAddress=40 00 05\nType=Signed\nGroup=GS\\System\n"
      "[Small]\nModel=GS\nAddress=40 00 10\nType=Small\nDefault=5\nGroup=GS\\Part 1\n"
      "[Master Tune]\nModel=GS\nAddress=40 00 00\nType=Tune\nDefault=-1000\nGroup=GS\\System\n"
      "[Rev]\nModel=XG\nAddress=02 01 00\nType=RevType\nDefault=0x80\nGroup=XG\n"
      "[Display]\nModel=GS\nAddress=10 00 00\nType=Name\nGroup=GS\\Display\n"
      "[Orphan]\nModel=None\nAddress=01\n"
      "[NoAddress]\nModel=GS\n"
      "[Fallback]\nModel=XG\nAddress=00 00 01\nType=Unknown\n";
  return t;
}

class SysExNodes : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(nodes.LoadTexts(SampleTables())) << nodes.LoadError(); }

  // Sets the body from typed text and expects success.
  std::vector<uint8_t> Typed(const std::string& text) {
    std::vector<uint8_t> body;
    EXPECT_EQ(nodes.SetFromText(body, text), 0) << text;
    return body;
  }

  TSysExParamNodes nodes;
};

TEST_F(SysExNodes, GsResetDefaultBody) {
  EXPECT_EQ(Hex(nodes.MakeDefault("GS Reset")), "41 10 42 12 40 00 7F 00 41 F7");
  EXPECT_EQ(nodes.DefaultHexText("gs reset"), "F0 41 10 42 12 40 00 7F 00 41 F7");
  EXPECT_TRUE(nodes.MakeDefault("No Such").empty());
  EXPECT_EQ(nodes.DefaultHexText("No Such"), "");
}

TEST_F(SysExNodes, RawTextForms) {
  struct Row {
    const char* name;
    std::string text;
    const char* body;
  } rows[] = {
      {"ss checksum", "f0 41 10 42 12 ss 40 00 7f 00 f7", "41 10 42 12 40 00 7F 00 41 F7"},
      {"missing F7", "F0 7E 7F 09 01", "7E 7F 09 01 F7"},
      {"tokens after F7 ignored", "F0 01 F7 02 03", "01 F7"},
      {"SS just before F7", "F0 41 SS F7", "41 00 F7"},
      {"only the first SS counts", "F0 01 SS 02 SS 03 F7", "01 02 03 7B F7"},
      {"blank runs and line breaks", "F0  7E\r\n7F\t09 01", "7E 7F 09 01 F7"},
      {"long hex token", "F0 007F F7", "7F F7"},
      {"nothing", "F0", "F7"},
  };
  for (const Row& r : rows) EXPECT_EQ(Hex(Typed(r.text)), r.body) << r.name;
}

TEST_F(SysExNodes, RawTextErrorsLeaveTheBody) {
  std::string full = "F0";
  for (int i = 0; i < 512; ++i) full += " 01";
  std::vector<uint8_t> body = Typed(full + " F7");
  EXPECT_EQ(body.size(), 513u);

  struct Row {
    const char* name;
    std::string text;
    int code;
  } rows[] = {
      {"513 bytes", full + " 01", 3},       {"SS after 512 bytes", full + " SS", 3},
      {"byte 80", "F0 41 80 F7", 2},         {"not hex", "F0 4G F7", 2},
      {"signed", "F0 +1 F7", 2},
  };
  const std::vector<uint8_t> before = Bytes("41 10 42 12 40 00 7F 00 41 F7");
  for (const Row& r : rows) {
    std::vector<uint8_t> b = before;
    EXPECT_EQ(nodes.SetFromText(b, r.text), r.code) << r.name;
    EXPECT_EQ(b, before) << r.name;
  }
  std::vector<uint8_t> unknown = Bytes("41 10 42 12 30 00 7F 00 41 F7");
  EXPECT_EQ(nodes.SetFromText(unknown, "5"), 1);
  EXPECT_EQ(nodes.ErrorText(0), "");
  EXPECT_EQ(nodes.ErrorText(3), "最大バイト長は512です!");
}

TEST_F(SysExNodes, FindParamLeavesPositionOnData) {
  std::vector<uint8_t> body = nodes.MakeDefault("Key Shift");
  size_t pos = 0;
  EXPECT_EQ(nodes.FindParam(body, pos), nodes.Params().IndexOf("Key Shift"));
  EXPECT_EQ(pos, 7u);
  std::vector<uint8_t> truncated(body.begin(), body.begin() + 7);
  EXPECT_EQ(nodes.FindParam(truncated, pos), -1);
}

TEST_F(SysExNodes, AnalyseRecognisesByLength) {
  TSysExInfo info = nodes.Analyse(Bytes("41 10 42 12 40 00 7F 00 41 F7"));
  EXPECT_EQ(info.Name, "GS Reset");
  EXPECT_EQ(info.ValueText, "0");
  EXPECT_EQ(info.HexText, "");
  ASSERT_EQ(info.ExtraCount, 1);
  EXPECT_EQ(info.Extras[0]->Name, "Device ID");
  EXPECT_EQ(info.Extras[0]->Value, 0x10);
  EXPECT_EQ(info.Extras[0]->Pos, 1u);

  // One data byte too many: not recognised, shown as hex.
  info = nodes.Analyse(Bytes("41 10 42 12 40 00 7F 00 00 41 F7"));
  EXPECT_EQ(info.Name, "");
  EXPECT_EQ(info.Param, nullptr);
  EXPECT_EQ(info.HexText, "F0 41 10 42 12 40 00 7F 00 00 41 F7");

  // Text kind: any length is recognised.
  info = nodes.Analyse(Bytes("41 10 42 12 10 00 00 48 69 00 F7"));
  EXPECT_EQ(info.Name, "Display");
  EXPECT_EQ(info.ValueText, "Hi");
}

TEST_F(SysExNodes, ValuesWithOffsetAndLimits) {
  struct Row {
    const char* name;
    const char* param;
    const char* text;
    const char* data;    // data byte(s) written
    const char* shown;   // ValueText afterwards
    int32_t value;
  } rows[] = {
      {"offset +10", "Key Shift", "10", "4A", "+10", 10},
      {"offset zero", "Key Shift", "0", "40", "0", 0},
      {"offset negative", "Key Shift", "-64", "00", "-64", -64},
      {"above Max", "Key Shift", "100", "7F", "+63", 63},
      {"below Min", "Key Shift", "-100", "00", "-64", -64},
      {"not a number keeps", "Key Shift", "abc", "40", "0", 0},
      {"hex with dollar", "Small", "$10", "10", "16", 16},
      {"above small Max", "Small", "40", "20", "32", 32},
      {"0x is not decimal", "Small", "0x10", "05", "5", 5},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> body = nodes.MakeDefault(r.param);
    ASSERT_EQ(nodes.SetFromText(body, r.text), 0) << r.name;
    size_t pos = 0;
    ASSERT_GE(nodes.FindParam(body, pos), 0) << r.name;
    EXPECT_EQ(Hex(std::vector<uint8_t>(body.begin() + static_cast<long>(pos), body.end() - 2)), r.data) << r.name;
    TSysExInfo info = nodes.Analyse(body);
    EXPECT_EQ(info.ValueText, r.shown) << r.name;
    EXPECT_EQ(info.Value, r.value) << r.name;
  }
}

TEST_F(SysExNodes, ValueTextMendsTheLengthAndTheChecksum) {
  // A body with the data byte missing is brought to the expected length.
  std::vector<uint8_t> body = Bytes("41 10 42 12 40 00 05 F7");
  ASSERT_EQ(nodes.SetFromText(body, "3"), 0);
  EXPECT_EQ(Hex(body), "41 10 42 12 40 00 05 43 78 F7");
  EXPECT_EQ(nodes.Analyse(body).ValueText, "+3");
}

TEST_F(SysExNodes, TableKind) {
  std::vector<uint8_t> body = nodes.MakeDefault("Rev");
  EXPECT_EQ(Hex(body), "43 10 4C 02 01 00 01 00 F7");
  TSysExInfo info = nodes.Analyse(body);
  EXPECT_EQ(info.ValueText, "Hall 1 (001 000)");
  EXPECT_EQ(info.Value, 128);
  ASSERT_EQ(nodes.SetFromText(body, "$281"), 0);  // 5 * 128 + 1: no entry
  EXPECT_EQ(nodes.Analyse(body).ValueText, " (005 001)");
  auto entries = nodes.GetTableEntries(body);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].Text, "Hall 2");
  EXPECT_EQ(entries[2].Value, 129);
  EXPECT_TRUE(nodes.GetTableEntries(nodes.MakeDefault("Key Shift")).empty());
}

TEST_F(SysExNodes, TextKindWithATable) {
  const TSysExType& type = *nodes.Types().Object(nodes.Types().IndexOf("Name"));
  EXPECT_EQ(type.Kind, kSysExText);
  EXPECT_NE(type.Table, nullptr);

  std::vector<uint8_t> body = nodes.MakeDefault("Display");
  EXPECT_EQ(Hex(body), "41 10 42 12 10 00 00 54 65 78 74 00 00 00 00 4B F7");
  ASSERT_EQ(nodes.SetFromText(body, "Hello, world!"), 0);  // cut to Size 8
  EXPECT_EQ(Hex(body), "41 10 42 12 10 00 00 48 65 6C 6C 6F 2C 20 77 39 F7");
  EXPECT_EQ(nodes.Analyse(body).ValueText, "Hello, w");
  ASSERT_EQ(nodes.SetFromText(body, "Hi"), 0);
  EXPECT_EQ(Hex(body), "41 10 42 12 10 00 00 48 69 3F F7");

  std::vector<uint8_t> before = body;
  EXPECT_EQ(nodes.SetFromText(body, "caf\xC3\xA9"), 4);
  EXPECT_EQ(nodes.SetFromText(body, "tab\there"), 4);
  EXPECT_EQ(body, before);
}

TEST_F(SysExNodes, FallbackConversionsWithoutLibrary) {
  EXPECT_FALSE(nodes.HasLibrary());
  std::vector<uint8_t> body = nodes.MakeDefault("Master Tune");
  // -1000 + 400h = 18h as four nibbles.
  EXPECT_EQ(Hex(body), "41 10 42 12 40 00 00 00 00 01 08 37 F7");
  EXPECT_EQ(nodes.Analyse(body).ValueText, "-1000");
  ASSERT_EQ(nodes.SetFromText(body, "2.5"), 0);  // not a decimal integer: unchanged
  EXPECT_EQ(nodes.Analyse(body).Value, -1000);
}

TEST_F(SysExNodes, SetExtras) {
  std::vector<uint8_t> body = nodes.MakeDefault("Rev");
  nodes.SetExtras(body, {3, 0, 0});
  EXPECT_EQ(Hex(body), "43 13 4C 02 01 00 01 00 F7");
  // Only the variable bits change, whatever the value.
  nodes.SetExtras(body, {0xFF, 0, 0});
  EXPECT_EQ(Hex(body), "43 1F 4C 02 01 00 01 00 F7");

  body = nodes.MakeDefault("GS Reset");
  nodes.SetExtras(body, {0x7F, 9, 9});
  EXPECT_EQ(Hex(body), "41 7F 42 12 40 00 7F 00 41 F7");  // the checksum is left alone
  EXPECT_EQ(nodes.Analyse(body).Name, "GS Reset");
}

TEST_F(SysExNodes, ListsAndLoadingRules) {
  EXPECT_EQ(nodes.GetGroupNames(), (std::vector<std::string>{"GS\\System", "GS\\Part 1", "XG", "GS\\Display", "Other"}));
  EXPECT_EQ(nodes.GetParamNames("GS\\Sys"), (std::vector<std::string>{"GS Reset", "Key Shift", "Master Tune"}));
  EXPECT_EQ(nodes.GetParamNames("").size(), 7u);  // Orphan and NoAddress are dropped
  EXPECT_EQ(nodes.Params().IndexOf("Orphan"), -1);
  EXPECT_EQ(nodes.Params().IndexOf("NoAddress"), -1);
  // Unknown type and range fall back to entry 0; the built-in range was not replaced.
  EXPECT_EQ(nodes.Params().Object(nodes.Params().IndexOf("Fallback"))->Type, nodes.Types().Object(0));
  EXPECT_EQ(nodes.Types().Object(nodes.Types().IndexOf("NoRange"))->Range, nodes.Ranges().Object(0));
  EXPECT_EQ(nodes.Ranges().Object(0)->Size, 1);
  EXPECT_EQ(nodes.Units().Names(), (std::vector<std::string>{"", "steps", "cents"}));
  EXPECT_EQ(nodes.Models().Object(nodes.Models().IndexOf("XG"))->BgnCheckSum, -1);
}

TEST(SysExLoading, BadNumbersEndTheLoadingKeepingWhatWasRead) {
  struct Row {
    const char* name;
    TSysExTableTexts texts;
    int tables, ranges, models, params;
  } rows[] = {
      {"bad table key", {"[A]\n1=x\n[B]\n1 z=y\n[C]\n0=c\n", "[R]\nRange=1 0 1 0\n", "", "", "", ""}, 2, 1, 0, 0},
      {"short range", {"", "[R1]\nRange=1 0 7F 0\n[R2]\nRange=1 0 7F\n[R3]\nRange=1 0 1 0\n", "", "", "", ""}, 0, 2, 0, 0},
      {"signed hex range", {"", "[R1]\nRange=1 -1 7F 0\n", "", "", "", ""}, 0, 1, 0, 0},
      {"DefDevID above FF",
       {"", "", "", "", "[M1]\nData=41\nDefDevID=10\n[M2]\nData=42\nDefDevID=100\n",
        "[P]\nModel=M1\nAddress=00\n"}, 0, 1, 1, 0},
  };
  for (const Row& r : rows) {
    TSysExParamNodes nodes;
    EXPECT_FALSE(nodes.LoadTexts(r.texts)) << r.name;
    EXPECT_FALSE(nodes.LoadError().empty()) << r.name;
    EXPECT_EQ(nodes.Tables().Count(), r.tables) << r.name;
    EXPECT_EQ(nodes.Ranges().Count(), r.ranges) << r.name;
    EXPECT_EQ(nodes.Models().Count(), r.models) << r.name;
    EXPECT_EQ(nodes.Params().Count(), r.params) << r.name;
  }
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts({"", "", "", "", "[M]\nData=41\nDefDevID=zz\n[N]\nData=42\n", ""}));
  EXPECT_EQ(nodes.Models().Object(0)->DefDevID, 0xFF);
  EXPECT_EQ(nodes.Models().Object(1)->DefDevID, 0xFF);
}

TEST(SysExLoading, NumberForms) {
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts({"[T]\n$10=a\n1 $10=b\n+3=c\n",
                               "[Lower]\nRange=1 00 7f 40\n[Spaced]\nRange=2  0\t3FFF   0\n",
                               "",
                               "",
                               "[Hex0x]\nData=41\nBgnCheckSum=0x5\nDefDevID=7f\n"
                               "[Dollar]\nData=42\nBgnCheckSum=$5\nDefDevID=$10\n"
                               "[Junk]\nData=43\nBgnCheckSum=abc\n",
                               "[P1]\nModel=Hex0x\nAddress=01\nDefault=0x10\n"
                               "[P2]\nModel=Hex0x\nAddress=02\nDefault=$10\n"
                               "[P3]\nModel=Hex0x\nAddress=03\nDefault=x\n"}))
      << nodes.LoadError();
  const TSysExTable& table = *nodes.Tables().Object(0);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].Value, 16);
  EXPECT_EQ(table[1].Value, 128 + 16);
  EXPECT_EQ(table[2].Value, 3);
  const TSysExRange& lower = *nodes.Ranges().Object(nodes.Ranges().IndexOf("Lower"));
  EXPECT_EQ(lower.Max, 127);
  EXPECT_EQ(lower.Offset, 64);
  const TSysExRange& spaced = *nodes.Ranges().Object(nodes.Ranges().IndexOf("Spaced"));
  EXPECT_EQ(spaced.Size, 2);
  EXPECT_EQ(spaced.Max, 0x3FFF);
  struct Row {
    const char* model;
    int32_t bgnCheckSum;
    int defDevId;
  } models[] = {{"Hex0x", 5, 0x7F}, {"Dollar", 5, 0xFF}, {"Junk", -1, 0xFF}};
  for (const Row& r : models) {
    const TSysExModel& m = *nodes.Models().Object(nodes.Models().IndexOf(r.model));
    EXPECT_EQ(m.BgnCheckSum, r.bgnCheckSum) << r.model;
    EXPECT_EQ(m.DefDevID, r.defDevId) << r.model;
  }
  EXPECT_EQ(nodes.Params().Object(nodes.Params().IndexOf("P1"))->Default, 16);
  EXPECT_EQ(nodes.Params().Object(nodes.Params().IndexOf("P2"))->Default, 16);
  EXPECT_EQ(nodes.Params().Object(nodes.Params().IndexOf("P3"))->Default, 0);

  // The decimal form of a table key has no "0x".
  TSysExParamNodes bad;
  EXPECT_FALSE(bad.LoadTexts({"[T]\n1=a\n0x10=b\n", "[R]\nRange=1 0 1 0\n", "", "", "", ""}));
  ASSERT_EQ(bad.Tables().Count(), 1);
  EXPECT_EQ(bad.Tables().Object(0)->size(), 1u);
  EXPECT_EQ(bad.Ranges().Count(), 1);  // the built-in only: loading ended in the tables
}

TEST(SysExLoading, FolderLoadClearsFirstAndMissingFilesAreEmpty) {
  char tmpl[] = "/tmp/melko_sysex_load_XXXXXX";
  const std::string dir = std::string(::mkdtemp(tmpl)) + "/";
  ASSERT_TRUE(WriteFileAtomically(dir + "SysExModels.txt", "[M]\r\nData=41\r\n"));
  ASSERT_TRUE(WriteFileAtomically(dir + "SysExParams.txt", "[A]\r\nModel=M\r\nAddress=10\r\nGroup=G\r\n"));
  TSysExParamNodes nodes(dir);
  EXPECT_EQ(nodes.LoadError(), "");
  EXPECT_FALSE(nodes.HasLibrary());
  ASSERT_EQ(nodes.Params().Count(), 1);
  EXPECT_EQ(Hex(nodes.MakeDefault("A")), "41 10 00 F7");

  ASSERT_TRUE(nodes.Load(dir));  // again: nothing doubles
  EXPECT_EQ(nodes.Params().Count(), 1);
  EXPECT_EQ(nodes.Groups().Count(), 1);
  EXPECT_EQ(nodes.Models().Count(), 1);
  EXPECT_EQ(nodes.Units().Count(), 1);
  EXPECT_EQ(nodes.Root()->Child->Next, nullptr);
  EXPECT_EQ(nodes.Analyse(Bytes("41 10 05 F7")).Name, "A");

  std::remove((dir + "SysExModels.txt").c_str());
  ASSERT_TRUE(nodes.Load(dir));  // the parameter's model is gone with its file
  EXPECT_EQ(nodes.Params().Count(), 0);
  EXPECT_EQ(nodes.Types().Count(), 1);
  EXPECT_EQ(nodes.Root()->Child, nullptr);
  std::remove((dir + "SysExParams.txt").c_str());
  ::rmdir(dir.c_str());
}

TEST(SysExLoading, AFileAboveTheSizeLimitIsNotReadAndTheOthersLoad) {
  char tmpl[] = "/tmp/melko_sysex_big_XXXXXX";
  const std::string dir = std::string(::mkdtemp(tmpl)) + "/";
  ASSERT_TRUE(WriteFileAtomically(dir + "SysExModels.txt", "[M]\r\nData=41\r\n"));
  ASSERT_TRUE(WriteFileAtomically(dir + "SysExParams.txt", "[A]\r\nModel=M\r\nAddress=10\r\n"));
  // Sparse, so the test costs no disk; a load that read it would take seconds.
  ASSERT_EQ(::truncate((dir + "SysExParams.txt").c_str(), TSysExParamNodes::kMaxTableFileBytes + 1), 0);
  ASSERT_EQ(::mkfifo((dir + "SysExTables.txt").c_str(), 0600), 0);  // would block a reader for ever
  TSysExParamNodes nodes;
  EXPECT_FALSE(nodes.Load(dir));
  EXPECT_EQ(nodes.LoadError(), "SysExParams.txt is larger than 64 MiB and was not read");
  EXPECT_EQ(nodes.Models().Count(), 1);
  EXPECT_EQ(nodes.Params().Count(), 0);
  for (const char* f : {"SysExModels.txt", "SysExParams.txt", "SysExTables.txt"}) std::remove((dir + f).c_str());
  ::rmdir(dir.c_str());
}

TEST(SysExTree, FirstMatchingSiblingWinsWithoutBacktracking) {
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts({"", "", "", "[dd]\nName=Any\n", "[M]\nData=41\n",
                               "[Fixed]\nModel=M\nAddress=10 20\n[Wild]\nModel=M\nAddress=dd 30\n"}));
  struct Row {
    const char* body;
    const char* name;
  } rows[] = {
      {"41 10 20 05 F7", "Fixed"},
      {"41 11 30 05 F7", "Wild"},
      // 10 is taken by the fixed sibling first; its child 20 does not match 30.
      {"41 10 30 05 F7", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(nodes.Analyse(Bytes(r.body)).Name, r.name) << r.body;
}

TEST(SysExTree, SiblingsAndReplacedPaths) {
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts({"", "", "", "[dd]\nName=Device ID\n", "[M]\nData=41 dd\nDefDevID=7F\n",
                               "[B]\nModel=M\nAddress=20\n[A]\nModel=M\nAddress=10\n"
                               "[A2]\nModel=M\nAddress=10\n"}));
  const TSysExNode* dd = nodes.Root()->Child->Child;
  ASSERT_NE(dd->Child, nullptr);
  EXPECT_EQ(dd->Child->Value, 0x20);  // first appearance first
  EXPECT_EQ(dd->Child->Next->Value, 0x10);
  EXPECT_EQ(dd->Child->Next->ParamIndex, nodes.Params().IndexOf("A2"));
  EXPECT_EQ(nodes.Analyse(nodes.MakeDefault("A")).Name, "A2");
  EXPECT_EQ(Hex(nodes.MakeDefault("A")), "41 7F 10 00 F7");
}

TEST(SysExTree, UnknownWildcardDoesNotLoosenFixedBytes) {
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts({"", "", "", "", "[M]\nData=41\n",
                               "[A]\nModel=M\nAddress=2x 00\n[B]\nModel=M\nAddress=30 00\n"}));
  EXPECT_EQ(nodes.Extras().Object(0)->Mask, 0xFF);
  EXPECT_EQ(nodes.Analyse(Bytes("41 30 00 05 F7")).Name, "B");
  EXPECT_EQ(nodes.Analyse(Bytes("41 31 00 05 F7")).Name, "");
  EXPECT_EQ(nodes.Analyse(Bytes("41 20 00 05 F7")).Name, "A");
}

TEST(SysExTree, DeepTreeIsFreedWithoutRecursion) {
  std::string address;
  for (int i = 0; i < 200000; ++i) address += i ? " 01" : "01";
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts({"", "", "", "", "[M]\nData=41\n", "[Deep]\nModel=M\nAddress=" + address + "\n"}));
  EXPECT_EQ(nodes.MakeDefault("Deep").size(), 200003u);
  nodes.Clear();
  EXPECT_EQ(nodes.Root(), nullptr);
  size_t pos = 0;
  EXPECT_EQ(nodes.FindParam(Bytes("41 01 F7"), pos), -1);
  std::vector<uint8_t> body;
  EXPECT_EQ(nodes.SetFromText(body, "1"), 1);
}

}  // namespace
}  // namespace melko
