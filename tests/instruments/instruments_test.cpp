// TmInstruments: the recursive, sorted listing of the INST folder, display
// names, lazy loading, lookups by display name, and the shipped GM files.
#include <gtest/gtest.h>

#include <filesystem>

#include "instruments/instruments.h"
#include "temp_folder.h"

namespace melko {
namespace {

TEST(TmInstrumentsListing, MissingFolderGivesEmptyLists) {
  test::TempFolder dir;
  TmInstruments none(dir.Path() + "/INST");
  EXPECT_TRUE(none.InsFiles.empty());
  EXPECT_TRUE(none.DrmFiles.empty());
  EXPECT_EQ(none.GetInst(0), nullptr);
  EXPECT_EQ(none.GetDrumInst(-1), nullptr);
  EXPECT_EQ(none.IndexOfInst("GM"), -1);

  // A file where the folder should be is no folder either.
  dir.Write("FILE", "GM\n");
  EXPECT_TRUE(TmInstruments(dir.Path() + "/FILE").InsFiles.empty());
}

TEST(TmInstrumentsListing, RecursiveSortedAnyCaseExtension) {
  test::TempFolder dir;
  dir.Write("zeta.ins", "Zeta\n");
  dir.Write("Sub/Deep/b.INS", "  Deep B  \r\n[Bank]\r\n");
  dir.Write("Alpha.Ins", "[Header First]\n000 000 001 P\n");
  dir.Write("sub/a.ins", "Sub A\n");
  dir.Write("notes.txt", "not listed\n");
  dir.Write("INS", "no extension\n");
  dir.Write("Kits/x.drm", "[InstInfo]\nName=X Kits\n[Std]\n");
  dir.Write("A.DRM", "[Std]\nProgram=1\n");
  std::filesystem::create_directories(dir.Path() + "/folder.ins");  // a folder is no file

  TmInstruments inst(dir.Path());
  std::vector<std::string> rel;
  for (const std::string& p : inst.InsFiles) rel.push_back(p.substr(dir.Path().size() + 1));
  EXPECT_EQ(rel, (std::vector<std::string>{"Alpha.Ins", "sub/a.ins", "Sub/Deep/b.INS", "zeta.ins"}));
  EXPECT_EQ(inst.InsNames, (std::vector<std::string>{"[Header First]", "Sub A", "Deep B", "Zeta"}));
  ASSERT_EQ(inst.DrmFiles.size(), 2u);
  EXPECT_EQ(inst.DrmFiles[0], dir.Path() + "/A.DRM");
  EXPECT_EQ(inst.DrmNames, (std::vector<std::string>{"???", "X Kits"}));

  EXPECT_EQ(inst.IndexOfInst("deep b"), 2);
  EXPECT_EQ(inst.IndexOfInst("Deep"), -1);
  EXPECT_EQ(inst.IndexOfDrumInst("X KITS"), 1);
}

TEST(TmInstrumentsListing, LoadsEachFileOnFirstRequestOnly) {
  test::TempFolder dir;
  const std::string ins = dir.Write("A.INS", "A\n[B]\n000 000 001 One\n");
  const std::string drm = dir.Write("A.DRM", "[I]\nName=D\n[Kit]\nProgram=1\n036=Kick\n");
  MemoryLog log;
  TmInstruments inst(dir.Path(), &log);
  EXPECT_FALSE(inst.InstLoaded(0));
  EXPECT_FALSE(inst.DrumInstLoaded(0));

  // Until the first request the file on disk is what counts.
  dir.Write("A.INS", "A\n[B]\n000 000 001 One\n000 000 002 Two\n256 000 003 Bad\n");
  TmInst* a = inst.GetInst(0);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(inst.InstLoaded(0));
  EXPECT_FALSE(inst.DrumInstLoaded(0));
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(log.Lines.size(), 1u);  // the bad line, said once

  // Afterwards the loaded definition is kept.
  std::filesystem::remove(ins);
  EXPECT_EQ(inst.GetInst(0), a);
  EXPECT_EQ(inst.GetInst(0)->Count(), 2);

  TmDrumInst* d = inst.GetDrumInst(0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->DisplayName, "D");
  EXPECT_FALSE(d->ToneNamesLoaded(0));
  EXPECT_EQ(d->GetToneName(0, 36), "Kick");
  EXPECT_EQ(inst.GetDrumInst(0), d);
}

TEST(TmInstrumentsShipped, GeneralMidiDefinitions) {
  TmInstruments inst(MELKO_SHIPPED_INST_DIR);
  const int gm = inst.IndexOfInst("GM");
  ASSERT_GE(gm, 0);
  TmInst* ins = inst.GetInst(gm);
  EXPECT_GE(ins->Count(), 128);
  EXPECT_EQ(ins->GetName(MakePatchKey(0, 0, 0, false)), "001 Acoustic Grand Piano");
  EXPECT_TRUE(ins->Exact);

  const int drums = inst.IndexOfDrumInst("GM Drums");
  ASSERT_GE(drums, 0);
  TmDrumInst* drm = inst.GetDrumInst(drums);
  const int standard = drm->FindKey(MakePatchKey(0, 0, 0, true));
  ASSERT_GE(standard, 0);
  EXPECT_EQ(drm->Entries[static_cast<size_t>(standard)], "Standard Kit");
  EXPECT_EQ(drm->GetToneName(standard, 36), "Bass Drum 1");
}

}  // namespace
}  // namespace melko
