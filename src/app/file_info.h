// FILEINFO.INI: side data of each song file that Standard MIDI Files cannot
// hold (count-in, pre-range, loop points, drum channels, pad keys, clefs), in
// one section per file name without its folder. Written after every
// successful save, read after every successful load. UI thread.
#pragma once

#include <string>

#include "app/app_settings.h"
#include "base/ini_file.h"
#include "song/song.h"

namespace melko {

// Reads the section of `fileName` into the song; absent keys keep the values
// the load left (loop points) or give the defaults.
void ReadFileInfo(const IniFile& info, const std::string& fileName, Song& song, RecordingRange& rec);
void WriteFileInfo(IniFile& info, const std::string& fileName, const Song& song, const RecordingRange& rec);

// "Pad"/"Clef" form: two hexadecimal digits and a blank per track 1..last.
std::string TrackBytesText(const std::array<uint8_t, kSongTracks>& values, int lastTrack);
void ReadTrackBytes(const std::string& text, std::array<uint8_t, kSongTracks>& values, int lastTrack,
                    uint8_t missing);

}  // namespace melko
