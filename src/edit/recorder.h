// Real-time recording as the record button runs it: the press (checks, the
// options into the engine's flags, the thru notes silenced, playback started
// with the count-in, and the take begun right before the timer), the notes
// of armed tracks that playback leaves out while recording, and the release
// (the last callbacks waited for, the timer stopped, the take merged into
// every armed track as one undoable edit, playback stopped). The window and
// the batch form (`melko --edit ... record=TAKE`) both go through here.
// UI thread. Borrows everything it is given; the song's clipboard is kept
// across the merge, which carries each track's take through it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/log_sink.h"
#include "edit/edit_dispatcher.h"
#include "edit/record_merge.h"
#include "midi/midi_input.h"
#include "midi/playback_engine.h"
#include "midi/record_buffer.h"
#include "song/song.h"

namespace melko {

extern const char* const kMsgNoRecordTrack;      // no armed track
extern const char* const kMsgSingleOneTrack;     // Single with more than one armed track
extern const char* const kMsgRecordNoMemory;     // the buffer was never reserved (+ error)
extern const char* const kMsgReserveFailed;      // the reservation failed at start (+ error)
extern const char* const kRecordUndoHint;        // "リアルタイム録音"

constexpr int kMaxCountIn = 16;
constexpr int kMinPreRange = 1, kMaxPreRange = 24;

struct RecordSetup {
  uint32_t Options = 0;  // kRecPunch, kRecOverDub, kRecSingle, kRecTrChFromMidi
  int CountIn = 4;       // beats, 0..16
  int PreRange = 4;      // 1..24 (shown as 4 × PreRange)
};

enum class RecordPress {
  kStarted,
  kPlaying,       // playback already runs: recording cannot join it
  kNoArmedTrack,  // the warning kMsgNoRecordTrack
  kNotStarted,    // playback did not start
};

// The log line of a message dropped from a full buffer.
std::string RecordDroppedLogLine(uint32_t error);
// "%08X" of an error code, as the messages show it.
std::string ErrorCodeText(uint32_t error);

// With Single, at most one track may be armed: when more are, every arm flag
// is cleared (announced) and false is returned (show kMsgSingleOneTrack).
bool CheckSingleArm(Song& song);

class Recorder {
 public:
  Recorder(Song& song, PlaybackEngine& engine, MidiInput& input, RecordBuffer& buffer, EditDispatcher& dispatcher,
           LogSink* log);
  // A take still running is abandoned (the engine's timer stops) and the
  // engine forgets this recorder.
  ~Recorder();

  // The record button went down; startTick is where playback starts (the
  // saved measure). Playback runs on the engine's timer afterwards.
  RecordPress Press(uint32_t startTick, const RecordSetup& setup);
  // The record button went up (or playback was stopped): the take is laid
  // into the armed tracks and playback stops. Returns what the merge did;
  // `warning` gets kMsgRecordNoMemory's text when there was no buffer.
  RecordMergeResult Release(std::string* warning = nullptr);
  bool Recording() const { return recording_; }
  // Entries the last take held, and the messages a full buffer dropped.
  size_t LastTakeEntries = 0;
  uint64_t LastTakeDropped = 0;

  // Waits the given milliseconds for the last input callbacks (the window
  // sleeps; the batch form runs its virtual clock through them).
  std::function<void(uint32_t ms)> Wait;
  // The thru target changed (Single makes the armed track the target).
  std::function<void()> ThruChanged;

 private:
  void StartRecording();
  bool Silenced(int track, int32_t tick) const;

  Song& song_;
  PlaybackEngine& engine_;
  MidiInput& input_;
  RecordBuffer& buffer_;
  EditDispatcher& dispatcher_;
  LogSink* log_;
  RecordSetup setup_;
  bool recording_ = false;
  std::atomic<int64_t> punchFrom_{0}, punchTo_{0};
};

}  // namespace melko
