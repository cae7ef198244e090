// MELKO's ALSA sequencer client, named "MELKO". It lists the writable ports of
// other clients (our output devices) and the readable ones (input devices),
// gives each opened output device a port of its own connected to its target
// and sends to it directly, and subscribes opened input devices. One reader
// thread owns reading from the client (it runs while any input is open) and
// hands each event to the callback of the input port it arrived at. A
// machine without /dev/snd/seq has no sequencer: Open returns null and prints
// nothing. Listing and opening belong to the UI thread; sends may come from
// any thread and share the output lock, which inherits priority (the engine's
// timer thread sends under it).
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "midi/midi_device.h"
#include "midi/pi_mutex.h"

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
  // Our own writable port "in" ("MELKO:in"), which other programs connect
  // to (a virtual keyboard, `aconnect`); what arrives goes to `callback`.
  int OpenPublicIn(MidiInCallback callback, std::unique_ptr<MidiInDevice>& out);

  snd_seq_t* Handle() const { return seq_; }
  int ClientId() const { return clientId_; }
  PiMutex& OutputMutex() { return outMutex_; }

  // Input ports of ours and their callbacks, for the reader thread. After
  // RemoveInput returns, the port's callback is not running and never runs.
  void AddInput(int port, MidiInCallback callback);
  void RemoveInput(int port);

 private:
  AlsaSequencer() = default;
  std::vector<AlsaPortAddress> List(unsigned caps);
  void ReadInput();
  snd_seq_t* seq_ = nullptr;
  int clientId_ = -1;
  PiMutex outMutex_;  // the handle's output buffer is shared by all devices

  struct Input {
    int Port = -1;
    MidiInCallback Callback;
    std::chrono::steady_clock::time_point Opened;  // the callback's times count from here
  };
  PiMutex inMutex_;  // guards inputs_; the reader holds it while it calls back
  std::vector<Input> inputs_;
  std::thread reader_;  // started with the first input, ended with the last
  std::atomic<bool> stopReader_{false};
};

}  // namespace melko
