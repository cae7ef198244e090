#include "midi/synth/builtin_synth.h"

#include <alsa/asoundlib.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "midi/pi_mutex.h"
#include "midi/synth/fluid_library.h"

namespace melko {

namespace {

// FluidSynth prints its diagnostics to stderr unless told otherwise; ours go
// to the log, once, in our own words. Its last message is kept for a look in
// the debugger. Never destroyed: a synth may be freed on another thread while
// the process ends.
std::mutex& FluidLogMutex() {
  static auto* m = new std::mutex;
  return *m;
}
std::string& FluidLastError() {
  static auto* s = new std::string;
  return *s;
}

void FluidLog(int level, const char* message, void*) {
  if (level > FLUID_WARN || !message) return;
  std::lock_guard<std::mutex> lock(FluidLogMutex());
  FluidLastError() = message;
}

// FluidSynth's alsa driver lets alsa-lib print its own errors when there is
// no sound card; those stay quiet too.
void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

void QuietFluid(const FluidApi& fl) {
  static std::once_flag once;
  std::call_once(once, [&fl] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
      fl.fluid_set_log_function(level, FluidLog, nullptr);
    snd_lib_error_set_handler(SilentAlsaError);
    // Never let a JACK client start a server of its own.
    setenv("JACK_NO_START_SERVER", "1", 0);
  });
}

enum Phase : int { kLoading, kReady, kFailed };

// Held channel settings while loading: a kind byte, then the message.
constexpr uint8_t kHeldShort = 1;  // + status, data 1, data 2
constexpr uint8_t kHeldLong = 2;   // + 4-byte length, the bytes from F0
constexpr size_t kHeldCapacity = 256 * 1024;
constexpr uint32_t kNoVolume = 0xFFFFFFFFu;

}  // namespace

struct BuiltinSynth::State {
  const FluidApi* Fl = nullptr;
  fluid_settings_t* Settings = nullptr;
  fluid_synth_t* Synth = nullptr;
  fluid_audio_driver_t* Driver = nullptr;
  std::string AudioDriverName, SoundFontPath;
  float Gain = 0.2f;
  bool FreeInBackground = false;
  std::atomic<int> Phase{kLoading};

  // While loading, the senders append here and the loading thread takes
  // the messages in batches; each holds the lock only to append or swap.
  PiMutex HeldMutex;
  std::vector<uint8_t> Held;
  uint32_t HeldVolume = kNoVolume;

  mutable std::mutex DoneMutex;
  mutable std::condition_variable DoneCv;
  bool Done = false;

  ~State() {
    if (!Fl) return;
    if (Driver) Fl->delete_fluid_audio_driver(Driver);
    if (Synth) Fl->delete_fluid_synth(Synth);
    if (Settings) Fl->delete_fluid_settings(Settings);
  }

  bool Open(const SynthOptions& options, std::string& error, std::vector<std::string>* log);
  // The two halves of Open: the synth with its SoundFont, then the driver.
  bool OpenSynth(const SynthOptions& options, std::string& error);
  void OpenDriver(const SynthOptions& options, std::vector<std::string>* log);
  void ShortNow(uint32_t msg);
  void LongNow(const uint8_t* data, size_t count);
  void VolumeNow(uint32_t volume);
  // True when the message was kept or dropped; false when the synth became
  // ready meanwhile and it should go straight to it.
  bool HoldShort(uint32_t msg);
  bool HoldLong(const uint8_t* data, size_t count);
  // Sends what was held, then lets messages through.
  void Join();
  void Finish(bool ready);
  // The load and its report are over (WaitUntilLoaded returns).
  void MarkDone();
};

std::string DefaultSoundFont() {
  for (const char* path : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                           "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
    if (access(path, R_OK) == 0) return path;
  }
  return {};
}

bool BuiltinSynth::State::Open(const SynthOptions& options, std::string& error, std::vector<std::string>* log) {
  if (!OpenSynth(options, error)) return false;
  OpenDriver(options, log);
  return true;
}

bool BuiltinSynth::State::OpenSynth(const SynthOptions& options, std::string& error) {
  Fl = FluidLibrary(&error);
  if (!Fl) return false;
  QuietFluid(*Fl);
  Settings = Fl->new_fluid_settings();
  if (!Settings) {
    error = "FluidSynth could not be initialised.";
    return false;
  }
  Fl->fluid_settings_setnum(Settings, "synth.sample-rate", options.SampleRate);
  Fl->fluid_settings_setnum(Settings, "synth.gain", options.Gain);
  // GS and XG resets and other device-addressed SysEx carry device id 10h;
  // with FluidSynth's default of 0 it would ignore them.
  Fl->fluid_settings_setint(Settings, "synth.device-id", 16);
  // Offline, the renderer thread alone sends and renders: no locking needed.
  if (!options.AudioOutput && !options.LoadInBackground)
    Fl->fluid_settings_setint(Settings, "synth.threadsafe-api", 0);
  Gain = options.Gain;
  Synth = Fl->new_fluid_synth(Settings);
  if (!Synth) {
    error = "FluidSynth could not be initialised.";
    return false;
  }
  if (Fl->fluid_synth_sfload(Synth, SoundFontPath.c_str(), 1) == FLUID_FAILED) {
    error = "The SoundFont " + SoundFontPath + " could not be loaded.";
    return false;
  }
  return true;
}

void BuiltinSynth::State::OpenDriver(const SynthOptions& options, std::vector<std::string>* log) {
  if (options.AudioOutput) {
    for (const char* driver : {"pulseaudio", "alsa", "jack"}) {
      if (Fl->fluid_settings_setstr(Settings, "audio.driver", driver) != FLUID_OK) continue;
      Driver = Fl->new_fluid_audio_driver(Settings, Synth);
      if (Driver) {
        AudioDriverName = driver;
        break;
      }
    }
    if (log) {
      if (Driver)
        log->push_back("Built-in synth: " + SoundFontPath + " through " + AudioDriverName);
      else
        log->push_back("Built-in synth: no audio output could be opened (pulseaudio, alsa, jack); it stays silent.");
    }
  }
}

void BuiltinSynth::State::ShortNow(uint32_t msg) {
  int status = msg & 0xFF, d1 = (msg >> 8) & 0x7F, d2 = (msg >> 16) & 0x7F;
  int ch = status & 0x0F;
  switch (status & 0xF0) {
    case 0x80: Fl->fluid_synth_noteoff(Synth, ch, d1); break;
    case 0x90:
      if (d2 == 0) Fl->fluid_synth_noteoff(Synth, ch, d1);
      else Fl->fluid_synth_noteon(Synth, ch, d1, d2);
      break;
    case 0xA0: Fl->fluid_synth_key_pressure(Synth, ch, d1, d2); break;
    case 0xB0: Fl->fluid_synth_cc(Synth, ch, d1, d2); break;
    case 0xC0: Fl->fluid_synth_program_change(Synth, ch, d1); break;
    case 0xD0: Fl->fluid_synth_channel_pressure(Synth, ch, d1); break;
    case 0xE0: Fl->fluid_synth_pitch_bend(Synth, ch, d1 | (d2 << 7)); break;
    default: break;  // clock, song position and other system messages mean nothing to a synth
  }
}

void BuiltinSynth::State::LongNow(const uint8_t* data, size_t count) {
  // fluid_synth_sysex wants the body without F0 and F7.
  if (count < 2 || data[0] != 0xF0) return;
  size_t len = count - 1;
  if (data[count - 1] == 0xF7) --len;
  if (len == 0 || len > 65535) return;
  Fl->fluid_synth_sysex(Synth, reinterpret_cast<const char*>(data + 1), int(len), nullptr, nullptr, nullptr, 0);
}

void BuiltinSynth::State::VolumeNow(uint32_t volume) {
  // The louder of the two channels sets the gain; the master volume bar at
  // 127 (127 × 512) gives the configured gain.
  uint32_t left = volume & 0xFFFF, right = volume >> 16;
  float level = float(std::max(left, right)) / float(127 * 512);
  Fl->fluid_synth_set_gain(Synth, Gain * level);
}

bool BuiltinSynth::State::HoldShort(uint32_t msg) {
  std::lock_guard<PiMutex> lock(HeldMutex);
  const int phase = Phase.load(std::memory_order_acquire);
  if (phase == kReady) return false;
  if (phase == kFailed) return true;
  // Notes before the synth is there are not heard; what sets a channel up
  // is kept for it. A full buffer drops the rest.
  const uint32_t kind = msg & 0xF0;
  if ((kind == 0xB0 || kind == 0xC0 || kind == 0xE0) && Held.size() + 4 <= kHeldCapacity) {
    const uint8_t entry[4] = {kHeldShort, uint8_t(msg), uint8_t(msg >> 8), uint8_t(msg >> 16)};
    Held.insert(Held.end(), entry, entry + 4);
  }
  return true;
}

bool BuiltinSynth::State::HoldLong(const uint8_t* data, size_t count) {
  std::lock_guard<PiMutex> lock(HeldMutex);
  const int phase = Phase.load(std::memory_order_acquire);
  if (phase == kReady) return false;
  if (phase == kFailed) return true;
  if (count <= 65537 && Held.size() + 5 + count <= kHeldCapacity) {
    const uint32_t n = uint32_t(count);
    const uint8_t head[5] = {kHeldLong, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    Held.insert(Held.end(), head, head + 5);
    Held.insert(Held.end(), data, data + count);
  }
  return true;
}

void BuiltinSynth::State::Join() {
  std::vector<uint8_t> batch;
  batch.reserve(kHeldCapacity);
  for (;;) {
    {
      std::lock_guard<PiMutex> lock(HeldMutex);
      if (Held.empty()) {
        if (HeldVolume != kNoVolume) VolumeNow(HeldVolume);
        Phase.store(kReady, std::memory_order_release);
        return;
      }
      batch.swap(Held);  // both keep their reserved room: no allocation under the lock
    }
    for (size_t i = 0; i < batch.size();) {
      if (batch[i] == kHeldShort) {
        ShortNow(uint32_t(batch[i + 1]) | uint32_t(batch[i + 2]) << 8 | uint32_t(batch[i + 3]) << 16);
        i += 4;
      } else {
        uint32_t n = uint32_t(batch[i + 1]) | uint32_t(batch[i + 2]) << 8 | uint32_t(batch[i + 3]) << 16 |
                     uint32_t(batch[i + 4]) << 24;
        LongNow(batch.data() + i + 5, n);
        i += 5 + n;
      }
    }
    batch.clear();
  }
}

void BuiltinSynth::State::Finish(bool ready) {
  if (ready) {
    Join();
  } else {
    std::lock_guard<PiMutex> lock(HeldMutex);
    Phase.store(kFailed, std::memory_order_release);
    std::vector<uint8_t>().swap(Held);
  }
}

void BuiltinSynth::State::MarkDone() {
  std::lock_guard<std::mutex> lock(DoneMutex);
  Done = true;
  DoneCv.notify_all();
}

std::unique_ptr<BuiltinSynth> BuiltinSynth::Create(const SynthOptions& options, std::string& error,
                                                   std::vector<std::string>* log) {
  auto state = std::make_shared<State>();
  state->SoundFontPath = options.SoundFont.empty() ? DefaultSoundFont() : options.SoundFont;
  if (state->SoundFontPath.empty()) {
    error = "No General MIDI SoundFont found (setting \"SoundFont\" in section \"Port\").";
    return nullptr;
  }
  if (!options.LoadInBackground) {
    if (!state->Open(options, error, log)) return nullptr;
    state->Phase.store(kReady, std::memory_order_release);
    state->Done = true;
    return std::unique_ptr<BuiltinSynth>(new BuiltinSynth(std::move(state)));
  }
  // What can be told at once is told at once: a SoundFont that is not there.
  if (access(state->SoundFontPath.c_str(), R_OK) != 0) {
    error = "The SoundFont " + state->SoundFontPath + " could not be loaded.";
    return nullptr;
  }
  state->FreeInBackground = true;
  state->Held.reserve(kHeldCapacity);
  try {
    std::thread([state, options] {
      // Reading the SoundFont is done by a thread of low priority, so that
      // the window being drawn meanwhile comes first; the audio driver is
      // opened from this thread, whose ordinary priority its own thread
      // inherits.
      std::string loadError;
      bool ok = false;
      std::thread reader([&] {
        ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 10);
        ok = state->OpenSynth(options, loadError);
      });
      reader.join();
      std::vector<std::string> lines;
      if (ok) state->OpenDriver(options, &lines);
      state->Finish(ok);
      if (options.Loaded) options.Loaded(lines, ok ? std::string() : loadError);
      state->MarkDone();
    }).detach();
  } catch (const std::system_error&) {
    error = "FluidSynth could not be initialised.";
    return nullptr;
  }
  return std::unique_ptr<BuiltinSynth>(new BuiltinSynth(std::move(state)));
}

BuiltinSynth::~BuiltinSynth() {
  if (!s_ || !s_->FreeInBackground) return;
  // Stop the sound now; the SoundFont's memory is given back on a thread of
  // its own (freeing it takes a few hundred milliseconds). A load still
  // running keeps its own reference and frees the synth when it ends.
  if (Ready() && s_->Driver) {
    s_->Fl->delete_fluid_audio_driver(s_->Driver);
    s_->Driver = nullptr;
  }
  try {
    std::thread([state = std::move(s_)]() mutable { state.reset(); }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: free it here.
  }
}

bool BuiltinSynth::Ready() const { return s_->Phase.load(std::memory_order_acquire) == kReady; }
bool BuiltinSynth::LoadFailed() const { return s_->Phase.load(std::memory_order_acquire) == kFailed; }

bool BuiltinSynth::WaitUntilLoaded() const {
  std::unique_lock<std::mutex> lock(s_->DoneMutex);
  s_->DoneCv.wait(lock, [this] { return s_->Done; });
  return Ready();
}

int BuiltinSynth::SendShort(uint32_t msg) {
  if (!Ready() && s_->HoldShort(msg)) return kMidiOk;
  s_->ShortNow(msg);
  // A note-off for a note that is not sounding "fails" in FluidSynth; that
  // is no device error.
  return kMidiOk;
}

int BuiltinSynth::SendLong(const uint8_t* data, size_t count) {
  if (!Ready() && s_->HoldLong(data, count)) return kMidiOk;
  s_->LongNow(data, count);
  return kMidiOk;
}

void BuiltinSynth::SetVolume(uint32_t volume) {
  if (!Ready()) {
    std::lock_guard<PiMutex> lock(s_->HeldMutex);
    if (s_->Phase.load(std::memory_order_acquire) == kLoading) {
      s_->HeldVolume = volume;
      return;
    }
    if (s_->Phase.load(std::memory_order_acquire) == kFailed) return;
  }
  s_->VolumeNow(volume);
}

void BuiltinSynth::Render(int16_t* out, int frames) {
  if (frames <= 0) return;
  if (!Ready()) {
    std::memset(out, 0, sizeof(int16_t) * 2 * size_t(frames));
    return;
  }
  s_->Fl->fluid_synth_write_s16(s_->Synth, frames, out, 0, 2, out, 1, 2);
}

int BuiltinSynth::ActiveVoices() const {
  return Ready() ? s_->Fl->fluid_synth_get_active_voice_count(s_->Synth) : 0;
}

int BuiltinSynth::ChannelBank(int channel) const {
  if (!Ready()) return -1;
  fluid_preset_t* preset = s_->Fl->fluid_synth_get_channel_preset(s_->Synth, channel);
  return preset ? s_->Fl->fluid_preset_get_banknum(preset) : -1;
}

std::string BuiltinSynth::AudioDriver() const { return Ready() ? s_->AudioDriverName : std::string(); }

const std::string& BuiltinSynth::SoundFont() const { return s_->SoundFontPath; }

}  // namespace melko
