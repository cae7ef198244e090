// A backend whose output devices remember every message they are sent, with
// the clock's time, for tests and the timing benchmark. Devices can be told to
// fail (as an unplugged device would) and to refuse the volume call. Sends may
// come from any thread; read the log after playback has stopped, or through
// Snapshot while it runs.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "midi/clock.h"
#include "midi/midi_device.h"

namespace melko {

struct RecordedMessage {
  int Device = 0;              // device index 1..
  uint32_t TimeMs = 0;         // the clock's time at the send
  int64_t MonotonicNs = 0;     // monotonic time at the send (for benchmarks)
  std::vector<uint8_t> Bytes;  // the message as sent (short ones trimmed to their length)
  bool IsVolume = false;       // a SetVolume call; the value is in Volume
  uint32_t Volume = 0;
};

class RecordingBackend : public MidiBackend {
 public:
  // outNames: the device names, device 1 first.
  RecordingBackend(Clock& clock, std::vector<std::string> outNames,
                   std::vector<std::string> inNames = {});
  std::vector<std::string> OutDeviceNames() override { return outNames_; }
  std::vector<std::string> InDeviceNames() override { return inNames_; }
  int OpenOut(int d, std::unique_ptr<MidiOutDevice>& out) override;
  int OpenIn(int d, MidiInCallback callback, std::unique_ptr<MidiInDevice>& out) override;

  // Test controls.
  void SetOpenResult(int d, int result);       // make OpenOut of d fail
  void SetVolumeSupported(int d, bool yes);    // SetVolume succeeds on d
  void FailDevice(int d);                      // later sends to d return an error
  void SetRecordMonotonic(bool yes) { recordNs_ = yes; }
  void Reserve(size_t n);

  std::vector<RecordedMessage> Snapshot() const;
  void Clear();
  int OpenCount(int d) const;  // how often d was opened
  int OpenNow(int d) const;    // devices of index d alive now
  // Input devices opened, with their callbacks (tests inject input through them).
  MidiInCallback InputCallback(int d) const;

 private:
  friend class RecordingOutDevice;
  friend class RecordingInDevice;
  void Record(RecordedMessage&& m);
  bool DeviceFailing(int d) const;

  Clock& clock_;
  std::vector<std::string> outNames_, inNames_;
  mutable std::mutex mutex_;
  std::vector<RecordedMessage> log_;
  std::vector<int> openResult_, openCount_, openNow_, inOpenNow_;
  std::vector<bool> volumeOk_, failing_;
  std::vector<MidiInCallback> inCallbacks_;
  bool recordNs_ = false;
};

// Short message bytes as sent: one, two or three bytes by status.
std::vector<uint8_t> ShortMsgBytes(uint32_t msg);

}  // namespace melko
