// Following a whole song on the mixer without sound: the song plays through
// a playback engine of its own on a virtual clock (no device), the played
// events reach the mixer's state as the main window hands them over while
// the mixer window is closed (drained every 20 ms), and the meters fall
// every 50 ms, as they do while the user listens. Used by the batch form's
// `follow`. UI thread (the batch run's only thread); the song's player
// listener is restored afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

#include "song/song.h"
#include "views/mixer_state.h"

namespace melko {

struct FollowStats {
  uint64_t Events = 0;      // EventSent notices taken from the queue
  uint64_t Applied = 0;     // of those, the ones that changed the mixer
  uint32_t Milliseconds = 0;  // virtual time from the start to the stop
  size_t Dropped = 0;       // notices the full queue dropped
  size_t MaxBacklog = 0;    // most notices waiting at one drain
  bool Started = false;     // false: the song had nothing to play
};

FollowStats FollowSong(Song& song, MixerState& mixer);

}  // namespace melko
