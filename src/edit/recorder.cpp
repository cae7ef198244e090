#include "edit/recorder.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace melko {

const char* const kMsgNoRecordTrack = "録音するトラックが指定されていません！";
const char* const kMsgSingleOneTrack = "Single録音で録音できるのは１トラックのみです！";
const char* const kMsgRecordNoMemory = "メモリが確保できませんでした!: ";
const char* const kMsgReserveFailed = "VirtualAlloc was Failed!: ";
const char* const kRecordUndoHint = "リアルタイム録音";

std::string ErrorCodeText(uint32_t error) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", unsigned(error));
  return text;
}

std::string RecordDroppedLogLine(uint32_t error) { return "<MidiInBuf> Alloc Error!: " + ErrorCodeText(error); }

bool CheckSingleArm(Song& song) {
  int armed = 0;
  for (int t = 1; t <= 64; ++t) armed += song.Rec[size_t(t)] ? 1 : 0;
  if (armed <= 1) return true;
  for (int t = 1; t <= 64; ++t) song.Rec[size_t(t)] = 0;
  song.Changes.NotifyTracks(kChangeTrackSettings, 1, 64);
  return false;
}

Recorder::Recorder(Song& song, PlaybackEngine& engine, MidiInput& input, RecordBuffer& buffer,
                   EditDispatcher& dispatcher, LogSink* log)
    : song_(song), engine_(engine), input_(input), buffer_(buffer), dispatcher_(dispatcher), log_(log) {}

Recorder::~Recorder() {
  if (recording_) {
    engine_.KillTimer();
    engine_.SetFlag(kFlagRecording, false);
    engine_.StopPlayback();
  }
  engine_.SilenceNote = nullptr;
}

bool Recorder::Silenced(int track, int32_t tick) const {
  if (track < 1 || track > 64 || !song_.Rec[size_t(track)]) return false;
  if (setup_.Options & kRecOverDub) return false;
  if (setup_.Options & kRecPunch)
    return tick >= punchFrom_.load(std::memory_order_relaxed) && tick < punchTo_.load(std::memory_order_relaxed);
  return tick >= engine_.StartTick;
}

RecordPress Recorder::Press(uint32_t startTick, const RecordSetup& setup) {
  if (engine_.Playing() || recording_) return RecordPress::kPlaying;
  bool armed = false;
  for (int t = 1; t <= 64; ++t) armed = armed || song_.Rec[size_t(t)];
  if (!armed) return RecordPress::kNoArmedTrack;
  setup_ = setup;
  setup_.CountIn = std::clamp(setup.CountIn, 0, kMaxCountIn);
  setup_.PreRange = std::clamp(setup.PreRange, kMinPreRange, kMaxPreRange);
  setup_.Options &= kRecOptionMask;
  const uint32_t flags = engine_.EngineFlags.load() & ~kRecOptionMask;
  engine_.EngineFlags.store(flags | setup_.Options);
  input_.ThruNotesOff();
  input_.RebuildTables();
  // The timer thread asks about the punch range; the boxes stay the UI's.
  punchFrom_.store(int64_t(dispatcher_.Range.EditFromTick));
  punchTo_.store(int64_t(dispatcher_.Range.EditToTick));
  engine_.SilenceNote = [this](int track, int32_t tick) { return Silenced(track, tick); };
  // A song without any event still records: the conductor gets its end.
  recording_ = true;
  if (!engine_.StartPlayback(startTick, setup_.CountIn, [this] { StartRecording(); })) {
    recording_ = false;
    engine_.SetFlag(kFlagRecording, false);
    input_.InputSource.store(kSourceNone);
    return RecordPress::kNotStarted;
  }
  return RecordPress::kStarted;
}

void Recorder::StartRecording() {
  if (log_) log_->Line("--- START Recording!! ---");
  if (setup_.Options & kRecSingle) {
    for (int t = 1; t <= 64; ++t)
      if (song_.Rec[size_t(t)]) input_.SetThruTrack(t);
    if (ThruChanged) ThruChanged();
  }
  buffer_.Reset();
  input_.InputSource.store(kSourceNone);
  input_.Dropped.store(0);
  engine_.SetFlag(kFlagRecording, true);
}

RecordMergeResult Recorder::Release(std::string* warning) {
  RecordMergeResult result;
  if (!recording_) return result;
  // 1. The last callbacks finish while the timer still runs.
  if (Wait) Wait(300);
  engine_.KillTimer();
  engine_.SetFlag(kFlagRecording, false);
  input_.WaitForStores();  // a message that saw the flag still set is in now
  recording_ = false;
  // 2..3.
  if (log_) log_->Line("--- STOP  Recording!! ---");
  if (!buffer_.Reserved()) {
    if (warning) *warning = kMsgRecordNoMemory + ErrorCodeText(buffer_.ReserveError());
    input_.InputSource.store(kSourceNone);
    engine_.StopPlayback();
    return result;
  }
  // 4..6: one edit frame over all the armed tracks. The user's clipboard
  // carries each track's take and is given back afterwards.
  SongNotifier::Batch batch(song_.Changes);
  dispatcher_.BeginEdit();
  RecordTake take;
  take.Entries = buffer_.Entries();
  take.Count = buffer_.Count();
  LastTakeEntries = take.Count;
  LastTakeDropped = input_.Dropped.load();
  take.StartTick = engine_.StartTick;
  take.StopTick = engine_.PlayTick.load();
  take.Options = setup_.Options;
  take.PreRange = setup_.PreRange;
  take.EditFromTick = dispatcher_.Range.EditFromTick;
  take.EditToTick = dispatcher_.Range.EditToTick;
  take.Receive = input_.Filter.Receive;
  std::array<TMidiData, kSongTracks> savedClipboard;
  std::swap(savedClipboard, song_.Clipboard);
  const uint32_t savedLength = song_.ClipLength;
  const uint8_t savedSpan = song_.ClipTrackSpan;
  song_.ClipLength = 0;
  result = MergeRecording(song_, take);
  std::swap(savedClipboard, song_.Clipboard);
  song_.ClipLength = savedLength;
  song_.ClipTrackSpan = savedSpan;
  // 7..8.
  if (log_) {
    log_->Line("FirstTick: 0");
    log_->Line("MidiInBufIndex: " + std::to_string(buffer_.Count()));
    log_->Line("MidiInBufSize: " + std::to_string(buffer_.Committed()));
  }
  buffer_.Decommit();
  // The next take, and the input meanwhile, belong to whoever plays first.
  input_.InputSource.store(kSourceNone);
  engine_.StopPlayback();
  // A take that laid nothing (stopped during the count-in) keeps the last undo.
  if (result.TracksMerged > 0) dispatcher_.FinishEdit(kRecordUndoHint);
  else dispatcher_.CancelEdit();
  return result;
}

}  // namespace melko
