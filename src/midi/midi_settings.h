// The MIDI settings of MELKO.INI: section "Port" (ports A..D, input, default,
// click and sync ports, thru mode, the built-in synth's SoundFont, and each
// device's name so it is found again when the device list changed), "Filter"
// ("Send" options), "Sync" ("SongPosWait", "TimingClockCount") and "Click"
// ("Note", "Beep", "RecOnly"). UI thread.
#pragma once

#include <string>

#include "base/ini_file.h"
#include "midi/midi_ports.h"
#include "midi/playback_engine.h"
#include "midi/synth/builtin_synth.h"

namespace melko {

// The built-in synth's options: "SoundFont" in section "Port".
SynthOptions ReadSynthOptions(const IniFile& ini);

// Sets PortMap, InPort, the default, click and sync ports and the send
// options from the settings; meant as InitPorts' configure step, when the
// device lists are known. A stored device name wins over a stored index that
// now names another device; a name no longer present leaves the port unused.
// Without any port setting, port A is the built-in synthesizer.
void ApplyPortSettings(const IniFile& ini, MidiPorts& ports);
void WritePortSettings(IniFile& ini, const MidiPorts& ports);

EngineOptions ReadEngineOptions(const IniFile& ini);
void WriteEngineOptions(IniFile& ini, const EngineOptions& options);

// "Thru" (0..5, a larger value becomes 0).
int ReadThruMode(const IniFile& ini);

}  // namespace melko
