#include "midi/midi_ports.h"

#include "song/song.h"

namespace melko {

const uint8_t kGmSystemOn[6] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
const uint8_t kGsReset[11] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
const uint8_t kXgSystemOn[9] = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};

MidiPorts::MidiPorts(MidiBackend& backend, Clock& clock, TimerFactory timers, ErrorReporter report)
    : backend_(backend), clock_(clock), timers_(std::move(timers)), report_(std::move(report)) {
  OutDeviceNames = {kNotInUse};
  InDeviceNames = {kNotInUse};
  OutHandles.resize(1);
  InHandles.resize(1);
  OutOpen.assign(1, 0);
  InOpen.assign(1, 0);
}

MidiPorts::~MidiPorts() {
  EndAudition();
  // Devices close quietly when the table goes away without ClosePorts.
}

void MidiPorts::InitPorts(const std::function<void(MidiPorts&)>& configure) {
  std::vector<std::string> outs = backend_.OutDeviceNames();
  std::vector<std::string> ins = backend_.InDeviceNames();
  OutDeviceCount = int(outs.size());
  InDeviceCount = int(ins.size());
  OutDeviceNames = {kNotInUse};
  OutDeviceNames.insert(OutDeviceNames.end(), outs.begin(), outs.end());
  InDeviceNames = {kNotInUse};
  InDeviceNames.insert(InDeviceNames.end(), ins.begin(), ins.end());
  OutHandles.clear();
  OutHandles.resize(OutDeviceCount + 1);
  InHandles.clear();
  InHandles.resize(InDeviceCount + 1);
  OutOpen.assign(OutDeviceCount + 1, 0);
  InOpen.assign(InDeviceCount + 1, 0);
  if (configure) configure(*this);
  for (auto& p : PortMap)
    if (p > OutDeviceCount) p = 0;
  if (InPort > InDeviceCount) InPort = 0;
  UpdatePortNames();
  if (OutDeviceCount == 0) {
    if (report_)
      report_("MIDI OUTﾃﾞﾊﾞｲｽがｲﾝｽﾄｰﾙされていません！\r\n"
              "このまま作業を続けた場合、一部の機能は使えません。");
  } else {
    OpenOutPorts();
  }
  if (InDeviceCount > 0 && InPort > 0) OpenInDevice(InPort);
  OpenPublicIn();
}

bool MidiPorts::OpenPublicIn() {
  if (PublicIn) return true;
  MidiInCallback cb = [this](uint32_t msg, uint32_t t) {
    if (InputCallback) InputCallback(msg, t);
  };
  // Without a sequencer there is nothing to connect to; that is no error.
  return backend_.OpenPublicIn(cb, PublicIn) == kMidiOk && PublicIn;
}

void MidiPorts::UpdatePortNames() {
  for (int p = 0; p < kPortCount; ++p)
    PortNames[p] = PortMap[p] < OutDeviceNames.size() ? OutDeviceNames[PortMap[p]] : OutDeviceNames[0];
}

void MidiPorts::OpenOutPorts() {
  for (int d = 1; d <= OutDeviceCount; ++d) {
    bool used = false;
    for (uint8_t p : PortMap) used |= p == d;
    if (used) OpenOutDevice(d);
    else CloseOutDevice(d);
  }
  UpdatePortNames();
}

bool MidiPorts::OpenOutDevice(int d) {
  if (d <= 0 || d > OutDeviceCount) return false;
  if (OutOpen[d]) return true;
  std::unique_ptr<MidiOutDevice> dev;
  int result = backend_.OpenOut(d, dev);
  if (!CheckMidiError(true, d, result) || !dev) return false;
  {
    std::lock_guard<PiMutex> handles(handleLock_);
    OutHandles[d] = std::move(dev);
  }
  OutOpen[d] = 1;
  ChannelReset(d);
  return true;
}

std::unique_ptr<MidiOutDevice> MidiPorts::TakeHandle(int d) {
  std::lock_guard<PiMutex> handles(handleLock_);
  return std::move(OutHandles[d]);
}

void MidiPorts::CloseOutDevice(int d) {
  if (d <= 0 || d > OutDeviceCount || !OutOpen[d]) return;
  ChannelReset(d);
  {
    std::lock_guard<std::mutex> lock(auditionMutex_);
    if (auditionHandle_ == OutHandles[d].get()) auditionHandle_ = nullptr;
  }
  TakeHandle(d).reset();  // closed outside the lock
  OutOpen[d] = 0;
}

bool MidiPorts::OpenInDevice(int d) {
  if (d <= 0 || d > InDeviceCount) return false;
  if (InOpen[d]) return true;
  std::unique_ptr<MidiInDevice> dev;
  MidiInCallback cb = [this](uint32_t msg, uint32_t t) {
    if (InputCallback) InputCallback(msg, t);
  };
  int result = backend_.OpenIn(d, cb, dev);
  if (!CheckMidiError(false, d, result) || !dev) return false;
  InHandles[d] = std::move(dev);
  InOpen[d] = 1;
  return true;
}

void MidiPorts::CloseInDevice(int d) {
  if (d <= 0 || d > InDeviceCount || !InOpen[d]) return;
  InHandles[d].reset();  // stops and joins the reader
  InOpen[d] = 0;
}

void MidiPorts::SelectInPort(int d) {
  if (d == InPort) return;
  InPort = uint8_t(d);
  for (int i = 1; i <= InDeviceCount; ++i)
    if (i != d) CloseInDevice(i);
  OpenInDevice(d);
}

void MidiPorts::ClosePorts() {
  EndAudition();
  PublicIn.reset();
  CloseInDevice(InPort);
  for (int d = 1; d <= InDeviceCount; ++d) CloseInDevice(d);
  for (int d = 1; d <= OutDeviceCount; ++d) CloseOutDevice(d);
}

bool MidiPorts::CheckMidiError(bool isOutput, int d, int result) {
  if (result == kMidiOk) return true;
  std::string name = d >= 0 && size_t(d) < (isOutput ? OutDeviceNames : InDeviceNames).size()
                         ? (isOutput ? OutDeviceNames : InDeviceNames)[d]
                         : std::string();
  std::string text = backend_.ErrorText(isOutput, result) + "\r\n\r\n" + (isOutput ? "<MIDI OUT> " : "<MIDI IN> ") + name;
  if (report_) report_(text);
  return false;
}

MidiOutDevice* MidiPorts::Handle(int d) const {
  if (d <= 0 || d >= int(OutHandles.size())) return nullptr;
  return OutHandles[d].get();
}

MidiOutDevice* MidiPorts::PortHandle(int port) const {
  if (port < 0 || port >= kPortCount) return nullptr;
  return Handle(PortMap[port]);
}

int MidiPorts::SendShort(MidiOutDevice* handle, uint32_t msg) {
  return handle ? handle->SendShort(msg) : kMidiBadDevice;
}

int MidiPorts::SendLong(MidiOutDevice* handle, const uint8_t* data, size_t count) {
  return handle ? handle->SendLong(data, count) : kMidiBadDevice;
}

void MidiPorts::ChannelResetMessages(MidiOutDevice* handle, int c) {
  SendShort(handle, ShortMsg(0xB0 + c, 0x7B, 0));
  SendShort(handle, ShortMsg(0xE0 + c, 0x00, 0x40));
  SendShort(handle, ShortMsg(0xB0 + c, 0x40, 0));
  SendShort(handle, ShortMsg(0xB0 + c, 0x01, 0));
}

void MidiPorts::ChannelReset(int d) {
  MidiOutDevice* h = Handle(d);
  if (!h) return;  // nothing would arrive; no need to wait either
  clock_.SleepMs(16);
  for (int c = 0; c < 16; ++c) ChannelResetMessages(h, c);
}

void MidiPorts::ModuleReset(int kind, int port) {
  if (SetMasterVolumeBar) SetMasterVolumeBar(127);
  MidiOutDevice* h = PortHandle(port);
  if (kind == 1) SendLong(h, kGmSystemOn, sizeof kGmSystemOn);
  else if (kind == 2) SendLong(h, kGsReset, sizeof kGsReset);
  else SendLong(h, kXgSystemOn, sizeof kXgSystemOn);
}

void MidiPorts::SetMasterVolume(int volume, int port) {
  if (volume < 0) volume = 0;
  if (volume > 127) volume = 127;
  MidiOutDevice* h = PortHandle(port);
  if (!h) return;
  uint32_t v = uint32_t(volume) * 512;
  if (h->SetVolume(v | v << 16) != kMidiOk) {
    uint8_t msg[8] = {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, uint8_t(volume), 0xF7};
    SendLong(h, msg, sizeof msg);
  }
}

void MidiPorts::EndAudition() {
  std::unique_ptr<EngineTimer> timer;
  MidiOutDevice* h = nullptr;
  uint32_t off = 0;
  {
    std::lock_guard<std::mutex> lock(auditionMutex_);
    timer = std::move(auditionTimer_);
    h = auditionHandle_;
    off = auditionOff_;
    auditionHandle_ = nullptr;
  }
  if (timer) timer->Stop();
  if (h) SendShort(h, off);
}

void MidiPorts::AuditionNote(const Song& song, int track, uint32_t message, int autoOff) {
  if (track < 0 || track >= kSongTracks) return;
  uint8_t status = message & 0xF0, d1 = (message >> 8) & 0xFF;
  if (status == 0xB0 && (d1 == 0 || d1 == 32) && !(SendOptions & kSendBankChange)) return;
  MidiOutDevice* h = PortHandle(song.OutPort[track]);
  if (!h) return;
  if (autoOff > 0) {
    EndAudition();
    auto timer = timers_ ? timers_() : nullptr;
    {
      std::lock_guard<std::mutex> lock(auditionMutex_);
      auditionHandle_ = h;
      auditionOff_ = message & 0xFFFF;  // status and key, velocity 0
    }
    if (timer) {
      timer->Start(kAuditionMs, [this] {
        // Sent under the lock: closing the device clears the handle under it
        // first, so a device that is going away is never used here.
        std::lock_guard<std::mutex> lock(auditionMutex_);
        if (auditionHandle_) SendShort(auditionHandle_, auditionOff_);
        auditionHandle_ = nullptr;
        return false;  // one shot
      });
      std::lock_guard<std::mutex> lock(auditionMutex_);
      auditionTimer_ = std::move(timer);
    }
  }
  SendShort(h, message);
}

bool MidiPorts::AnyOutputFailed() const {
  for (size_t d = 1; d < OutHandles.size(); ++d)
    if (OutHandles[d] && OutHandles[d]->Failed()) return true;
  return false;
}

void MidiPorts::ReopenFailedDevices() {
  for (int d = 1; d <= OutDeviceCount; ++d) {
    if (!OutHandles[d] || !OutHandles[d]->Failed()) continue;
    {
      std::lock_guard<std::mutex> lock(auditionMutex_);
      if (auditionHandle_ == OutHandles[d].get()) auditionHandle_ = nullptr;
    }
    TakeHandle(d).reset();
    OutOpen[d] = 0;
    OpenOutDevice(d);
  }
}

int MidiPorts::FindOutDevice(const std::string& name) const {
  for (size_t d = 1; d < OutDeviceNames.size(); ++d)
    if (OutDeviceNames[d] == name) return int(d);
  return 0;
}

int MidiPorts::FindInDevice(const std::string& name) const {
  for (size_t d = 1; d < InDeviceNames.size(); ++d)
    if (InDeviceNames[d] == name) return int(d);
  return 0;
}

void TmMidiRelay::NoteOn(int key) {
  MidiPorts::SendShort(ports_.PortHandle(Port), ShortMsg(0x90 + (Channel & 15), key & 0x7F, Velocity & 0x7F));
}

void TmMidiRelay::NoteOff(int key) {
  MidiPorts::SendShort(ports_.PortHandle(Port), ShortMsg(0x90 + (Channel & 15), key & 0x7F, 0));
}

void TmMidiRelay::Send(uint32_t message) { MidiPorts::SendShort(ports_.PortHandle(Port), message); }

}  // namespace melko
