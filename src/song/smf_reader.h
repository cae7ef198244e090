// Reading a Standard MIDI File into a Song: the file image, the header check,
// and the model pass that turns every track chunk into the compact form
// (notes paired with their note-offs into one event with a gate, channel
// nibbles removed, tempo/meter/key/SMPTE moved to the conductor track, some
// meta events turned into settings). UI thread (it fills the song's tables).
#pragma once

#include <string>

#include "song/smf_convert.h"
#include "song/smf_stream.h"
#include "song/song.h"

namespace melko {

// Converts song files of older formats into SMF bytes; without one such files
// fail to load with a message.
class SongConverter {
 public:
  virtual ~SongConverter() = default;
  // False when no converter library is available (the caller shows why).
  virtual bool Available() = 0;
  virtual bool Convert(const FileImage& source, FileImage& smf) = 0;
};

// Message texts shown by the loader.
extern const char* const kMsgLoadFailed;      // appended to the file name
extern const char* const kMsgUnreadable;
extern const char* const kMsgTooManyTracks;
extern const char* const kMsgTpqnQuestion;
extern const char* const kMsgConverterMissing;

// A file read into memory and normalised to format 1: the file's bytes and
// the chunks of the format 1 file they stand for (most point into Bytes).
struct LoadedSmf {
  FileImage Bytes;
  SmfChunkList Chunks;
};

// Song files larger than this are refused with the load-failure message
// before they are read.
constexpr uint64_t kMaxSongFileBytes = uint64_t{1} << 30;  // 1 GiB

// Reads the file (converting RCP/R36/G36 through `converter` when given) and
// normalises it to format 1. Logs its progress to song.Log.
bool LoadFileImage(const std::string& fileName, LoadedSmf& file, Song& song, SongPrompt& prompt,
                   SongConverter* converter = nullptr);
// The same for bytes already in file.Bytes (for archives and tests).
bool LoadImageBytes(const std::string& fileName, LoadedSmf& file, Song& song, SongPrompt& prompt);

// Checks the header of the normalised file. checkTPQN 0 asks nothing.
bool ReadSmfHeader(const LoadedSmf& file, TSmfHeader& header, uint16_t checkTPQN, Song& song, SongPrompt& prompt);

// Reads every chunk into tracks 0..64 and finishes the song's tables.
void ReadSmfTracks(Song& song, const LoadedSmf& file, const TSmfHeader& header);
// Reads every chunk into the ExTrack, tracks 65..129.
void ReadExTrackTracks(Song& song, const LoadedSmf& file, const TSmfHeader& header);

// Opening a song as the File menu does: load, check, clear, read, and the
// conductor defaults (key, meter and tempo when the conductor track is empty).
// On failure the song is untouched when the failure came before the clear.
bool OpenSongFile(Song& song, const std::string& fileName, SongPrompt& prompt,
                  SongConverter* converter = nullptr);
// OpenSongFile in its two steps, for callers that keep the old song aside
// in between: the checks (which may ask), then the clear and the read (which
// ask nothing).
bool CheckSongImage(const LoadedSmf& file, TSmfHeader& header, Song& song, SongPrompt& prompt);
void ReplaceSongWithImage(Song& song, const LoadedSmf& file, const TSmfHeader& header);
// The same for an image in memory.
bool OpenSongImage(Song& song, const std::string& fileName, FileImage image, SongPrompt& prompt);

// The refresh after every New and Open that concerns the model: conductor
// defaults when the conductor track is empty, the maps, and the saved mark.
void ApplySongLoaded(Song& song);

}  // namespace melko
