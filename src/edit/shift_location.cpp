#include "edit/shift_location.h"

#include "edit/edit_dispatcher.h"
#include "edit/edit_tools.h"
#include "edit/event_list_limits.h"
#include "song/track_ops.h"

namespace melko {

const char* const kHintShiftLocation = "<List>Shift Location";

std::string ShiftRefusalText(const std::string& failingTracks) {
  return failingTracks + "\n\r\r" + "でシフトできません！";
}

namespace {

// Whether track data can take the shift: the first event at or after `from`
// must not come before the event preceding it, and the last must stay in range.
bool CanShift(const TMidiData& data, uint32_t from, int64_t shift, bool& affected) {
  affected = false;
  bool havePrev = false;
  uint32_t prev = 0, last = 0;
  bool first = true;
  for (TrackWalker w(data); !w.AtEnd(); w.Advance()) {
    const uint32_t t = w.NextTick();
    if (t < from) {
      havePrev = true;
      prev = t;
      continue;
    }
    if (first) {
      affected = true;
      first = false;
      if (int64_t(t) + shift < (havePrev ? int64_t(prev) : 0)) return false;
    }
    last = t;
  }
  return !affected || int64_t(last) + shift <= int64_t(kMaxListTick);
}

void ShiftTrack(Song& song, int t, uint32_t from, int64_t shift) {
  TMidiData& dest = song.ShadowTracks[size_t(t)];
  const TMidiData& src = song.Tracks[size_t(t)];
  StartRebuild(dest, src);
  uint32_t last = 0;
  for (TrackWalker w(src); !w.AtEnd();) {
    const uint32_t tick = w.NextTick();
    const uint32_t moved = tick >= from ? uint32_t(int64_t(tick) + shift) : tick;
    AppendNext(dest, w, moved, last);
  }
  FinishRebuild(dest, src);
  song.SwapTrack(t);
}

}  // namespace

ShiftOutcome ShiftLocation(Song& song, EditDispatcher& dispatcher, int track, uint32_t from,
                           std::string_view toText, bool wholeSong) {
  uint32_t to = LocTextToTick(song.Maps, toText, from);
  if (to > kMaxListTick) to = kMaxListTick;
  if (to == from) return {};
  const int64_t shift = int64_t(to) - int64_t(from);
  const int first = wholeSong ? 0 : track, lastTrack = wholeSong ? kSongTracks - 1 : track;
  std::string failing;
  bool any = false;
  std::array<bool, kSongTracks> affected{};
  for (int t = first; t <= lastTrack; ++t) {
    bool a = false;
    if (!CanShift(song.Tracks[size_t(t)], from, shift, a)) failing += std::to_string(t) + " ";
    affected[size_t(t)] = a;
    any = any || a;
  }
  if (!failing.empty()) return {false, ShiftRefusalText("Track " + failing)};
  if (!any) return {};
  SongNotifier::Batch batch(song.Changes);
  dispatcher.BeginEdit();
  for (int t = first; t <= lastTrack; ++t)
    if (affected[size_t(t)]) ShiftTrack(song, t, from, shift);
  if (affected[0]) {
    song.Maps.BuildTempoMap(song.Tracks[0], song.TPQN);
    song.Maps.BuildMeterMap(song.Tracks[0], song.TPQN);
    song.Maps.BuildKeyMap(song.Tracks[0], song.TPQN);
    song.Maps.BuildMarkerList(song.Tracks[0]);
    song.Changes.Notify(kChangeMaps);
  }
  dispatcher.FinishEdit(kHintShiftLocation);
  return {true, {}};
}

}  // namespace melko
