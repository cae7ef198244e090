#include "edit/tool_text.h"

#include <string>

#include "base/int_helpers.h"
#include "base/log_sink.h"

namespace melko {

namespace {
const char* const kPitchNames[12] = {"C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B "};
const int kNaturalPitch[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
}  // namespace

std::string NoteText(int note, int centerC) {
  note = static_cast<int>(ClampInt(note, 0, 127));
  return Format("%s%2d", kPitchNames[note % 12], note / 12 - 2 + centerC);
}

int ReadNoteText(std::string_view text, int fallback, int centerC) {
  if (text.empty()) return fallback;
  char first = text[0];
  if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
  if (first < 'A' || first > 'G') return static_cast<int>(StrToIntClamp(text, fallback, 0, 127));
  int pitch = kNaturalPitch[first - 'A'];
  size_t rest = 1;
  if (text.size() > 1 && (text[1] == '#' || text[1] == '+')) {
    ++pitch;
    rest = 2;
  }
  int64_t octave = StrToIntClamp(text.substr(rest), fallback / 12 - 2 + centerC, centerC - 2, centerC + 8);
  return static_cast<int>(ClampInt(pitch + (octave + 2 - centerC) * 12, 0, 127));
}

std::string LengthText(int64_t ticks, uint32_t tpqn) {
  if (tpqn == 0) tpqn = 1;
  int64_t magnitude = ticks < 0 ? -ticks : ticks;
  return std::string(ticks < 0 ? "-" : "") +
         Format("%3lld/%3lld", static_cast<long long>(magnitude / tpqn), static_cast<long long>(magnitude % tpqn));
}

int64_t ReadLengthText(std::string_view text, int64_t old, uint32_t tpqn, bool isSigned) {
  if (tpqn == 0) tpqn = 1;
  std::string clean(text);
  bool negative = false;
  if (isSigned) {
    for (size_t p; (p = clean.find('-')) != std::string::npos;) {
      clean.erase(p, 1);
      negative = true;
    }
  }
  std::string_view s(clean);
  size_t slash = s.rfind('/');
  std::string_view tickText = slash == std::string_view::npos ? s : s.substr(slash + 1);
  std::string_view quarterText;
  bool hasQuarters = false;
  if (slash != std::string_view::npos) {
    std::string_view left = s.substr(0, slash);
    size_t slash2 = left.rfind('/');
    quarterText = slash2 == std::string_view::npos ? left : left.substr(slash2 + 1);
    hasQuarters = true;
  }
  int64_t magnitude = old < 0 ? -old : old;
  int64_t ticks = 0, quarters = 0;
  if (!TryParseInt(tickText, ticks)) ticks = magnitude % tpqn;
  if (!hasQuarters || !TryParseInt(quarterText, quarters)) quarters = 0;
  int64_t result = ClampInt(int64_t(tpqn) * quarters + ticks, 1, int64_t(tpqn) * 1000 - 1);
  return negative ? -result : result;
}

}  // namespace melko
