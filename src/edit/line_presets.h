// The value-curve presets of LINE.TXT: one per line, the name, ": ", then
// comma-separated integers: data kind index, line type, and by line type
// Straight: from, to; Sine: frequency × 2, amplitude, phase; Spline: from,
// to, the number of inner points, then each inner point as x, graph value.
// The file is the user's to edit, so the reader is bounded (the first
// kMaxLinePresetBytes, at most kMaxLinePresets presets), skips a line it
// cannot read and clamps every value into its range; it never fails. Names
// stay raw bytes. Read when the main window opens, written when it closes
// (UI thread).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "edit/value_curve.h"

namespace melko {

constexpr size_t kMaxLinePresetBytes = 1 << 20;
constexpr size_t kMaxLinePresets = 1000;

struct LinePreset {
  std::string Name;
  int KindIndex = kCurveVelocity;
  int LineType = kLineStraight;
  int From = 0, To = 127;            // straight and spline, graph units
  int Frequency2 = 2;                // sine: frequency × 2
  int Amplitude = 64, Phase = 0;     // sine
  CurvePoint Inner[2] = {{160, 8}, {225, 68}};  // spline: x and graph value (up is larger)
  bool operator==(const LinePreset&) const = default;
};

std::vector<LinePreset> ParseLinePresets(std::string_view bytes);
std::string FormatLinePresets(const std::vector<LinePreset>& presets);

// A missing or unreadable file gives no presets.
std::vector<LinePreset> LoadLinePresets(const std::string& path);
// Written beside and renamed over the target; false when that failed.
bool SaveLinePresets(const std::string& path, const std::vector<LinePreset>& presets);

// Choosing a preset sets the kind, line type and the values of its type.
void ApplyLinePreset(const LinePreset& p, MakeValueSettings& s);
// A preset of the current settings under `name` (line breaks and ": " in the
// name are made harmless, so the file reads back the same).
LinePreset LinePresetOf(std::string_view name, const MakeValueSettings& s);

}  // namespace melko
