// MELKO's ALSA sequencer client, named "MELKO". It lists the writable ports of
// other clients (our output devices) and the readable ones (input devices),
// gives each opened output device a port of its own connected to its target
// and sends to it directly, and subscribes opened input devices, whose events
// a reader thread hands to the input callback. A machine without
// /dev/snd/seq has no sequencer: Open returns null and prints nothing.
// Listing and opening belong to the UI thread; sends may come from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_device.h"

typedef struct _snd_seq snd_seq_t;

namespace melko {

struct AlsaPortAddress {
  int Client = 0;
  int Port = 0;
  std::string Name;  // "client:port" by the clients' and ports' names
};

class AlsaSequencer : public std::enable_shared_from_this<AlsaSequencer> {
 public:
  static std::shared_ptr<AlsaSequencer> Open();
  ~AlsaSequencer();

  std::vector<AlsaPortAddress> WritablePorts();
  std::vector<AlsaPortAddress> ReadablePorts();
  int OpenOut(const AlsaPortAddress& target, std::unique_ptr<MidiOutDevice>& out);
  int OpenIn(const AlsaPortAddress& source, MidiInCallback callback, std::unique_ptr<MidiInDevice>& out);

  snd_seq_t* Handle() const { return seq_; }
  int ClientId() const { return clientId_; }
  std::mutex& OutputMutex() { return outMutex_; }

 private:
  AlsaSequencer() = default;
  std::vector<AlsaPortAddress> List(unsigned caps);
  snd_seq_t* seq_ = nullptr;
  int clientId_ = -1;
  std::mutex outMutex_;  // the handle's output buffer is shared by all devices
};

}  // namespace melko
