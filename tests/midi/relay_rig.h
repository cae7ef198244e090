// A relay on a recording backend with one device on port A, and the notes it
// was sent, for the computer-keyboard and on-screen piano tests.
#pragma once

#include <string>
#include <vector>

#include "midi/clock.h"
#include "midi/midi_ports.h"
#include "midi/recording_backend.h"

namespace melko::test {

struct RelayRig {
  VirtualClock clock;
  RecordingBackend backend{clock, {"Synth"}};
  MidiPorts ports{backend, clock, nullptr, nullptr};
  TmMidiRelay relay{ports};

  RelayRig() { ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 0, 0, 0}; }); }
  // "+60" for a note-on, "-60" for a note-off, in the order sent.
  std::vector<std::string> Notes() const {
    std::vector<std::string> out;
    for (const RecordedMessage& m : backend.Snapshot())
      if (m.Bytes.size() == 3 && (m.Bytes[0] & 0xF0) == 0x90)
        out.push_back((m.Bytes[2] ? "+" : "-") + std::to_string(m.Bytes[1]));
    return out;
  }
};

}  // namespace melko::test
