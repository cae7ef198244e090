#include "edit/record_batch.h"

#include <vector>

#include "midi/clock.h"
#include "midi/midi_settings.h"
#include "midi/no_device_backend.h"

namespace melko {

// A virtual clock whose sleeps run the driver, millisecond by millisecond.
class BatchRecorder::TakeClock : public VirtualClock {
 public:
  explicit TakeClock(BatchRecorder& owner) : owner_(owner) {}
  void SleepMs(uint32_t ms) override {
    for (uint32_t i = 0; i < ms; ++i) owner_.Step();
  }

 private:
  BatchRecorder& owner_;
};

BatchRecorder::BatchRecorder(Song& song, EditDispatcher& dispatcher, LogSink* log) : song_(song), log_(log) {
  clock_ = std::make_unique<TakeClock>(*this);
  backend_ = std::make_unique<NoDeviceBackend>();
  ports_ = std::make_unique<MidiPorts>(*backend_, *clock_, [] { return std::make_unique<ManualTimer>(); },
                                       ErrorReporter{});
  ports_->InitPorts();
  engine_ = std::make_unique<PlaybackEngine>(song, *ports_, *clock_, timer_, notify_, log);
  // The engine starts its timer a little ahead of tick 0 for the devices;
  // here time is the take's own.
  engine_->LeadUs = 0;
  input_ = std::make_unique<MidiInput>(song, *ports_, *engine_, buffer_, notify_);
  ports_->InputCallback = [this](uint32_t msg, uint32_t t) { input_->InputCallback(msg, t); };
  recorder_ = std::make_unique<Recorder>(song, *engine_, *input_, buffer_, dispatcher, log);
  recorder_->Wait = [this](uint32_t ms) { clock_->SleepMs(ms); };
}

BatchRecorder::~BatchRecorder() {
  engine_->StopPlayback();
  ports_->ClosePorts();
}

void BatchRecorder::ApplySettings(const IniFile& ini) {
  input_->ApplySettings(ReadInputFilterSettings(ini), ReadThruSettings(ini));
  engine_->Options = ReadEngineOptions(ini);
}

void BatchRecorder::Step() {
  clock_->Advance(1);
  if (timer_.Active()) {
    const int64_t now = int64_t((clock_->NowUs() - pressUs_) / 1000);
    if (timerStartMs_ < 0) timerStartMs_ = int64_t(engine_->PlayStartTime) - int64_t(pressUs_ / 1000);
    timer_.Fire();
    if (recordStartMs_ < 0 && engine_->PlayTick.load() >= engine_->StartTick) recordStartMs_ = now;
  }
  Deliver();
}

void BatchRecorder::Deliver() {
  if (!take_) return;
  const uint64_t elapsedMs = (clock_->NowUs() - pressUs_) / 1000;
  while (next_ < take_->Messages.size() && take_->Messages[next_].TimeMs <= elapsedMs) {
    const TakeMessage& m = take_->Messages[next_++];
    if (m.Keyboard) input_->StoreFromKeyboard(m.Message);
    else if (ports_->InputCallback) ports_->InputCallback(m.Message, uint32_t(elapsedMs));
  }
  DrainLog();
}

void BatchRecorder::DrainLog() {
  std::vector<Notification> notes;
  notify_.Drain(notes);
  for (const Notification& n : notes)
    if (n.Message == RecordDropped && log_) log_->Line(RecordDroppedLogLine(n.LParam));
}

RecordPress BatchRecorder::Record(const TakeFile& take, uint32_t startTick, const RecordSetup& setup,
                                  RecordMergeResult& result, std::string& warning) {
  take_ = &take;
  next_ = 0;
  pressUs_ = clock_->NowUs();
  timerStartMs_ = recordStartMs_ = -1;
  Deliver();  // what arrives at millisecond 0
  RecordPress press = recorder_->Press(startTick, setup);
  if (press != RecordPress::kStarted) {
    take_ = nullptr;
    return press;
  }
  const uint32_t release = take.ReleaseMs();
  while ((clock_->NowUs() - pressUs_) / 1000 < release) Step();
  result = recorder_->Release(&warning);
  DrainLog();
  take_ = nullptr;
  return press;
}

}  // namespace melko
