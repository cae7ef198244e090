// SYSEX.TXT: the pairs it gives, the lines it leaves out, its limits, and the
// store that loads it with the tables (and again on reload).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../instruments/temp_folder.h"
#include "sysex/sysex_named_messages.h"
#include "sysex/sysex_store.h"

namespace melko {
namespace {

using Strings = std::vector<std::string>;

TEST(SysExNames, LinesGiveNameAndText) {
  TSysExNamesReport report;
  const TSysExNamedMessages m = ParseSysExNames(
      "\xEF\xBB\xBFGM On:F0 7E 7F 09 01 F7\r\n"
      "\r\n"
      "just a comment line\n"
      "  Part 1: Reverb : f0 41 10 42 12 ss 40 01 30 00 f7 \n"
      "\x83\x65\x83\x58\x83\x67:F0 01\n"  // a CP932 name stays raw; no F7 is closed by the dialog
      "No F0:41 10 F7\n"
      "Bad byte:F0 80 F7\n"
      ":F0 01 F7\n"
      "Empty:\n"
      "Last:F0 7F F7",
      &report);
  EXPECT_EQ(m.Names, (Strings{"GM On", "Part 1: Reverb", "\x83\x65\x83\x58\x83\x67", "Last"}));
  EXPECT_EQ(m.HexTexts, (Strings{"F0 7E 7F 09 01 F7", "f0 41 10 42 12 ss 40 01 30 00 f7", "F0 01", "F0 7F F7"}));
  EXPECT_EQ(report.Skipped, 4);
  EXPECT_FALSE(report.Truncated);
}

TEST(SysExNames, MessageTextCheck) {
  struct Row {
    const char* name;
    std::string text;
    bool ok;
  };
  std::string max = "F0", over = "F0";
  for (int i = 0; i < 512; ++i) max += " 00";
  over = max + " 00";
  const Row rows[] = {
      {"plain", "F0 41 F7", true},
      {"lower case, no F7", "f0 7f", true},
      {"tokens after F7 are not read", "F0 01 F7 zz", true},
      {"only F0", "F0", true},
      {"empty", "", false},
      {"no F0", "F7", false},
      {"three digits", "F0 007 F7", true},
      {"byte 80", "F0 80 F7", false},
      {"512 bytes", max, true},
      {"513 bytes", over, false},
      {"checksum mark", "F0 41 SS 40 F7", true},
  };
  for (const Row& row : rows) EXPECT_EQ(IsSysExMessageText(row.text), row.ok) << row.name;
}

TEST(SysExNames, Limits) {
  std::string many;
  for (size_t i = 0; i <= kMaxNamedMessages; ++i) many += "M" + std::to_string(i) + ":F0 01 F7\n";
  TSysExNamesReport report;
  EXPECT_EQ(ParseSysExNames(many, &report).Names.size(), kMaxNamedMessages);
  EXPECT_TRUE(report.Truncated);

  std::string longLine = "Long:F0" + std::string(kMaxNamedLineBytes, ' ') + "01 F7\nShort:F0 02 F7\n";
  const TSysExNamedMessages m = ParseSysExNames(longLine, &report);
  EXPECT_EQ(m.Names, Strings{"Short"});
  EXPECT_EQ(report.Skipped, 1);
}

TEST(SysExNames, ReadingFiles) {
  test::TempFolder folder;
  TSysExNamedMessages m;
  std::string error;
  EXPECT_TRUE(ReadSysExNames(folder.Path() + "/SYSEX.TXT", m, error));  // missing: none
  EXPECT_TRUE(m.Names.empty());
  EXPECT_TRUE(error.empty());

  std::filesystem::create_directories(folder.Path() + "/DIR.TXT");
  EXPECT_FALSE(ReadSysExNames(folder.Path() + "/DIR.TXT", m, error));
  EXPECT_FALSE(error.empty());

  // A file over the limit is read up to it; the line it cuts is not taken.
  std::string big;
  int lines = 0;
  while (big.size() <= kMaxNamedFileBytes) {
    big += "N" + std::to_string(lines++) + ":F0 " + std::string(200, ' ') + "01 F7\n";
  }
  const std::string path = folder.Write("BIG.TXT", big);
  TSysExNamesReport report;
  ASSERT_TRUE(ReadSysExNames(path, m, error, &report));
  EXPECT_TRUE(report.Truncated);
  EXPECT_EQ(report.Skipped, 0);
  EXPECT_LT(m.Names.size(), static_cast<size_t>(lines));
  EXPECT_GT(m.Names.size(), 1000u);
}

TEST(SysExStore, LoadsTablesAndNamesAndReloads) {
  test::TempFolder folder;
  const std::string data = folder.Path() + "/";
  folder.Write("SysEx/SysExModels.txt", "[GM]\nData=7E dd\nDefDevID=7F\nBgnCheckSum=0\n");
  folder.Write("SysEx/SysExParams.txt", "[GM On]\nModel=GM\nAddress=09 01\nGroup=GM\n");
  folder.Write("SYSEX.TXT", "GM On:F0 7E 7F 09 01 00 F7\nbad:F0 99\n");
  TSysExStore store;
  EXPECT_FALSE(store.Load(data));  // the bad line is reported
  ASSERT_EQ(store.Problems().size(), 1u);
  EXPECT_NE(store.Problems()[0].find("SYSEX.TXT"), std::string::npos);
  EXPECT_EQ(store.Nodes().Params().Count(), 1);
  EXPECT_EQ(store.Names(), Strings{"GM On"});
  EXPECT_EQ(store.HexTexts(), Strings{"F0 7E 7F 09 01 00 F7"});

  folder.Write("SysEx/SysExParams.txt", "[GM On]\nModel=GM\nAddress=09 01\n[GM Off]\nModel=GM\nAddress=09 02\n");
  folder.Write("SYSEX.TXT", "A:F0 01 F7\nB:F0 02 F7\n");
  EXPECT_TRUE(store.Reload());
  EXPECT_TRUE(store.Problems().empty());
  EXPECT_EQ(store.Nodes().Params().Count(), 2);
  EXPECT_EQ(store.Names(), (Strings{"A", "B"}));
  EXPECT_EQ(store.DataDir(), data);
}

}  // namespace
}  // namespace melko
