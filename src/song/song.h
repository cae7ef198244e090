// Song: the one open song (tracks 0..64), the optional ExTrack (65..129), the
// program's clipboard and undo shadows, the per-track settings, and the maps
// derived from the conductor track.
//
// The song is owned by the UI thread; tests make as many as they like. The
// playback thread reads `Tracks`, the settings and the maps while a song plays;
// the only hand-over is SwapTrack, which tells the `Player` listener (it takes
// its own lock). Everything else here is unlocked.
//
// Every change is announced through `Changes` (see song_notifier.h): SwapTrack
// and the in-place writes here do it themselves and raise the track's
// revision; code that writes settings or tracks directly announces what it
// wrote (TrackDataChanged for in-place writes to a track's bytes).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "base/log_sink.h"
#include "song/midi_data.h"
#include "song/midi_event.h"
#include "song/song_maps.h"
#include "song/song_notifier.h"

namespace melko {

constexpr int kSongTracks = 65;     // 0 conductor, 1..64 music
constexpr int kExTrackBase = 65;    // ExTrack conductor
constexpr int kAllTracks = 130;     // song and ExTrack
constexpr uint32_t kNoPatch = 0xFFFFFF;
constexpr uint8_t kNoPad = 255;
static_assert(kAllTracks == kNoticeTracks, "a notice names every track");

// Told when a track buffer was exchanged, so a running player picks it up.
class TrackSwapListener {
 public:
  virtual ~TrackSwapListener() = default;
  virtual void TrackSwapped(int track) = 0;
};

// Asks the user a question; the batch modes answer on their own.
class SongPrompt {
 public:
  virtual ~SongPrompt() = default;
  virtual void ShowError(const std::string& text) = 0;
  virtual bool AskYesNo(const std::string& text) = 0;
};

// Settings that change how songs are read, written and reset.
struct SongOptions {
  uint16_t DefaultTPQN = 480;      // "TPQN"
  bool TPQNFixed = false;          // "TPQN固定"
  uint8_t DefaultPort = 0;         // port given to tracks by default
  bool TrackName1 = false;         // "TrackName[1]": FF 01 may name a track
  bool ReadPortEvents = false;     // "ポートイベント読込"
  bool SavePortEvents = false;     // "ポートイベント保存"
  std::array<std::string, 4> PortInstrument{"GM", "GM", "GM", "GM"};
};

class Song {
 public:
  Song();

  // Track buffers and their companions.
  std::array<TMidiData, kAllTracks> Tracks;
  std::array<TMidiData, kSongTracks + 1> ShadowTracks;
  std::array<TMidiData, kSongTracks> Clipboard;
  uint32_t ClipLength = 0;   // 0 = the clipboard is empty
  uint8_t ClipTrackSpan = 0;
  std::array<uint8_t, kSongTracks + 1> UndoFlags{};
  std::array<std::string, kAllTracks> TrackNames;  // raw bytes; [0] is the song title
  std::array<uint32_t, kAllTracks> TrackEnds{};

  // Track settings (0..64).
  std::array<uint8_t, kSongTracks> Mute{};
  std::array<uint8_t, kSongTracks> Rec{};
  std::array<uint8_t, kSongTracks> Ch{};
  std::array<std::string, kSongTracks> Instrument;
  std::array<uint32_t, kSongTracks> ProgramChange{};
  std::array<uint8_t, kSongTracks> Pad{};
  std::array<int32_t, kSongTracks> Delay{};
  std::array<uint8_t, kSongTracks> OutPort{};
  std::array<uint8_t, kSongTracks> Clef{};
  std::array<uint8_t, kSongTracks> KanaOctave{};
  std::array<uint8_t, kSongTracks> KanaTranspose{};
  uint8_t Solo = 0;

  // Song values.
  uint16_t TPQN = 480;
  uint16_t SongFormat = 1;
  std::string Copyright;  // raw bytes
  int32_t MeasureEnd = 0;
  uint16_t DrumChannels = 512;
  bool SongSaved = true;
  bool NoteOffStyle = false;  // "Note Off [8n]"
  uint8_t LastTrack = 0;
  uint8_t ExLastTrack = kExTrackBase;
  uint32_t LoopBeginTick = 0;
  uint32_t LoopEndTick = 1920;
  // Set by the reader for the refresh that follows a load; UINT32_MAX otherwise.
  uint32_t LoadedLastTick = UINT32_MAX;

  SongMaps Maps;
  SongOptions Options;

  // Known instrument definition names (an FF 04 naming one sets Instrument).
  std::function<bool(const std::string&)> IsKnownInstrument;
  TrackSwapListener* Player = nullptr;
  LogSink* Log = nullptr;
  // Where every change is announced (UI thread).
  SongNotifier Changes;

  void LogLine(const std::string& text) {
    if (Log) Log->Line(text);
  }

  // Empties the song (tracks 0..64, clipboard, shadows, settings); the ExTrack stays.
  void ClearSong();
  // Frees tracks 65..129 and their names and ends.
  void ClearExTrack();
  // Resets the settings of one track row to the defaults.
  void ResetTrackSettings(int t);

  // Commits the version built in ShadowTracks[t] (t in 0..65).
  void SwapTrack(int t);
  // A number that changes whenever track t's events do (SwapTrack, every
  // in-place write, a clear or a load); a view that drew revision r of a
  // track is current while TrackRevision(t) == r. Never repeats in a song.
  uint64_t TrackRevision(int t) const { return revisions_[static_cast<size_t>(t)]; }
  // After writing track t's bytes in place: raises its revision, announces it.
  void TrackDataChanged(int t);
  // After a new song or a load is complete: raises every revision and
  // announces the whole song.
  void SongReplaced();
  // Highest t in base..base+64 that was ever written or has a name; base if none.
  int LastUsedTrack(int base) const;

  // Inserts one event at its tick (ev.Time) into track t: before the track's
  // events of that tick when `first`, else after them. Empties the clipboard.
  void InsertEvent(int t, const TMidiEvent& ev, bool first);

  // The first bank select and program change before the first note.
  void GetTrackPatch(int t);
  void SetTrackPatch(int t, uint8_t msb, uint8_t lsb, uint8_t program);

  // The first tempo, meter and key of the conductor track, changed in place or
  // inserted at tick 0.
  uint32_t GetSongTempo() const;
  void SetSongTempo(uint32_t bpm);
  void SetSongMeter(uint32_t value);
  void SetSongKey(uint32_t value);

  void RebuildMaps();
  uint32_t MaxGate() const { return melko::MaxGate(TPQN); }

  // Start of the measure after the last event of track t; raises MeasureEnd.
  uint32_t MeasureTrack(int t);

  bool IsDrumChannel(int ch) const { return ch >= 0 && ch < 16 && (DrumChannels >> ch) & 1; }

 private:
  // Walks track t to the first event matching `match` (stopping early when
  // `stop` says so) and returns a writable pointer to its payload, or null.
  uint8_t* FindConductorMeta(uint8_t type, bool stopAtNote);
  void InsertConductorMeta(uint8_t type, uint32_t value, int bytes, bool first);
  void RaiseRevision(int t) { revisions_[static_cast<size_t>(t)] = ++lastRevision_; }

  std::array<uint64_t, kAllTracks> revisions_{};
  uint64_t lastRevision_ = 0;
};

}  // namespace melko
