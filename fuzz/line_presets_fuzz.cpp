// Fuzz harness of LINE.TXT: any bytes give presets whose values lie in their
// ranges; written out and read back they are the same presets; applied to the
// settings and drawn over a short range they give values of the kind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "edit/line_presets.h"
#include "edit/value_curve.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace melko;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<LinePreset> presets = ParseLinePresets(bytes);
  Check(presets.size() <= kMaxLinePresets);
  for (const LinePreset& p : presets) {
    Check(p.LineType >= kLineStraight && p.LineType <= kLineSpline);
    Check(p.From >= 0 && p.From <= kGraphHeight && p.To >= 0 && p.To <= kGraphHeight);
    Check(p.Amplitude >= -128 && p.Amplitude <= 128 && p.Phase >= -180 && p.Phase <= 180);
    Check(p.Name.find('\n') == std::string::npos);
  }
  // What is written reads back the same, once the names are made writable.
  std::vector<LinePreset> clean;
  for (const LinePreset& p : presets) {
    MakeValueSettings s;
    ApplyLinePreset(p, s);
    clean.push_back(LinePresetOf(p.Name, s));
  }
  Check(ParseLinePresets(FormatLinePresets(clean)) == clean);
  // A few presets drawn over a range whose length comes from the input.
  const uint32_t length = size > 0 ? 1u + data[0] * 37u : 1u;
  for (size_t i = 0; i < presets.size() && i < 4; ++i) {
    MakeValueSettings s;
    ApplyLinePreset(presets[i], s);
    ValueCurve curve(s, length);
    int lo, hi;
    ValueRange(curve.Kind(), lo, hi);
    for (uint32_t x = 0; x <= length; x += 1 + length / 64) {
      const int v = curve.At(x);
      Check(v >= lo && v <= hi);
    }
  }
  return 0;
}
