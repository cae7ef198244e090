// The built-in synthesizer, output device 1: FluidSynth with a General MIDI
// SoundFont. Live use plays through the first audio driver that opens
// (pulseaudio, alsa, jack); offline use has no driver and the caller pulls
// samples with Render between engine ticks. Messages may be sent from any
// thread (FluidSynth's API is thread-safe); Render belongs to one thread.
//
// The desktop application loads the synth in the background: a General MIDI
// SoundFont takes seconds to read, and the window must not wait for it.
// Until the synth is ready, notes are dropped (playback simply sounds once
// it is ready) while the channel settings (controllers, programs, pitch
// bend, SysEx) are kept in order and sent when it joins, so the song plays
// with its own sounds. Such a synth is also freed in the background, so
// that ending the program does not wait for the SoundFont's memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "midi/midi_device.h"

namespace melko {

struct SynthOptions {
  std::string SoundFont;     // empty: the first default that exists
  bool AudioOutput = true;   // false: offline, samples come from Render
  double SampleRate = 44100;
  float Gain = 0.2f;         // FluidSynth's own default
  // Make the synth on a thread of its own: Create returns at once.
  bool LoadInBackground = false;
  // A background load calls this once on its thread when it ends, with the
  // log lines Create would have given and the error text (empty when the
  // synth is ready).
  std::function<void(const std::vector<std::string>& log, const std::string& error)> Loaded;
};

// The SoundFont used when none is configured: the first of the usual General
// MIDI SoundFonts that exists, or empty.
std::string DefaultSoundFont();

class BuiltinSynth {
 public:
  ~BuiltinSynth();
  // Creates the synth and loads the SoundFont. Returns null with `error` set
  // when the synth or the SoundFont cannot be had. `log` gets one line about
  // the audio output (which driver, or that there is none). With
  // LoadInBackground only the SoundFont's presence is checked here; the rest
  // is reported through options.Loaded.
  static std::unique_ptr<BuiltinSynth> Create(const SynthOptions& options, std::string& error,
                                              std::vector<std::string>* log = nullptr);

  // True once the SoundFont is loaded and messages reach the synth.
  bool Ready() const;
  // True when a background load failed: the synth stays silent.
  bool LoadFailed() const;
  // Waits until a background load has ended and options.Loaded has
  // returned; returns Ready().
  bool WaitUntilLoaded() const;

  int SendShort(uint32_t msg);
  int SendLong(const uint8_t* data, size_t count);
  void SetVolume(uint32_t volume);
  // Renders frames of 16-bit interleaved stereo into out (2 × frames values).
  void Render(int16_t* out, int frames);
  int ActiveVoices() const;
  // The bank of the preset a channel plays (128 on a drum channel), -1 if none.
  int ChannelBank(int channel) const;
  // Empty while loading and when silent.
  std::string AudioDriver() const;
  const std::string& SoundFont() const;

  struct State;  // shared with the loading thread

 private:
  explicit BuiltinSynth(std::shared_ptr<State> state) : s_(std::move(state)) {}
  std::shared_ptr<State> s_;
};

// Output device 1 as the port table sees it; shares the synth with its owner.
class SynthOutDevice : public MidiOutDevice {
 public:
  explicit SynthOutDevice(std::shared_ptr<BuiltinSynth> synth) : synth_(std::move(synth)) {}
  int SendShort(uint32_t msg) override { return synth_->SendShort(msg); }
  int SendLong(const uint8_t* data, size_t count) override { return synth_->SendLong(data, count); }
  int SetVolume(uint32_t volume) override {
    synth_->SetVolume(volume);
    return kMidiOk;
  }

 private:
  std::shared_ptr<BuiltinSynth> synth_;
};

}  // namespace melko
