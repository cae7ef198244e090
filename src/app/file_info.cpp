#include "app/file_info.h"

#include <cctype>

#include "base/int_helpers.h"
#include "base/log_sink.h"

namespace melko {

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string TrackBytesText(const std::array<uint8_t, kSongTracks>& values, int lastTrack) {
  std::string text;
  for (int t = 1; t <= lastTrack && t < kSongTracks; ++t) text += Format("%.2X ", values[t]);
  return text;
}

void ReadTrackBytes(const std::string& text, std::array<uint8_t, kSongTracks>& values, int lastTrack,
                    uint8_t missing) {
  for (int t = 1; t <= lastTrack && t < kSongTracks; ++t) {
    size_t at = static_cast<size_t>(t - 1) * 3;
    int hi = at + 1 < text.size() ? HexDigit(text[at]) : -1;
    int lo = at + 1 < text.size() ? HexDigit(text[at + 1]) : -1;
    values[t] = (hi < 0 || lo < 0) ? missing : static_cast<uint8_t>(hi * 16 + lo);
  }
}

void ReadFileInfo(const IniFile& info, const std::string& fileName, Song& song, RecordingRange& rec) {
  const std::string section = FileNameOf(fileName);
  // The file is the user's to edit: every value is brought into the range its
  // use allows (the count-in and pre-range of the recording boxes, loop points
  // no further than a track's end tick, sixteen drum channel bits).
  rec.CountIn = static_cast<int>(ClampInt(info.ReadInteger(section, "CountIn", 4), 0, 16));
  rec.PreRange = static_cast<int>(ClampInt(info.ReadInteger(section, "PreRange", 16) / 4, 1, 24));
  auto tick = [&](const char* key, uint32_t def) {
    return static_cast<uint32_t>(ClampInt(info.ReadInteger(section, key, static_cast<int32_t>(def)), 0, kTrackEndTick));
  };
  song.LoopBeginTick = tick("BgnLoop", song.LoopBeginTick);
  song.LoopEndTick = tick("EndLoop", song.LoopEndTick);
  song.DrumChannels = static_cast<uint16_t>(info.ReadInteger(section, "DrumAssign", 512) & 0xFFFF);
  ReadTrackBytes(info.ReadString(section, "Pad", ""), song.Pad, song.LastTrack, kNoPad);
  for (uint8_t& pad : song.Pad)
    if (pad > 127) pad = kNoPad;  // a pad key is a note number
  ReadTrackBytes(info.ReadString(section, "Clef", ""), song.Clef, song.LastTrack, 0);
}

void WriteFileInfo(IniFile& info, const std::string& fileName, const Song& song, const RecordingRange& rec) {
  const std::string section = FileNameOf(fileName);
  info.WriteString(section, "FileName", fileName);
  info.WriteString(section, "SongName", song.TrackNames[0]);
  info.WriteInteger(section, "CountIn", rec.CountIn);
  info.WriteInteger(section, "PreRange", rec.PreRange * 4);
  info.WriteInteger(section, "BgnLoop", static_cast<int32_t>(song.LoopBeginTick));
  info.WriteInteger(section, "EndLoop", static_cast<int32_t>(song.LoopEndTick));
  info.WriteInteger(section, "DrumAssign", song.DrumChannels);
  info.WriteString(section, "Pad", TrackBytesText(song.Pad, song.LastTrack));
  info.WriteString(section, "Clef", TrackBytesText(song.Clef, song.LastTrack));
}

}  // namespace melko
