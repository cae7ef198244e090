// The rhythm pattern editor in batch form: its `melko --edit` commands (the
// same functions as the window's buttons, run between the other edit
// commands on the same song and clipboard) and `melko --rhythm FILE.RYM`,
// which prints every pattern of a file.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "edit/edit_cli.h"
#include "views/rhythm_file.h"
#include "views/rhythm_pattern.h"

namespace melko {

// What the editor holds across the commands of one run.
struct TRhythmSession {
  TRymPatternList List;
  int Index = 0;  // the pattern shown
  TRhythmPattern Pattern;
  TRhythmSession() { Pattern.LoadStream(List.Patterns[0].Stream); }
};

// 1 ran, 0 not a rhythm command, 2 unreadable (as EditExtension).
int RhythmEditCommand(std::string_view name, std::string_view value, bool hasValue, EditSession& s,
                      TRhythmSession& rhythm);

extern const char* const kRhythmEditHelp;

// `melko --rhythm FILE.RYM`: 0 printed, 1 unreadable, 2 bad usage.
int RunRhythmPrint(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// One pattern as --rhythm prints it.
void PrintPattern(std::ostream& out, int index, const TRymPattern& entry, const TRhythmPattern& pattern);

}  // namespace melko
