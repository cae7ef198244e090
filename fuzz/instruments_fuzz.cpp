// Fuzz harness of the definition files: the input is read both as an
// instrument file (.INS) and as a drum file (.DRM); then the keys made from
// its first bytes are looked up in both, every bank and set is visited, and
// the note names of every drum set are read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "instruments/inst_defs.h"
#include "instruments/note_name.h"
#include "instruments/tm_ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  melko::MemoryLog log;

  melko::TmInst inst;
  inst.LoadFromBytes(bytes, "F.INS", &log);
  melko::TmIniFile ini;
  ini.LoadFromBytes(bytes);
  melko::TmDrumInst drums;
  drums.LoadFromIni(ini, "F.DRM", &log);

  // Keys from the first bytes, four at a time, and the boundary keys.
  uint32_t keys[6] = {0, 0xFFFFFFFFu, 0x01000000u, 0, 0, 0};
  for (size_t i = 0; i < 12 && i < size; ++i) keys[3 + i / 4] |= uint32_t{data[i]} << (8 * (i % 4));
  for (uint32_t key : keys) {
    for (bool fuzzy : {true, false}) {
      inst.Fuzzy = drums.Fuzzy = fuzzy;
      const int i = inst.FindKey(key);
      if (i >= static_cast<int>(inst.Count())) __builtin_trap();
      inst.GetName(key);
      const int d = drums.FindKey(key);
      if (d >= static_cast<int>(drums.Count())) __builtin_trap();
      drums.GetName(key);
    }
  }
  for (int i = -1; i <= inst.Count(); ++i) {
    const int b = inst.BankOf(i);
    if (b >= static_cast<int>(inst.Banks.size())) __builtin_trap();
    inst.GetKey(i);
  }
  melko::TmDrumToneNames names;
  for (int s = 0; s < drums.Count() && s < 64; ++s) {
    melko::TmDrumInst::ReadToneNames(ini, drums.Sets[static_cast<size_t>(s)].Section, names);
  }
  for (int s = 0; s < ini.SectionCount() && s < 64; ++s) {
    ini.ReadInteger(ini.SectionName(s), "Program", 1);
    ini.ReadString(s, "Name", "???");
  }
  if (size >= 2) melko::NoteName(static_cast<int8_t>(data[0]), static_cast<int8_t>(data[1]), data[0] % 5 - 2);
  return 0;
}
