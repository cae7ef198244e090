// Test helpers: a small writer of RCP and G36 song images from the format's
// layout, and a reader of the converted Standard MIDI File into events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace melko::test {

struct RcpTrackSpec {
  uint8_t Channel = 0;
  uint8_t Key = 0;
  int8_t Shift = 0;
  uint8_t Mute = 0;
  uint8_t Rhythm = 0;
  std::string Name = {};
};

class RcpWriter {
 public:
  explicit RcpWriter(bool g36, int tracks = 18);
  void Title(const std::string& text);
  void Memo(int line, const std::string& text);
  void Tempo(int bpm);
  void Timebase(int ticks);
  void Meter(int numerator, int denominator);
  void Key(uint8_t key);
  void PlayBias(int8_t bias);
  // User exclusive n (0..7): its data stream without the leading F0.
  void UserExclusive(int n, const std::vector<uint8_t>& data);

  void BeginTrack(const RcpTrackSpec& spec);
  // One command: code, step, gate (p1), velocity (p2). Returns its index.
  int Event(uint8_t code, int step, int gate = 0, int velocity = 0);
  // G36 F7/F6 carry five raw bytes.
  int RawEvent(const std::vector<uint8_t>& bytes);
  // The value an FC needs to name the measure starting at command index.
  void RepeatOf(int index, int measureNumber = 0);
  void EndTrack();
  std::vector<uint8_t> Bytes() const { return bytes_; }

 private:
  bool g36_;
  std::vector<uint8_t> bytes_;
  size_t trackAt_ = 0;
  int events_ = 0;
};

struct SmfEvent {
  uint32_t Tick;
  std::vector<uint8_t> Bytes;  // status and data; meta: FF type data; SysEx: F0 data
};

struct Smf {
  bool Ok = false;
  int Format = -1;
  int Division = 0;
  std::vector<std::vector<SmfEvent>> Tracks;
};

Smf ParseSmf(const std::vector<uint8_t>& bytes);
// Converts through the library's exports; empty when it failed.
std::vector<uint8_t> Convert(const std::vector<uint8_t>& source);

}  // namespace melko::test
