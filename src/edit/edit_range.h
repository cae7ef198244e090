// The edit range and the current position that every edit command reads, and
// the text forms of the main window's strip: positions (measure/beat/tick),
// times, meters, keys and tempo boxes, with the lenient readers that turn
// typed text back into values.
//
// Plain values and pure functions: the main window (UI thread) owns one
// TEditRange; tests make as many as they like. Nothing here touches Qt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "song/song_maps.h"

namespace melko {

constexpr int kFirstEditTrack = 1;
constexpr int kLastEditTrack = 64;
constexpr int kDefaultBpm = 120;
constexpr int kMinBpm = 5;
constexpr int kMaxBpm = 500;

struct TEditRange {
  uint32_t EditFromTick = 0;  // range start
  uint32_t EditToTick = 480;  // range end, exclusive
  int EditFromTrack = 1;      // 1..64
  int EditToTrack = 1;        // 1..64
  int RepeatCount = 1;        // copies laid down by paste, insert and mix
  uint32_t CurrentTick = 0;   // current song position
  uint32_t SavedMeasure = 0;  // scroll position to return to when playback stops

  // Swaps a reversed pair of tracks or ticks; true when anything changed
  // (the caller then rewrites the four range boxes).
  bool Normalize();
  // The repeat count as the range operations may use it: 1..255.
  int Repeat() const;
  uint32_t Length() const { return EditToTick > EditFromTick ? EditToTick - EditFromTick : 0; }
  int TrackCount() const { return EditToTrack - EditFromTrack + 1; }
};

// Position text "%.3d/%.2d/%.3d": measure from 0, beat from 1, tick in the beat.
std::string TickToLocText(const SongMaps& maps, uint32_t tick);

// LocTextToTick, the reader of a typed position, lives beside LocText in
// song/song_maps.h.

// A track box: the text as an integer clamped to 1..64; text that does not
// parse keeps `old`.
int ReadTrackBox(std::string_view text, int old);

// Reads the four range boxes into `range` (positions with their old values
// as fallback). The caller rewrites the boxes from the values afterwards.
void ReadRangeBoxes(TEditRange& range, const SongMaps& maps, std::string_view startTrack,
                    std::string_view endTrack, std::string_view startRange, std::string_view endRange);

// "%.2d:%.2d:%.3d" of minutes, seconds and milliseconds.
std::string TimeText(uint32_t ms);

// "%d/%d" of a meter value (numerator << 24 | denominator power << 16 | ...).
std::string MeterText(uint32_t meterValue);
// The meter event value of a numerator and a denominator power, with 24 MIDI
// clocks per click and 8 thirty-seconds per quarter.
uint32_t MeterValue(int numerator, int denominatorPower);
// Reads "N/D" typed into the meter box: numerator (fallback 4, 1..255) and
// denominator (fallback 4) as the largest power of two not above it.
uint32_t MeterValueFromText(std::string_view text);

// The two-character key name of a signed count of sharps (+) or flats (-).
std::string KeyName(int sf, bool minor);
// Six characters: key name and " Major" or " Minor" cut short ("F# Maj").
std::string KeyText(uint32_t keyValue);
// The key dialog's item for one signature, "Cb Major / Ab Minor (b 7)".
std::string KeySigItemText(int sf);
// The key event value of a signature: sf (signed byte) << 8 | minor.
uint32_t KeyValue(int sf, bool minor);

// A tempo box: the text as an integer (fallback 120) clamped to 5..500.
int ReadBpmText(std::string_view text);

// What the read-only position box shows: during a count-in (recording, and
// the position before the recording start) the signed beats still to come
// as "%10d", otherwise the position text.
std::string PositionBoxText(const SongMaps& maps, int64_t tick, bool recording, int64_t recordStart);

}  // namespace melko
