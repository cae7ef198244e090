// The real devices: output device 1 is the built-in synthesizer, devices 2..
// the writable ALSA sequencer ports of other clients; input devices are the
// readable ALSA ports. The device lists are read once, when the backend is
// made (as the device counts are read once at start). UI thread only, except
// that the built-in synth may be reached through Synth() by the renderer,
// and that a synth loading in the background (SynthOptions::LoadInBackground)
// reports through SetSynthLoaded on its own thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/alsa/alsa_sequencer.h"
#include "midi/midi_device.h"
#include "midi/synth/builtin_synth.h"

namespace melko {

constexpr const char* kBuiltinSynthName = "MELKO Synth (FluidSynth)";

class SystemMidiBackend : public MidiBackend {
 public:
  // withAlsa false leaves the ALSA devices out (offline rendering).
  explicit SystemMidiBackend(SynthOptions synthOptions, bool withAlsa = true);
  std::vector<std::string> OutDeviceNames() override;
  std::vector<std::string> InDeviceNames() override;
  int OpenOut(int d, std::unique_ptr<MidiOutDevice>& out) override;
  int OpenIn(int d, MidiInCallback callback, std::unique_ptr<MidiInDevice>& out) override;
  int OpenPublicIn(MidiInCallback callback, std::unique_ptr<MidiInDevice>& out) override;
  std::string ErrorText(bool isOutput, int result) override;

  // The synth while device 1 is open (or was opened), else null.
  std::shared_ptr<BuiltinSynth> Synth() const { return synth_; }
  // Lines for the log from opening devices (audio driver chosen, or none).
  // Any thread.
  std::vector<std::string> TakeLog();
  bool HasAlsa() const { return alsa_ != nullptr; }
  // Called on the loading thread when a background load of the synth ends,
  // with its error text (empty: the synth is ready); its log lines wait in
  // TakeLog. The hook may outlive nothing: clear it (null) before what it
  // reaches goes away; clearing waits for a call in progress.
  void SetSynthLoaded(std::function<void(const std::string& error)> hook);

 private:
  // Shared with a loading synth, which may end after the backend is gone.
  struct Inbox {
    std::mutex Mutex;
    std::vector<std::string> Log;
    std::function<void(const std::string& error)> Loaded;
  };
  std::shared_ptr<Inbox> inbox_ = std::make_shared<Inbox>();
  SynthOptions synthOptions_;
  std::shared_ptr<AlsaSequencer> alsa_;
  std::vector<AlsaPortAddress> outPorts_, inPorts_;
  std::shared_ptr<BuiltinSynth> synth_;
  std::string lastError_;
};

}  // namespace melko
