// Recording from a take file for the batch form: the engine runs on a
// virtual clock that a driver moves one millisecond at a time, firing the
// engine's timer and handing each message of the take to the input callback
// (or, for "kbd" lines, to the keyboard's way in) at exactly its
// millisecond, from the press of the record button (time 0) to its release.
// The waits inside playback's start and the recording's stop pass through
// the same driver, so nothing arrives out of time. No device sounds.
// UI thread (the batch run's only thread).
#pragma once

#include <memory>
#include <string>

#include "base/ini_file.h"
#include "base/log_sink.h"
#include "edit/edit_dispatcher.h"
#include "edit/recorder.h"
#include "edit/take_file.h"
#include "midi/engine_timer.h"
#include "midi/midi_input.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "midi/record_buffer.h"

namespace melko {

class BatchRecorder {
 public:
  BatchRecorder(Song& song, EditDispatcher& dispatcher, LogSink* log);
  ~BatchRecorder();

  // The settings as read from MELKO.INI: filter, thru, click.
  void ApplySettings(const IniFile& ini);
  // Presses the record button at `startTick`, plays the take, releases it.
  // Log lines (the recorder's and dropped messages) go to the log sink.
  RecordPress Record(const TakeFile& take, uint32_t startTick, const RecordSetup& setup, RecordMergeResult& result,
                     std::string& warning);

  // Of the last take, in milliseconds after the press: when the engine's
  // timer started (the count-in's first beat) and when the position reached
  // the recording's start (-1 when it never did).
  int64_t TimerStartMs() const { return timerStartMs_; }
  int64_t RecordStartMs() const { return recordStartMs_; }

  const Recorder& TheRecorder() const { return *recorder_; }
  MidiInput& Input() { return *input_; }
  RecordBuffer& Buffer() { return buffer_; }
  PlaybackEngine& Engine() { return *engine_; }

 private:
  class TakeClock;
  void Step();       // one millisecond: the timer, then what arrives then
  void Deliver();    // the take's messages due by now
  void DrainLog();

  Song& song_;
  LogSink* log_;
  std::unique_ptr<TakeClock> clock_;
  ManualTimer timer_;
  NotifyQueue notify_{4096};
  std::unique_ptr<MidiBackend> backend_;
  std::unique_ptr<MidiPorts> ports_;
  std::unique_ptr<PlaybackEngine> engine_;
  RecordBuffer buffer_;
  std::unique_ptr<MidiInput> input_;
  std::unique_ptr<Recorder> recorder_;
  const TakeFile* take_ = nullptr;
  size_t next_ = 0;
  uint64_t pressUs_ = 0;
  int64_t timerStartMs_ = -1, recordStartMs_ = -1;
};

}  // namespace melko
