#include "views/patch_names.h"

#include "base/text_encoding.h"

namespace melko {

std::function<std::string(const std::string&, uint32_t)> PatchNamer(TmInstruments& instruments) {
  return [&instruments](const std::string& instrument, uint32_t patch) -> std::string {
    int index = instruments.IndexOfInst(instrument);
    if (index < 0) index = instruments.IndexOfInst(DisplayText(instrument));
    TmInst* inst = index >= 0 ? instruments.GetInst(index) : nullptr;
    if (!inst) return {};
    std::string name = inst->GetName(patch);
    return name == "?" ? std::string() : DisplayText(name);
  };
}

}  // namespace melko
