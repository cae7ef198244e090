// The Parmix binding and the shipped tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/atomic_write.h"
#include "sysex/sysex_cli.h"
#include "sysex/sysex_param_nodes.h"
#include "sysex/sysex_test_util.h"

namespace melko {
namespace {

using test::Hex;

const TSysExTableTexts kTuneTables = {
    "", "[Nib]\nRange=4 18 7E8 400\n[Time]\nRange=1 1 73 0\n",
    "[Tune]\nRange=Nib\nFunc=Nibbled_Fine_Tune\n[Time]\nRange=Time\nFunc=GS_Delay_Time_Center\n",
    "[dd]\nName=Device ID\n", "[GS]\nData=41 dd 42 12\nDefDevID=10\nBgnCheckSum=5\n",
    "[Tune]\nModel=GS\nAddress=40 00 00\nType=Tune\nDefault=-1000\n"
    "[Time]\nModel=GS\nAddress=40 01 52\nType=Time\nDefault=97\n"};

TEST(SysExParmix, ConversionsComeFromTheLibrary) {
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts(kTuneTables, MELKO_PARMIX_DIR));
  ASSERT_TRUE(nodes.HasLibrary());
  std::vector<uint8_t> body = nodes.MakeDefault("Tune");
  EXPECT_EQ(nodes.Analyse(body).ValueText, "-100.0");
  ASSERT_EQ(nodes.SetFromText(body, "12.34"), 0);
  EXPECT_EQ(nodes.Analyse(body).Value, 123);
  EXPECT_EQ(nodes.Analyse(body).ValueText, "+12.3");  // the offset is positive
  ASSERT_EQ(nodes.SetFromText(body, "500"), 0);       // clamped to Max 7E8h
  EXPECT_EQ(nodes.Analyse(body).ValueText, "+100.0");

  body = nodes.MakeDefault("Time");
  EXPECT_EQ(nodes.Analyse(body).ValueText, "340.0");
  ASSERT_EQ(nodes.SetFromText(body, "1000.1"), 0);  // 116 from the library, clamped to 73h
  EXPECT_EQ(nodes.Analyse(body).Value, 115);
}

TEST(SysExParmix, MissingLibraryAndMissingExportFallBack) {
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts(kTuneTables, "/nonexistent/"));
  EXPECT_FALSE(nodes.HasLibrary());
  std::vector<uint8_t> body = nodes.MakeDefault("Tune");
  EXPECT_EQ(nodes.Analyse(body).ValueText, "-1000");

  ASSERT_TRUE(nodes.LoadTexts(kTuneTables, MELKO_PARTIAL_PARMIX_DIR));
  ASSERT_TRUE(nodes.HasLibrary());
  body = nodes.MakeDefault("Tune");
  EXPECT_EQ(nodes.Analyse(body).ValueText, "partial -1000");  // the export that is there
  ASSERT_EQ(nodes.SetFromText(body, "25"), 0);                // the one that is not: decimal
  EXPECT_EQ(nodes.Analyse(body).Value, 25);
  EXPECT_EQ(nodes.Analyse(nodes.MakeDefault("Time")).ValueText, "97");  // neither exported
}

TSysExTableTexts ShippedTexts() {
  TSysExTableTexts t;
  const std::string dir = MELKO_SHIPPED_SYSEX_DIR;
  EXPECT_TRUE(ReadWholeFile(dir + "SysExTables.txt", t.Tables));
  EXPECT_TRUE(ReadWholeFile(dir + "SysExRanges.txt", t.Ranges));
  EXPECT_TRUE(ReadWholeFile(dir + "SysExTypes.txt", t.Types));
  EXPECT_TRUE(ReadWholeFile(dir + "SysExExtras.txt", t.Extras));
  EXPECT_TRUE(ReadWholeFile(dir + "SysExModels.txt", t.Models));
  EXPECT_TRUE(ReadWholeFile(dir + "SysExParams.txt", t.Params));
  return t;
}

TEST(SysExShipped, EveryParameterRoundTrips) {
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts(ShippedTexts(), MELKO_PARMIX_DIR)) << nodes.LoadError();
  ASSERT_TRUE(nodes.HasLibrary());
  std::map<std::string, int> perModel;
  for (int i = 0; i < nodes.Params().Count(); ++i) {
    const std::string& name = nodes.Params().Name(i);
    const TSysExParam& param = *nodes.Params().Object(i);
    std::vector<uint8_t> body = nodes.MakeDefault(name);
    ASSERT_FALSE(body.empty()) << name;
    EXPECT_EQ(body.back(), 0xF7) << name;
    for (size_t k = 0; k + 1 < body.size(); ++k) EXPECT_LT(body[k], 0x80) << name << " byte " << k;
    TSysExInfo info = nodes.Analyse(body);
    EXPECT_EQ(info.Name, name);
    EXPECT_EQ(info.Param, &param);
    if (param.Type->Kind != kSysExText) {
      EXPECT_EQ(info.Value, param.Default) << name;
    }
    if (param.Model->BgnCheckSum > 0) {
      unsigned sum = 0;
      for (size_t k = static_cast<size_t>(param.Model->BgnCheckSum) - 1; k + 1 < body.size(); ++k) sum += body[k];
      EXPECT_EQ(sum & 0x7F, 0u) << name << ": " << Hex(body);
    }
    // The value text reads back as the same value.
    std::vector<uint8_t> again = body;
    if (param.Type->Kind != kSysExTable) {
      ASSERT_EQ(nodes.SetFromText(again, info.ValueText), 0) << name;
      EXPECT_EQ(again, body) << name << " from \"" << info.ValueText << "\"";
    }
    for (int m = 0; m < nodes.Models().Count(); ++m) {
      if (nodes.Models().Object(m) == param.Model) ++perModel[nodes.Models().Name(m)];
    }
  }
  for (const auto& [model, count] : perModel) std::printf("  %-16s %d parameters\n", model.c_str(), count);
  EXPECT_EQ(perModel["GS"], 5 + 7 + 9 + 11 + 16 * 54);
  EXPECT_EQ(perModel["XG"], 6 + 14 + 16 * 35);
}

TEST(SysExShipped, KnownMessages) {
  TSysExParamNodes nodes;
  ASSERT_TRUE(nodes.LoadTexts(ShippedTexts(), MELKO_PARMIX_DIR));
  struct Row {
    const char* name;
    const char* body;
    const char* value;
  } rows[] = {
      {"GS Reset", "41 10 42 12 40 00 7F 00 41 F7", "0"},
      {"GM System On", "7E 7F 09 01 F7", "0"},
      {"GM Master Volume", "7F 7F 04 01 00 7F F7", "127"},
      {"GS Master Tune", "41 10 42 12 40 00 00 00 04 00 00 3C F7", "0.0"},
      {"GS Master Volume", "41 10 42 12 40 00 04 7F 3D F7", "127"},
      {"GS Part 10 Part Level", "41 10 42 12 40 10 19 64 33 F7", "100"},
      {"GS Part 1 Part Level", "41 10 42 12 40 11 19 64 32 F7", "100"},
      {"GS Part 9 Rx Channel", "41 10 42 12 40 19 02 08 1D F7", "9 (008)"},
      {"GS Part 11 Rx Channel", "41 10 42 12 40 1A 02 0A 1A F7", "11 (010)"},
      {"GS Part 16 Reverb Send Level", "41 10 42 12 40 1F 22 28 57 F7", "40"},
      {"GS Part 10 Use for Rhythm Part", "41 10 42 12 40 10 15 01 1A F7", "Map 1 (001)"},
      {"GS Delay Time Ratio Left", "41 10 42 12 40 01 53 01 6B F7", "4"},
      {"XG System On", "43 10 4C 00 00 7E 00 F7", "0"},
      {"XG Part 1 Volume", "43 10 4C 08 00 0B 64 F7", "100"},
      {"XG Part 16 Rcv Channel", "43 10 4C 08 0F 04 0F F7", "16 (015)"},
      {"XG Part 10 Part Mode", "43 10 4C 08 09 07 02 F7", "Drums 1 (002)"},
      {"XG Chorus Type", "43 10 4C 02 01 20 41 00 F7", "Chorus 1 (065 000)"},
      {"XG Part 1 Bend Pitch Control", "43 10 4C 08 00 23 42 F7", "+2"},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> body = nodes.MakeDefault(r.name);
    EXPECT_EQ(Hex(body), r.body) << r.name;
    EXPECT_EQ(nodes.Analyse(body).ValueText, r.value) << r.name;
  }
}

class SysExCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melko_sysex_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    std::filesystem::create_directories(dir_ / "SysEx");
    for (const char* f : {"SysExTables.txt", "SysExRanges.txt", "SysExTypes.txt", "SysExExtras.txt",
                          "SysExModels.txt", "SysExParams.txt"}) {
      std::filesystem::copy_file(std::string(MELKO_SHIPPED_SYSEX_DIR) + f, dir_ / "SysEx" / f);
    }
    std::filesystem::copy_file(std::string(MELKO_PARMIX_DIR) + "Parmix.so", dir_ / "SysEx" / "Parmix.so");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return RunSysexCommand(args, dir_.string(), out_, err_);
  }

  std::filesystem::path dir_;
  std::ostringstream out_, err_;
};

TEST_F(SysExCli, ShowsMessagesAndParameters) {
  EXPECT_EQ(Run({"--sysex", "f0 41 10 42 12 ss 40 01 52 61 f7"}), 0);
  EXPECT_EQ(out_.str(),
            "Hex: F0 41 10 42 12 40 01 52 61 0C F7\nName: GS Delay Time Center\nValue: 340.0\nUnits: ms\n"
            "Extra: Device ID=10\n");
  EXPECT_EQ(Run({"--sysex", "GM", "Master", "Volume"}), 0);
  EXPECT_EQ(out_.str(),
            "Hex: F0 7F 7F 04 01 00 7F F7\nName: GM Master Volume\nValue: 127\nUnits: \n"
            "Extra: Device ID=7F\nExtra: Volume LSB=0\n");
  EXPECT_EQ(Run({"--sysex", "F0 01 02"}), 0);
  EXPECT_EQ(out_.str(), "Hex: F0 01 02 F7\nName: \nValue: \nUnits: \n");
  EXPECT_EQ(Run({"--sysex", "F0 41 80"}), 1);
  EXPECT_EQ(err_.str(), "Error: 各バイトは00～7Fの範囲内でなければいけません！\n");
  EXPECT_EQ(Run({"--sysex", "no such parameter"}), 1);
  EXPECT_EQ(Run({"--sysex"}), 1);
}

TEST_F(SysExCli, ListsGroups) {
  EXPECT_EQ(Run({"--sysex-list", "GS\\Part 1"}), 0);
  std::string listed = out_.str();
  EXPECT_EQ(listed.rfind("GS\\Part 1\n  GS Part 1 Rx Channel\n", 0), 0u);
  EXPECT_EQ(listed.find("GS Part 10"), std::string::npos);
  EXPECT_EQ(Run({"--sysex-list", "xg"}), 0);
  EXPECT_NE(out_.str().find("XG\\Multi Part 16\n"), std::string::npos);
  EXPECT_EQ(Run({"--sysex-list"}), 0);
  EXPECT_EQ(out_.str().rfind("GM\n  GM System On\n", 0), 0u);
  EXPECT_EQ(Run({"--sysex-list", "Nothing"}), 1);
}

}  // namespace
}  // namespace melko
