#include "app/app_core.h"

#include "base/ini_file.h"
#include "midi/midi_settings.h"
#include "midi/system_backend.h"

namespace melko {

void LogRelay::Line(std::string_view text) {
  if (target_) {
    target_->Line(text);
  } else if (held_.size() < 10000) {
    held_.emplace_back(text);
  }
}

void LogRelay::SetTarget(LogSink* target) {
  target_ = target;
  if (!target_) return;
  for (const auto& line : held_) target_->Line(line);
  held_.clear();
}

AppCore::AppCore(std::unique_ptr<MidiBackend> backend, std::unique_ptr<Clock> clock,
                 std::unique_ptr<EngineTimer> engineTimer, TimerFactory timers)
    : backend_(std::move(backend)), clock_(std::move(clock)), engineTimer_(std::move(engineTimer)) {
  ports_ = std::make_unique<MidiPorts>(*backend_, *clock_, std::move(timers), [this](const std::string& text) {
    if (ReportError) ReportError(text);
    else Log.Line(text);
  });
  engine_ = std::make_unique<PlaybackEngine>(TheSong, *ports_, *clock_, *engineTimer_, notify_, &Log);
  input_ = std::make_unique<MidiInput>(TheSong, *ports_, *engine_, buffer_, notify_);
  // Set before any input device opens; the readers are joined before it goes.
  ports_->InputCallback = [input = input_.get()](uint32_t msg, uint32_t timeMs) { input->InputCallback(msg, timeMs); };
  relay_ = std::make_unique<TmMidiRelay>(*ports_);
  TheSong.Log = &Log;
  TheSong.Player = engine_.get();
}

AppCore::~AppCore() {
  engine_->StopPlayback();
  ports_->ClosePorts();  // no input callback runs after this
  TheSong.Player = nullptr;
  TheSong.Log = nullptr;
}

std::unique_ptr<AppCore> AppCore::CreateSystem(const std::string& dataDir, bool audio) {
  IniFile ini;
  ini.Load(dataDir + "MELKO.INI");
  SynthOptions options = ReadSynthOptions(ini);
  options.AudioOutput = audio;
  // The window does not wait for the SoundFont: the synth joins when ready.
  options.LoadInBackground = true;
  auto clock = std::make_unique<SteadyClock>();
  int64_t origin = clock->OriginNs();
  auto timer = std::make_unique<ThreadTimer>(origin);
  return std::make_unique<AppCore>(std::make_unique<SystemMidiBackend>(options, audio), std::move(clock),
                                   std::move(timer), [origin] { return std::make_unique<ThreadTimer>(origin); });
}

}  // namespace melko
