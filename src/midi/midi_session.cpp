#include "midi/midi_session.h"

#include "midi/midi_settings.h"

namespace melko {

MidiSession::MidiSession(Song& song, const IniFile& settings, ErrorReporter report, LogSink* log)
    : settings_(settings), log_(log), timer_(clock_.OriginNs()) {
  backend_ = std::make_unique<SystemMidiBackend>(ReadSynthOptions(settings));
  const int64_t origin = clock_.OriginNs();
  ports_ = std::make_unique<MidiPorts>(
      *backend_, clock_, [origin] { return std::make_unique<ThreadTimer>(origin); }, std::move(report));
  engine_ = std::make_unique<PlaybackEngine>(song, *ports_, clock_, timer_, notify_, log);
  engine_->Options = ReadEngineOptions(settings);
}

MidiSession::~MidiSession() { Close(); }

void MidiSession::Open(const std::function<void(MidiPorts&)>& adjust) {
  ports_->InitPorts([&](MidiPorts& p) {
    ApplyPortSettings(settings_, p);
    if (adjust) adjust(p);
  });
  if (log_)
    for (const auto& line : backend_->TakeLog()) log_->Line(line);
}

void MidiSession::Close() {
  if (engine_) engine_->StopPlayback();
  if (ports_) ports_->ClosePorts();
}

void MidiSession::SaveSettings(IniFile& ini) const {
  WritePortSettings(ini, *ports_);
  WriteEngineOptions(ini, engine_->Options);
}

}  // namespace melko
