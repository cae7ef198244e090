#include "archive/archive_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "archive/archive_path.h"
#include "archive/lha_format.h"
#include "archive/zip_directory.h"
#include "archive_fixture.h"

namespace melko {
namespace {

using test::ArchiveTest;
using test::OldLhaMember;

const std::string kSong = std::string("MThd\0\0\0\6\0\1\0\1\1\xE0MTrk\0\0\0\4\0\xFF\x2F\0", 26);
// "曲.mid" and "表.mid" in Shift-JIS; the second byte of 表 is "\".
const std::string kSjisName = "\x8B\xC8.mid";
const std::string kSjisBackslash = "\x95\x5C.mid";
const uint32_t kDos = uint32_t(43 << 9 | 11 << 5 | 14) << 16 | uint32_t(22 << 11 | 13 << 5 | 10);

TEST_F(ArchiveTest, ZipMadeByTheZipToolListsAndExtracts) {
  ASSERT_EQ(Run("mkdir -p a/b && printf 'hello' > a/b/c.mid && printf 'doc' > read.txt && "
                "touch -t 202311142213.20 a/b/c.mid && zip -q -r pack.zip a read.txt"),
            0);
  TMemberList list;
  ASSERT_TRUE(ListMembers(Path("pack.zip"), list));
  int c = FindMember(list, "a/b/c.mid");
  ASSERT_GE(c, 0);
  EXPECT_EQ(list[size_t(c)].Size, 5u);
  EXPECT_EQ(DosTimeText(list[size_t(c)].Time), "2023-11-14 22:13:20");
  EXPECT_EQ(FindMember(list, "a/"), -1);  // folder entries are never found as members
  std::string data;
  ASSERT_TRUE(ExtractToMemory(Path("pack.zip"), "a/b/c.mid", data));
  EXPECT_EQ(data, "hello");
  ASSERT_EQ(Run("mkdir out"), 0);
  ASSERT_TRUE(ExtractToFolder(Path("pack.zip"), Path("out"), "a/b/c.mid"));
  EXPECT_EQ(ReadFile(Path("out/c.mid")), "hello");
  EXPECT_EQ(GetMemberInfo(Path("pack.zip"), "read.txt").Size, 3u);
  EXPECT_FALSE(GetMemberInfo(Path("pack.zip"), "missing.mid").Exists());
}

TEST_F(ArchiveTest, MembersWithoutAFileNameOrTooLargeAreRefused) {
  MakeZip(Path("p.zip"), {{"d/", ""}, {"..", "x"}, {"big.mid", std::string(5000, 'x')}});
  std::string data = "unchanged";
  EXPECT_FALSE(ExtractToMemory(Path("p.zip"), "d/", data));
  EXPECT_FALSE(ExtractToMemory(Path("p.zip"), "..", data));
  EXPECT_FALSE(ExtractToFolder(Path("p.zip"), dir_, ".."));
  EXPECT_FALSE(ExtractToMemory(Path("p.zip"), "big.mid", data, 4999));
  EXPECT_EQ(data, "unchanged");
  EXPECT_TRUE(ExtractToMemory(Path("p.zip"), "big.mid", data, 5000));
  std::string error;
  EXPECT_FALSE(StoreFromMemory(Path("p.zip"), "sub/", "x", &error));
  EXPECT_FALSE(StoreFromMemory(Path("song.mid"), "a.mid", "x", &error));  // no archive kind
}

TEST_F(ArchiveTest, StoreIntoZipReplacesInPlaceAndKeepsTheOthers) {
  MakeZip(Path("p.zip"), {{"one.mid", "first"}, {"doc/readme.txt", "read me"}, {"three.mid", "third"}});
  ASSERT_TRUE(StoreFromMemory(Path("p.zip"), "one.mid", kSong));
  ASSERT_TRUE(StoreFromMemory(Path("p.zip"), "new/four.mid", "fourth"));
  TMemberList list;
  ASSERT_TRUE(ListMembers(Path("p.zip"), list));
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].Name, "one.mid");
  EXPECT_EQ(list[3].Name, "new/four.mid");
  EXPECT_EQ(RunOutput("unzip -p p.zip one.mid"), kSong);
  EXPECT_EQ(RunOutput("unzip -p p.zip doc/readme.txt"), "read me");
  EXPECT_EQ(RunOutput("unzip -p p.zip three.mid"), "third");
  EXPECT_EQ(RunOutput("unzip -p p.zip new/four.mid"), "fourth");
}

TEST_F(ArchiveTest, AFailedStoreLeavesTheArchiveAsItWas) {
  MakeZip(Path("p.zip"), {{"one.mid", "first"}});
  std::string before = ReadFile(Path("p.zip"));
  // A damaged archive: its directory claims more members than it has.
  std::string damaged = before;
  damaged[damaged.size() - 12] = 9;
  WriteFile(Path("bad.zip"), damaged);
  EXPECT_FALSE(StoreFromMemory(Path("bad.zip"), "one.mid", "x"));
  EXPECT_EQ(ReadFile(Path("bad.zip")), damaged);
  // A folder we may not write into (root may write anywhere: skip then).
  chmod(dir_.c_str(), 0555);
  if (access((dir_ + "/.").c_str(), W_OK) != 0) {
    std::string error;
    EXPECT_FALSE(StoreFromMemory(Path("p.zip"), "one.mid", "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(Path("p.zip")), before);
  }
  chmod(dir_.c_str(), 0755);
  // A truncated LHA archive: storing would lose what follows the break.
  std::string lha = OldLhaMember(0, "a.mid", "aaaa", kDos) + OldLhaMember(1, "b.mid", "bbbb", kDos);
  lha.resize(lha.size() - 2);
  WriteFile(Path("t.lzh"), lha);
  EXPECT_FALSE(StoreFromMemory(Path("t.lzh"), "c.mid", "x"));
  EXPECT_EQ(ReadFile(Path("t.lzh")), lha);
}

TEST_F(ArchiveTest, OldLhaHeadersListAndExtract) {
  std::string lha = OldLhaMember(0, "A\\B\\C.MID", "level0", kDos) + OldLhaMember(1, kSjisBackslash, "level1", kDos) +
                    std::string(1, '\0');
  WriteFile(Path("pack.Lzh"), lha);
  TMemberList list;
  ASSERT_TRUE(ListMembers(Path("pack.Lzh"), list));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Name, "A/B/C.MID");
  EXPECT_EQ(list[0].Time, kDos);
  EXPECT_EQ(list[1].Name, kSjisBackslash);  // the 0x5C of 表 is no folder separator
  std::string data;
  ASSERT_TRUE(ExtractToMemory(Path("pack.Lzh"), "A/B/C.MID", data));
  EXPECT_EQ(data, "level0");
  ASSERT_TRUE(ExtractToMemory(Path("pack.Lzh"), "表.mid", data));  // typed as shown
  EXPECT_EQ(data, "level1");
  ASSERT_TRUE(ExtractToFolder(Path("pack.Lzh"), dir_, "A/B/C.MID"));
  EXPECT_EQ(ReadFile(Path("C.MID")), "level0");
}

TEST_F(ArchiveTest, StoreIntoLhaCopiesTheOtherMembersAndReadsBackEverywhere) {
  std::string first = OldLhaMember(0, "FIRST.MID", "first", kDos);
  std::string second = OldLhaMember(1, "SECOND.MID", "second", kDos);
  WriteFile(Path("p.lzh"), first + second + std::string(1, '\0'));
  ASSERT_TRUE(StoreFromMemory(Path("p.lzh"), "songs/曲.mid", kSong));
  ASSERT_TRUE(StoreFromMemory(Path("p.lzh"), "SECOND.MID", "second, again"));
  std::string bytes = ReadFile(Path("p.lzh"));
  EXPECT_EQ(bytes.compare(0, first.size(), first), 0);  // copied byte for byte
  TMemberList list;
  ASSERT_TRUE(ListMembers(Path("p.lzh"), list));
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].Name, "SECOND.MID");  // replaced where it stood
  EXPECT_EQ(list[2].Name, "songs/" + kSjisName);  // a new name is stored in Shift-JIS
  std::string data;
  ASSERT_TRUE(ExtractToMemory(Path("p.lzh"), "songs/曲.mid", data));
  EXPECT_EQ(data, kSong);
  ASSERT_TRUE(ExtractToMemory(Path("p.lzh"), "SECOND.MID", data));
  EXPECT_EQ(data, "second, again");
  // An outside LHA tool checks every CRC and reads the members.
  ASSERT_EQ(Run("lha t p.lzh > /dev/null 2>&1"), 0) << "lhasa is in scripts/debian-packages.txt";
  ASSERT_EQ(Run("mkdir x && lha xqw=x p.lzh"), 0);
  // It shows the upper-case names of DOS headers in lower case.
  EXPECT_EQ(RunOutput("cat \"$(find x -iname first.mid)\""), "first");
  EXPECT_EQ(RunOutput("cat \"$(find x -iname second.mid)\""), "second, again");
  EXPECT_EQ(RunOutput("find x -type f | wc -l"), "3\n");
}

TEST_F(ArchiveTest, Lh0HeadersOfEveryLengthReadBack) {
  // The header size's low byte may not be 0 (that is the end mark): names
  // around that length get a padding byte.
  for (size_t len = 200; len < 240; ++len) {
    std::string name(len, 'n');
    std::string m = MakeLh0Member(name, "x", 1700000000);
    ASSERT_NE(m[0], '\0') << len;
    LhaListing l = ReadLhaListing(m + std::string(1, '\0'));
    ASSERT_EQ(l.Members.size(), 1u) << len;
    EXPECT_EQ(l.Members[0].Info.Name, name);
    EXPECT_TRUE(l.Complete);
  }
}

TEST_F(ArchiveTest, ZipNamesInJapaneseAreFoundAsStoredAndAsShown) {
  MakeZip(Path("j.zip"), {{"曲/歌.mid", "utf8"}});
  std::string data;
  ASSERT_TRUE(ExtractToMemory(Path("j.zip"), "曲/歌.mid", data));
  EXPECT_EQ(data, "utf8");
  // A Shift-JIS name written by an old archiver, without the UTF-8 flag.
  ASSERT_TRUE(StoreFromMemory(Path("j.zip"), "ascii.mid", "a"));
  ASSERT_TRUE(ExtractToMemory(Path("j.zip"), "曲/歌.mid", data));  // kept through the rewrite
  EXPECT_EQ(data, "utf8");
  MakeZip(Path("s.zip"), {{kSjisName, "sjis"}});
  TMemberList list;
  ASSERT_TRUE(ListMembers(Path("s.zip"), list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Name, kSjisName);
  ASSERT_TRUE(ExtractToMemory(Path("s.zip"), "曲.mid", data));
  EXPECT_EQ(data, "sjis");
  // Rewritten by a store, it keeps its bytes and stays unmarked as UTF-8, so
  // other tools still read it as the old archiver meant.
  auto flagsOf = [this](const std::string& zip, const std::string& name) {
    std::string bytes = ReadFile(zip);
    std::vector<ZipEntry> entries;
    ReadZipDirectory(
        [&bytes](uint64_t o, size_t l, std::string& out) {
          if (o > bytes.size() || l > bytes.size() - o) return false;
          out = bytes.substr(o, l);
          return true;
        },
        bytes.size(), entries, name);
    return entries.empty() ? -1 : int(entries[0].Flags & 0x800);
  };
  ASSERT_EQ(flagsOf(Path("s.zip"), kSjisName), 0);
  ASSERT_TRUE(StoreFromMemory(Path("s.zip"), "新.mid", "new"));
  EXPECT_EQ(flagsOf(Path("s.zip"), kSjisName), 0);
  EXPECT_EQ(flagsOf(Path("s.zip"), "新.mid"), 0x800);
  ASSERT_TRUE(ExtractToMemory(Path("s.zip"), kSjisName, data));
  EXPECT_EQ(data, "sjis");
  EXPECT_EQ(RunOutput("unzip -t -q s.zip"), "No errors detected in compressed data of s.zip.\n");
}

TEST_F(ArchiveTest, GarbageIsNoArchive) {
  WriteFile(Path("g.zip"), std::string(100, 'P'));
  WriteFile(Path("g.lzh"), std::string(100, '-'));
  TMemberList list;
  EXPECT_FALSE(ListMembers(Path("g.zip"), list));
  EXPECT_FALSE(ListMembers(Path("g.lzh"), list));
  EXPECT_FALSE(ListMembers(Path("none.zip"), list));
  std::string data;
  EXPECT_FALSE(ExtractToMemory(Path("g.zip"), "a.mid", data));
}

}  // namespace
}  // namespace melko
