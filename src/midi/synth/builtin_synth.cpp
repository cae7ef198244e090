#include "midi/synth/builtin_synth.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace melko {

namespace {

// FluidSynth prints its diagnostics to stderr unless told otherwise; ours go
// to the log, once, in our own words. Its messages are kept only for the
// error text of a failed open.
std::mutex gFluidLogMutex;
std::string gFluidLastError;

void FluidLog(int level, const char* message, void*) {
  if (level > FLUID_WARN || !message) return;
  std::lock_guard<std::mutex> lock(gFluidLogMutex);
  gFluidLastError = message;
}

// FluidSynth's alsa driver lets alsa-lib print its own errors when there is
// no sound card; those stay quiet too.
void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

void QuietFluid() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
      fluid_set_log_function(level, FluidLog, nullptr);
    snd_lib_error_set_handler(SilentAlsaError);
    // Never let a JACK client start a server of its own.
    setenv("JACK_NO_START_SERVER", "1", 0);
  });
}

}  // namespace

std::string DefaultSoundFont() {
  for (const char* path : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                           "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
    if (access(path, R_OK) == 0) return path;
  }
  return {};
}

std::unique_ptr<BuiltinSynth> BuiltinSynth::Create(const SynthOptions& options, std::string& error,
                                                   std::vector<std::string>* log) {
  QuietFluid();
  std::unique_ptr<BuiltinSynth> s(new BuiltinSynth());
  s->soundFont_ = options.SoundFont.empty() ? DefaultSoundFont() : options.SoundFont;
  if (s->soundFont_.empty()) {
    error = "No General MIDI SoundFont found (setting \"SoundFont\" in section \"Port\").";
    return nullptr;
  }
  s->settings_ = new_fluid_settings();
  if (!s->settings_) {
    error = "FluidSynth could not be initialised.";
    return nullptr;
  }
  fluid_settings_setnum(s->settings_, "synth.sample-rate", options.SampleRate);
  fluid_settings_setnum(s->settings_, "synth.gain", options.Gain);
  // GS and XG resets and other device-addressed SysEx carry device id 10h;
  // with FluidSynth's default of 0 it would ignore them.
  fluid_settings_setint(s->settings_, "synth.device-id", 16);
  // Offline, the renderer thread alone sends and renders: no locking needed.
  if (!options.AudioOutput) fluid_settings_setint(s->settings_, "synth.threadsafe-api", 0);
  s->gain_ = options.Gain;
  s->synth_ = new_fluid_synth(s->settings_);
  if (!s->synth_) {
    error = "FluidSynth could not be initialised.";
    return nullptr;
  }
  if (fluid_synth_sfload(s->synth_, s->soundFont_.c_str(), 1) == FLUID_FAILED) {
    error = "The SoundFont " + s->soundFont_ + " could not be loaded.";
    return nullptr;
  }
  if (options.AudioOutput) {
    for (const char* driver : {"pulseaudio", "alsa", "jack"}) {
      if (fluid_settings_setstr(s->settings_, "audio.driver", driver) != FLUID_OK) continue;
      s->driver_ = new_fluid_audio_driver(s->settings_, s->synth_);
      if (s->driver_) {
        s->audioDriver_ = driver;
        break;
      }
    }
    if (log) {
      if (s->driver_)
        log->push_back("Built-in synth: " + s->soundFont_ + " through " + s->audioDriver_);
      else
        log->push_back("Built-in synth: no audio output could be opened (pulseaudio, alsa, jack); it stays silent.");
    }
  }
  return s;
}

BuiltinSynth::~BuiltinSynth() {
  if (driver_) delete_fluid_audio_driver(driver_);
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
}

int BuiltinSynth::SendShort(uint32_t msg) {
  int status = msg & 0xFF, d1 = (msg >> 8) & 0x7F, d2 = (msg >> 16) & 0x7F;
  int ch = status & 0x0F;
  switch (status & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth_, ch, d1); break;
    case 0x90:
      if (d2 == 0) fluid_synth_noteoff(synth_, ch, d1);
      else fluid_synth_noteon(synth_, ch, d1, d2);
      break;
    case 0xA0: fluid_synth_key_pressure(synth_, ch, d1, d2); break;
    case 0xB0: fluid_synth_cc(synth_, ch, d1, d2); break;
    case 0xC0: fluid_synth_program_change(synth_, ch, d1); break;
    case 0xD0: fluid_synth_channel_pressure(synth_, ch, d1); break;
    case 0xE0: fluid_synth_pitch_bend(synth_, ch, d1 | (d2 << 7)); break;
    default: break;  // clock, song position and other system messages mean nothing to a synth
  }
  // A note-off for a note that is not sounding "fails" in FluidSynth; that
  // is no device error.
  return kMidiOk;
}

int BuiltinSynth::SendLong(const uint8_t* data, size_t count) {
  // fluid_synth_sysex wants the body without F0 and F7.
  if (count < 2 || data[0] != 0xF0) return kMidiOk;
  size_t len = count - 1;
  if (data[count - 1] == 0xF7) --len;
  if (len == 0 || len > 65535) return kMidiOk;
  fluid_synth_sysex(synth_, reinterpret_cast<const char*>(data + 1), int(len), nullptr, nullptr, nullptr, 0);
  return kMidiOk;
}

void BuiltinSynth::SetVolume(uint32_t volume) {
  // The louder of the two channels sets the gain; the master volume bar at
  // 127 (127 × 512) gives the configured gain.
  uint32_t left = volume & 0xFFFF, right = volume >> 16;
  float level = float(std::max(left, right)) / float(127 * 512);
  fluid_synth_set_gain(synth_, gain_ * level);
}

void BuiltinSynth::Render(int16_t* out, int frames) {
  if (frames <= 0) return;
  fluid_synth_write_s16(synth_, frames, out, 0, 2, out, 1, 2);
}

int BuiltinSynth::ActiveVoices() const { return fluid_synth_get_active_voice_count(synth_); }

int BuiltinSynth::ChannelBank(int channel) const {
  fluid_preset_t* preset = fluid_synth_get_channel_preset(synth_, channel);
  return preset ? fluid_preset_get_banknum(preset) : -1;
}

}  // namespace melko
