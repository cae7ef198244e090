#include "edit/line_presets.h"

#include <cmath>

#include "base/atomic_write.h"
#include "base/int_helpers.h"

namespace melko {

namespace {

int Clamp(int64_t v, int64_t lo, int64_t hi) { return static_cast<int>(ClampInt(v, lo, hi)); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// One line; false when it holds no preset.
bool ParseLine(std::string_view line, LinePreset& p) {
  size_t colon = line.find(": ");
  if (colon == std::string_view::npos) colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  p.Name = std::string(line.substr(0, colon));
  std::vector<int64_t> n;
  for (std::string_view field : SplitText(line.substr(colon + 1), ',')) {
    int64_t v;
    if (!TryParseInt(Trim(field), v)) return false;
    n.push_back(v);
    if (n.size() > 16) break;  // more than any line type has
  }
  if (n.size() < 2) return false;
  auto at = [&](size_t i, int fallback) { return i < n.size() ? n[i] : fallback; };
  p.KindIndex = Clamp(n[0], 0, 5 + 127);
  p.LineType = Clamp(n[1], kLineStraight, kLineSpline);
  switch (p.LineType) {
    case kLineStraight:
      p.From = Clamp(at(2, p.From), 0, kGraphHeight);
      p.To = Clamp(at(3, p.To), 0, kGraphHeight);
      break;
    case kLineSine:
      p.Frequency2 = Clamp(at(2, p.Frequency2), 0, static_cast<int64_t>(kMaxFrequency * 2));
      p.Amplitude = Clamp(at(3, p.Amplitude), -128, 128);
      p.Phase = Clamp(at(4, p.Phase), -180, 180);
      break;
    default: {
      p.From = Clamp(at(2, p.From), 0, kGraphHeight);
      p.To = Clamp(at(3, p.To), 0, kGraphHeight);
      // The curve has two inner points; a longer list gives its first two.
      const int count = Clamp(at(4, 2), 0, 2);
      for (int i = 0; i < count; ++i) {
        p.Inner[i].X = Clamp(at(5 + 2 * size_t(i), p.Inner[i].X), 1, kGraphWidth - 2);
        p.Inner[i].Y = Clamp(at(6 + 2 * size_t(i), p.Inner[i].Y), 0, kGraphHeight);
      }
      break;
    }
  }
  return true;
}

}  // namespace

std::vector<LinePreset> ParseLinePresets(std::string_view bytes) {
  if (bytes.size() > kMaxLinePresetBytes) bytes = bytes.substr(0, kMaxLinePresetBytes);
  std::vector<LinePreset> out;
  size_t pos = 0;
  while (pos < bytes.size() && out.size() < kMaxLinePresets) {
    size_t nl = bytes.find('\n', pos);
    std::string_view line = bytes.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? bytes.size() : nl + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (Trim(line).empty()) continue;
    LinePreset p;
    if (ParseLine(line, p)) out.push_back(std::move(p));
  }
  return out;
}

std::string FormatLinePresets(const std::vector<LinePreset>& presets) {
  std::string out;
  for (const LinePreset& p : presets) {
    std::vector<int> n = {p.KindIndex, p.LineType};
    switch (p.LineType) {
      case kLineStraight: n.insert(n.end(), {p.From, p.To}); break;
      case kLineSine: n.insert(n.end(), {p.Frequency2, p.Amplitude, p.Phase}); break;
      default:
        n.insert(n.end(), {p.From, p.To, 2, p.Inner[0].X, p.Inner[0].Y, p.Inner[1].X, p.Inner[1].Y});
        break;
    }
    out += p.Name;
    out += ": ";
    for (size_t i = 0; i < n.size(); ++i) {
      if (i) out += ", ";
      out += std::to_string(n[i]);
    }
    out += "\r\n";
  }
  return out;
}

std::vector<LinePreset> LoadLinePresets(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return {};
  return ParseLinePresets(bytes);
}

bool SaveLinePresets(const std::string& path, const std::vector<LinePreset>& presets) {
  return WriteFileAtomically(path, FormatLinePresets(presets));
}

void ApplyLinePreset(const LinePreset& p, MakeValueSettings& s) {
  s.KindIndex = p.KindIndex;
  s.LineType = p.LineType;
  switch (p.LineType) {
    case kLineStraight:
      s.From = p.From;
      s.To = p.To;
      break;
    case kLineSine:
      s.Frequency = p.Frequency2 / 2.0;
      s.Amplitude = p.Amplitude;
      s.Phase = p.Phase;
      break;
    default:
      s.From = p.From;
      s.To = p.To;
      for (int i = 0; i < 2; ++i) s.Points[size_t(i) + 1] = {p.Inner[i].X, kGraphHeight - p.Inner[i].Y};
      break;
  }
  CheckCurveSettings(s);
}

LinePreset LinePresetOf(std::string_view name, const MakeValueSettings& settings) {
  MakeValueSettings s = settings;
  CheckCurveSettings(s);
  LinePreset p;
  std::string clean;
  for (char c : name) clean += (c == '\r' || c == '\n') ? ' ' : c;
  // The reader splits at the first ": " (or ":"); a colon in the name would cut it.
  for (char& c : clean)
    if (c == ':') c = ';';
  p.Name = clean;
  p.KindIndex = s.KindIndex;
  p.LineType = s.LineType;
  // Only what the line type stores; the rest keeps the reader's defaults.
  if (s.LineType == kLineSine) {
    p.Frequency2 = static_cast<int>(RoundEven(s.Frequency * 2));
    p.Amplitude = s.Amplitude;
    p.Phase = s.Phase;
    return p;
  }
  p.From = s.From;
  p.To = s.To;
  if (s.LineType == kLineSpline)
    for (int i = 0; i < 2; ++i) p.Inner[i] = {s.Points[size_t(i) + 1].X, kGraphHeight - s.Points[size_t(i) + 1].Y};
  return p;
}

}  // namespace melko
