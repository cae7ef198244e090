#include "edit/edit_range.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/int_helpers.h"
#include "base/log_sink.h"

namespace melko {

bool TEditRange::Normalize() {
  bool changed = false;
  if (EditFromTrack > EditToTrack) {
    std::swap(EditFromTrack, EditToTrack);
    changed = true;
  }
  if (EditFromTick > EditToTick) {
    std::swap(EditFromTick, EditToTick);
    changed = true;
  }
  return changed;
}

int TEditRange::Repeat() const { return static_cast<int>(ClampInt(RepeatCount, 1, 255)); }

std::string TickToLocText(const SongMaps& maps, uint32_t tick) { return LocText(maps, tick); }

int ReadTrackBox(std::string_view text, int old) {
  int64_t v;
  if (!TryParseInt(text, v)) return old;
  return static_cast<int>(ClampInt(v, kFirstEditTrack, kLastEditTrack));
}

void ReadRangeBoxes(TEditRange& range, const SongMaps& maps, std::string_view startTrack,
                    std::string_view endTrack, std::string_view startRange, std::string_view endRange) {
  range.EditFromTick = LocTextToTick(maps, startRange, range.EditFromTick);
  range.EditToTick = LocTextToTick(maps, endRange, range.EditToTick);
  range.EditFromTrack = ReadTrackBox(startTrack, range.EditFromTrack);
  range.EditToTrack = ReadTrackBox(endTrack, range.EditToTrack);
}

std::string TimeText(uint32_t ms) {
  return Format("%.2u:%.2u:%.3u", ms / 60000, (ms % 60000) / 1000, ms % 1000);
}

std::string MeterText(uint32_t meterValue) {
  uint32_t numerator = meterValue >> 24;
  uint32_t power = (meterValue >> 16) & 0xFF;
  // A plain power loop; an exponent below 1 gives 1. Exponents past 2^62 are
  // nonsense in a file and are shown at that size rather than wrapping.
  uint64_t denominator = 1;
  for (uint32_t i = 0; i < power && i < 62; ++i) denominator *= 2;
  return Format("%u/%llu", numerator, static_cast<unsigned long long>(denominator));
}

uint32_t MeterValue(int numerator, int denominatorPower) {
  uint32_t n = static_cast<uint32_t>(ClampInt(numerator, 1, 255));
  uint32_t p = static_cast<uint32_t>(ClampInt(denominatorPower, 0, 255));
  return n << 24 | p << 16 | 24u << 8 | 8u;
}

uint32_t MeterValueFromText(std::string_view text) {
  size_t slash = text.find('/');
  std::string_view numText = text.substr(0, slash);
  std::string_view denText = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
  int64_t numerator = 4, denominator = 4;
  if (!TryParseInt(numText, numerator)) numerator = 4;
  if (!TryParseInt(denText, denominator) || denominator < 1) denominator = 4;
  int power = 0;
  while (power < 30 && (int64_t(1) << (power + 1)) <= denominator) ++power;
  return MeterValue(static_cast<int>(ClampInt(numerator, 1, 255)), power);
}

namespace {
const char* const kMajorNames[15] = {"Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F ", "C ",
                                     "G ", "D ", "A ", "E ", "B ", "F#", "C#"};
const char* const kMinorNames[15] = {"Ab", "Eb", "Bb", "F ", "C ", "G ", "D ", "A ",
                                     "E ", "B ", "F#", "C#", "G#", "D#", "A#"};
}  // namespace

std::string KeyName(int sf, bool minor) {
  int i = static_cast<int>(ClampInt(sf, -7, 7)) + 7;
  return minor ? kMinorNames[i] : kMajorNames[i];
}

std::string KeyText(uint32_t keyValue) {
  int sf = static_cast<int8_t>((keyValue >> 8) & 0xFF);
  bool minor = (keyValue & 0xFF) != 0;
  return (KeyName(sf, minor) + (minor ? " Minor" : " Major")).substr(0, 6);
}

std::string KeySigItemText(int sf) {
  sf = static_cast<int>(ClampInt(sf, -7, 7));
  char sign = sf < 0 ? 'b' : sf > 0 ? '#' : ' ';
  return KeyName(sf, false) + " Major / " + KeyName(sf, true) + " Minor (" + sign + " " +
         std::to_string(sf < 0 ? -sf : sf) + ")";
}

uint32_t KeyValue(int sf, bool minor) {
  return static_cast<uint32_t>(static_cast<uint8_t>(ClampInt(sf, -7, 7))) << 8 | (minor ? 1u : 0u);
}

int ReadBpmText(std::string_view text) {
  int64_t v;
  if (!TryParseInt(text, v)) return kDefaultBpm;
  return static_cast<int>(ClampInt(v, kMinBpm, kMaxBpm));
}

std::string PositionBoxText(const SongMaps& maps, int64_t tick, bool recording, int64_t recordStart) {
  // The count-in runs before the start, below tick 0 when that is the song's start.
  if (recording && tick < recordStart) {
    int64_t tpb = std::max<uint32_t>(maps.MeterAt(uint32_t(std::max<int64_t>(recordStart, 0))).TicksPerBeat, 1);
    int64_t beats = (tick - recordStart) / tpb;
    return Format("%10lld", static_cast<long long>(beats));
  }
  return TickToLocText(maps, uint32_t(std::clamp<int64_t>(tick, 0, UINT32_MAX)));
}

}  // namespace melko
