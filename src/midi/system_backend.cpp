#include "midi/system_backend.h"

namespace melko {

std::string MidiBackend::ErrorText(bool isOutput, int result) {
  switch (result) {
    case kMidiOk: return "The operation completed successfully.";
    case kMidiBadDevice: return "The specified device identifier is out of range or the device is gone.";
    case kMidiAllocated: return "The specified resource is already allocated or could not be opened.";
    case kMidiNotSupported: return "The function requested is not supported.";
    case kMidiNoDriver: return "There is no driver installed on your system.";
    case kMidiIoError: return "The device stopped responding.";
    default: return "Undefined external error.";
  }
}

SystemMidiBackend::SystemMidiBackend(SynthOptions synthOptions, bool withAlsa)
    : synthOptions_(std::move(synthOptions)) {
  if (synthOptions_.LoadInBackground) {
    std::weak_ptr<Inbox> inbox = inbox_;
    synthOptions_.Loaded = [inbox](const std::vector<std::string>& lines, const std::string& error) {
      auto box = inbox.lock();
      if (!box) return;
      std::lock_guard<std::mutex> lock(box->Mutex);
      box->Log.insert(box->Log.end(), lines.begin(), lines.end());
      if (!error.empty()) box->Log.push_back("Built-in synth: " + error);
      if (box->Loaded) box->Loaded(error);
    };
  }
  if (withAlsa) alsa_ = AlsaSequencer::Open();
  if (alsa_) {
    outPorts_ = alsa_->WritablePorts();
    inPorts_ = alsa_->ReadablePorts();
  }
}

std::vector<std::string> SystemMidiBackend::OutDeviceNames() {
  std::vector<std::string> names{kBuiltinSynthName};
  for (const auto& p : outPorts_) names.push_back(p.Name);
  return names;
}

std::vector<std::string> SystemMidiBackend::InDeviceNames() {
  std::vector<std::string> names;
  for (const auto& p : inPorts_) names.push_back(p.Name);
  return names;
}

int SystemMidiBackend::OpenOut(int d, std::unique_ptr<MidiOutDevice>& out) {
  if (d == 1) {
    // A background load that failed is tried again on the next open.
    if (synth_ && synth_->LoadFailed()) synth_.reset();
    if (!synth_) {
      std::string error;
      std::vector<std::string> lines;
      synth_ = BuiltinSynth::Create(synthOptions_, error, &lines);
      {
        std::lock_guard<std::mutex> lock(inbox_->Mutex);
        inbox_->Log.insert(inbox_->Log.end(), lines.begin(), lines.end());
      }
      if (!synth_) {
        lastError_ = error;
        return kMidiAllocated;
      }
    }
    out = std::make_unique<SynthOutDevice>(synth_);
    return kMidiOk;
  }
  if (d < 2 || d - 2 >= int(outPorts_.size()) || !alsa_) return kMidiBadDevice;
  lastError_.clear();
  return alsa_->OpenOut(outPorts_[d - 2], out);
}

int SystemMidiBackend::OpenIn(int d, MidiInCallback callback, std::unique_ptr<MidiInDevice>& out) {
  if (d < 1 || d - 1 >= int(inPorts_.size()) || !alsa_) return kMidiBadDevice;
  lastError_.clear();
  return alsa_->OpenIn(inPorts_[d - 1], std::move(callback), out);
}

int SystemMidiBackend::OpenPublicIn(MidiInCallback callback, std::unique_ptr<MidiInDevice>& out) {
  if (!alsa_) return kMidiNoDriver;
  return alsa_->OpenPublicIn(std::move(callback), out);
}

std::string SystemMidiBackend::ErrorText(bool isOutput, int result) {
  if (!lastError_.empty()) return lastError_;
  return MidiBackend::ErrorText(isOutput, result);
}

std::vector<std::string> SystemMidiBackend::TakeLog() {
  std::vector<std::string> out;
  std::lock_guard<std::mutex> lock(inbox_->Mutex);
  out.swap(inbox_->Log);
  return out;
}

void SystemMidiBackend::SetSynthLoaded(std::function<void(const std::string& error)> hook) {
  std::lock_guard<std::mutex> lock(inbox_->Mutex);
  inbox_->Loaded = std::move(hook);
}

}  // namespace melko
