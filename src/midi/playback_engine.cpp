#include "midi/playback_engine.h"

#include <algorithm>
#include <climits>
#include <exception>

#include "midi/decode_short.h"
#include "song/midi_data.h"
#include "song/tick_index.h"

namespace melko {

namespace {
// Tick sums of damaged or absurdly long tracks stop at the largest tick
// instead of wrapping round to the past (where everything would fall due).
inline int32_t TickSum(int64_t a, int64_t b, int64_t c = 0) {
  return int32_t(std::clamp<int64_t>(a + b + c, INT32_MIN, INT32_MAX));
}
}  // namespace

const char* const kEngineExceptionText = "演奏ルーチンで例外が発生しました。";
const char* const kDeviceFailedText = "MIDI出力デバイスが応答しなくなったため、演奏を停止しました。";

PlaybackEngine::PlaybackEngine(Song& song, MidiPorts& ports, Clock& clock, EngineTimer& timer,
                               NotifyQueue& notify, LogSink* log)
    : song_(song), ports_(ports), clock_(clock), timer_(timer), notify_(notify), log_(log) {
  players_.reserve(kSongTracks);
  sysexBuffer_.reserve(65536 + 2);
  for (auto& s : Silent) s = 0;
  song_.Player = this;  // SwapTrack hands edits over through ReloadTrack
}

PlaybackEngine::~PlaybackEngine() {
  if (TimerRunning) timer_.Stop();
  if (song_.Player == this) song_.Player = nullptr;
}

void PlaybackEngine::SetFlag(uint32_t flag, bool on) {
  if (on) EngineFlags.fetch_or(flag);
  else EngineFlags.fetch_and(~flag);
}

void PlaybackEngine::TakeClockUnits() {
  tpqn_ = song_.TPQN == 0 ? 1 : song_.TPQN;
  // Below 24 ticks per quarter a clock would be 0 ticks long; keep it at one
  // tick so such songs play (their clock output runs fast, as it must).
  ClockInterval = std::max<int32_t>(1, int32_t(tpqn_ / 24));
  SppUnit = ClockInterval * 6;
}

void PlaybackEngine::SendToSync(uint32_t msg) { MidiPorts::SendShort(ports_.PortHandle(ports_.SyncPort), msg); }

void PlaybackEngine::SetupPlayer(TrackPlayer& p, int track, bool settings) {
  p.Track = track;
  if (settings) {
    p.Handle = ports_.PortHandle(song_.OutPort[track]);
    p.Channel = song_.Ch[track] & 0x0F;
    p.PadKey = song_.Pad[track];
    p.Offset = song_.Delay[track];
  }
  const TMidiData& data = song_.Tracks[track];
  p.Start = data.Top();
  p.End = data.Top() ? data.Top() + data.Length() : nullptr;
}

// Places LoopRead/LoopTick on the first event at or after the loop start and
// Read/Tick on the first event at or after `from`; both walks ignore the offset.
void PlaybackEngine::PositionPlayer(TrackPlayer& p, int32_t from) {
  auto seek = [&](int32_t target, const uint8_t*& read, int32_t& tick) {
    read = p.Start;
    tick = 0;
    while (read && read < p.End) {
      const uint8_t* body = read;
      uint32_t delta = ReadVarLen(body, p.End);
      if (TickSum(tick, delta) >= target) {
        tick = TickSum(tick, delta);
        read = body;
        return;
      }
      tick = TickSum(tick, delta);
      read = body;
      uint32_t m = DecodeShort(read, p.End, tpqn_);
      uint8_t st = m & 0xFF;
      if (st == 0x90) {
        if (read < p.End) ++read;
        ReadVarLen(read, p.End);
      } else if (st == 0xF0 || st == 0xF7) {
        uint32_t len;
        SkipExclusive(read, p.End, len);
      }
    }
    read = p.End;
  };
  seek(LoopBeginTick, p.LoopRead, p.LoopTick);
  seek(from, p.Read, p.Tick);
}

void PlaybackEngine::PositionPlayerIndexed(TrackPlayer& p, const TickIndex& index, int32_t from) {
  if (!p.Start) {
    p.Read = p.LoopRead = p.End;
    p.Tick = p.LoopTick = 0;
    return;
  }
  TickIndex::Position loop = TickIndex::SeekFrom(p.Start, p.End, index.Before(LoopBeginTick), LoopBeginTick);
  p.LoopRead = p.Start + loop.Body;
  p.LoopTick = loop.Tick;
  TickIndex::Position at = TickIndex::SeekFrom(p.Start, p.End, index.Before(from), from);
  p.Read = p.Start + at.Body;
  p.Tick = at.Tick;
}

void PlaybackEngine::UpdateSilent() {
  for (int t = 0; t < kSongTracks; ++t) {
    bool silent = (song_.Solo > 0 && t != song_.Solo) || (song_.Mute[t] && song_.Mute[0]);
    uint8_t was = Silent[t].exchange(silent ? 1 : 0);
    if (silent && !was && TimerRunning) {
      std::lock_guard<PiMutex> lock(lock_);
      for (auto& p : players_)
        if (p.Track == t) FlushNoteOffsLocked(p);
    }
  }
}

void PlaybackEngine::TakeTempoAt(int32_t tick) {
  // The last entry whose tick is <= tick, index 0 if none.
  int32_t index = 0;
  for (size_t i = 0; i < tempo_.size(); ++i)
    if (int64_t(tempo_[i].Tick) <= tick) index = int32_t(i);
  TempoIndex = index;
  CurrentTempo = tempo_.empty() ? 500000 : int32_t(std::max<uint32_t>(tempo_[index].Tempo, 1));
}

void PlaybackEngine::TempoMapChanged() {
  std::vector<TTempoEntry> tempo = song_.Maps.TempoMap;  // copied before the lock
  std::lock_guard<PiMutex> lock(lock_);
  tempo_.swap(tempo);
  TakeTempoAt(PlayTick);
}

void PlaybackEngine::SetTempoNow(uint32_t microseconds) {
  if (microseconds > 0) CurrentTempo = int32_t(std::min<uint32_t>(microseconds, 0x7FFFFFFF));
}

void PlaybackEngine::SendSongPosition(uint32_t tick) {
  if (!SyncOut) return;
  TakeClockUnits();
  uint32_t p = tick / uint32_t(SppUnit);
  SendToSync(ShortMsg(0xF2, p % 128, (p / 128) & 0x7F));
}

bool PlaybackEngine::StartPlayback(uint32_t currentTick, int countInBeats, const std::function<void()>& startRecording) {
  if (TimerRunning) return false;
  ports_.ReopenFailedDevices();
  // 1. Players for every track that has data.
  int last = song_.LastUsedTrack(0);
  {
    std::lock_guard<PiMutex> lock(lock_);
    players_.clear();
    for (int t = 0; t <= last; ++t) {
      if (!song_.Tracks[t].HasData()) continue;
      players_.emplace_back();
      SetupPlayer(players_.back(), t, true);
    }
    PlayerCount = int32_t(players_.size());
  }
  song_.Maps.BuildMarkerList(song_.Tracks[0]);
  if (players_.empty()) return false;
  // 2..3.
  MarkerIndex = 0;
  for (int d = 1; d <= ports_.OutDeviceCount; ++d) ports_.ChannelReset(d);
  // 4. Loop points, at least three quarter notes apart. They come from
  // FILEINFO.INI and may be anything: both are kept within the ticks the
  // engine counts, so no loop arithmetic below can overflow.
  TakeClockUnits();
  if (song_.LoopBeginTick > song_.LoopEndTick) std::swap(song_.LoopBeginTick, song_.LoopEndTick);
  const uint32_t minLoop = 3u * tpqn_, maxLoopTick = uint32_t(INT32_MAX);
  song_.LoopBeginTick = std::min(song_.LoopBeginTick, maxLoopTick - minLoop);
  song_.LoopEndTick = std::min(song_.LoopEndTick, maxLoopTick);
  if (song_.LoopEndTick - song_.LoopBeginTick < minLoop) song_.LoopEndTick = song_.LoopBeginTick + minLoop;
  LoopBeginTick = int32_t(song_.LoopBeginTick);
  LoopEndTick = int32_t(song_.LoopEndTick);
  // 6..9.
  StartTick = int32_t(currentTick / uint32_t(SppUnit) * uint32_t(SppUnit));
  BeatLength = int32_t(std::max<uint32_t>(song_.Maps.MeterAt(StartTick).TicksPerBeat, 1));
  int32_t countIn = countInBeats > 0 ? BeatLength * countInBeats : 0;
  PlayTick = StartTick - countIn;
  NextBeatTick = PlayTick - int32_t(song_.Maps.TickToMeasure(StartTick).Tick);
  // 10.
  if (log_) {
    log_->Line(Format("StartPos: %d", StartTick));
    log_->Line("--- START PLAYING!! ---");
  }
  noteOffStyle_ = song_.NoteOffStyle;
  sendOptions_ = ports_.SendOptions;
  UpdateSilent();
  // 11..13.
  Prepare(PlayTick);
  clock_.SleepMs(150);
  if (startRecording) startRecording();
  // Time counts from the start of the current millisecond, as the 1 ms timer
  // always did, so each whole millisecond of the clock gives the same tick.
  LastTimeUs = clock_.NowUs() / 1000 * 1000;
  LastTime = PlayStartTime = uint32_t(LastTimeUs / 1000);
  PlayTime = 0;
  SetFlag(kFlagPlaying, true);
  TimerRunning = true;
  timer_.Start(TimerPeriod, [this] { return TimerCallback(); });
  return true;
}

void PlaybackEngine::Prepare(int32_t from) {
  {
    std::lock_guard<PiMutex> lock(lock_);
    tempo_ = song_.Maps.TempoMap;
    TakeTempoAt(from);
  }
  Post(EngineNotify, kNotifyTempo, uint32_t(CurrentTempo.load()));
  TimeScale = int32_t(tpqn_) * 1000;
  TickAccumulator = -int64_t(LeadUs) * TimeScale;  // the lead before the first tick
  EngineTick = NextClockTick = from;
  if (LeadUs == 0) {
    // No lead (a render): the first call takes the start tick itself, so the
    // events at the start sound at the very moment the timer starts.
    TickAccumulator = int64_t(CurrentTempo.load()) * 1000;
    EngineTick = TickSum(from, -1);
    PlayTick = EngineTick;
  }
  LoopBeatLength = int32_t(std::max<uint32_t>(song_.Maps.MeterAt(std::max(LoopBeginTick, 0)).TicksPerBeat, 1));
  ClockOn = SyncOut;
  if (ClockOn) {
    uint32_t p = uint32_t(std::max(StartTick, 0)) / uint32_t(SppUnit);
    SendToSync(ShortMsg(0xF2, p % 128, (p / 128) & 0x7F));
    clock_.SleepMs(uint32_t(std::max(Options.SongPosWait, 0)));
    ClockStartSent = false;
    ClockStartMessage = p == 0 ? 0xFA : 0xFB;
    EngineTick -= ClockInterval * Options.TimingClockCount;
  }
  int counter = 0;
  for (auto& p : players_) Chase(p, from, counter);
  clock_.SleepMs(uint32_t(counter));
}

void PlaybackEngine::ChaseSend(TrackPlayer& p, uint32_t msg, int& counter) {
  if (msg == 0) return;
  msg |= p.Channel;
  MidiPorts::SendShort(p.Handle, msg);
  Post(EventSent, PlayTick, msg | uint32_t(p.Track) << 24);
  // Give the device time to digest a burst of controllers.
  if (++counter > 32) {
    clock_.SleepMs(uint32_t(counter));
    counter = 0;
  }
}

void PlaybackEngine::Chase(TrackPlayer& p, int32_t from, int& counter) {
  PositionPlayer(p, LoopBeginTick);  // sets the loop position (and a provisional read)
  std::array<uint32_t, 128> keyPressure{}, controllers{};
  uint32_t program = 0, pressure = 0, bend = 0;
  std::vector<uint32_t> params;
  const bool bank = sendOptions_ & kSendBankChange;

  p.Read = p.Start;
  p.Tick = 0;
  while (p.Read && p.Read < p.End) {
    p.Tick = TickSum(p.Tick, ReadVarLen(p.Read, p.End));
    if (TickSum(p.Tick, p.Offset) >= from) break;
    uint32_t m = DecodeShort(p.Read, p.End, tpqn_);
    uint8_t st = m & 0xFF, d1 = (m >> 8) & 0x7F;
    switch (st & 0xF0) {
      case 0x90:
        if (p.Read < p.End) ++p.Read;  // note-off velocity
        ReadVarLen(p.Read, p.End);     // gate
        break;
      case 0xA0: keyPressure[d1] = m; break;
      case 0xB0:
        switch (d1) {
          case 6: case 38: case 96: case 97: case 98: case 99: case 100: case 101:
            params.push_back(m);
            break;
          case 0: case 32:
            if (bank) controllers[d1] = m;
            break;
          default: controllers[d1] = m; break;
        }
        break;
      case 0xC0: program = m; break;
      case 0xD0: pressure = m; break;
      case 0xE0: bend = m; break;
      default:
        if (st == 0xF0 || st == 0xF7) {
          uint32_t len;
          SkipExclusive(p.Read, p.End, len);
        }
        break;
    }
    if (p.Read >= p.End) p.Read = p.End;
  }
  if (!p.Read) p.Read = p.End;

  for (int n = 127; n >= 120; --n) ChaseSend(p, controllers[n], counter);
  for (uint32_t m : params) ChaseSend(p, m, counter);
  for (int n = 102; n <= 119; ++n) ChaseSend(p, controllers[n], counter);
  for (int n = 64; n <= 95; ++n) ChaseSend(p, controllers[n], counter);
  for (int k = 0; k < 128; ++k) ChaseSend(p, keyPressure[k], counter);
  for (int n = 31; n >= 0; --n) {
    ChaseSend(p, controllers[n], counter);
    ChaseSend(p, controllers[n + 32], counter);
  }
  ChaseSend(p, program, counter);
  ChaseSend(p, pressure, counter);
  ChaseSend(p, bend, counter);
}

void PlaybackEngine::FlushNoteOffsLocked(TrackPlayer& p) {
  for (int i = 0; i < p.PendingCount; ++i) {
    MidiPorts::SendShort(p.Handle, p.PendingOffs[i].Message);
    Post(EventSent, PlayTick, p.PendingOffs[i].Message | uint32_t(p.Track) << 24);
  }
  p.PendingCount = 0;
}

void PlaybackEngine::StopPlayback() {
  if (!TimerRunning) return;
  timer_.Stop();
  TimerRunning = false;
  if (log_) log_->Line("--- STOP  PLAYING!! ---");
  if (ClockOn) SendToSync(0xFC);
  {
    std::lock_guard<PiMutex> lock(lock_);
    for (auto& p : players_) FlushNoteOffsLocked(p);
  }
  for (int d = 1; d <= ports_.OutDeviceCount; ++d) ports_.ChannelReset(d);
  SetFlag(kFlagPlaying, false);
  std::lock_guard<PiMutex> lock(lock_);
  players_.clear();
  PlayerCount = 0;
}

void PlaybackEngine::ReloadTrack(int track, bool newSettings) {
  if (!TimerRunning || track < 0 || track >= kSongTracks) return;
  std::vector<TTempoEntry> tempo;
  if (track == 0) {
    // Rebuilt here on the UI thread, handed over under the lock below.
    song_.Maps.BuildTempoMap(song_.Tracks[0], song_.TPQN);
    tempo = song_.Maps.TempoMap;
  }
  // The track's data is new: its index is built here, in the one pass over
  // the track, so that under the lock the player is placed in a few steps.
  indexes_[track].Build(song_.Tracks[track]);
  std::lock_guard<PiMutex> lock(lock_);
  ReloadTrackLocked(track, newSettings, tempo);
}

void PlaybackEngine::ReloadTrackLocked(int track, bool newSettings, std::vector<TTempoEntry>& tempo) {
  if (track == 0) {
    tempo_.swap(tempo);
    TakeTempoAt(PlayTick);
  }
  auto it = std::find_if(players_.begin(), players_.end(), [&](const TrackPlayer& p) { return p.Track == track; });
  if (it == players_.end()) {
    // A new player goes after the last player with a lower or equal track.
    auto pos = std::find_if(players_.begin(), players_.end(), [&](const TrackPlayer& p) { return p.Track > track; });
    it = players_.insert(pos, TrackPlayer{});
    SetupPlayer(*it, track, true);
    ++PlayerCount;
  } else {
    SetupPlayer(*it, track, newSettings);
  }
  PositionPlayerIndexed(*it, indexes_[track], PlayTick.load(std::memory_order_relaxed));
}

void PlaybackEngine::ApplyTrackSettings(int track) {
  if (!TimerRunning || track < 0 || track >= kSongTracks) return;
  std::vector<TTempoEntry> tempo;
  if (track == 0) {
    song_.Maps.BuildTempoMap(song_.Tracks[0], song_.TPQN);
    tempo = song_.Maps.TempoMap;
  }
  indexes_[track].Update(song_.Tracks[track]);
  // One hold of the lock: no callback may play the track on its old channel
  // between the reset and the new settings (its note-off would go to the new
  // place and the note would hang on the old one).
  std::lock_guard<PiMutex> lock(lock_);
  auto it = std::find_if(players_.begin(), players_.end(), [&](const TrackPlayer& p) { return p.Track == track; });
  if (it == players_.end()) return;
  MidiPorts::ChannelResetMessages(it->Handle, it->Channel);
  it->PendingCount = 0;
  ReloadTrackLocked(track, true, tempo);
}

void PlaybackEngine::SendEvent(TrackPlayer& p, uint32_t msg) {
  msg |= p.Channel;
  MidiPorts::SendShort(p.Handle, msg);
  Post(EventSent, PlayTick, msg | uint32_t(p.Track) << 24);
}

void PlaybackEngine::PlayDueEvents(TrackPlayer& p, int32_t& pendingBeat) {
  const int32_t playTick = PlayTick.load(std::memory_order_relaxed);
  const bool looping = EngineFlags.load(std::memory_order_relaxed) & kFlagLoop;
  while (p.Read < p.End && TickSum(p.Tick, p.Offset) <= playTick) {
    if (looping && p.Tick >= LoopEndTick) break;
    uint32_t m = DecodeShort(p.Read, p.End, tpqn_);
    uint8_t st = m & 0xFF;
    bool send = false;
    if (st == 0x90) {
      uint32_t key = (m >> 8) & 0x7F, velocity = (m >> 16) & 0x7F;
      if (p.PadKey <= 127) key = p.PadKey;
      uint32_t offVelocity = p.Read < p.End ? *p.Read++ & 0x7F : 0;
      uint32_t gate = ReadVarLen(p.Read, p.End);
      // The note keeps its length when the track is delayed: its note-off is
      // due gate ticks after the moment the note-on was due.
      int32_t offTick = TickSum(p.Tick, p.Offset, gate);
      uint32_t off = noteOffStyle_ ? ShortMsg(0x80 | p.Channel, key, offVelocity) : ShortMsg(0x90 | p.Channel, key, 0);
      bool silenced = false;
      if ((EngineFlags.load(std::memory_order_relaxed) & kFlagRecording) && SilenceNote && SilenceNote(p.Track, p.Tick)) {
        silenced = true;
        FlushNoteOffsLocked(p);
      }
      if (!silenced && !Silent[p.Track].load(std::memory_order_relaxed)) {
        if (p.PendingCount < kMaxPendingOffs) {
          int i = p.PendingCount;
          while (i > 0 && p.PendingOffs[i - 1].Tick > offTick) {
            p.PendingOffs[i] = p.PendingOffs[i - 1];
            --i;
          }
          p.PendingOffs[i] = PendingOff{offTick, off};
          ++p.PendingCount;
        }
        m = ShortMsg(0x90, key, velocity);
        send = true;
      }
    } else if (st == 0xB0) {
      uint32_t controller = (m >> 8) & 0x7F;
      send = (controller != 0 && controller != 32) || (sendOptions_ & kSendBankChange);
    } else if (st >= 0xA0 && st <= 0xEF) {
      send = true;
    } else if (st == 0xF0 || st == 0xF7) {
      uint32_t len;
      const uint8_t* data = SkipExclusive(p.Read, p.End, len);
      // Stored F7 pieces are passed over like F0 events, data and all.
      if (st == 0xF0 && (sendOptions_ & kSendSystemExclusive) && p.Handle) {
        sysexBuffer_.clear();
        sysexBuffer_.push_back(0xF0);
        // Sent whole, however long: a cut message would reach the device
        // without its F7. (The buffer holds the usual sizes without allocating.)
        sysexBuffer_.insert(sysexBuffer_.end(), data, data + len);
        MidiPorts::SendLong(p.Handle, sysexBuffer_.data(), sysexBuffer_.size());
      }
    } else if (st == kDecodedMeter) {
      pendingBeat = int32_t(m >> 8);
    }
    if (send) SendEvent(p, m);
    if (p.Read < p.End) p.Tick = TickSum(p.Tick, ReadVarLen(p.Read, p.End));
  }
}

bool PlaybackEngine::TimerCallback() {
  bool finishedAll = false;
  try {
    // The UI thread holds the lock only to exchange prepared state; should it
    // hold it now, this call's work waits for the next one, which takes the
    // time that passed meanwhile (nothing is lost, events are a little late).
    std::unique_lock<PiMutex> lock(lock_, std::try_to_lock);
    if (!lock.owns_lock()) {
      DeferredCalls.fetch_add(1, std::memory_order_relaxed);
      timer_.WakeAt(clock_.NowUs() + kDeferUs);
      return true;
    }
    const int32_t oldTick = PlayTick.load(std::memory_order_relaxed);
    int32_t finished = 0;
    // 2. Elapsed time into the accumulator.
    const uint64_t nowUs = clock_.NowUs();
    TickAccumulator += int64_t(nowUs - LastTimeUs) * TimeScale;
    LastTimeUs = nowUs;
    LastTime = uint32_t((nowUs + 999) / 1000);
    // 3. Whole ticks out of it.
    int32_t tempo = CurrentTempo.load(std::memory_order_relaxed);
    while (TickAccumulator >= int64_t(tempo) * 1000) {
      if (ClockOn) {
        if (EngineTick == NextClockTick) {
          SendToSync(0xF8);
          NextClockTick += ClockInterval;
        }
        if (!ClockStartSent && StartTick - ClockInterval == EngineTick) {
          SendToSync(ClockStartMessage);
          ClockStartSent = true;
        }
      }
      TickAccumulator -= int64_t(tempo) * 1000;
      EngineTick = TickSum(EngineTick, 1);
      while (TempoIndex < int32_t(tempo_.size()) && int64_t(tempo_[TempoIndex].Tick) <= EngineTick) {
        tempo = int32_t(std::max<uint32_t>(tempo_[TempoIndex].Tempo, 1));
        CurrentTempo.store(tempo, std::memory_order_relaxed);
        Post(EngineNotify, kNotifyTempo, uint32_t(tempo));
        ++TempoIndex;
      }
      tempo = CurrentTempo.load(std::memory_order_relaxed);  // SetTempoNow may have changed it
    }
    // 4.
    PlayTick.store(EngineTick, std::memory_order_relaxed);
    if (EngineTick != oldTick) {
      // 5.
      PlayTime.store(int32_t(LastTime - PlayStartTime), std::memory_order_relaxed);
      int32_t pendingBeat = BeatLength;
      // 6.
      for (auto& p : players_) {
        int32_t playTick = EngineTick;
        while (p.PendingCount > 0 && p.PendingOffs[0].Tick <= playTick) {
          MidiPorts::SendShort(p.Handle, p.PendingOffs[0].Message);
          Post(EventSent, playTick, p.PendingOffs[0].Message | uint32_t(p.Track) << 24);
          std::copy(p.PendingOffs.begin() + 1, p.PendingOffs.begin() + p.PendingCount, p.PendingOffs.begin());
          --p.PendingCount;
        }
        PlayDueEvents(p, pendingBeat);
        if ((!p.Read || p.Read >= p.End) && p.PendingCount == 0) ++finished;
      }
      const uint32_t flags = EngineFlags.load(std::memory_order_relaxed);
      // 7. Loop wrap.
      if ((flags & kFlagLoop) && EngineTick >= LoopEndTick) {
        for (auto& p : players_) {
          FlushNoteOffsLocked(p);
          p.Read = p.LoopRead;
          p.Tick = p.LoopTick;
        }
        const int64_t loopLength = int64_t(LoopEndTick) - LoopBeginTick;
        int32_t tick = TickSum(EngineTick, -loopLength);
        if (tick > LoopBeginTick + ClockInterval) tick = LoopBeginTick;
        NextBeatTick = tick;
        pendingBeat = LoopBeatLength;
        MarkerIndex = 0;
        TakeTempoAt(LoopBeginTick);
        EngineTick = tick;
        PlayTick.store(tick, std::memory_order_relaxed);
        Post(EngineNotify, kNotifyTempo, uint32_t(CurrentTempo.load()));
        NextClockTick = TickSum(NextClockTick, -loopLength);
        if (LoopBeginTick + ClockInterval < NextClockTick) NextClockTick = LoopBeginTick;
      }
      // 8. Beat.
      if (EngineTick >= NextBeatTick) {
        if (flags & kFlagBeat) Post(EngineNotify, kNotifyBeat, uint32_t(NextBeatTick));
        BeatLength = std::max<int32_t>(pendingBeat, 1);
        NextBeatTick += BeatLength;
        const bool recording = flags & kFlagRecording;
        if ((flags & kFlagClick) && (recording || !Options.ClickRecOnly)) {
          if (Options.ClickBeep) {
            Post(EngineNotify, kNotifyBeep, uint32_t(NextBeatTick - BeatLength));
          } else {
            MidiOutDevice* h = ports_.PortHandle(ports_.ClickPort);
            MidiPorts::SendShort(h, ShortMsg(0x99, Options.ClickNote, 0x7F));
            MidiPorts::SendShort(h, ShortMsg(0x99, Options.ClickNote, 0));
          }
        }
      }
      if (!((flags & (kFlagLoop | kFlagRecording)) || ClockOn) && finished == PlayerCount) finishedAll = true;
    }
    // The microsecond at which the next tick comes due at the current tempo
    // (a tempo set from outside meanwhile is picked up by the next period).
    const int64_t owed =
        std::max<int64_t>(int64_t(CurrentTempo.load(std::memory_order_relaxed)) * 1000 - TickAccumulator, 0);
    const uint64_t nextTickUs = LastTimeUs + uint64_t((owed + TimeScale - 1) / TimeScale);
    lock.unlock();
    // 10. The end of the song, or a device that gave up.
    if (finishedAll) {
      Post(EngineNotify, kNotifyStop, 0);
      return false;
    }
    if (ports_.AnyOutputFailed()) {
      Post(EngineNotify, kNotifyStop, 1, kDeviceFailedText);
      return false;
    }
    timer_.WakeAt(nextTickUs);
    return true;
  } catch (...) {
    Post(EngineNotify, kNotifyStop, 1, kEngineExceptionText);
    return false;
  }
}

}  // namespace melko
