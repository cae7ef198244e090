// Writes a 16-bit PCM stereo WAV file. The data goes to a temporary file
// beside the target, which is renamed over the target by Finish, so a failed
// render never leaves half a file. One thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace melko {

class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool Open(const std::string& path, uint32_t sampleRate);
  // Appends `frames` interleaved left/right sample pairs.
  bool Write(const int16_t* interleaved, size_t frames);
  // Completes the header and moves the file into place.
  bool Finish();
  uint64_t Frames() const { return frames_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_, tempPath_;
  uint32_t rate_ = 44100;
  uint64_t frames_ = 0;
  bool ok_ = false;
};

}  // namespace melko
