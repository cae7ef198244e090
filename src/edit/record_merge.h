// Turning a take into track events: for each record-armed track the entries
// of the record buffer are filtered by channel, kind, time and pad key,
// note-ons are paired with their note-offs into notes with a gate, times are
// made relative to the recorded span, and the result is laid into the track
// (pasted over the span, or mixed in with "OverDub") through clipboard
// track 0, as one range operation per track. Pairing walks the entries once
// per track (linear in the take), keeping for every key the first unused
// matching note-off after each note-on, in order.
// UI thread; the caller brackets the merge in the dispatcher's edit frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "midi/record_buffer.h"
#include "song/song.h"

namespace melko {

// The recording options, as kept in the second byte of EngineFlags.
constexpr uint32_t kRecPunch = 1u << 8;        // "Punch": only between EditFromTick and EditToTick
constexpr uint32_t kRecOverDub = 1u << 9;      // "OverDub": mix instead of replacing
constexpr uint32_t kRecSingle = 1u << 10;      // "Single": one armed track takes every channel
constexpr uint32_t kRecTrChFromMidi = 1u << 11;  // "TrCh<MIDI": with Single, the track's channel from the take
constexpr uint32_t kRecOptionMask = kRecPunch | kRecOverDub | kRecSingle | kRecTrChFromMidi;

struct RecordTake {
  const RecordEntry* Entries = nullptr;
  size_t Count = 0;
  int32_t StartTick = 0;     // where playback started (the engine's StartTick)
  int32_t StopTick = 0;      // PlayTick when recording stopped
  uint32_t Options = 0;      // kRec* bits
  int PreRange = 4;          // 1..24: notes up to timebase div PreRange early are kept
  uint32_t EditFromTick = 0; // the edit range, for "Punch"
  uint32_t EditToTick = 0;
  uint8_t Receive = 63;      // the receive filter ("Receive" bits) at the stop
};

struct RecordMergeResult {
  int32_t From = 0;        // start of the recorded span
  int32_t ClipLength = 0;  // its length (ticks)
  int TracksMerged = 0;    // armed tracks laid
  bool NoteOffStyleSet = false;  // a real note-off was paired: "Note Off [8n]" was switched on
};

// Builds track t's recording into clipboard track 0 (freed first); `from`
// is the start of the recorded span. Returns the channel (0..15) of the last
// entry that passed the channel, kind and time checks, or -1 when none did;
// `realNoteOff` is set when a note was ended by a real note-off (80..8F).
int BuildTrackRecording(Song& song, const RecordTake& take, int track, int32_t from, bool& realNoteOff);

// Lays the take into every armed track 1..64 (paste, or mix with OverDub),
// sets the channel of each with Single + TrCh<MIDI, switches the song's
// note-off style on when a real note-off was paired, and leaves the
// clipboard empty (ClipLength 0). The tracks' notices go through the song's
// notifier as the range operations send them, all in one notice. A span of
// length 0 or less (a take stopped during its count-in, a reversed punch
// range) or no armed track changes nothing, the clipboard included; a span
// reaching back before tick 0 starts at 0.
RecordMergeResult MergeRecording(Song& song, const RecordTake& take);

}  // namespace melko
