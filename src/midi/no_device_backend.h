// A backend without any device, for batch runs that play a song only to
// follow its time (recording from a take file): every send goes nowhere.
#pragma once

#include "midi/midi_device.h"

namespace melko {

class NoDeviceBackend : public MidiBackend {
 public:
  std::vector<std::string> OutDeviceNames() override { return {}; }
  std::vector<std::string> InDeviceNames() override { return {}; }
  int OpenOut(int, std::unique_ptr<MidiOutDevice>&) override { return kMidiBadDevice; }
  int OpenIn(int, MidiInCallback, std::unique_ptr<MidiInDevice>&) override { return kMidiBadDevice; }
};

}  // namespace melko
