// What the mixer does to the song: the set dialog's Mix, Init and Replace
// (each one undoable edit through the dispatcher), the strips' solo and
// mute buttons and the master mute, and the grid popup's Channel and Port.
// The window and the batch form (`melko --edit`) both call these; each
// announces its change through the song's notifier, where the engine and
// the track sheet take up the new solo, mute, channel and port. UI thread.
#pragma once

#include <cstdint>
#include <vector>

#include "edit/edit_dispatcher.h"
#include "song/midi_event.h"
#include "song/song.h"
#include "views/mixer_state.h"

namespace melko {

extern const char* const kHintMixerMix;   // "<Mixer> Mix"
extern const char* const kHintMixerInit;  // "<Mixer> Init"

// The events Mix lays into track t, timed from the range start: the marked
// rows' controllers, then bank select (only when both bytes are set) and the
// program, each StepInc after the one before, the whole list CascadeInc
// later for each track after fromTrack. `length` is the one-track clip's
// length (the last tick + 1).
std::vector<TMidiEvent> MixEvents(const MixerState& mixer, int t, int fromTrack, uint32_t& length);

// btMix: the list above mixed into every track of the range at its start
// (old events first on equal ticks). False when no flag is set (nothing done).
bool MixerMix(Song& song, EditDispatcher& d, const MixerState& mixer);
// btInit / sbtInit: every track of the song, from tick 0 to the measure after
// the song's last event; the set-up events before each track's first note
// take the mixer's values. False when no flag is set.
bool MixerInit(Song& song, EditDispatcher& d, const MixerState& mixer);
// btReplace: the events of the edit range's tracks and ticks take the
// mixer's values. False when no flag is set.
bool MixerReplace(Song& song, EditDispatcher& d, const MixerState& mixer);

// The program button after the chooser's OK: the track's first bank select
// and program before its first note become `patch` (MSB << 16 | LSB << 8 |
// program; 255 for no bank) as one edit, as the track sheet sets a patch,
// and the strip shows the program (and keeps the banks when given).
void SetStripPatch(Song& song, EditDispatcher& d, MixerState& mixer, int t, uint32_t patch);
// The patch the chooser starts at for track t's strip.
uint32_t StripPatch(const MixerState& mixer, int t);

// The strip's solo button pressed (down) or released.
void MixerSoloClick(Song& song, int t, bool down);
// The strip's mute button: muting on and the track's flag as the button
// shows it; with Ctrl every track is muted first.
void MixerMuteClick(Song& song, int t, bool down, bool ctrl);
// sbtMasterMute: muting on or off as the button shows it; with Ctrl every
// mute flag is cleared and muting goes off.
void MixerMasterMuteClick(Song& song, bool down, bool ctrl);

// The popup's Channel (0..15) and Port (0..3) for the tracks chosen.
void SetTracksChannel(Song& song, const std::vector<int>& tracks, int channel);
void SetTracksPort(Song& song, const std::vector<int>& tracks, int port);

}  // namespace melko
