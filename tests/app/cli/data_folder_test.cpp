// Where the data folder is: beside the program in the build tree, the
// user's own copy of the shipped folder once installed, and --data-dir
// above both.
#include "app/data_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace melko::test {
namespace {

namespace fs = std::filesystem;

struct Tree {
  Tree() {
    char name[] = "/tmp/melko-datafolder-XXXXXX";
    Root = std::string(mkdtemp(name)) + "/";
  }
  ~Tree() {
    std::error_code ec;
    fs::permissions(Root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& p : fs::recursive_directory_iterator(Root, ec)) fs::permissions(p.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(Root, ec);
  }
  void Write(const std::string& rel, const std::string& text) const {
    fs::create_directories(fs::path(Root + rel).parent_path());
    std::ofstream(Root + rel, std::ios::binary) << text;
  }
  std::string Read(const std::string& rel) const {
    std::ifstream in(Root + rel, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool Has(const std::string& rel) const { return fs::exists(Root + rel); }
  // An installed program: prefix/bin/melko and prefix/share/melko/MELKO.
  DataFolderPlaces Installed() const {
    DataFolderPlaces p;
    p.ExeDir = Root + "prefix/bin";
    p.ShippedRel = "../share/melko/MELKO";
    p.Home = Root + "home";
    return p;
  }
  void Ship() const {
    Write("prefix/bin/melko", "");
    Write("prefix/share/melko/MELKO/CONTROL.TXT", "shipped control");
    Write("prefix/share/melko/MELKO/LINE.TXT", "shipped line");
    Write("prefix/share/melko/MELKO/INST/GM.INS", "shipped gm");
    Write("prefix/share/melko/MELKO/SysEx/Parmix.so", "plug-in 1");
    // Installed files cannot be written by the user.
    for (auto& e : fs::recursive_directory_iterator(Root + "prefix/share"))
      fs::permissions(e.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove);
  }
  std::string Root;
};

TEST(DataFolder, BesideTheProgramInTheBuildTree) {
  Tree t;
  t.Write("build/bin/MELKO/CONTROL.TXT", "x");
  DataFolderPlaces p;
  p.ExeDir = t.Root + "build/bin";
  p.ShippedRel = "../share/melko/MELKO";
  p.Home = t.Root + "home";
  DataFolderChoice c = ChooseDataFolder(p);
  EXPECT_EQ(c.DataDir, t.Root + "build/bin/MELKO/");
  EXPECT_EQ(c.ProgramDir, t.Root + "build/bin/");
  EXPECT_FALSE(c.Installed);
  EXPECT_FALSE(t.Has("home"));
  p.Option = t.Root + "elsewhere";
  EXPECT_EQ(ChooseDataFolder(p).DataDir, t.Root + "elsewhere/");
}

TEST(DataFolder, InstalledTheFirstStartFillsTheUsersFolder) {
  Tree t;
  t.Ship();
  DataFolderChoice c = ChooseDataFolder(t.Installed());
  EXPECT_TRUE(c.Installed) << c.Warning;
  EXPECT_EQ(c.DataDir, t.Root + "home/.local/share/melko/MELKO/");
  EXPECT_EQ(c.ProgramDir, t.Root + "home/");
  EXPECT_EQ(c.Shipped, t.Root + "prefix/bin/../share/melko/MELKO/");
  EXPECT_EQ(t.Read("home/.local/share/melko/MELKO/INST/GM.INS"), "shipped gm");
  EXPECT_EQ(t.Read("home/.local/share/melko/MELKO/SysEx/Parmix.so"), "plug-in 1");
  // The copy is the user's to write (LINE.TXT and the settings are written).
  EXPECT_EQ(access((c.DataDir + "LINE.TXT").c_str(), W_OK), 0);
  std::ofstream(c.DataDir + "MELKO.INI") << "[User]";
  EXPECT_TRUE(t.Has("home/.local/share/melko/MELKO/MELKO.INI"));
  EXPECT_FALSE(t.Has("prefix/share/melko/MELKO/MELKO.INI"));
}

TEST(DataFolder, InstalledLaterStartsKeepTheUsersChangesAndRestoreWhatIsMissing) {
  Tree t;
  t.Ship();
  const std::string user = ChooseDataFolder(t.Installed()).DataDir;
  t.Write("home/.local/share/melko/MELKO/LINE.TXT", "my lines");
  fs::remove(user + "CONTROL.TXT");
  DataFolderChoice again = ChooseDataFolder(t.Installed());
  EXPECT_EQ(again.DataDir, user);
  EXPECT_EQ(t.Read("home/.local/share/melko/MELKO/LINE.TXT"), "my lines");
  EXPECT_EQ(t.Read("home/.local/share/melko/MELKO/CONTROL.TXT"), "shipped control");
  EXPECT_FALSE(t.Has("home/.local/share/melko/MELKO/CONTROL.TXT.part"));
}

TEST(DataFolder, InstalledANewerShippedPlugInReplacesTheUsersCopy) {
  Tree t;
  t.Ship();
  const std::string user = ChooseDataFolder(t.Installed()).DataDir;
  const std::string shippedPlugIn = t.Root + "prefix/share/melko/MELKO/SysEx/Parmix.so";
  fs::permissions(shippedPlugIn, fs::perms::owner_write, fs::perm_options::add);
  t.Write("prefix/share/melko/MELKO/SysEx/Parmix.so", "plug-in 2");
  fs::last_write_time(shippedPlugIn, fs::last_write_time(user + "SysEx/Parmix.so") + std::chrono::hours(1));
  ChooseDataFolder(t.Installed());
  EXPECT_EQ(t.Read("home/.local/share/melko/MELKO/SysEx/Parmix.so"), "plug-in 2");
}

struct XdgRow {
  const char* Name;
  const char* Xdg;      // relative to the root, or as it stands when not starting with "@"
  const char* Expected;  // the data folder, relative to the root
};

class DataFolderXdg : public ::testing::TestWithParam<XdgRow> {};

TEST_P(DataFolderXdg, TheUsersFolderFollowsXdgDataHome) {
  Tree t;
  t.Ship();
  DataFolderPlaces p = t.Installed();
  std::string xdg = GetParam().Xdg;
  p.XdgDataHome = !xdg.empty() && xdg[0] == '@' ? t.Root + xdg.substr(1) : xdg;
  EXPECT_EQ(ChooseDataFolder(p).DataDir, t.Root + GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, DataFolderXdg,
                         ::testing::Values(XdgRow{"Set", "@xdg", "xdg/melko/MELKO/"},
                                           XdgRow{"Unset", "", "home/.local/share/melko/MELKO/"},
                                           XdgRow{"RelativeIsIgnored", "xdg", "home/.local/share/melko/MELKO/"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(DataFolder, InstalledWithDataDirUsesItAndCopiesNothing) {
  Tree t;
  t.Ship();
  DataFolderPlaces p = t.Installed();
  p.Option = t.Root + "mine/";
  DataFolderChoice c = ChooseDataFolder(p);
  EXPECT_EQ(c.DataDir, t.Root + "mine/");
  EXPECT_EQ(c.ProgramDir, t.Root + "home/");
  EXPECT_FALSE(t.Has("home/.local"));
}

TEST(DataFolder, AnUnwritableHomeFallsBackOnTheShippedFolderWithAWarning) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  Tree t;
  t.Ship();
  fs::create_directories(t.Root + "home");
  fs::permissions(t.Root + "home", fs::perms::owner_read | fs::perms::owner_exec);
  DataFolderChoice c = ChooseDataFolder(t.Installed());
  EXPECT_FALSE(c.Installed);
  EXPECT_EQ(c.DataDir, t.Root + "prefix/bin/../share/melko/MELKO/");
  EXPECT_NE(c.Warning.find("could not be made"), std::string::npos);
}

TEST(DataFolder, AFileWhereTheUsersFolderShouldBeFallsBackWithAWarning) {
  Tree t;
  t.Ship();
  t.Write("home/.local/share/melko", "a file, not a folder");
  DataFolderChoice c = ChooseDataFolder(t.Installed());
  EXPECT_FALSE(c.Installed);
  EXPECT_EQ(c.DataDir, t.Root + "prefix/bin/../share/melko/MELKO/");
  EXPECT_NE(c.Warning.find("could not be made"), std::string::npos);
}

}  // namespace
}  // namespace melko::test
