#include "midi/midi_cli.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "base/ini_file.h"
#include "base/int_helpers.h"
#include "midi/clock.h"
#include "midi/engine_timer.h"
#include "midi/midi_ports.h"
#include "midi/midi_session.h"
#include "midi/midi_settings.h"
#include "midi/notify_queue.h"
#include "midi/offline_renderer.h"
#include "midi/playback_engine.h"
#include "midi/system_backend.h"
#include "midi/wav_writer.h"
#include "song/smf_reader.h"
#include "song/song_cli.h"

namespace melko {

namespace {

IniFile LoadSettings(const std::string& dataDir) {
  IniFile ini;
  ini.Load(dataDir + "/MELKO.INI");
  return ini;
}

void PrintTable(std::ostream& out, const char* title, const std::vector<std::string>& names) {
  out << title << "\n";
  for (size_t d = 0; d < names.size(); ++d) out << "  " << d << "  " << names[d] << "\n";
}

std::atomic<bool> gInterrupted{false};
void OnInterrupt(int) { gInterrupted = true; }

}  // namespace

bool IsPlayPosition(const std::string& text) {
  if (text.empty()) return false;
  int fields = 1;
  for (char c : text) {
    if (c == '/') ++fields;
    else if (c < '0' || c > '9') return false;
  }
  if (fields != 1 && fields != 3) return false;
  return text.front() != '/' && text.back() != '/' && text.find("//") == std::string::npos;
}

uint32_t PlayPositionTick(const SongMaps& maps, const std::string& text) {
  if (text.empty()) return 0;
  if (text.find('/') == std::string::npos) return LocTextToTick(maps, text + "/1/0", 0);
  return LocTextToTick(maps, text, 0);
}

int RunListDevices(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
                   std::ostream& err) {
  if (args.size() != 1) {
    err << "usage: melko --list-devices\n";
    return 2;
  }
  IniFile ini = LoadSettings(dataDir);
  SystemMidiBackend backend(ReadSynthOptions(ini));
  std::vector<std::string> outs{kNotInUse}, ins{kNotInUse};
  for (auto& n : backend.OutDeviceNames()) outs.push_back(n);
  for (auto& n : backend.InDeviceNames()) ins.push_back(n);
  PrintTable(out, "Output devices:", outs);
  PrintTable(out, "Input devices:", ins);
  if (!backend.HasAlsa()) out << "(no ALSA sequencer on this machine)\n";
  return 0;
}

int RunPlay(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
            std::ostream& err) {
  std::string file;
  std::string fromText;
  bool loop = false;
  std::vector<std::pair<int, int>> portOverrides;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--from" && i + 1 < args.size()) {
      fromText = args[++i];
      if (!IsPlayPosition(fromText)) {
        err << "--from needs a position as the range boxes show it: MEASURE or MEASURE/BEAT/TICK, "
               "the measure counted from 0 (e.g. 4 or 4/1/0)\n";
        return 2;
      }
    } else if (a == "--loop") {
      loop = true;
    } else if (a == "--port" && i + 1 < args.size()) {
      std::string v = args[++i];
      int64_t d;
      if (v.size() < 3 || v[1] != '=' || std::toupper(v[0]) < 'A' || std::toupper(v[0]) > 'D' ||
          !TryParseInt(v.substr(2), d) || d < 0) {
        err << "--port needs LETTER=INDEX, e.g. A=1\n";
        return 2;
      }
      portOverrides.emplace_back(std::toupper(v[0]) - 'A', int(d));
    } else if (file.empty() && !a.empty() && a[0] != '-') {
      file = a;
    } else {
      err << "usage: melko --play FILE [--from POSITION] [--loop] [--port A=INDEX ...]\n";
      return 2;
    }
  }
  if (file.empty()) {
    err << "usage: melko --play FILE [--from POSITION] [--loop] [--port A=INDEX ...]\n";
    return 2;
  }

  Song song;
  if (!OpenBatchSong(song, file, out, err)) return 1;
  StreamLog log(out);
  song.Log = &log;

  // Ctrl+C must reach this thread, not the audio or timer threads started
  // below, which inherit the blocked mask; it is unblocked once they run.
  sigset_t stopSignals, oldMask;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &oldMask);
  struct MaskGuard {
    sigset_t old;
    ~MaskGuard() { pthread_sigmask(SIG_SETMASK, &old, nullptr); }
  } maskGuard{oldMask};

  IniFile ini = LoadSettings(dataDir);
  MidiSession session(song, ini,
                      [&err](const std::string& text) {
                        std::string t;
                        for (char c : text)
                          if (c != '\r') t += c;
                        err << t << "\n";
                      },
                      &log);
  bool badPort = false;
  session.Open([&](MidiPorts& p) {
    for (auto [port, d] : portOverrides) {
      if (d > p.OutDeviceCount) {
        err << "--port: there is no output device " << d << " (see --list-devices)\n";
        badPort = true;
      } else {
        p.PortMap[port] = uint8_t(d);
      }
    }
  });
  if (badPort) return 2;
  MidiPorts& ports = session.Ports();
  for (int p = 0; p < kPortCount; ++p)
    if (ports.PortMap[p]) log.Line(Format("Port %c: %s", 'A' + p, ports.PortNames[p].c_str()));
  PlaybackEngine& engine = session.Engine();
  NotifyQueue& notify = session.Notify();
  uint32_t from = PlayPositionTick(song.Maps, fromText);
  if (loop) {
    song.LoopBeginTick = from;
    song.LoopEndTick = std::max<uint32_t>(uint32_t(song.MeasureEnd), from);
    engine.SetFlag(kFlagLoop, true);
  }

  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  struct sigaction oldInt {}, oldTerm {};
  sigaction(SIGINT, &sa, &oldInt);
  sigaction(SIGTERM, &sa, &oldTerm);
  gInterrupted = false;

  bool started = engine.StartPlayback(from);
  pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
  if (!started) {
    err << "The song has no events to play.\n";
    return 1;
  }
  int status = 0;
  std::vector<Notification> notes;
  int32_t lastShown = -1;
  bool running = true;
  while (running) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    notes.clear();
    notify.Drain(notes);
    for (const auto& n : notes) {
      if (n.Message == EngineNotify && n.WParam == kNotifyStop) {
        running = false;
        if (n.Text) {
          out << "\n";
          err << n.Text << "\n";
          status = 1;
        }
      }
    }
    if (gInterrupted) running = false;
    int32_t tick = engine.PlayTick;
    if (tick != lastShown || !running) {
      lastShown = tick;
      int32_t ms = engine.PlayTime;
      int32_t tempo = std::max<int32_t>(engine.CurrentTempo, 1);
      std::string loc = tick >= 0 ? LocText(song.Maps, uint32_t(tick)) : std::string("---/--/---");
      out << Format("\r%s  %7.2f BPM  %02d:%02d.%d ", loc.c_str(), 60000000.0 / tempo, ms / 60000, ms / 1000 % 60,
                    ms / 100 % 10)
          << std::flush;
    }
  }
  out << "\n";
  engine.StopPlayback();
  // Let the built-in synth's release tails ring out before it is closed.
  if (auto synth = session.Backend().Synth(); synth && !synth->AudioDriver().empty() && !gInterrupted)
    for (int i = 0; i < 60 && synth->ActiveVoices() > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  session.Close();
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  return gInterrupted ? 130 : status;
}

int RunRender(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
              std::ostream& err) {
  std::vector<std::string> files;
  std::string soundFont;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--soundfont" && i + 1 < args.size()) soundFont = args[++i];
    else if (!args[i].empty() && args[i][0] != '-') files.push_back(args[i]);
    else files.push_back("");  // unknown option: usage below
  }
  if (files.size() != 2 || files[0].empty() || files[1].empty()) {
    err << "usage: melko --render FILE OUT.wav [--soundfont SF2]\n";
    return 2;
  }
  Song song;
  if (!OpenBatchSong(song, files[0], out, err)) return 1;
  StreamLog log(out);
  song.Log = &log;

  IniFile ini = LoadSettings(dataDir);
  SynthOptions synthOptions = ReadSynthOptions(ini);
  if (!soundFont.empty()) synthOptions.SoundFont = soundFont;
  synthOptions.AudioOutput = false;
  RenderOptions options;
  synthOptions.SampleRate = options.SampleRate;
  options.Engine = ReadEngineOptions(ini);
  options.SendOptions = uint8_t(ini.ReadInteger("Filter", "Send", 3) & 3);
  std::string error;
  auto synth = BuiltinSynth::Create(synthOptions, error);
  if (!synth) {
    err << error << "\n";
    return 1;
  }
  log.Line("SoundFont: " + synth->SoundFont());
  WavWriter wav;
  if (!wav.Open(files[1], options.SampleRate)) {
    err << "The file " << files[1] << " could not be written.\n";
    return 1;
  }
  RenderStats stats;
  bool ok = RenderSong(song, *synth, options, [&](const int16_t* f, size_t n) { return wav.Write(f, n); }, stats,
                       error, &log);
  if (ok && !wav.Finish()) {
    ok = false;
    error = "The file " + files[1] + " could not be written.";
  }
  if (!ok) {
    err << error << "\n";
    return 1;
  }
  if (!stats.StopText.empty()) err << stats.StopText << "\n";
  double seconds = double(stats.Frames) / options.SampleRate;
  log.Line(Format("Rendered %.3f s of audio (song %.3f s) in %.3f s: %.1f x real time", seconds,
                  stats.SongMs / 1000.0, stats.WallSeconds,
                  stats.WallSeconds > 0 ? seconds / stats.WallSeconds : 0.0));
  return stats.StopText.empty() ? 0 : 1;
}

}  // namespace melko
