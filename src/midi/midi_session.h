// The program's MIDI side in one object, wired as the program runs it: the
// steady millisecond clock, the engine's timer thread, the notification
// queue, the real devices (built-in synth and ALSA), the port table and the
// playback engine for one song. The application and the command line each
// own one. UI thread; the engine's own threads are described in its header.
#pragma once

#include <functional>
#include <memory>

#include "base/ini_file.h"
#include "base/log_sink.h"
#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_ports.h"
#include "midi/notify_queue.h"
#include "midi/playback_engine.h"
#include "midi/system_backend.h"
#include "song/song.h"

namespace melko {

class MidiSession {
 public:
  // `report` shows device errors; `log` gets the log lines (engine start and
  // stop, the synth's audio output).
  MidiSession(Song& song, const IniFile& settings, ErrorReporter report, LogSink* log);
  ~MidiSession();

  // Reads the device lists and opens the ports from the settings; `adjust`
  // may change the choices afterwards (e.g. command-line overrides).
  void Open(const std::function<void(MidiPorts&)>& adjust = {});
  // Stops playback and closes every device.
  void Close();
  void SaveSettings(IniFile& ini) const;

  SteadyClock& Clock() { return clock_; }
  NotifyQueue& Notify() { return notify_; }
  SystemMidiBackend& Backend() { return *backend_; }
  MidiPorts& Ports() { return *ports_; }
  PlaybackEngine& Engine() { return *engine_; }

 private:
  const IniFile& settings_;
  LogSink* log_;
  SteadyClock clock_;
  ThreadTimer timer_;
  NotifyQueue notify_;
  std::unique_ptr<SystemMidiBackend> backend_;
  std::unique_ptr<MidiPorts> ports_;
  std::unique_ptr<PlaybackEngine> engine_;
};

}  // namespace melko
