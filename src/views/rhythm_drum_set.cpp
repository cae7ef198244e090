#include "views/rhythm_drum_set.h"

#include "instruments/patch_key.h"

namespace melko {

TRhythmDrumSet ResolveDrumSet(TmInstruments& insts, const std::string& instrument, int set) {
  TRhythmDrumSet d;
  d.DrumIndex = insts.IndexOfDrumInst(instrument);
  // An instrument's name ("GS") finds its drum definition ("GS Drums").
  if (d.DrumIndex < 0 && !instrument.empty()) d.DrumIndex = insts.IndexOfDrumInst(instrument + " Drums");
  TmDrumInst* drum = d.DrumIndex >= 0 ? insts.GetDrumInst(d.DrumIndex) : nullptr;
  if (!drum || set < 0 || set >= int(drum->Sets.size())) {
    if (!drum) {
      d.DrumIndex = insts.IndexOfDrumInst(kFallbackDrumInstrument);
      if (d.DrumIndex < 0 && !insts.DrmFiles.empty()) d.DrumIndex = 0;
      drum = d.DrumIndex >= 0 ? insts.GetDrumInst(d.DrumIndex) : nullptr;
    }
    set = 0;
  }
  d.Set = drum && !drum->Sets.empty() ? set : 0;
  d.Instrument = drum ? drum->DisplayName : std::string();
  return d;
}

std::vector<uint32_t> DrumSetPatchMessages(TmInstruments& insts, const TRhythmDrumSet& d) {
  std::vector<uint32_t> out;
  TmDrumInst* drum = d.DrumIndex >= 0 ? insts.GetDrumInst(d.DrumIndex) : nullptr;
  if (!drum || d.Set >= int(drum->Sets.size())) return out;
  const TPatchKey key = drum->Sets[size_t(d.Set)].Key;
  if (KeyBankMsb(key) < 128) out.push_back(0xB9 | 0x00 << 8 | uint32_t(KeyBankMsb(key)) << 16);
  if (KeyBankLsb(key) < 128) out.push_back(0xB9 | 0x20 << 8 | uint32_t(KeyBankLsb(key)) << 16);
  if (KeyProgram(key) < 128) out.push_back(0xC9 | uint32_t(KeyProgram(key)) << 8);
  return out;
}

std::array<std::string, 128> DrumRowNames(TmInstruments& insts, const TRhythmDrumSet& d) {
  std::array<std::string, 128> names;
  TmDrumInst* drum = d.DrumIndex >= 0 ? insts.GetDrumInst(d.DrumIndex) : nullptr;
  if (!drum || d.Set >= int(drum->Sets.size())) return names;
  for (int n = 0; n < 128; ++n) names[size_t(n)] = drum->GetToneName(d.Set, n);
  return names;
}

}  // namespace melko
