// The score window's step entry in the batch form: `--edit` command
// `score=TRACK:KEYS` opens that track's score and sends it KEYS, a
// comma-separated list of key presses (as the window receives them) and
// palette settings. It runs the same ScoreStep as the window. UI thread
// (the batch run's).
#pragma once

#include <map>
#include <memory>
#include <ostream>
#include <string_view>

#include "views/score_gedit.h"
#include "views/score_step.h"

namespace melko {

struct EditSession;

// What stays between the score commands of one run: the shared step state
// and one window's logic per track opened.
struct ScoreCliState {
  std::unique_ptr<StepEntryState> Shared;
  std::map<int, std::unique_ptr<ScoreStep>> Windows;
};

// A key name as the batch form writes it ("Shift+Left", "F3", "Num2", "C",
// "Tie"): its virtual-key code and ScoreModifiers; false when unknown.
bool ParseScoreKey(std::string_view text, int& vk, int& modifiers);

// Runs `score=VALUE`; 1 done, 2 when it could not be read (nothing is
// sent then). Reports the cursor afterwards on `s.Out`.
int RunScoreCommand(std::string_view value, EditSession& s, ScoreCliState& state);

// Runs `gedit=TRACK:KIND:LINE:TICK=VALUE;...[:interval=N]`: KIND tempo,
// velocity, kyprs, chprs, bend or ctrl:CC; LINE freehand, straight or curve;
// the values in the band's units (0..128). The pen is pressed on the first
// point, moved through the others and released, and the path is applied as
// the window does. 1 done, 2 when it could not be read (nothing changes).
int RunGEditCommand(std::string_view value, EditSession& s);

// The lines --help prints for them.
extern const char* const kScoreEditHelp;

}  // namespace melko
