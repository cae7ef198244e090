#include "edit/step_list.h"

#include <algorithm>

#include "base/ini_file.h"
#include "edit/tool_text.h"

namespace melko {

int64_t StepList::Ticks(std::string_view text, uint32_t tpqn) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return 0;
  text = text.substr(b, text.find_last_not_of(' ') - b + 1);
  return text == "0" ? 0 : ReadLengthText(text, 0, tpqn, false);
}

bool StepList::Add(std::string_view text, uint32_t tpqn) {
  if (items_.size() >= kMaxSteps) return false;
  const int64_t ticks = Ticks(text, tpqn);
  auto at = items_.begin();
  for (; at != items_.end(); ++at) {
    const int64_t t = Ticks(*at, tpqn);
    if (t == ticks) return false;
    if (t > ticks) break;
  }
  items_.insert(at, ticks == 0 ? std::string("0") : LengthText(ticks, tpqn));
  return true;
}

void StepList::Load(const IniFile& ini, uint32_t tpqn) {
  items_.clear();
  const int count = std::clamp<int>(ini.ReadInteger("StepInc", "Count", 0), 0, int(kMaxSteps));
  for (int i = 0; i < count; ++i) {
    std::string text = ini.ReadString("StepInc", "Step" + std::to_string(i), "");
    if (!text.empty()) Add(text, tpqn);
  }
}

void StepList::Save(IniFile& ini) const {
  ini.WriteInteger("StepInc", "Count", int32_t(items_.size()));
  for (size_t i = 0; i < items_.size(); ++i) ini.WriteString("StepInc", "Step" + std::to_string(i), items_[i]);
}

}  // namespace melko
