#include "midi/wav_writer.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

namespace melko {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

void MakeHeader(uint8_t* h, uint32_t rate, uint64_t frames) {
  uint64_t bytes = frames * 4;
  if (bytes > 0xFFFFFFFFull - 36) bytes = 0xFFFFFFFFull - 36;  // the format's own limit
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, uint32_t(36 + bytes));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, 2);  // stereo
  Put32(h + 24, rate);
  Put32(h + 28, rate * 4);
  Put16(h + 32, 4);
  Put16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, uint32_t(bytes));
}

}  // namespace

WavWriter::~WavWriter() {
  if (file_) {
    std::fclose(file_);
    std::remove(tempPath_.c_str());
  }
}

bool WavWriter::Open(const std::string& path, uint32_t sampleRate) {
  path_ = path;
  tempPath_ = path + ".part";
  rate_ = sampleRate;
  frames_ = 0;
  file_ = std::fopen(tempPath_.c_str(), "wb");
  if (!file_) return false;
  uint8_t header[44];
  MakeHeader(header, rate_, 0);
  ok_ = std::fwrite(header, 1, sizeof header, file_) == sizeof header;
  return ok_;
}

bool WavWriter::Write(const int16_t* interleaved, size_t frames) {
  if (!file_ || !ok_) return false;
  // Little-endian samples; this program only runs on little-endian machines,
  // but keep the byte order explicit.
  uint8_t buf[4096];
  size_t done = 0;
  while (done < frames) {
    size_t n = std::min(frames - done, sizeof buf / 4);
    for (size_t i = 0; i < n * 2; ++i) Put16(buf + i * 2, uint16_t(interleaved[done * 2 + i]));
    if (std::fwrite(buf, 4, n, file_) != n) ok_ = false;
    done += n;
  }
  frames_ += frames;
  return ok_;
}

bool WavWriter::Finish() {
  if (!file_) return false;
  uint8_t header[44];
  MakeHeader(header, rate_, frames_);
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, file_) != sizeof header)
    ok_ = false;
  if (std::fclose(file_) != 0) ok_ = false;
  file_ = nullptr;
  if (ok_ && std::rename(tempPath_.c_str(), path_.c_str()) != 0) ok_ = false;
  if (!ok_) std::remove(tempPath_.c_str());
  return ok_;
}

}  // namespace melko
