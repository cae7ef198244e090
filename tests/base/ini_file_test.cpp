#include "base/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace melko {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/melko_ini_XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, ec);
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

TEST(IniFile, NamesMatchWithoutCaseAndValuesAreTrimmed) {
  IniFile ini;
  ini.LoadFromBytes("[Setup]\r\n  Port A  =  synth \r\nVolume=100\r\n");
  EXPECT_TRUE(ini.SectionExists("SETUP"));
  EXPECT_TRUE(ini.SectionExists(" setup "));
  EXPECT_FALSE(ini.SectionExists("Setu"));
  EXPECT_EQ(ini.ReadString("setup", "port a", "x"), "synth");
  EXPECT_EQ(ini.ReadString("SETUP", "VOLUME", "x"), "100");
  EXPECT_EQ(ini.ReadString("Setup", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("Other", "Volume", "dflt"), "dflt");
}

TEST(IniFile, ReadIntegerForms) {
  struct Row {
    const char* name;
    const char* value;
    int32_t expected;
  } rows[] = {
      {"decimal", "42", 42},         {"negative", "-7", -7},       {"dollar hex", "$7F", 127},
      {"0x hex", "0x10", 16},        {"0X hex", "0X1f", 31},       {"blanks", "  12  ", 12},
      {"bad text", "12a", -1},       {"empty", "", -1},            {"only sign", "-", -1},
      {"too large", "99999999999", -1}, {"full hex pattern", "$FFFFFFFE", -2},
  };
  for (const Row& r : rows) {
    IniFile ini;
    ini.LoadFromBytes(std::string("[S]\nK=") + r.value + "\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", -1), r.expected) << r.name;
  }
  IniFile ini;
  EXPECT_EQ(ini.ReadInteger("S", "absent", 5), 5);
}

TEST(IniFile, ReadBoolForms) {
  struct Row {
    const char* name;
    const char* value;
    bool def;
    bool expected;
  } rows[] = {
      {"one", "1", false, true},       {"zero", "0", true, false},     {"other number", "5", false, true},
      {"True", "True", false, true},   {"false word", "FALSE", true, false},
      {"garbage keeps default", "yes?", true, true}, {"garbage keeps default 2", "yes?", false, false},
  };
  for (const Row& r : rows) {
    IniFile ini;
    ini.LoadFromBytes(std::string("[S]\nK=") + r.value + "\n");
    EXPECT_EQ(ini.ReadBool("S", "K", r.def), r.expected) << r.name;
  }
}

TEST(IniFile, CommentsAndLfAndQuotes) {
  IniFile ini;
  ini.LoadFromBytes("; leading comment\n[A]\n;Key=hidden\nKey=\"quoted \"\nNoEquals\nOther='x'\n");
  EXPECT_EQ(ini.ReadString("A", "Key", ""), "quoted ");
  EXPECT_EQ(ini.ReadString("A", ";Key", "none"), "none");
  EXPECT_EQ(ini.ReadString("A", "Other", ""), "x");
  EXPECT_EQ(ini.ReadSection("A"), (std::vector<std::string>{"Key", "Other"}));
}

TEST(IniFile, SectionsAndKeysKeepOrder) {
  IniFile ini;
  ini.LoadFromBytes("[B]\nz=1\na=2\nZ=3\n[A]\nk=v\n[b]\nq=9\n");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(ini.ReadSection("b"), (std::vector<std::string>{"z", "a"}));
  auto values = ini.ReadSectionValues("B");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0], (std::pair<std::string, std::string>{"z", "1"}));
  EXPECT_EQ(values[1], (std::pair<std::string, std::string>{"a", "2"}));
  EXPECT_TRUE(ini.ReadSection("none").empty());
}

TEST(IniFile, WriteEraseDeleteAndRoundTrip) {
  IniFile ini;
  ini.LoadFromBytes("; keep me\r\n[Main]\r\nA=1\r\n\r\n[Gone]\r\nX=1\r\n");
  ini.WriteString("main", "b", "\x83\x65\x83\x58\x83\x67");  // CP932 bytes stay raw
  ini.WriteInteger("MAIN", "A", -3);
  ini.WriteBool("New", "Flag", true);
  ini.EraseSection("GONE");
  ini.DeleteKey("Main", "nothing");
  EXPECT_EQ(ini.ToBytes(),
            "; keep me\r\n[Main]\r\nA=-3\r\nb=\x83\x65\x83\x58\x83\x67\r\n\r\n[New]\r\nFlag=1\r\n");
  ini.DeleteKey("main", "a");
  EXPECT_FALSE(ini.ValueExists("Main", "A"));
  EXPECT_TRUE(ini.ReadBool("new", "flag", false));

  IniFile again;
  again.LoadFromBytes(ini.ToBytes());
  EXPECT_EQ(again.ToBytes(), ini.ToBytes());
}

TEST(IniFile, SectionsAreFoundByNameAfterEveryChange) {
  // The first of equal names wins; erasing it lets a later one be found;
  // a section written anew is found too, whatever the case of its name.
  IniFile ini;
  ini.LoadFromBytes("[S]\nk=first\n[T]\nk=t\n[s]\nk=second\nk=dup\nK=dup2\n");
  EXPECT_EQ(ini.ReadString("S", "k", ""), "first");
  ini.EraseSection("s");
  EXPECT_FALSE(ini.SectionExists("S"));
  EXPECT_EQ(ini.ReadString("t", "k", ""), "t");
  ini.WriteString("New", "a", "1");
  ini.WriteString("NEW", "b", "2");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"T", "New"}));
  EXPECT_EQ(ini.ReadSection("new"), (std::vector<std::string>{"a", "b"}));

  IniFile many;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "[P" + std::to_string(i) + "]\nv=" + std::to_string(i) + "\n";
  text += "[p7]\nv=late\n";
  many.LoadFromBytes(text);
  EXPECT_EQ(many.ReadSections().size(), 3000u);
  EXPECT_EQ(many.ReadInteger("P2999", "v", -1), 2999);
  EXPECT_EQ(many.ReadString("p7", "v", ""), "7");
  auto values = ini.ReadSectionValues("T");
  ASSERT_EQ(values.size(), 1u);

  IniFile dup;
  dup.LoadFromBytes("[D]\nk=1\nK=2\nj=3\n");
  EXPECT_EQ(dup.ReadSectionValues("d"),
            (std::vector<std::pair<std::string, std::string>>{{"k", "1"}, {"j", "3"}}));
}

TEST(IniFile, LineBreakInWrittenValueDoesNotSplitTheEntry) {
  IniFile ini;
  ini.WriteString("S", "K", "one\r\n[Evil]\ntwo");
  IniFile again;
  again.LoadFromBytes(ini.ToBytes());
  EXPECT_FALSE(again.SectionExists("Evil"));
  EXPECT_EQ(again.ReadString("S", "K", ""), "one  [Evil] two");
}

TEST(IniFile, LoadMissingFileIsEmptyAndSaveLoadRoundTrip) {
  TempDir dir;
  IniFile ini;
  ini.LoadFromBytes("[x]\nk=v\n");
  EXPECT_TRUE(ini.Load((dir.path() / "absent.ini").string()));
  EXPECT_TRUE(ini.ReadSections().empty());

  ini.WriteString("Song", "Title", "abc");
  std::string path = (dir.path() / "MELKO.INI").string();
  ASSERT_TRUE(ini.Save(path));
  EXPECT_EQ(ReadAll(path), "[Song]\r\nTitle=abc\r\n");
  IniFile back;
  ASSERT_TRUE(back.Load(path));
  EXPECT_EQ(back.ReadString("song", "title", ""), "abc");
  // Nothing but the target is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(IniFile, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  std::string path = (dir.path() / "MELKO.INI").string();
  {
    std::ofstream(path, std::ios::binary) << "[Old]\r\nK=1\r\n";
  }
  IniFile ini;
  ini.WriteString("New", "K", "2");

  EXPECT_FALSE(ini.Save((dir.path() / "no-such-folder" / "MELKO.INI").string()));

  if (::geteuid() != 0) {  // root writes into read-only folders anyway
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(ini.Save(path));
    fs::permissions(dir.path(), fs::perms::owner_all);
  }
  // A target that is a folder cannot be replaced by a file.
  fs::create_directory(dir.path() / "sub");
  EXPECT_FALSE(ini.Save((dir.path() / "sub").string()));
  EXPECT_EQ(ReadAll(path), "[Old]\r\nK=1\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(IniFile, LoadOfUnreadablePathFails) {
  TempDir dir;
  IniFile ini;
  EXPECT_FALSE(ini.Load(dir.path().string()));  // a folder is not an INI file
}

}  // namespace
}  // namespace melko
