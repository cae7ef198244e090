// FluidSynth, opened at run time. Linking libfluidsynth would make every run
// of melko load it and, through it, the sound servers' client libraries
// (PulseAudio, JACK, PipeWire), which costs a batch command more than its
// work; so the library is opened with dlopen the first time a synth is made,
// and the few functions used are resolved by name. The header still gives
// the types and constants. Any thread may call FluidLibrary(); the table it
// returns lives until the process ends.
#pragma once

#include <fluidsynth.h>

#include <string>

namespace melko {

#define MELKO_FLUID_FUNCTIONS(X)                                                                                  \
  X(new_fluid_settings) X(delete_fluid_settings) X(fluid_settings_setnum) X(fluid_settings_setint)               \
  X(fluid_settings_setstr) X(new_fluid_synth) X(delete_fluid_synth) X(fluid_synth_sfload)                        \
  X(new_fluid_audio_driver) X(delete_fluid_audio_driver) X(fluid_set_log_function) X(fluid_synth_noteon)         \
  X(fluid_synth_noteoff) X(fluid_synth_key_pressure) X(fluid_synth_cc) X(fluid_synth_program_change)             \
  X(fluid_synth_channel_pressure) X(fluid_synth_pitch_bend) X(fluid_synth_sysex) X(fluid_synth_set_gain)         \
  X(fluid_synth_write_s16) X(fluid_synth_get_active_voice_count) X(fluid_synth_get_channel_preset)              \
  X(fluid_preset_get_banknum)

struct FluidApi {
#define MELKO_FLUID_POINTER(name) decltype(&::name) name = nullptr;
  MELKO_FLUID_FUNCTIONS(MELKO_FLUID_POINTER)
#undef MELKO_FLUID_POINTER
};

// The functions of libfluidsynth.so.3 (FluidSynth 2.x), or null when the
// library or one of the functions is missing; then `error` (if given) says
// why. The library is opened once and never closed.
const FluidApi* FluidLibrary(std::string* error = nullptr);

}  // namespace melko
