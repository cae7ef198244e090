#include "archive/archive_path.h"

#include <gtest/gtest.h>

namespace melko {
namespace {

struct KindRow {
  const char* Name;
  const char* Path;
  ArchiveKind Kind;
};

TEST(ArchivePath, KindFollowsTheArchiveExtension) {
  const KindRow rows[] = {
      {"lzh any case", "songs/pack.Lzh", ArchiveKind::Lha},
      {"zip", "C.ZIP", ArchiveKind::Zip},
      {"member path counts its archive", "pack.Lzh>a/b/c.mid", ArchiveKind::Lha},
      {"backup of an archive", "x.lzh.bak", ArchiveKind::None},
      {"part of an extension", "x.lz", ArchiveKind::None},
      {"straddling both", "x.H.ZI", ArchiveKind::None},
      {"folder named like an archive", "dir.zip/song.mid", ArchiveKind::None},
      {"plain song", "song.mid", ArchiveKind::None},
      {"no extension", "README", ArchiveKind::None},
  };
  for (const KindRow& row : rows) EXPECT_EQ(GetArchiveKind(row.Path), row.Kind) << row.Name;
}

TEST(ArchivePath, SplitsAtTheFirstMarkAndExtractsTheFileNameAlone) {
  std::string archive, member;
  ASSERT_TRUE(SplitArchivePath("pack.Lzh>a/b/c.mid", archive, member));
  EXPECT_EQ(archive, "pack.Lzh");
  EXPECT_EQ(member, "a/b/c.mid");
  EXPECT_EQ(MemberFileName(member), "c.mid");
  ASSERT_TRUE(SplitArchivePath("a.zip>x>y.mid", archive, member));
  EXPECT_EQ(member, "x>y.mid");
  EXPECT_FALSE(SplitArchivePath("plain.mid", archive, member));
  EXPECT_TRUE(IsArchivePath("pack.Lzh>a/b/c.mid"));
  EXPECT_FALSE(IsArchivePath("notes>1.mid"));
  EXPECT_FALSE(IsArchivePath("pack.zip>"));
  EXPECT_EQ(JoinArchivePath("p.zip", "d/s.mid"), "p.zip>d/s.mid");
}

TEST(ArchivePath, NamesWithoutAFileNameHaveNothingToExtractTo) {
  for (const char* name : {"dir/", ".", "..", "a/..", "a\\.", ""}) EXPECT_EQ(MemberFileName(name), "") << name;
  EXPECT_EQ(MemberFileName("a\\b.mid"), "b.mid");
}

TEST(ArchivePath, DosTimeWordsAsText) {
  // 2023-11-14 22:13:20: date (43 << 9 | 11 << 5 | 14), time (22 << 11 | 13 << 5 | 10).
  uint32_t t = uint32_t(43 << 9 | 11 << 5 | 14) << 16 | uint32_t(22 << 11 | 13 << 5 | 10);
  EXPECT_EQ(DosTimeText(t), "2023-11-14 22:13:20");
  EXPECT_EQ(UnixToDosTime(DosToUnixTime(t)), t);
}

}  // namespace
}  // namespace melko
