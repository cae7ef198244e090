// Note and length texts of the tool boxes, and the name-table loader.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "edit/name_tables.h"
#include "edit/tool_text.h"

namespace melko {
namespace {

TEST(ToolText, NoteTextShown) {
  EXPECT_EQ(NoteText(60, 0), "C  3");
  EXPECT_EQ(NoteText(61, 0), "C# 3");
  EXPECT_EQ(NoteText(0, 0), "C -2");
  EXPECT_EQ(NoteText(127, 1), "G  9");
}

struct NoteRow {
  const char* Name;
  const char* Text;
  int Fallback, CenterC, Want;
};

class ReadNoteTextTest : public ::testing::TestWithParam<NoteRow> {};
TEST_P(ReadNoteTextTest, Reads) {
  const NoteRow& r = GetParam();
  EXPECT_EQ(ReadNoteText(r.Text, r.Fallback, r.CenterC), r.Want);
}
INSTANTIATE_TEST_SUITE_P(Rows, ReadNoteTextTest,
                         ::testing::Values(NoteRow{"LowerCaseName", "c3", 0, 0, 60}, NoteRow{"UpperCaseName", "C3", 0, 0, 60},
                                           NoteRow{"Number", "60", 0, 0, 60}, NoteRow{"Empty", "", 42, 0, 42},
                                           NoteRow{"SharpKeepsFallbackOctave", "F#", 50, 0, 54},
                                           NoteRow{"PlusIsSharp", "g+4", 0, 0, 80},
                                           NoteRow{"NumberClamped", "300", 5, 0, 127},
                                           NoteRow{"GarbageKeepsFallback", "x", 33, 0, 33},
                                           NoteRow{"OctaveClampedHigh", "G20", 0, 0, 127},
                                           NoteRow{"OctaveClampedLow", "C-9", 60, 0, 0},
                                           NoteRow{"CenterCShifts", "C4", 0, 1, 60},
                                           NoteRow{"ShownTextReadsBack", "C# 3", 0, 0, 61}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ToolText, LengthText) {
  EXPECT_EQ(LengthText(480, 480), "  1/  0");
  EXPECT_EQ(LengthText(250, 480), "  0/250");
  EXPECT_EQ(LengthText(-10, 480), "-  0/ 10");
  struct Row {
    const char* Text;
    int64_t Old;
    bool Signed;
    int64_t Want;
  };
  const Row rows[] = {{"1/0", 5, false, 480},       {"2/10", 5, false, 970},      {"9/1/0", 5, false, 480},
                      {"30", 5, false, 30},         {"x/", 500, false, 20},      {"0/0", 5, false, 1},
                      {"5000/0", 5, false, 479999}, {"-0/10", 5, true, -10},      {"0/-10", 5, true, -10},
                      {"1/0", 5, true, 480},        {"/", -250, true, 250}};
  for (const Row& r : rows) EXPECT_EQ(ReadLengthText(r.Text, r.Old, 480, r.Signed), r.Want) << r.Text;
  EXPECT_EQ(ReadLengthText(LengthText(970, 480), 1, 480, false), 970);
}

TEST(NameTables, ParsesCodesAndReportsBadLines) {
  std::vector<std::string> errors;
  NameTable t = ParseNameTable("07 Volume\r\n10 Pan Pot\n100 Decimal\n\nzz Bad\n300 TooBig\n5\n", "CONTROL.TXT",
                               [&](const std::string& m) { errors.push_back(m); });
  ASSERT_EQ(t.Names.size(), 4u);
  EXPECT_EQ(t.Names[0], "Volume");
  EXPECT_EQ(t.Codes[0], 7);
  EXPECT_EQ(t.Names[1], "Pan Pot");
  EXPECT_EQ(t.Codes[1], 0x10) << "two characters are hexadecimal";
  EXPECT_EQ(t.Codes[2], 100);
  EXPECT_EQ(t.Names[3], "");
  EXPECT_EQ(t.Codes[3], 5);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "CONTROL.TXT に誤りがあります！\r\n\r\nzz Bad");
  EXPECT_EQ(errors[1], "CONTROL.TXT に誤りがあります！\r\n\r\n300 TooBig");
}

TEST(NameTables, StopsAt128Entries) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += std::to_string(i % 100 + 100) + " n" + std::to_string(i) + "\n";
  NameTable t = ParseNameTable(text, "META.TXT", nullptr);
  EXPECT_EQ(t.Names.size(), 128u);
  EXPECT_EQ(t.Count, 128);
  EXPECT_EQ(t.Names[127], "n127");
}

TEST(NameTables, ReadsOnly128LinesWhateverTheyHold) {
  // 100,000 bad lines give 128 messages, not one each; bad and blank lines
  // count as lines, so an entry after line 128 is not read.
  std::string text = "01 First\n\n";
  for (int i = 0; i < 100000; ++i) text += "bad line\n";
  text += "02 Late\n";
  int messages = 0;
  NameTable t = ParseNameTable(text, "CONTROL.TXT", [&](const std::string&) { ++messages; });
  EXPECT_EQ(messages, 126);
  ASSERT_EQ(t.Count, 1);
  EXPECT_EQ(t.Names[0], "First");

  // A huge file is not read beyond what 128 lines can need.
  auto dir = std::filesystem::temp_directory_path() / ("melko_names_big_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream out(dir / "META.TXT", std::ios::binary);
    out << "06 Marker " << std::string(kMaxNameTableBytes, 'x') << "\n07 Cue\n";
  }
  std::filesystem::resize_file(dir / "META.TXT", 1ull << 34);  // 16 GiB, sparse
  NameTable big;
  ASSERT_TRUE(LoadNameTable((dir / "META.TXT").string(), big, nullptr));
  ASSERT_EQ(big.Count, 1);
  EXPECT_EQ(big.Codes[0], 6);
  EXPECT_EQ(big.Names[0].size(), kMaxNameTableBytes - 3);  // cut where the reading stopped
  std::filesystem::remove_all(dir);
}

TEST(NameTables, LoadsTheThreeFilesWithTheDynamicsHeads) {
  auto dir = std::filesystem::temp_directory_path() / ("melko_names_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "DYNCTRL.TXT") << "07 Volume\n0B Expression\n";
  std::ofstream(dir / "CONTROL.TXT") << "01 Modulation\n";
  EditNameTables tables;
  std::vector<std::string> errors;
  EXPECT_FALSE(LoadEditNameTables(dir.string(), tables, [&](const std::string& m) { errors.push_back(m); }))
      << "META.TXT is missing";
  std::ofstream(dir / "META.TXT") << "06 Marker\n";
  EXPECT_TRUE(LoadEditNameTables(dir.string(), tables, nullptr));
  ASSERT_EQ(tables.DynCtrl.Names.size(), 7u);
  EXPECT_EQ(tables.DynCtrl.Names[0], "Tempo");
  EXPECT_EQ(tables.DynCtrl.Names[4], "Bend");
  EXPECT_EQ(tables.DynCtrl.Names[5], "Volume");
  EXPECT_EQ(tables.DynCtrl.Codes[0], 7) << "codes are not shifted";
  EXPECT_EQ(tables.Meta.Codes[0], 6);
  EXPECT_TRUE(errors.empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace melko
