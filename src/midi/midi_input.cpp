#include "midi/midi_input.h"

#include <cstdio>
#include <mutex>
#include <thread>

#include "base/text_encoding.h"

namespace melko {

namespace {
bool IsNoteOn(uint32_t msg) { return (msg & 0xF0) == 0x90 && ((msg >> 16) & 0x7F) > 0; }
bool IsNoteOff(uint32_t msg) { return (msg & 0xF0) == 0x80 || ((msg & 0xF0) == 0x90 && ((msg >> 16) & 0x7F) == 0); }
const char kPortLetters[] = "ABCD";
}  // namespace

MidiInput::MidiInput(Song& song, MidiPorts& ports, PlaybackEngine& engine, RecordBuffer& buffer, NotifyQueue& notify)
    : song_(song), ports_(ports), engine_(engine), buffer_(buffer), notify_(notify) {
  RebuildTables();
}

void MidiInput::RebuildTables() {
  const FilterMaskTable mask = BuildFilterMask(Filter.Receive);
  const VelocityTableType velocity = BuildVelocityTable(Filter);
  for (size_t i = 0; i < mask.size(); ++i) filterMask_[i].store(mask[i], std::memory_order_relaxed);
  for (size_t i = 0; i < velocity.size(); ++i) velocityTable_[i].store(velocity[i], std::memory_order_relaxed);
}

void MidiInput::ApplySettings(const InputFilterSettings& filter, const ThruSettings& thru) {
  ThruNotesOff();  // with the old thru device
  Filter = filter;
  Thru = thru;
  thruMode_.store(thru.ThruMode >= kThruOff && thru.ThruMode <= kMaxThruMode ? thru.ThruMode : kThruOff);
  RebuildTables();
  ports_.SendOptions = uint8_t(filter.Send & 3);
}

bool MidiInput::ClaimSource(int source) {
  int expected = kSourceNone;
  if (InputSource.compare_exchange_strong(expected, source, std::memory_order_acq_rel)) return true;
  return expected == source;
}

void MidiInput::InputCallback(uint32_t msg, uint32_t timeMs) {
  // 1. Active sensing says only that the cable is plugged in.
  uint32_t status = msg & 0xFF;
  if (status == 0xFE || status < 0x80) return;
  Received.fetch_add(1, std::memory_order_relaxed);
  // 2. A take the keyboard started stays the keyboard's.
  if (!ClaimSource(kSourceMidi)) return;
  if (status < 0xF0) {
    // 3. Receive filter and velocity rule.
    status &= FilterMask(int(status >> 4));
    if (status == 0) return;
    msg &= 0x7F7F00u;
    msg |= status;
    if (IsNoteOn(msg)) msg = (msg & 0x00FFFFu) | uint32_t(VelocityTable(int((msg >> 16) & 0x7F))) << 16;
    // 4. Thru.
    if (thruMode_.load(std::memory_order_relaxed) != kThruOff) Echo(msg);
  }
  const bool channelMessage = status >= 0x80 && status <= 0xEF;
  // 5. Recording takes channel messages only. The count is raised before the
  // flag is read, so the stop can wait for a store still under way.
  storing_.fetch_add(1, std::memory_order_seq_cst);
  if (engine_.EngineFlags.load(std::memory_order_seq_cst) & kFlagRecording) {
    if (channelMessage) Store(msg);
    storing_.fetch_sub(1, std::memory_order_release);
    return;
  }
  storing_.fetch_sub(1, std::memory_order_release);
  // 6. The windows: the indicator, and the window that takes notes.
  if (!channelMessage) return;
  notify_.Post(MimData, int32_t(timeMs), msg);
  if (status <= 0x9F && HasNoteInputWindow()) notify_.Post(MimNoteData, int32_t(timeMs), msg);
}

int MidiInput::ThruDeviceIndex(uint8_t& channel, bool& rewrite) const {
  rewrite = false;
  const int mode = thruMode_.load(std::memory_order_relaxed);
  if (mode == kThruDynamic) {
    const int t = ThruTrack();
    rewrite = true;
    channel = uint8_t(song_.Ch[size_t(t)] & 0x0F);
    return ports_.PortMap[size_t(song_.OutPort[size_t(t)] & 3)];
  }
  if (mode >= 2 && mode <= kMaxThruMode) return ports_.PortMap[size_t(mode - 2)];
  return 0;
}

void MidiInput::Echo(uint32_t msg) {
  uint8_t channel = 0;
  bool rewrite = false;
  int device = 0;
  {
    // The UI thread may be replacing the device meanwhile (a reopen).
    std::lock_guard<PiMutex> handles(ports_.HandleLock());
    device = ThruDeviceIndex(channel, rewrite);
    if (rewrite) msg = (msg & ~0x0Fu) | channel;
    MidiPorts::SendShort(ports_.Handle(device), msg);
  }
  // Remember what sounds, so a change of target can silence it.
  const uint32_t entry = (msg & 0xFF0F) | uint32_t(device & 0xFF) << 24;
  std::lock_guard<PiMutex> lock(thruLock_);
  if (IsNoteOn(msg)) {
    if (thruCount_ < kMaxThruNotes) thruNotes_[thruCount_++] = entry;
  } else if (IsNoteOff(msg)) {
    for (size_t i = 0; i < thruCount_; ++i)
      if (thruNotes_[i] == entry) {
        for (size_t j = i + 1; j < thruCount_; ++j) thruNotes_[j - 1] = thruNotes_[j];
        --thruCount_;
        break;
      }
  }
}

void MidiInput::Store(uint32_t msg) {
  uint32_t error = 0;
  if (buffer_.Store(engine_.PlayTick.load(std::memory_order_relaxed), msg, error)) return;
  Dropped.fetch_add(1, std::memory_order_relaxed);
  Notification n{RecordDropped, 0, error};
  n.Keep = true;
  notify_.Post(n);
}

bool MidiInput::StoreFromKeyboard(uint32_t msg) {
  if (!(engine_.EngineFlags.load(std::memory_order_acquire) & kFlagRecording)) return false;
  if (!ClaimSource(kSourceKeyboard)) return false;
  const uint32_t status = msg & 0xFF;
  if (status < 0x80 || status > 0xEF) return false;
  Store(msg & 0x7F7FFFu);
  return true;
}

void MidiInput::ThruNotesOff() {
  // Each note ends on the device it sounded on, whatever the thru target,
  // the ports or the song have become since.
  std::lock_guard<PiMutex> handles(ports_.HandleLock());
  std::lock_guard<PiMutex> lock(thruLock_);
  for (size_t i = 0; i < thruCount_; ++i)
    MidiPorts::SendShort(ports_.Handle(int(thruNotes_[i] >> 24)), 0x90 | (thruNotes_[i] & 0xFF0F));
  thruCount_ = 0;
}

void MidiInput::WaitForStores() {
  for (int spins = 0; storing_.load(std::memory_order_acquire) != 0; ++spins)
    if (spins > 64) std::this_thread::yield();
}

void MidiInput::SetThruTrack(int track) {
  ThruNotesOff();
  thruTrack_.store(track < 1 ? 1 : track > 64 ? 64 : track, std::memory_order_relaxed);
}

bool MidiInput::FollowTrack(int track) {
  if (thruMode_.load() != kThruDynamic || track < 1 || track > 64) return false;
  if (track == ThruTrack()) return false;
  SetThruTrack(track);
  return true;
}

size_t MidiInput::ThruNoteCount() {
  std::lock_guard<PiMutex> lock(thruLock_);
  return thruCount_;
}

std::string MidiInput::ThruCaption() const {
  char text[64];
  const int mode = Thru.ThruMode;
  if (mode == kThruDynamic) {
    const int t = ThruTrack();
    std::snprintf(text, sizeof text, "%c %2d", kPortLetters[song_.OutPort[size_t(t)] & 3], (song_.Ch[size_t(t)] & 15) + 1);
    return text;
  }
  if (mode >= 2 && mode <= kMaxThruMode) return std::string(1, kPortLetters[mode - 2]);
  return "Off";
}

std::string MidiInput::ThruHint() const {
  const int mode = Thru.ThruMode;
  if (mode == kThruDynamic) {
    const int t = ThruTrack();
    const int port = song_.OutPort[size_t(t)] & 3;
    return "THRU to Track " + std::to_string(t) + ": " + DisplayText(song_.TrackNames[size_t(t)]) + " - " + ports_.PortNames[size_t(port)];
  }
  if (mode >= 2 && mode <= kMaxThruMode) return "THRU to " + ports_.PortNames[size_t(mode - 2)];
  return "THRU Off";
}

}  // namespace melko
