// The two image converters: the channel splitter, which turns a format 0 or 1
// file into format 1 with at most one channel per track (the conductor track
// first), and the format 0 merger used when saving. Each replaces the image
// by its result only on success. Pure functions over images, any thread.
#pragma once

#include "song/smf_stream.h"

namespace melko {

// The result of the channel splitter without building a new image: each
// chunk of the format 1 file it stands for is either a chunk of the source
// image, kept as it is, or one the splitter wrote. Chunks point into the
// source image (which must outlive the list) or into `Owned`.
struct SmfChunkList {
  TSmfHeader Header;  // of the format 1 result: length 6, format 1
  struct Chunk {
    const uint8_t* Data = nullptr;
    uint32_t Length = 0;
  };
  std::vector<Chunk> Chunks;
  std::vector<TMidiData> Owned;
  // Chunks of other types met between the track chunks, skipped: their type
  // and declared length, for the load log.
  struct Skipped {
    std::string Type;
    uint32_t Length = 0;
  };
  std::vector<Skipped> SkippedChunks;
  // Bytes of the image the list stands for.
  size_t ImageSize() const;
  FileImage Flatten() const;
};

// Mode 1 of ConvertSmf: split to format 1. False on a header that is not of
// length 6 and format 0 or 1, or when a track chunk is not where it should be.
// A chunk of another type (four printable characters, then its length) is
// stepped over and does not count as a track, as the file format asks of
// readers; anything else where a chunk should start fails.
bool SplitSmf(const FileImage& image, SmfChunkList& out);
// The same, replacing the image by the result.
bool ConvertSmfSplit(FileImage& image);

// Mode 0 of ConvertSmf: merge a format 1 image into one chunk of format 0.
bool ConvertSmfMerge(FileImage& image);

}  // namespace melko
