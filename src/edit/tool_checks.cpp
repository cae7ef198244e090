#include "edit/tool_checks.h"

#include <utility>

#include "base/int_helpers.h"

namespace melko {

void CheckDynamics(DynamicsSettings& d) {
  int lo, hi;
  DynamicsRange(d.Kind, lo, hi);
  d.Set = static_cast<int>(ClampInt(d.Set, lo, hi));
  d.CompCenter = static_cast<int>(ClampInt(d.CompCenter, lo, hi));
  d.Lower = static_cast<int>(ClampInt(d.Lower, lo, hi));
  d.Upper = static_cast<int>(ClampInt(d.Upper, lo, hi));
  d.Change = static_cast<uint16_t>(ClampInt(d.Change, 0, kMaxChangePercent));
  d.CompPerc = static_cast<uint16_t>(ClampInt(d.CompPerc, 0, kMaxCompressPercent));
  if (d.Lower > d.Upper) std::swap(d.Lower, d.Upper);
}

void CheckGate(GateSettings& g, uint32_t tpqn) {
  const int64_t maxGate = int64_t(tpqn) * 1000 - 1;
  g.Add = static_cast<int>(ClampInt(g.Add, -maxGate, maxGate));
  g.Set = static_cast<int>(ClampInt(g.Set, 1, maxGate));
  g.CompCenter = static_cast<int>(ClampInt(g.CompCenter, 1, maxGate));
  g.Lower = static_cast<int>(ClampInt(g.Lower, 1, maxGate));
  g.Upper = static_cast<int>(ClampInt(g.Upper, 1, maxGate));
  g.Change = static_cast<uint16_t>(ClampInt(g.Change, 0, kMaxChangePercent));
  g.CompPerc = static_cast<uint16_t>(ClampInt(g.CompPerc, 0, kMaxCompressPercent));
  if (g.Lower > g.Upper) std::swap(g.Lower, g.Upper);
}

void CheckQuantize(QuantizeSettings& q, int resolutionIndex, uint32_t tpqn) {
  q.Type = static_cast<uint8_t>(ClampInt(q.Type, kQuantizeGrid, kQuantizeGate));
  q.Grid = QuantizeGrid(tpqn, resolutionIndex);
  q.Strength = static_cast<uint8_t>(ClampInt(q.Strength, 0, 100));
  q.Shift = static_cast<int16_t>(ClampInt(q.Shift, -int64_t(q.Grid), q.Grid));
  q.Ratio = static_cast<uint8_t>(ClampInt(q.Ratio, 1, kMaxQuantizeRatio));
}

}  // namespace melko
