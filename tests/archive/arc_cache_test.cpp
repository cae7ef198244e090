#include "archive/arc_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "archive/archive_access.h"
#include "archive_fixture.h"

namespace melko {
namespace {

using test::ArchiveTest;

class ArcCacheTest : public ArchiveTest {
 protected:
  void Touch(const std::string& path, time_t t) {
    utimbuf times{t, t};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
  }
};

TEST_F(ArcCacheTest, ListsOnceThenAnswersFromTheCacheUntilTheArchiveChanges) {
  MakeZip(Path("a.zip"), {{"a.mid", "1"}});
  MakeZip(Path("b.zip"), {{"b1.mid", "1"}, {"b2.mid", "22"}});
  TArcCache cache;
  TMemberList list;
  ASSERT_TRUE(cache.CachedList(Path("a.zip"), list));
  ASSERT_TRUE(cache.CachedList(Path("b.zip"), list));
  EXPECT_EQ(list.size(), 2u);
  EXPECT_TRUE(cache.Dirty());
  EXPECT_EQ(cache.CachedInfo(Path("b.zip"), "b2.mid").Size, 2u);
  EXPECT_FALSE(cache.CachedInfo(Path("b.zip"), "b3.mid").Exists());

  // Changed on disk: listed again and moved to the end.
  MakeZip(Path("a.zip"), {{"a.mid", "1"}, {"a2.mid", "333"}});
  Touch(Path("a.zip"), 1700000100);
  ASSERT_TRUE(cache.CachedList(Path("a.zip"), list));
  EXPECT_EQ(list.size(), 2u);
  ASSERT_EQ(cache.Entries().size(), 2u);
  EXPECT_EQ(cache.Entries()[0].Archive, Path("b.zip"));
  EXPECT_EQ(cache.Entries()[1].Archive, Path("a.zip"));
  EXPECT_FALSE(cache.CachedList(Path("missing.zip"), list));
  EXPECT_EQ(cache.Entries().size(), 2u);
}

TEST_F(ArcCacheTest, TheFileReadsBackAndIsWrittenOnlyWhenChanged) {
  MakeZip(Path("a.zip"), {{"a.mid", "1"}, {"d/b.mid", "22"}});
  MakeZip(Path("b.zip"), {});
  TArcCache cache;
  TMemberList list;
  cache.CachedList(Path("a.zip"), list);
  cache.CachedList(Path("b.zip"), list);
  ASSERT_TRUE(cache.Save(Path("ArcCache.dat")));
  EXPECT_FALSE(cache.Dirty());

  TArcCache again;
  ASSERT_TRUE(again.Load(Path("ArcCache.dat")));
  EXPECT_FALSE(again.Dirty());
  ASSERT_EQ(again.Entries().size(), 2u);
  EXPECT_EQ(again.Entries()[0].Members.size(), 2u);
  EXPECT_EQ(again.Entries()[0].Members[1].Name, "d/b.mid");
  EXPECT_EQ(again.Entries()[0].Members[1].Size, 2u);
  EXPECT_EQ(again.Entries()[0].Members[1].Time, cache.Entries()[0].Members[1].Time);
  EXPECT_TRUE(again.Entries()[1].Members.empty());
  std::filesystem::remove(Path("ArcCache.dat"));
  ASSERT_TRUE(again.Save(Path("ArcCache.dat")));  // nothing changed: nothing written
  EXPECT_FALSE(std::filesystem::exists(Path("ArcCache.dat")));
}

TEST_F(ArcCacheTest, TheFileLayoutIsTheChunkTable) {
  TArcCache cache;
  cache.Deserialize(std::string("ache") + "arcs" + std::string("\x08\0\0\0", 4) + "x.zip\r\nQ" + "aldt" +
                    std::string("\x04\0\0\0\x78\x56\x34\x12", 8) + "pacs" + std::string("\x07\0\0\0", 4) +
                    "a.mid\r\n" + "infs" + std::string("\x08\0\0\0\x05\0\0\0\x21\x00\x43\x57", 12));
  ASSERT_EQ(cache.Entries().size(), 1u);  // one stamp: the second path has none
  EXPECT_EQ(cache.Entries()[0].Archive, "x.zip");
  EXPECT_EQ(cache.Entries()[0].Stamp, 0x12345678u);
  ASSERT_EQ(cache.Entries()[0].Members.size(), 1u);
  EXPECT_EQ(cache.Entries()[0].Members[0].Size, 5u);
  EXPECT_EQ(cache.Entries()[0].Members[0].Time, 0x57430021u);
  EXPECT_EQ(cache.Serialize(), std::string("ache") + "arcs" + std::string("\x07\0\0\0", 4) + "x.zip\r\n" + "aldt" +
                                   std::string("\x04\0\0\0\x78\x56\x34\x12", 8) + "pacs" +
                                   std::string("\x07\0\0\0", 4) + "a.mid\r\n" + "infs" +
                                   std::string("\x08\0\0\0\x05\0\0\0\x21\x00\x43\x57", 12));
}

TEST_F(ArcCacheTest, DamagedFilesKeepWhatWasReadWholeAndDeletedArchivesAreDropped) {
  MakeZip(Path("a.zip"), {{"a.mid", "1"}});
  MakeZip(Path("b.zip"), {{"b.mid", "1"}});
  MakeZip(Path("c.zip"), {{"c.mid", "1"}});
  TArcCache cache;
  TMemberList list;
  for (const char* n : {"a.zip", "b.zip", "c.zip"}) cache.CachedList(Path(n), list);
  std::string bytes = cache.Serialize();

  struct Row {
    const char* Name;
    std::string Bytes;
    size_t Kept;
  };
  std::string wrongTag = bytes;
  wrongTag.replace(wrongTag.rfind("pacs"), 4, "pacx");
  std::string hugeLength = bytes;
  hugeLength.replace(hugeLength.rfind("infs") + 4, 4, "\xFF\xFF\xFF\x7F");
  const Row rows[] = {
      {"truncated in the last list", bytes.substr(0, bytes.size() - 3), 2},
      {"wrong tag at the third list", wrongTag, 2},
      {"length past the end", hugeLength, 2},
      {"only the magic", "ache", 0},
      {"no magic", bytes.substr(1), 0},
  };
  for (const Row& row : rows) {
    TArcCache damaged;
    WriteFile(Path("ArcCache.dat"), row.Bytes);
    damaged.Load(Path("ArcCache.dat"));
    EXPECT_EQ(damaged.Entries().size(), row.Kept) << row.Name;
  }

  std::filesystem::remove(Path("b.zip"));
  WriteFile(Path("ArcCache.dat"), bytes);
  TArcCache loaded;
  ASSERT_TRUE(loaded.Load(Path("ArcCache.dat")));
  ASSERT_EQ(loaded.Entries().size(), 2u);
  EXPECT_EQ(loaded.Entries()[0].Archive, Path("a.zip"));
  EXPECT_EQ(loaded.Entries()[1].Archive, Path("c.zip"));
  EXPECT_TRUE(loaded.Dirty());
}

TEST_F(ArcCacheTest, ChangedArchivesMoveToTheEndOnLoad) {
  MakeZip(Path("a.zip"), {{"a.mid", "1"}});
  MakeZip(Path("b.zip"), {{"b.mid", "1"}});
  TArcCache cache;
  TMemberList list;
  cache.CachedList(Path("a.zip"), list);
  cache.CachedList(Path("b.zip"), list);
  ASSERT_TRUE(cache.Save(Path("ArcCache.dat")));
  MakeZip(Path("a.zip"), {{"a.mid", "1"}, {"more.mid", "2"}});
  Touch(Path("a.zip"), 1700000200);
  TArcCache loaded;
  ASSERT_TRUE(loaded.Load(Path("ArcCache.dat")));
  ASSERT_EQ(loaded.Entries().size(), 2u);
  EXPECT_EQ(loaded.Entries()[0].Archive, Path("b.zip"));
  EXPECT_EQ(loaded.Entries()[1].Archive, Path("a.zip"));
  EXPECT_EQ(loaded.Entries()[1].Members.size(), 2u);
}

}  // namespace
}  // namespace melko

#include <sstream>

#include "archive/archive_cli.h"

namespace melko {
namespace {

TEST_F(ArchiveTest, ArchiveListPrintsNameSizeAndTimeThroughTheCache) {
  ASSERT_EQ(Run("printf 'hello' > c.mid && touch -t 202311142213.20 c.mid && zip -q p.zip c.mid"), 0);
  ASSERT_TRUE(StoreFromMemory(Path("p.lzh"), "曲.mid", "x"));
  std::ostringstream out, err;
  ASSERT_EQ(RunArchiveList({"--archive-list", Path("p.zip")}, dir_, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "c.mid\t5\t2023-11-14 22:13:20\n");
  ASSERT_TRUE(std::filesystem::exists(Path("ArcCache.dat")));
  out.str("");
  ASSERT_EQ(RunArchiveList({"--archive-list", Path("p.lzh")}, dir_, out, err), 0) << err.str();
  EXPECT_EQ(out.str().substr(0, 10), "曲.mid\t1\t");  // shown in UTF-8, stored in Shift-JIS
  TArcCache cache;
  ASSERT_TRUE(cache.Load(Path("ArcCache.dat")));
  EXPECT_EQ(cache.Entries().size(), 2u);
  EXPECT_EQ(RunArchiveList({"--archive-list", Path("song.mid")}, dir_, out, err), 1);
  EXPECT_EQ(RunArchiveList({"--archive-list", Path("none.zip")}, dir_, out, err), 1);
}

}  // namespace
}  // namespace melko

#include "archive/filer_listing.h"

namespace melko {
namespace {

TEST(FilerKinds, ByExtension) {
  const std::pair<const char*, FilerKind> rows[] = {
      {"a.MID", FilerKind::Mid}, {"b.rmi", FilerKind::Mid}, {"c.Rcp", FilerKind::Rcp}, {"d.r36", FilerKind::Rcp},
      {"e.G36", FilerKind::Rcp}, {"f.doc", FilerKind::Doc}, {"g.HED", FilerKind::Doc}, {"h.txt", FilerKind::Doc},
      {"i.lzh", FilerKind::Arc}, {"j.ZIP", FilerKind::Arc}, {"k.wav", FilerKind::Other}, {"x.lzh.bak", FilerKind::Other},
      {"dir.mid/readme", FilerKind::Other}};
  for (const auto& [name, kind] : rows) EXPECT_EQ(GetFilerKind(name), kind) << name;
}

TEST_F(ArchiveTest, TheBrowserListsFoldersKnownFilesAndArchiveMembers) {
  ASSERT_EQ(Run("mkdir Sub .hidden && printf x > b.MID && printf x > a.txt && printf x > c.wav"), 0);
  MakeZip(Path("pack.zip"), {{"d/", ""}, {"d/s.mid", "123"}, {"notes.txt", "n"}});
  std::vector<FilerEntry> entries;
  ASSERT_TRUE(ListFolder(dir_, entries));
  std::vector<std::string> names;
  for (const FilerEntry& e : entries) names.push_back(e.Name + ":" + FilerKindText(e.Kind));
  EXPECT_EQ(names, (std::vector<std::string>{"Sub:", "a.txt:doc", "b.MID:mid", "pack.zip:arc"}));
  TArcCache cache;
  ASSERT_TRUE(ListArchive(Path("pack.zip"), cache, entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Path, Path("pack.zip") + ">d/s.mid");
  EXPECT_EQ(entries[0].Kind, FilerKind::Mid);
  EXPECT_EQ(entries[0].Size, 3u);
  EXPECT_FALSE(ListArchive(Path("none.zip"), cache, entries));
}

}  // namespace
}  // namespace melko
