// Fuzz harness of the batch form's take files: the bytes are a take file
// read as the command line reads it; when it reads, it is recorded into a
// small song with three armed tracks (options from the first byte) through
// the same recorder, input callback and merge as the record button. A take
// that would run for more than 20 seconds is only read.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "edit/edit_dispatcher.h"
#include "edit/record_batch.h"
#include "edit/take_file.h"
#include "song/smf_reader.h"

namespace {

using namespace melko;

class QuietUi : public EditUi {
 public:
  bool OpenToolDialog(int, ToolSettings&) override { return false; }
  bool OpenSetDialog(int, SetPositionValues&) override { return false; }
  void ShowMessage(const std::string&) override {}
};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TakeFile take;
  std::string why;
  if (!ParseTakeFile(text, take, why)) {
    Check(why.rfind("line ", 0) == 0);
    return 0;
  }
  for (size_t i = 1; i < take.Messages.size(); ++i) Check(take.Messages[i - 1].TimeMs <= take.Messages[i].TimeMs);
  if (take.ReleaseMs() > 20000 || take.Messages.size() > 4000) return 0;

  Song song;
  song.ClearSong();
  ApplySongLoaded(song);
  const uint8_t flags = size > 0 ? data[0] : 0;
  for (int t = 1; t <= 3; ++t) {
    song.Rec[size_t(t)] = 1;
    song.Ch[size_t(t)] = uint8_t(t - 1);
  }
  QuietUi ui;
  EditDispatcher dispatcher(song, ui);
  dispatcher.SongLoaded();
  dispatcher.Range.EditFromTick = 480;
  dispatcher.Range.EditToTick = 480u * uint32_t(1 + (flags >> 6));
  NullLog log;
  BatchRecorder recorder(song, dispatcher, &log);
  RecordSetup setup;
  setup.Options = uint32_t(flags & 0x0F) << 8;
  setup.CountIn = (flags >> 4) & 3;
  setup.PreRange = 1 + (flags & 7) * 3;
  RecordMergeResult result;
  std::string warning;
  RecordPress press = recorder.Record(take, 0, setup, result, warning);
  if (setup.Options & kRecSingle) {
    // More than one armed track with Single: the recorder still takes the
    // take; every track must stay readable either way.
  }
  Check(press == RecordPress::kStarted);
  Check(!recorder.Engine().Playing());
  Check(song.ClipLength == 0);
  Check(recorder.Buffer().Count() == 0);
  for (int t = 1; t <= 3; ++t) Check(song.Ch[size_t(t)] < 16);
  return 0;
}
