// The built-in synthesizer, output device 1: FluidSynth with a General MIDI
// SoundFont. Live use plays through the first audio driver that opens
// (pulseaudio, alsa, jack); offline use has no driver and the caller pulls
// samples with Render between engine ticks. Messages may be sent from any
// thread (FluidSynth's API is thread-safe); Render belongs to one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi/midi_device.h"

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_audio_driver_t;

namespace melko {

struct SynthOptions {
  std::string SoundFont;     // empty: the first default that exists
  bool AudioOutput = true;   // false: offline, samples come from Render
  double SampleRate = 44100;
  float Gain = 0.2f;         // FluidSynth's own default
};

// The SoundFont used when none is configured: the first of the usual General
// MIDI SoundFonts that exists, or empty.
std::string DefaultSoundFont();

class BuiltinSynth {
 public:
  ~BuiltinSynth();
  // Creates the synth and loads the SoundFont. Returns null with `error` set
  // when the synth or the SoundFont cannot be had. `log` gets one line about
  // the audio output (which driver, or that there is none).
  static std::unique_ptr<BuiltinSynth> Create(const SynthOptions& options, std::string& error,
                                              std::vector<std::string>* log = nullptr);

  int SendShort(uint32_t msg);
  int SendLong(const uint8_t* data, size_t count);
  void SetVolume(uint32_t volume);
  // Renders frames of 16-bit interleaved stereo into out (2 × frames values).
  void Render(int16_t* out, int frames);
  int ActiveVoices() const;
  // The bank of the preset a channel plays (128 on a drum channel), -1 if none.
  int ChannelBank(int channel) const;
  const std::string& AudioDriver() const { return audioDriver_; }  // empty: silent
  const std::string& SoundFont() const { return soundFont_; }

 private:
  BuiltinSynth() = default;
  _fluid_hashtable_t* settings_ = nullptr;
  _fluid_synth_t* synth_ = nullptr;
  _fluid_audio_driver_t* driver_ = nullptr;
  std::string audioDriver_, soundFont_;
  float gain_ = 0.2f;
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
