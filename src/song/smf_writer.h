// Writing the song as a Standard MIDI File: the format 1 image with every
// setting the reader took out put back as events (channel prefix, names,
// instrument, copyright, port, note-offs, end of track) and the program's
// signature, plus saving an image to disk safely. UI thread; playback must be
// stopped first (the writer walks the tracks the player would read).
#pragma once

#include <string>

#include "base/atomic_write.h"
#include "song/smf_stream.h"
#include "song/song.h"

namespace melko {

// Written into every saved conductor track; the reader drops texts holding the mark.
extern const char* const kSignatureText;
extern const char* const kSignatureMark;
extern const char* const kMsgWriteFailed;

// Builds the format 1 image of the song (sets song.LastTrack).
FileImage WriteSmfImage(Song& song);

// Writes the song to `fileName` (merged to format 0 when asked) through a
// temporary file, so the old file survives any failure. False on failure.
// `readOnlyFolder` says whether a file in a folder we may not create files in
// is overwritten in place (for callers that kept a copy of it first).
bool SaveSongFile(Song& song, const std::string& fileName, bool format0, std::string* error = nullptr,
                  FolderReadOnly readOnlyFolder = FolderReadOnly::Fail);

}  // namespace melko
