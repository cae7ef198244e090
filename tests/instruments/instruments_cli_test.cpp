// melko --instruments: the file list, one file's patches grouped by bank,
// drum sets with their notes, warnings for skipped lines, unknown names.
#include <gtest/gtest.h>

#include <sstream>

#include "instruments/instruments_cli.h"
#include "temp_folder.h"

namespace melko {
namespace {

struct CliRun {
  int Code;
  std::string Out, Err;
};

CliRun RunCli(const std::string& dataDir, std::vector<std::string> args) {
  std::ostringstream out, err;
  args.insert(args.begin(), "--instruments");
  const int code = RunInstrumentsCommand(args, dataDir, out, err);
  return {code, out.str(), err.str()};
}

TEST(InstrumentsCli, ListsFilesAndOneFileByBank) {
  test::TempFolder dir;
  dir.Write("INST/Mod/M.INS",
            "My Module\r\n000 000 003 Loose\r\n[Capital]\r\n000 000 001 Piano\r\n\r\n[Drum Set]\r\n"
            "255 255 001 Std\r\n256 000 001 Bad\r\n");
  dir.Write("INST/K.DRM", "[InstInfo]\nName=Kits\n[Std]\nBankMSB=0\nProgram=1\n036=Kick\n");

  const CliRun list = RunCli(dir.Path(), {});
  EXPECT_EQ(list.Code, 0);
  EXPECT_EQ(list.Out,
            "Instrument definitions (1):\n  My Module\tMod/M.INS\nDrum definitions (1):\n  Kits\tK.DRM\n");

  for (const char* name : {"my module", "M.INS", "Mod/M.INS"}) {
    const CliRun one = RunCli(dir.Path(), {name});
    EXPECT_EQ(one.Code, 0) << name;
    // The loose patch is shown in the first bank, as the patch list selects it.
    EXPECT_EQ(one.Out,
              "Instrument: My Module (Mod/M.INS, 3 patches, 2 banks)\n"
              "[Capital]\n"
              "  003 Loose\t00000002  MSB 0 LSB 0 PC 3\n"
              "  001 Piano\t00000000  MSB 0 LSB 0 PC 1\n"
              "[Drum Set]\n"
              "  001 Std\t01FFFF00  MSB - LSB - PC 1 drum\n")
        << name;
    EXPECT_EQ(one.Err, "Warning: " + dir.Path() + "/INST/Mod/M.INS: line 8: bank or program number out of range, "
                                                  "the patch is skipped\n");
  }

  const CliRun drums = RunCli(dir.Path(), {"Kits"});
  EXPECT_EQ(drums.Code, 0);
  EXPECT_EQ(drums.Out, "Drum sets: Kits (K.DRM, 1 sets)\n[Std]\t0100FF00  MSB 0 LSB - PC 1 drum\n  036 C  1  Kick\n");
}

TEST(InstrumentsCli, UnknownNameAndMissingFolder) {
  test::TempFolder dir;
  const CliRun list = RunCli(dir.Path(), {});
  EXPECT_EQ(list.Code, 0);
  EXPECT_EQ(list.Out, "Instrument definitions (0):\nDrum definitions (0):\n");
  const CliRun none = RunCli(dir.Path(), {"GM"});
  EXPECT_EQ(none.Code, 1);
  EXPECT_EQ(none.Out, "");
  EXPECT_NE(none.Err.find("Error: no instrument or drum definition named \"GM\""), std::string::npos);
}

}  // namespace
}  // namespace melko
