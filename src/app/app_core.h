// The application object: it owns the song, the MIDI backend, the port table,
// the playback engine with its clock, timer and notification queue, and the
// log relay that reaches the log window. The real program builds it on the
// system backend; tests build it on a recording backend and a virtual clock.
// UI thread, except what the engine's timer thread reads (see the engine).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/log_sink.h"
#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_input.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "midi/record_buffer.h"
#include "song/song.h"

namespace melko {

// Forwards lines to a sink set later, keeping them until then.
class LogRelay : public LogSink {
 public:
  void Line(std::string_view text) override;
  void SetTarget(LogSink* target);

 private:
  LogSink* target_ = nullptr;
  std::vector<std::string> held_;
};

class AppCore {
 public:
  // `engineTimer` runs the playback callback; `timers` makes the audition timer.
  AppCore(std::unique_ptr<MidiBackend> backend, std::unique_ptr<Clock> clock,
          std::unique_ptr<EngineTimer> engineTimer, TimerFactory timers);
  ~AppCore();

  // The real thing: built-in synth and ALSA (or, with audio false, the synth
  // without a sound device and no ALSA, for the screenshot mode). The synth
  // loads its SoundFont in the background (see BuiltinSynth).
  static std::unique_ptr<AppCore> CreateSystem(const std::string& dataDir, bool audio);

  LogRelay Log;
  Song TheSong;
  // Device errors go here (the main window shows them in its error box).
  std::function<void(const std::string&)> ReportError;

  MidiBackend& Backend() { return *backend_; }
  Clock& TheClock() { return *clock_; }
  NotifyQueue& Notify() { return notify_; }
  MidiPorts& Ports() { return *ports_; }
  PlaybackEngine& Engine() { return *engine_; }
  // The record buffer, reserved with the core (the program's start).
  RecordBuffer& Buffer() { return buffer_; }
  MidiInput& Input() { return *input_; }
  // The shared note sender of the editors, the piano and the keyboard.
  TmMidiRelay& Relay() { return *relay_; }

 private:
  std::unique_ptr<MidiBackend> backend_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<EngineTimer> engineTimer_;
  NotifyQueue notify_;
  std::unique_ptr<MidiPorts> ports_;
  std::unique_ptr<PlaybackEngine> engine_;
  RecordBuffer buffer_;
  std::unique_ptr<MidiInput> input_;
  std::unique_ptr<TmMidiRelay> relay_;
};

}  // namespace melko
