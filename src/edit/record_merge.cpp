#include "edit/record_merge.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "edit/range_ops.h"
#include "midi/input_settings.h"

namespace melko {

namespace {

constexpr int kKeys = 128;
constexpr int kBuckets = kKeys * 16;  // one per key and channel

uint8_t StatusOf(uint32_t m) { return static_cast<uint8_t>(m & 0xFF); }
// Data bytes are taken as 7-bit values: a stray high bit would otherwise be
// stored as a status byte and break the track's stream.
uint8_t Data1Of(uint32_t m) { return static_cast<uint8_t>((m >> 8) & 0x7F); }
uint8_t Data2Of(uint32_t m) { return static_cast<uint8_t>((m >> 16) & 0x7F); }

// Whether an entry may end a note of its key and channel: a note-off, or a
// note-on of velocity 0.
bool EndsNote(uint32_t m) {
  const uint8_t kind = StatusOf(m) & 0xF0;
  return kind == 0x80 || (kind == 0x90 && Data2Of(m) == 0);
}

// The entries that can end a note, listed per key and channel in take order
// (one counting pass, one filling pass). A note-on looks for its end only in
// its own list, through a cursor that never moves back, so pairing every note
// of a take costs one walk however the notes overlap or go unanswered.
class NoteEnds {
 public:
  NoteEnds(const RecordEntry* entries, size_t count) : first_(kBuckets + 1, 0) {
    for (size_t i = 0; i < count; ++i) {
      if (EndsNote(entries[i].Message)) ++first_[Bucket(entries[i].Message) + 1];
    }
    for (int b = 0; b < kBuckets; ++b) first_[b + 1] += first_[b];
    index_.resize(first_[kBuckets]);
    std::vector<size_t> fill(first_.begin(), first_.end() - 1);
    for (size_t i = 0; i < count; ++i) {
      if (EndsNote(entries[i].Message)) index_[fill[Bucket(entries[i].Message)]++] = i;
    }
  }

  static int Bucket(uint32_t m) { return Data1Of(m) * 16 + (StatusOf(m) & 0x0F); }

  // The walk of one track: a cursor per list, and per key the index of the
  // entry last used as an end (shared by the channels, as the take is one
  // stream of keys).
  class Walk {
   public:
    explicit Walk(const NoteEnds& ends) : ends_(ends), cursor_(ends.first_.begin(), ends.first_.end() - 1) {
      lastUsed_.fill(0);
    }
    // The first end of key/channel `bucket` after entry i and after the last
    // end used for `key`; it is then used. False when there is none.
    // The bound max(i, lastUsed) only grows for a list, since i grows along
    // the walk and lastUsed only moves on, so the cursor never has to step back.
    bool Take(int bucket, int key, size_t i, size_t& j) {
      const size_t bound = std::max(i, lastUsed_[key]);
      size_t& c = cursor_[bucket];
      const size_t end = ends_.first_[bucket + 1];
      while (c < end && ends_.index_[c] <= bound) ++c;
      if (c == end) return false;
      j = ends_.index_[c];
      lastUsed_[key] = j;
      return true;
    }

   private:
    const NoteEnds& ends_;
    std::vector<size_t> cursor_;
    std::array<size_t, kKeys> lastUsed_;
  };

 private:
  std::vector<size_t> first_;  // list b is index_[first_[b]] .. index_[first_[b + 1]]
  std::vector<size_t> index_;
};

// Which status nibbles (8..E) the receive filter lets through.
std::array<bool, 16> ReceivedKinds(uint8_t receive) {
  std::array<bool, 16> r{};
  r[0x8] = r[0x9] = (receive & kReceiveNote) != 0;
  r[0xA] = (receive & kReceiveKeyPressure) != 0;
  r[0xB] = (receive & kReceiveControl) != 0;
  r[0xC] = (receive & kReceiveProgram) != 0;
  r[0xD] = (receive & kReceiveChannelPressure) != 0;
  r[0xE] = (receive & kReceivePitchBend) != 0;
  return r;
}

uint32_t ClampToU32(int64_t v) {
  if (v < 0) return 0;
  if (v > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(v);
}

int Build(Song& song, const RecordTake& take, int track, int64_t from, const NoteEnds& ends, bool& realNoteOff) {
  TMidiData& clip = song.Clipboard[0];
  clip.Free();
  realNoteOff = false;
  if (track < 1 || track >= kSongTracks || !take.Entries) return -1;

  const bool single = (take.Options & kRecSingle) != 0;
  const bool punch = (take.Options & kRecPunch) != 0;
  const std::array<bool, 16> received = ReceivedKinds(take.Receive);
  const int preRange = std::clamp(take.PreRange, 1, 24);
  const int64_t earliest = from - song.TPQN / preRange;
  const int64_t punchEnd = punch ? int64_t(take.EditToTick) : std::numeric_limits<int64_t>::max();
  const uint8_t channel = song.Ch[track];
  const uint8_t pad = song.Pad[track];
  const uint32_t maxGate = song.MaxGate();

  NoteEnds::Walk walk(ends);
  int lastChannel = -1;
  uint32_t lastTick = 0;
  for (size_t i = 0; i < take.Count; ++i) {
    const RecordEntry& e = take.Entries[i];
    const uint8_t status = StatusOf(e.Message);
    if (status < 0x80 || status >= 0xF0) continue;  // only channel messages are recorded
    const int ch = status & 0x0F;
    const uint8_t kind = status & 0xF0;
    if (!single && ch != channel) continue;
    if (!received[kind >> 4]) continue;
    if (e.Tick < earliest || e.Tick >= punchEnd) continue;
    lastChannel = ch;

    TMidiEvent ev;
    ev.Data1 = Data1Of(e.Message);
    ev.Data2 = Data2Of(e.Message);
    if (kind == 0x80) continue;
    if (kind == 0x90) {
      if (ev.Data2 == 0) continue;
      if (pad <= 127 && ev.Data1 != pad) continue;
      size_t j;
      int64_t gate;
      ev.Data3 = 64;
      if (walk.Take(NoteEnds::Bucket(e.Message), ev.Data1, i, j)) {
        const RecordEntry& off = take.Entries[j];
        gate = int64_t(off.Tick) - e.Tick;
        if ((StatusOf(off.Message) & 0xF0) == 0x80) {
          ev.Data3 = Data2Of(off.Message);
          realNoteOff = true;
        }
      } else {
        gate = int64_t(take.StopTick) - e.Tick;
      }
      ev.Status = 0x90;
      ev.Value = ClampToU32(gate);  // EncodeEvent keeps it within 1..maxGate
    } else {
      ev.Status = kind;  // the track's channel applies at playback
    }
    ev.Time = std::min(ClampToU32(int64_t(e.Tick) - from), kTrackEndTick - 1);
    EncodeEvent(clip, ev, lastTick, 0, maxGate);
  }
  return lastChannel;
}

}  // namespace

int BuildTrackRecording(Song& song, const RecordTake& take, int track, int32_t from, bool& realNoteOff) {
  const NoteEnds ends(take.Entries, take.Entries ? take.Count : 0);
  return Build(song, take, track, from, ends, realNoteOff);
}

RecordMergeResult MergeRecording(Song& song, const RecordTake& take) {
  RecordMergeResult result;
  int64_t from, length;
  if (take.Options & kRecPunch) {
    from = take.EditFromTick;
    length = int64_t(take.EditToTick) - int64_t(take.EditFromTick);
  } else {
    from = take.StartTick;
    length = int64_t(take.StopTick) - int64_t(take.StartTick);
  }
  // There is no song before tick 0: a span reaching back there is cut at it.
  if (from < 0) {
    length += from;
    from = 0;
  }
  result.From = static_cast<int32_t>(std::min<int64_t>(from, std::numeric_limits<int32_t>::max()));
  // A take stopped before it started (during the count-in), or a reversed
  // punch range, records nothing; laying it would mean a clipboard of length
  // 0 (or a negative one read as huge), so the tracks and the clipboard are
  // left as they are.
  if (length <= 0) return result;
  result.ClipLength = static_cast<int32_t>(std::min<int64_t>(length, std::numeric_limits<int32_t>::max()));

  bool anyArmed = false;
  for (int t = kFirstEditTrack; t <= kLastEditTrack; ++t) anyArmed |= song.Rec[t] != 0;
  if (!anyArmed) return result;

  // The tracks' swaps and the settings below reach the views as one notice.
  SongNotifier::Batch batch(song.Changes);
  const NoteEnds ends(take.Entries, take.Entries ? take.Count : 0);
  const bool takeChannel = (take.Options & kRecSingle) && (take.Options & kRecTrChFromMidi);
  bool realNoteOff = false;
  for (int t = kFirstEditTrack; t <= kLastEditTrack; ++t) {
    if (!song.Rec[t]) continue;
    bool trackNoteOff = false;
    const int ch = Build(song, take, t, from, ends, trackNoteOff);
    realNoteOff |= trackNoteOff;
    song.ClipLength = static_cast<uint32_t>(length);
    song.ClipTrackSpan = 0;
    TEditRange range;
    range.EditFromTrack = range.EditToTrack = t;
    range.EditFromTick = static_cast<uint32_t>(from);
    range.EditToTick = ClampToU32(from + length);
    range.RepeatCount = 1;
    if (take.Options & kRecOverDub) RangeMix(song, range);
    else RangePaste(song, range);
    ++result.TracksMerged;
    if (takeChannel && ch >= 0 && song.Ch[t] != ch) {
      song.Ch[t] = static_cast<uint8_t>(ch);
      song.Changes.Notify(kChangeTrackSettings, t);
    }
  }
  song.Clipboard[0].Free();
  song.ClipLength = 0;

  if (realNoteOff) {
    result.NoteOffStyleSet = true;
    if (!song.NoteOffStyle) {
      song.NoteOffStyle = true;
      song.Changes.Notify(kChangeSongSettings);
    }
  }
  return result;
}

}  // namespace melko
