// The playback engine: one player per track, the chase to the start position,
// and the periodic timer callback that turns elapsed time into ticks through
// the tempo map, sends due events and note-offs, loops, sends MIDI clock,
// sounds the guide click and reports beats, tempo changes and the end.
//
// Time is counted in microseconds with exact integer arithmetic, scaled so
// that at every whole millisecond the tick is the one the millisecond formula
// gives (elapsed ms × timebase × 1000, less the tempo for each tick). After
// each call the engine asks its timer to wake it when the next tick is due,
// so events leave at their tick's time rather than at the next millisecond.
//
// Threads: StartPlayback, StopPlayback, ReloadTrack, ApplyTrackSettings,
// UpdateSilent and the setters belong to the UI thread; TimerCallback runs on
// the timer's thread (or, with a ManualTimer, on whoever fires it). The
// playback lock guards the players, their pending note-offs and the engine's
// copy of the tempo map; PlayTick, PlayTime, CurrentTempo and EngineFlags are
// atomics written by one side and read by the other. The engine reads the
// song's track buffers only through the players' pointers, which change only
// under the lock (SwapTrack reaches ReloadTrack through the song's listener).
// Messages to the listener go through the NotifyQueue.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "base/log_sink.h"
#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/pi_mutex.h"
#include "song/song.h"
#include "song/tick_index.h"

namespace melko {

constexpr int kMaxPendingOffs = 64;

// EngineFlags bits.
constexpr uint32_t kFlagPlaying = 1u << 0;
constexpr uint32_t kFlagRecording = 1u << 1;
constexpr uint32_t kFlagLoop = 1u << 3;
constexpr uint32_t kFlagBeat = 1u << 4;
constexpr uint32_t kFlagClick = 1u << 5;

// Text of the stop notice after a failure inside the timer callback.
extern const char* const kEngineExceptionText;
// Text of the stop notice when an output device fails during playback.
extern const char* const kDeviceFailedText;

struct PendingOff {
  int32_t Tick = 0;
  uint32_t Message = 0;
};

struct TrackPlayer {
  const uint8_t* Start = nullptr;  // first byte of the track's data
  const uint8_t* End = nullptr;    // one past the last byte
  const uint8_t* Read = nullptr;   // body of the event at Tick (its delta already read)
  int32_t Tick = 0;
  const uint8_t* LoopRead = nullptr;
  int32_t LoopTick = 0;
  std::array<PendingOff, kMaxPendingOffs> PendingOffs{};
  int32_t PendingCount = 0;
  int32_t Track = 0;
  MidiOutDevice* Handle = nullptr;
  uint8_t Channel = 0;
  uint8_t PadKey = 255;
  int32_t Offset = 0;
};

// Settings the engine reads (sections "Sync" and "Click" of MELKO.INI).
struct EngineOptions {
  int32_t SongPosWait = 300;      // ms after the song position pointer
  int32_t TimingClockCount = 4;   // clocks of lead-in before the start
  uint8_t ClickNote = 56;         // guide click key
  bool ClickBeep = false;         // a system beep instead of the click note
  bool ClickRecOnly = false;      // click only while recording
};

class PlaybackEngine : public TrackSwapListener {
 public:
  PlaybackEngine(Song& song, MidiPorts& ports, Clock& clock, EngineTimer& timer, NotifyQueue& notify,
                 LogSink* log = nullptr);
  ~PlaybackEngine() override;

  EngineOptions Options;
  bool SyncOut = false;  // the "SyncOut" box: MIDI clock for the next run
  // Recording interplay (set by the recorder): true silences the note of
  // `track` at `tick`. Asked only while the recording flag is set.
  std::function<bool(int track, int32_t tick)> SilenceNote;

  // Shared state read by the views.
  std::atomic<int32_t> PlayTick{0};
  std::atomic<int32_t> PlayTime{0};
  std::atomic<int32_t> CurrentTempo{500000};
  std::atomic<uint32_t> EngineFlags{0};
  std::atomic<int32_t> MarkerIndex{0};
  std::array<std::atomic<uint8_t>, kSongTracks> Silent{};
  // Timer calls that found the playback lock taken and put their work off to
  // the next call (which catches up on the time that passed).
  std::atomic<uint64_t> DeferredCalls{0};

  // Engine state, meaningful while playing (written by the timer thread).
  int32_t StartTick = 0;
  int32_t EngineTick = 0;
  // Elapsed microseconds × TimeScale, less CurrentTempo × 1000 for each tick
  // taken: the millisecond accumulator × 1000, exact at every microsecond.
  int64_t TickAccumulator = 0;
  int32_t TimeScale = 480000;  // timebase × 1000
  // The clock at the last call: LastTimeUs exactly, LastTime as the
  // millisecond it falls in, counted at its end (so PlayTime reads as the
  // 1 ms timer would have shown it). PlayStartTime is a whole millisecond.
  uint64_t LastTimeUs = 0;
  uint32_t LastTime = 0;
  uint32_t PlayStartTime = 0;
  int32_t TempoIndex = 0;
  int32_t BeatLength = 480;
  int32_t NextBeatTick = 0;
  int32_t LoopBeatLength = 480;
  int32_t LoopBeginTick = 0;
  int32_t LoopEndTick = 1920;
  int32_t ClockInterval = 20;
  int32_t SppUnit = 120;
  bool ClockOn = false;
  int32_t NextClockTick = 0;
  bool ClockStartSent = false;
  uint8_t ClockStartMessage = 0xFA;
  bool TimerRunning = false;
  uint32_t TimerPeriod = 1;
  // Microseconds from the timer's start to the first tick: a little lead for
  // the devices when playing; 0 when rendering, where tick 0 is sample 0.
  uint32_t LeadUs = 10000;
  int32_t PlayerCount = 0;

  void SetFlag(uint32_t flag, bool on);
  bool Playing() const { return TimerRunning; }

  // Starts playing from currentTick (cut down to a sixteenth); with
  // countInBeats > 0 (recording) that many beats are counted in first.
  // `startRecording`, when given, runs right before the timer starts (the
  // recorder's start: it sets the recording flag). Returns false when
  // nothing was started (already running, empty song).
  bool StartPlayback(uint32_t currentTick, int countInBeats = 0, const std::function<void()>& startRecording = {});
  // Ends the periodic timer without the rest of a stop (recording's end:
  // StopPlayback follows after the merge).
  void KillTimer() { timer_.Stop(); }
  void Prepare(int32_t from);
  void StopPlayback();
  void SetTempoNow(uint32_t microseconds);
  void SendSongPosition(uint32_t tick);
  // A track's data was replaced; with newSettings its port, channel, pad key
  // and delay are taken anew as well.
  void ReloadTrack(int track, bool newSettings = false);
  void ApplyTrackSettings(int track);
  // Recomputes Silent from the song's Mute and Solo; tracks that became
  // silent while playing have their pending note-offs sent.
  void UpdateSilent();
  // After the song's tempo map was rebuilt (also when stopped).
  void TempoMapChanged();
  void TrackSwapped(int track) override { ReloadTrack(track, false); }

  // The periodic callback; false ends the timer. It never waits for the
  // playback lock: when the UI thread holds it, the call asks to be woken
  // again kDeferUs later and counts itself in DeferredCalls.
  bool TimerCallback();
  static constexpr uint64_t kDeferUs = 100;

  // Test and tool access to the players (take the lock around it).
  PiMutex& PlaybackLock() { return lock_; }
  const std::vector<TrackPlayer>& Players() const { return players_; }

 private:
  void TakeClockUnits();
  void SetupPlayer(TrackPlayer& p, int track, bool settings);
  void PositionPlayer(TrackPlayer& p, int32_t from);
  // The same through the track's index: a few steps, done under the lock.
  void PositionPlayerIndexed(TrackPlayer& p, const TickIndex& index, int32_t from);
  // ReloadTrack's work under the lock; for track 0 `tempo` is the rebuilt map.
  void ReloadTrackLocked(int track, bool newSettings, std::vector<TTempoEntry>& tempo);
  void Chase(TrackPlayer& p, int32_t from, int& counter);
  void ChaseSend(TrackPlayer& p, uint32_t msg, int& counter);
  void FlushNoteOffsLocked(TrackPlayer& p);
  void SendEvent(TrackPlayer& p, uint32_t msg);
  void PlayDueEvents(TrackPlayer& p, int32_t& pendingBeat);
  void TakeTempoAt(int32_t tick);
  void SendToSync(uint32_t msg);
  void Post(uint32_t message, int32_t wParam, uint32_t lParam, const char* text = nullptr) {
    notify_.Post(message, wParam, lParam, text);
  }

  Song& song_;
  MidiPorts& ports_;
  Clock& clock_;
  EngineTimer& timer_;
  NotifyQueue& notify_;
  LogSink* log_;

  PiMutex lock_;
  std::vector<TrackPlayer> players_;      // ascending track order, capacity for every track
  std::vector<TTempoEntry> tempo_;        // the engine's copy of the tempo map
  // Per track, built and read by the UI thread only (under the lock too).
  std::array<TickIndex, kSongTracks> indexes_;
  std::vector<uint8_t> sysexBuffer_;      // F0 + stored bytes of a system-exclusive event
  uint32_t tpqn_ = 480;
  bool noteOffStyle_ = false;
  uint8_t sendOptions_ = kSendSystemExclusive | kSendBankChange;
};

}  // namespace melko
