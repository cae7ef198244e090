// The port table: the output and input device lists, the four logical output
// ports A..D (`PortMap`), opening and closing devices, sending, the sound
// module resets, channel reset, master volume and the single-note audition.
// Every sender reaches a device through here: a track's port resolves to the
// device's handle, and a port whose device is 0 or closed resolves to a null
// handle to which sends fail quietly.
// Threads: the tables change only on the UI thread while playback is stopped;
// the engine timer thread and the input thread read handles and send without
// a lock (each device makes its sends thread-safe). This object owns every
// opened device.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_device.h"
#include "midi/pi_mutex.h"

namespace melko {

class Song;

constexpr int kPortCount = 4;
constexpr const char* kNotInUse = "(Not in Use)";

// Send options (section "Filter", key "Send").
constexpr uint8_t kSendSystemExclusive = 1;
constexpr uint8_t kSendBankChange = 2;

// Length of an audition note ended by its own timer.
constexpr uint32_t kAuditionMs = 400;

// Shows a device error to the user (a warning box in the application, stderr
// on the command line).
using ErrorReporter = std::function<void(const std::string& text)>;

class MidiPorts {
 public:
  MidiPorts(MidiBackend& backend, Clock& clock, TimerFactory timers, ErrorReporter report);
  ~MidiPorts();

  // Device lists and handles, indexed by device index (0 = no device).
  int OutDeviceCount = 0;
  int InDeviceCount = 0;
  std::vector<std::string> OutDeviceNames;
  std::vector<std::string> InDeviceNames;
  std::vector<std::unique_ptr<MidiOutDevice>> OutHandles;
  std::vector<std::unique_ptr<MidiInDevice>> InHandles;
  std::vector<uint8_t> OutOpen, InOpen;
  // "MELKO:in", our own input port (null without a sequencer).
  std::unique_ptr<MidiInDevice> PublicIn;

  std::array<uint8_t, kPortCount> PortMap{};
  std::array<std::string, kPortCount> PortNames;
  uint8_t InPort = 0;
  uint8_t DefaultOutPort = 0, ClickPort = 0;
  int32_t SyncPort = 0;
  uint8_t SendOptions = kSendSystemExclusive | kSendBankChange;
  // Receives every message of the selected input device (on its thread).
  MidiInCallback InputCallback;
  // Moves the main window's master volume bar (ModuleReset sets it to 127);
  // the bar's change handler is expected to call SetMasterVolume.
  std::function<void(int volume)> SetMasterVolumeBar;

  // Reads the device lists, lets `configure` set PortMap, InPort and the other
  // choices (from the settings, which may look devices up by name), then opens
  // the ports. Reports the "no output device" warning when there is none.
  void InitPorts(const std::function<void(MidiPorts&)>& configure = {});
  // Builds PortNames from PortMap.
  void UpdatePortNames();
  void OpenOutPorts();
  bool OpenOutDevice(int d);
  void CloseOutDevice(int d);
  bool OpenInDevice(int d);
  void CloseInDevice(int d);
  void SelectInPort(int d);
  // Opens "MELKO:in" (InitPorts does); true when it is open.
  bool OpenPublicIn();
  void ClosePorts();
  bool CheckMidiError(bool isOutput, int d, int result);

  // The handle of device d, or null when it is not open.
  MidiOutDevice* Handle(int d) const;
  // The handle of the device assigned to port 0..3, or null.
  MidiOutDevice* PortHandle(int port) const;
  // Null handles fail quietly (the result is not 0 but nothing is reported).
  static int SendShort(MidiOutDevice* handle, uint32_t msg);
  static int SendLong(MidiOutDevice* handle, const uint8_t* data, size_t count);

  // After a pause of 16 ms, all notes off, pitch bend centre, damper off and
  // modulation 0 on every channel of device d.
  void ChannelReset(int d);
  // The four reset messages for one channel, without the pause.
  static void ChannelResetMessages(MidiOutDevice* handle, int channel);
  // kind 1 GM, 2 GS, anything else XG; sent to the device of `port`.
  void ModuleReset(int kind, int port);
  // Volume 0..127 on the device of `port`: the device's own volume when it
  // has one, else the universal master volume message.
  void SetMasterVolume(int volume, int port);
  // Sends a message of track `track` to its port; with autoOff > 0 its
  // note-off (status and key, velocity 0) follows after kAuditionMs on a
  // one-shot timer.
  void AuditionNote(const Song& song, int track, uint32_t message, int autoOff);
  // Ends a pending audition note now.
  void EndAudition();

  // True when an open output device has failed (stopped or disappeared).
  bool AnyOutputFailed() const;
  // Closes every failed output device and opens it anew (reporting when that
  // fails), so a device that came back plays again. UI thread, stopped only.
  void ReopenFailedDevices();
  // Index of the device named `name`, 0 if none.
  int FindOutDevice(const std::string& name) const;
  int FindInDevice(const std::string& name) const;

  Clock& clock() { return clock_; }
  // Held by the UI thread while it replaces a device's handle, and by the
  // input thread while it resolves and sends to one (thru), so the input
  // never sends to a device being closed. Held only for a send.
  PiMutex& HandleLock() { return handleLock_; }

 private:
  MidiBackend& backend_;
  Clock& clock_;
  TimerFactory timers_;
  ErrorReporter report_;

  std::unique_ptr<MidiOutDevice> TakeHandle(int d);  // out of the table, under the lock
  PiMutex handleLock_;
  std::mutex auditionMutex_;
  std::unique_ptr<EngineTimer> auditionTimer_;
  MidiOutDevice* auditionHandle_ = nullptr;
  uint32_t auditionOff_ = 0;
};

// The shared note sender of the editors and the on-screen piano.
class TmMidiRelay {
 public:
  explicit TmMidiRelay(MidiPorts& ports) : ports_(ports) {}
  uint8_t Channel = 0;
  uint8_t Velocity = 100;
  uint8_t Port = 0;
  void NoteOn(int key);
  void NoteOff(int key);
  // Any short message, as it is, to the device of Port.
  void Send(uint32_t message);

 private:
  MidiPorts& ports_;
};

// The reset messages as sent.
extern const uint8_t kGmSystemOn[6];
extern const uint8_t kGsReset[11];
extern const uint8_t kXgSystemOn[9];

}  // namespace melko
