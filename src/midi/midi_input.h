// The input side of the MIDI engine: the one input callback every received
// message passes (active sensing dropped, receive filter, velocity rule,
// thru, then the record buffer while recording, else a posted message for
// the main window's indicator and the window that takes note input), the
// thru notes and their silencing, the DynamicTHRU target, and the keyboard's
// way into a take. Which source owns a take (MIDI input or the computer
// keyboard) is claimed once per take with a compare-and-set, so a take never
// mixes the two.
// Threads: InputCallback runs on the MIDI input reader (or whoever drives it
// in a batch run); it never allocates, never waits on a lock held for long
// (the thru lock guards only ThruNotes) and reaches the UI only through the
// notification queue. StoreFromKeyboard, the thru calls and the settings
// belong to the UI thread; the tables change only while no take runs (the
// option dialog is modal, and playback start rebuilds them before the timer).
// The object borrows the song, the ports, the engine, the buffer and the
// queue; it owns the thru notes.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "midi/input_settings.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/pi_mutex.h"
#include "midi/playback_engine.h"
#include "midi/record_buffer.h"
#include "song/song.h"

namespace melko {

// Posted for every channel message received while not recording: WParam the
// device's time stamp (ms), LParam the message. MimData goes to the main
// window (its input indicator); MimNoteData, for note-ons and note-offs
// only, to the registered note input window.
constexpr uint32_t MimData = 0x3C3;
constexpr uint32_t MimNoteData = 0x13C3;
// A message was dropped from a full record buffer: LParam the error code.
constexpr uint32_t RecordDropped = 0x23C3;

// Who owns the take.
enum InputSourceKind : int { kSourceNone = 0, kSourceMidi = 1, kSourceKeyboard = 2 };

constexpr size_t kMaxThruNotes = 1024;

class MidiInput {
 public:
  MidiInput(Song& song, MidiPorts& ports, PlaybackEngine& engine, RecordBuffer& buffer, NotifyQueue& notify);

  // Settings (UI thread; set them through ApplySettings). The callback reads
  // its own atomic copies of the thru mode and the derived tables.
  InputFilterSettings Filter;
  ThruSettings Thru;
  // Takes new settings: the thru notes are silenced with the old ones first,
  // then the tables are rebuilt and the send options go to the port table.
  void ApplySettings(const InputFilterSettings& filter, const ThruSettings& thru);
  // FilterMask and VelocityTable from Filter (at start, after OK, at every
  // playback start).
  void RebuildTables();
  uint8_t FilterMask(int nibble) const { return filterMask_[size_t(nibble & 15)].load(std::memory_order_relaxed); }
  uint8_t VelocityTable(int v) const { return velocityTable_[size_t(v & 127)].load(std::memory_order_relaxed); }

  // The input callback (the reader thread).
  void InputCallback(uint32_t msg, uint32_t timeMs);
  // A note of the computer keyboard for the take (UI thread): stored when
  // recording and the keyboard owns the take (or claims it now). False when
  // it was not stored.
  bool StoreFromKeyboard(uint32_t msg);

  // The take's source: reset by the recorder when a take starts and ends.
  std::atomic<int> InputSource{kSourceNone};
  // After the recording flag was cleared: returns once no callback is still
  // storing into the buffer (a callback that saw the flag set may be about
  // to), so the buffer can be read and its pages given back.
  void WaitForStores();
  // Claims the take for `source` when nobody has; true when `source` owns it.
  bool ClaimSource(int source);

  // DynamicTHRU target track (1..64).
  int ThruTrack() const { return thruTrack_.load(std::memory_order_relaxed); }
  // Sends a note-off for every note sounding on the thru output and forgets them.
  void ThruNotesOff();
  void SetThruTrack(int track);
  // With DynamicTHRU, the target follows `track`; true when it changed.
  bool FollowTrack(int track);
  size_t ThruNoteCount();

  // The thru display: caption and hint for the mode.
  std::string ThruCaption() const;
  std::string ThruHint() const;  // UTF-8 (the track name as displayed)

  // Whether a window takes note input (MimNoteData is posted only then).
  void SetNoteInputWindow(bool registered) { noteInput_.store(registered, std::memory_order_relaxed); }
  bool HasNoteInputWindow() const { return noteInput_.load(std::memory_order_relaxed); }

  // Messages that arrived, active sensing aside (the indicator), and the
  // messages a full buffer dropped in the current take.
  std::atomic<uint64_t> Received{0};
  std::atomic<uint64_t> Dropped{0};

 private:
  void Echo(uint32_t msg);
  void Store(uint32_t msg);
  // The device index the thru output goes to now, and the channel for DynamicTHRU.
  int ThruDeviceIndex(uint8_t& channel, bool& rewrite) const;

  Song& song_;
  MidiPorts& ports_;
  PlaybackEngine& engine_;
  RecordBuffer& buffer_;
  NotifyQueue& notify_;
  std::atomic<int> thruTrack_{1};
  std::atomic<bool> noteInput_{false};
  std::atomic<int> thruMode_{kThruOff};
  std::array<std::atomic<uint8_t>, 16> filterMask_{};
  std::array<std::atomic<uint8_t>, 128> velocityTable_{};
  std::atomic<int> storing_{0};  // callbacks inside the recording branch
  PiMutex thruLock_;  // guards thruNotes_ and thruCount_
  // Each entry: key in the second byte, channel in the low nibble, and the
  // device it sounds on in the high byte, so it ends where it sounded.
  std::array<uint32_t, kMaxThruNotes> thruNotes_{};
  size_t thruCount_ = 0;
};

}  // namespace melko
