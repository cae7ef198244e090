// The shared step list of the event lists ("StepInc" in the settings file):
// up to 16 step texts in ascending order of their tick counts. A step typed
// into a list's step box joins the list at its place unless it is there
// already or the list is full. UI thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace melko {

class IniFile;

class StepList {
 public:
  static constexpr size_t kMaxSteps = 16;

  // The ticks of a step text: "0" is 0, else a length text.
  static int64_t Ticks(std::string_view text, uint32_t tpqn);
  // Adds `text` at its place; false when it was there or the list is full.
  bool Add(std::string_view text, uint32_t tpqn);
  const std::vector<std::string>& Items() const { return items_; }

  // Section "StepInc": "Count" and the entries "Step0".. in order.
  void Load(const IniFile& ini, uint32_t tpqn);
  void Save(IniFile& ini) const;

 private:
  std::vector<std::string> items_;
};

}  // namespace melko
