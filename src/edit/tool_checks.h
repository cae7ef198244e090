// The rules the tool dialogs apply to their boxes when they close with OK
// (clamps to each value's range, lower and upper bounds put in order, the
// quantize grid from its resolution), shared by the Qt dialogs and the batch
// form so both hand the tools the same settings. Pure functions.
#pragma once

#include <cstdint>

#include "edit/edit_tools.h"

namespace melko {

constexpr int kMaxChangePercent = 999;
constexpr int kMaxCompressPercent = 100;
constexpr int kMaxQuantizeRatio = 200;

void CheckDynamics(DynamicsSettings& d);
void CheckGate(GateSettings& g, uint32_t tpqn);
// Sets the grid from the resolution index and clamps strength, shift and ratio.
void CheckQuantize(QuantizeSettings& q, int resolutionIndex, uint32_t tpqn);

}  // namespace melko
