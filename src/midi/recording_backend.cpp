#include "midi/recording_backend.h"

namespace melko {

std::vector<uint8_t> ShortMsgBytes(uint32_t msg) {
  uint8_t s = uint8_t(msg);
  std::vector<uint8_t> b{s};
  size_t len = 3;
  if (s < 0x80) len = 3;
  else if ((s & 0xF0) == 0xC0 || (s & 0xF0) == 0xD0 || s == 0xF1 || s == 0xF3) len = 2;
  else if (s == 0xF2) len = 3;
  else if (s >= 0xF0) len = 1;
  if (len > 1) b.push_back(uint8_t(msg >> 8));
  if (len > 2) b.push_back(uint8_t(msg >> 16));
  return b;
}

class RecordingOutDevice : public MidiOutDevice {
 public:
  RecordingOutDevice(RecordingBackend& owner, int d) : owner_(owner), d_(d) {}
  ~RecordingOutDevice() override {
    std::lock_guard<std::mutex> lock(owner_.mutex_);
    --owner_.openNow_[d_];
  }
  int SendShort(uint32_t msg) override { return Send(ShortMsgBytes(msg)); }
  int SendLong(const uint8_t* data, size_t count) override {
    return Send(std::vector<uint8_t>(data, data + count));
  }
  int SetVolume(uint32_t volume) override {
    {
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      if (!owner_.volumeOk_[d_]) return kMidiNotSupported;
    }
    RecordedMessage m;
    m.Device = d_;
    m.IsVolume = true;
    m.Volume = volume;
    m.TimeMs = owner_.clock_.NowMs();
    owner_.Record(std::move(m));
    return kMidiOk;
  }

 private:
  int Send(std::vector<uint8_t>&& bytes) {
    if (owner_.DeviceFailing(d_)) {
      MarkFailed();
      return kMidiIoError;
    }
    RecordedMessage m;
    m.Device = d_;
    m.TimeMs = owner_.clock_.NowMs();
    if (owner_.recordNs_) m.MonotonicNs = SteadyClock::MonotonicNs();
    m.Bytes = std::move(bytes);
    owner_.Record(std::move(m));
    return kMidiOk;
  }
  RecordingBackend& owner_;
  int d_;
};

class RecordingInDevice : public MidiInDevice {
 public:
  RecordingInDevice(RecordingBackend& owner, int d) : owner_(owner), d_(d) {}
  ~RecordingInDevice() override {
    std::lock_guard<std::mutex> lock(owner_.mutex_);
    --owner_.inOpenNow_[d_];
    owner_.inCallbacks_[d_] = nullptr;
  }

 private:
  RecordingBackend& owner_;
  int d_;
};

RecordingBackend::RecordingBackend(Clock& clock, std::vector<std::string> outNames,
                                   std::vector<std::string> inNames)
    : clock_(clock), outNames_(std::move(outNames)), inNames_(std::move(inNames)) {
  size_t n = outNames_.size() + 1;
  openResult_.assign(n, kMidiOk);
  openCount_.assign(n, 0);
  openNow_.assign(n, 0);
  volumeOk_.assign(n, false);
  failing_.assign(n, false);
  inOpenNow_.assign(inNames_.size() + 1, 0);
  inCallbacks_.resize(inNames_.size() + 1);
}

int RecordingBackend::OpenOut(int d, std::unique_ptr<MidiOutDevice>& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (d < 1 || d > int(outNames_.size())) return kMidiBadDevice;
  if (openResult_[d] != kMidiOk) return openResult_[d];
  ++openCount_[d];
  ++openNow_[d];
  out = std::make_unique<RecordingOutDevice>(*this, d);
  return kMidiOk;
}

int RecordingBackend::OpenIn(int d, MidiInCallback callback, std::unique_ptr<MidiInDevice>& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (d < 1 || d > int(inNames_.size())) return kMidiBadDevice;
  ++inOpenNow_[d];
  inCallbacks_[d] = std::move(callback);
  out = std::make_unique<RecordingInDevice>(*this, d);
  return kMidiOk;
}

void RecordingBackend::SetOpenResult(int d, int result) {
  std::lock_guard<std::mutex> lock(mutex_);
  openResult_.at(d) = result;
}
void RecordingBackend::SetVolumeSupported(int d, bool yes) {
  std::lock_guard<std::mutex> lock(mutex_);
  volumeOk_.at(d) = yes;
}
void RecordingBackend::FailDevice(int d) {
  std::lock_guard<std::mutex> lock(mutex_);
  failing_.at(d) = true;
}
bool RecordingBackend::DeviceFailing(int d) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failing_[d];
}
void RecordingBackend::Reserve(size_t n) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.reserve(n);
}
void RecordingBackend::Record(RecordedMessage&& m) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.push_back(std::move(m));
}
std::vector<RecordedMessage> RecordingBackend::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}
void RecordingBackend::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}
int RecordingBackend::OpenCount(int d) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return openCount_.at(d);
}
int RecordingBackend::OpenNow(int d) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return openNow_.at(d);
}
MidiInCallback RecordingBackend::InputCallback(int d) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inCallbacks_.at(d);
}

}  // namespace melko
