#include "app/file_info.h"

#include <cctype>

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
  rec.CountIn = info.ReadInteger(section, "CountIn", 4);
  rec.PreRange = info.ReadInteger(section, "PreRange", 16) / 4;
  song.LoopBeginTick = static_cast<uint32_t>(info.ReadInteger(section, "BgnLoop", static_cast<int32_t>(song.LoopBeginTick)));
  song.LoopEndTick = static_cast<uint32_t>(info.ReadInteger(section, "EndLoop", static_cast<int32_t>(song.LoopEndTick)));
  song.DrumChannels = static_cast<uint16_t>(info.ReadInteger(section, "DrumAssign", 512));
  ReadTrackBytes(info.ReadString(section, "Pad", ""), song.Pad, song.LastTrack, kNoPad);
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
