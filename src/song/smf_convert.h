// The two image converters: the channel splitter, which turns a format 0 or 1
// file into format 1 with at most one channel per track (the conductor track
// first), and the format 0 merger used when saving. Each replaces the image
// by its result only on success. Pure functions over images, any thread.
#pragma once

#include "song/smf_stream.h"

namespace melko {

// Mode 1 of ConvertSmf: split to format 1. False on a header that is not of
// length 6 and format 0 or 1, or when a track chunk is not where it should be.
bool ConvertSmfSplit(FileImage& image);

// Mode 0 of ConvertSmf: merge a format 1 image into one chunk of format 0.
bool ConvertSmfMerge(FileImage& image);

}  // namespace melko
