// The small device interface every MIDI backend implements: an output device
// takes short and system-exclusive messages, an input device delivers what it
// receives to a callback, and a backend lists and opens its devices.
// Output sends may come from the UI thread, the engine timer thread and the
// input thread at once; each backend makes its own sends safe for that.
// The port table (MidiPorts) owns every opened device.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace melko {

// Result codes of device operations; 0 is success, as the system calls had it.
enum MidiResult : int {
  kMidiOk = 0,
  kMidiBadDevice = 2,      // no such device
  kMidiAllocated = 4,      // the device is in use or could not be taken
  kMidiNotSupported = 8,   // the device refuses the request (e.g. volume)
  kMidiNoDriver = 10,      // the system's MIDI service is missing
  kMidiIoError = 12,       // a send failed: the device stopped or went away
};

// Packs status and data bytes into the 32-bit short message form.
constexpr uint32_t ShortMsg(uint32_t status, uint32_t d1 = 0, uint32_t d2 = 0) {
  return (status & 0xFF) | ((d1 & 0xFF) << 8) | ((d2 & 0xFF) << 16);
}

class MidiOutDevice {
 public:
  virtual ~MidiOutDevice() = default;
  // Status in the low byte, data bytes in the next two.
  virtual int SendShort(uint32_t msg) = 0;
  // A complete system-exclusive message starting with F0.
  virtual int SendLong(const uint8_t* data, size_t count) = 0;
  // Volume, left in the low word, right in the high word (0..FFFF each).
  virtual int SetVolume(uint32_t volume) { return kMidiNotSupported; }
  // True once a send has failed: the device stopped or disappeared. Any
  // thread may ask.
  bool Failed() const { return failed_.load(std::memory_order_relaxed); }

 protected:
  void MarkFailed() { failed_.store(true, std::memory_order_relaxed); }

 private:
  std::atomic<bool> failed_{false};
};

// Receives (short message, milliseconds since the device was opened) on the
// backend's reader thread.
using MidiInCallback = std::function<void(uint32_t msg, uint32_t timeMs)>;

class MidiInDevice {
 public:
  // Closing stops and joins the reader before returning.
  virtual ~MidiInDevice() = default;
};

class MidiBackend {
 public:
  virtual ~MidiBackend() = default;
  // Names of output devices 1..n (entry i is device i + 1).
  virtual std::vector<std::string> OutDeviceNames() = 0;
  virtual std::vector<std::string> InDeviceNames() = 0;
  // Opens device d (1..n); on success `out` holds it and the result is 0.
  virtual int OpenOut(int d, std::unique_ptr<MidiOutDevice>& out) = 0;
  virtual int OpenIn(int d, MidiInCallback callback, std::unique_ptr<MidiInDevice>& out) = 0;
  // The program's own input port that other programs may connect to, when
  // the backend has one.
  virtual int OpenPublicIn(MidiInCallback callback, std::unique_ptr<MidiInDevice>& out) {
    (void)callback;
    (void)out;
    return kMidiNotSupported;
  }
  // The system's text for a result code.
  virtual std::string ErrorText(bool isOutput, int result);
};

}  // namespace melko
