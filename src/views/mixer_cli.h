// The mixer's commands in the batch form `melko --edit IN OUT COMMAND...`:
// the same state and functions as the mixer window's knobs, fader, program
// button, row buttons and set dialog, and `follow`, which plays the song on
// a virtual clock so that the mixer follows it. Chained into the track
// sheet's extension, so both sets run in one `--edit`. UI thread.
#pragma once

#include <string_view>

#include "edit/edit_cli.h"
#include "views/mixer_state.h"

namespace melko {

// 1 when `name` was a mixer command and ran, 0 when it is none, 2 when its
// value could not be read (as EditExtension answers).
int RunMixerCommand(std::string_view name, std::string_view value, bool hasValue, EditSession& s, MixerState& mixer);

// The mixer's part of the --edit help.
extern const char* const kMixerEditHelp;

}  // namespace melko
