#include "midi/alsa/alsa_sequencer.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace melko {

namespace {

// alsa-lib reports its own errors on stderr; a missing sequencer is normal
// here and must stay quiet.
void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

class AlsaOutDevice : public MidiOutDevice {
 public:
  AlsaOutDevice(std::shared_ptr<AlsaSequencer> seq, int port, AlsaPortAddress target, snd_midi_event_t* parser)
      : seq_(std::move(seq)), port_(port), target_(std::move(target)), parser_(parser) {}
  ~AlsaOutDevice() override {
    std::lock_guard<PiMutex> lock(seq_->OutputMutex());
    snd_seq_disconnect_to(seq_->Handle(), port_, target_.Client, target_.Port);
    snd_seq_delete_simple_port(seq_->Handle(), port_);
    snd_midi_event_free(parser_);
  }

  int SendShort(uint32_t msg) override {
    uint8_t bytes[3] = {uint8_t(msg), uint8_t(msg >> 8), uint8_t(msg >> 16)};
    uint8_t s = bytes[0];
    long len = 3;
    if ((s & 0xF0) == 0xC0 || (s & 0xF0) == 0xD0 || s == 0xF1 || s == 0xF3) len = 2;
    else if (s >= 0xF4 || s == 0xF0) len = 1;
    std::lock_guard<PiMutex> lock(seq_->OutputMutex());
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_midi_event_reset_encode(parser_);
    if (snd_midi_event_encode(parser_, bytes, len, &ev) <= 0 || ev.type == SND_SEQ_EVENT_NONE) return kMidiOk;
    return Output(ev);
  }

  int SendLong(const uint8_t* data, size_t count) override {
    if (count == 0) return kMidiOk;
    std::lock_guard<PiMutex> lock(seq_->OutputMutex());
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_sysex(&ev, count, const_cast<uint8_t*>(data));
    return Output(ev);
  }

 private:
  int Output(snd_seq_event_t& ev) {
    snd_seq_ev_set_source(&ev, port_);
    snd_seq_ev_set_dest(&ev, target_.Client, target_.Port);
    snd_seq_ev_set_direct(&ev);
    int rc = snd_seq_event_output_direct(seq_->Handle(), &ev);
    if (rc == -EAGAIN || rc == -ENOMEM || rc == -ENOSPC) return kMidiIoError;  // a full queue: this one is lost
    if (rc < 0) {
      // The target went away or the sequencer failed.
      MarkFailed();
      return kMidiIoError;
    }
    return kMidiOk;
  }

  std::shared_ptr<AlsaSequencer> seq_;
  int port_;
  AlsaPortAddress target_;
  snd_midi_event_t* parser_;
};

class AlsaInDevice : public MidiInDevice {
 public:
  AlsaInDevice(std::shared_ptr<AlsaSequencer> seq, int port, AlsaPortAddress source, MidiInCallback callback)
      : seq_(std::move(seq)), port_(port), source_(std::move(source)) {
    seq_->AddInput(port_, std::move(callback));
  }
  ~AlsaInDevice() override {
    seq_->RemoveInput(port_);
    std::lock_guard<PiMutex> lock(seq_->OutputMutex());
    // The public port has no source of ours: its writers subscribed themselves.
    if (source_.Client >= 0) snd_seq_disconnect_from(seq_->Handle(), port_, source_.Client, source_.Port);
    snd_seq_delete_simple_port(seq_->Handle(), port_);
  }

 private:
  std::shared_ptr<AlsaSequencer> seq_;
  int port_;
  AlsaPortAddress source_;
};

}  // namespace

std::shared_ptr<AlsaSequencer> AlsaSequencer::Open() {
  if (access("/dev/snd/seq", R_OK | W_OK) != 0) return nullptr;
  snd_lib_error_set_handler(SilentAlsaError);
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0 || !seq) return nullptr;
  std::shared_ptr<AlsaSequencer> s(new AlsaSequencer());
  s->seq_ = seq;
  snd_seq_set_client_name(seq, "MELKO");
  snd_seq_set_output_buffer_size(seq, 256 * 1024);
  // Never block the engine's thread on a slow receiver.
  snd_seq_nonblock(seq, 1);
  s->clientId_ = snd_seq_client_id(seq);
  return s;
}

AlsaSequencer::~AlsaSequencer() {
  // Every input device holds the sequencer, so the reader has ended already.
  if (reader_.joinable()) {
    stopReader_ = true;
    reader_.join();
  }
  if (seq_) snd_seq_close(seq_);
}

void AlsaSequencer::AddInput(int port, MidiInCallback callback) {
  std::thread finished;
  {
    std::lock_guard<PiMutex> lock(inMutex_);
    inputs_.push_back(Input{port, std::move(callback), std::chrono::steady_clock::now()});
    if (inputs_.size() > 1) return;
    // A reader told to stop when the last input went may still be winding down.
    finished = std::move(reader_);
  }
  if (finished.joinable()) finished.join();
  stopReader_ = false;
  reader_ = std::thread([this] { ReadInput(); });
}

void AlsaSequencer::RemoveInput(int port) {
  std::thread reader;
  {
    std::lock_guard<PiMutex> lock(inMutex_);
    for (auto it = inputs_.begin(); it != inputs_.end(); ++it)
      if (it->Port == port) {
        inputs_.erase(it);
        break;
      }
    if (!inputs_.empty()) return;
    stopReader_ = true;
    reader = std::move(reader_);
  }
  if (reader.joinable()) reader.join();
}

void AlsaSequencer::ReadInput() {
  int n = snd_seq_poll_descriptors_count(seq_, POLLIN);
  std::vector<pollfd> fds(n > 0 ? n : 1);
  n = snd_seq_poll_descriptors(seq_, fds.data(), fds.size(), POLLIN);
  snd_midi_event_t* parser = nullptr;
  if (snd_midi_event_new(64, &parser) < 0) return;
  snd_midi_event_no_status(parser, 1);
  while (!stopReader_) {
    if (poll(fds.data(), n, 100) <= 0) continue;
    while (!stopReader_ && snd_seq_event_input_pending(seq_, 1) > 0) {
      snd_seq_event_t* ev = nullptr;
      if (snd_seq_event_input(seq_, &ev) < 0 || !ev) break;
      uint8_t buf[16];
      snd_midi_event_reset_decode(parser);
      long len = snd_midi_event_decode(parser, buf, sizeof buf, ev);
      if (len <= 0 || len > 3 || buf[0] < 0x80) continue;  // system exclusive is not taken in
      uint32_t msg = buf[0] | (len > 1 ? buf[1] << 8 : 0) | (len > 2 ? buf[2] << 16 : 0);
      const auto now = std::chrono::steady_clock::now();
      std::lock_guard<PiMutex> lock(inMutex_);
      for (const Input& in : inputs_) {
        if (in.Port != ev->dest.port) continue;
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - in.Opened);
        in.Callback(msg, uint32_t(ms.count()));
        break;
      }
    }
  }
  snd_midi_event_free(parser);
}

std::vector<AlsaPortAddress> AlsaSequencer::List(unsigned caps) {
  std::vector<AlsaPortAddress> out;
  snd_seq_client_info_t* client;
  snd_seq_port_info_t* port;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq_, client) >= 0) {
    int id = snd_seq_client_info_get_client(client);
    if (id == clientId_ || id == SND_SEQ_CLIENT_SYSTEM) continue;
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq_, port) >= 0) {
      unsigned c = snd_seq_port_info_get_capability(port);
      if ((c & caps) != caps || (c & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
      AlsaPortAddress a;
      a.Client = id;
      a.Port = snd_seq_port_info_get_port(port);
      a.Name = std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(port);
      out.push_back(std::move(a));
    }
  }
  return out;
}

std::vector<AlsaPortAddress> AlsaSequencer::WritablePorts() {
  return List(SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
}

std::vector<AlsaPortAddress> AlsaSequencer::ReadablePorts() {
  return List(SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
}

int AlsaSequencer::OpenOut(const AlsaPortAddress& target, std::unique_ptr<MidiOutDevice>& out) {
  std::lock_guard<PiMutex> lock(outMutex_);
  std::string name = "out " + target.Name;
  int port = snd_seq_create_simple_port(seq_, name.c_str(), SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0) return kMidiAllocated;
  if (snd_seq_connect_to(seq_, port, target.Client, target.Port) < 0) {
    snd_seq_delete_simple_port(seq_, port);
    return kMidiBadDevice;
  }
  snd_midi_event_t* parser = nullptr;
  if (snd_midi_event_new(16, &parser) < 0) {
    snd_seq_delete_simple_port(seq_, port);
    return kMidiAllocated;
  }
  snd_midi_event_no_status(parser, 1);
  out = std::make_unique<AlsaOutDevice>(shared_from_this(), port, target, parser);
  return kMidiOk;
}

int AlsaSequencer::OpenPublicIn(MidiInCallback callback, std::unique_ptr<MidiInDevice>& out) {
  std::lock_guard<PiMutex> lock(outMutex_);
  int port = snd_seq_create_simple_port(seq_, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0) return kMidiAllocated;
  AlsaPortAddress none;
  none.Client = -1;
  none.Name = "MELKO:in";
  out = std::make_unique<AlsaInDevice>(shared_from_this(), port, none, std::move(callback));
  return kMidiOk;
}

int AlsaSequencer::OpenIn(const AlsaPortAddress& source, MidiInCallback callback,
                          std::unique_ptr<MidiInDevice>& out) {
  std::lock_guard<PiMutex> lock(outMutex_);
  std::string name = "in " + source.Name;
  int port = snd_seq_create_simple_port(seq_, name.c_str(), SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0) return kMidiAllocated;
  if (snd_seq_connect_from(seq_, port, source.Client, source.Port) < 0) {
    snd_seq_delete_simple_port(seq_, port);
    return kMidiBadDevice;
  }
  out = std::make_unique<AlsaInDevice>(shared_from_this(), port, source, std::move(callback));
  return kMidiOk;
}

}  // namespace melko
