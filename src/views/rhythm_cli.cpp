#include "views/rhythm_cli.h"

#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "edit/edit_dispatcher.h"
#include "views/rhythm_transfer.h"

namespace melko {

const char* const kRhythmEditHelp =
    "the rhythm pattern editor (its buttons; patterns counted from 1):\n"
    "  rhythmopen=FILE.RYM[:INDEX]  open a pattern file and show pattern INDEX (1)\n"
    "  rhythmimport          the notes of the range's first track into the grid (answered Yes)\n"
    "  rhythmexport          the pattern into the clipboard, for paste or mix\n"
    "  rhythmset=quant=Q,beats=N,unit=D,measures=M,shuffle=S   any of them, in any order\n"
    "  rhythmcell=STEP:NOTE:VELOCITY   a cell of the grid (steps from 0; velocity 0 empties it)\n"
    "  rhythmstretch         twice the resolution (answered Yes; only below quant 48)\n"
    "  rhythmsave=FILE.RYM   store the grid into its pattern and save the file\n";

namespace {

bool Int(std::string_view s, int64_t lo, int64_t hi, int& out) {
  int64_t v;
  if (!TryParseInt(s, v) || v < lo || v > hi) return false;
  out = int(v);
  return true;
}

void Refuse(EditSession& s, const std::string& text) {
  s.Err << text << "\n";
  s.Refused = true;
}

int Open(std::string_view value, EditSession& s, TRhythmSession& r) {
  std::string path(value);
  int index = 1;
  const size_t colon = value.rfind(':');
  if (colon != std::string_view::npos) {
    int64_t v;
    if (TryParseInt(value.substr(colon + 1), v)) {
      if (v < 1) return 2;
      index = int(std::min<int64_t>(v, 1 << 30));
      path = std::string(value.substr(0, colon));
    }
  }
  TRymPatternList list;
  if (!list.Load(path)) {
    Refuse(s, path + ": " + kMsgUnreadableFormat);
    return 1;
  }
  if (index > list.Count()) {
    Refuse(s, "rhythmopen: the file has " + std::to_string(list.Count()) + " patterns");
    return 1;
  }
  r.List = std::move(list);
  r.Index = index - 1;
  r.Pattern.LoadStream(r.List.Patterns[size_t(r.Index)].Stream);
  s.Out << "rhythmopen: pattern " << index << " of " << r.List.Count() << "\n";
  return 1;
}

int Set(std::string_view value, EditSession& s, TRhythmSession& r) {
  TRhythmPattern& p = r.Pattern;
  int quant = p.PatternQuant, beats = p.PatternBeats, unit = p.PatternBeatUnit, measures = p.PatternMeasures;
  int shuffle = p.PatternShuffle;
  for (std::string_view item : SplitText(value, ',')) {
    const size_t eq = item.find('=');
    if (eq == std::string_view::npos) return 2;
    const std::string_view key = item.substr(0, eq), v = item.substr(eq + 1);
    bool ok;
    if (key == "quant") ok = Int(v, 1, 255, quant);
    else if (key == "beats") ok = Int(v, 1, 255, beats);
    else if (key == "unit") ok = Int(v, 1, 255, unit);
    else if (key == "measures") ok = Int(v, 1, 255, measures);
    else if (key == "shuffle") ok = Int(v, 0, kMaxShuffle, shuffle);
    else return 2;
    if (!ok) return 2;
  }
  if (!p.SetLayout(quant, beats, unit, measures)) {
    Refuse(s, "rhythmset: no pattern has that layout (quant 8, 12, 16, 24, 32, 48, 64 or 96)");
    return 1;
  }
  p.SetShuffle(shuffle);
  s.Out << "rhythmset: " << p.PatternSteps() << " steps of " << p.StepTicks(s.TheSong.TPQN) << " ticks\n";
  return 1;
}

}  // namespace

int RhythmEditCommand(std::string_view name, std::string_view value, bool hasValue, EditSession& s,
                      TRhythmSession& r) {
  if (name == "rhythmopen") return hasValue && !value.empty() ? Open(value, s, r) : 2;
  if (name == "rhythmimport" && !hasValue) {
    s.Out << kMsgDiscardForImport << " Yes\n";
    const int n = ImportPattern(s.TheSong, s.Dispatcher.Range, r.Pattern);
    s.Out << "rhythmimport: " << n << " notes\n";
    return 1;
  }
  if (name == "rhythmexport" && !hasValue) {
    ExportPattern(s.TheSong, r.Pattern);
    s.Out << "rhythmexport: " << r.Pattern.CellCount() << " notes, length " << s.TheSong.ClipLength << "\n";
    return 1;
  }
  if (name == "rhythmset") return hasValue ? Set(value, s, r) : 2;
  if (name == "rhythmcell") {
    auto parts = SplitText(value, ':');
    int step, note, velocity;
    if (!hasValue || parts.size() != 3 || !Int(parts[0], 0, INT32_MAX, step) || !Int(parts[1], 0, 127, note) ||
        !Int(parts[2], 0, 127, velocity))
      return 2;
    if (!r.Pattern.SetCell(step, note, velocity))
      Refuse(s, "rhythmcell: step " + std::to_string(step) + " is outside the grid of " +
                    std::to_string(r.Pattern.PatternSteps()) + " steps");
    return 1;
  }
  if (name == "rhythmstretch" && !hasValue) {
    if (!r.Pattern.CanStretch()) {
      Refuse(s, "rhythmstretch: Stretch is offered only below quant 48");
      return 1;
    }
    s.Out << kMsgStretch << " Yes\n";
    if (!r.Pattern.Stretch()) Refuse(s, "rhythmstretch: the grid would be too long");
    return 1;
  }
  if (name == "rhythmsave") {
    if (!hasValue || value.empty()) return 2;
    r.List.Patterns[size_t(r.Index)].Stream = r.Pattern.StoreStream();
    const std::string path(value);
    if (!r.List.Save(path)) Refuse(s, "The file " + path + " could not be written.");
    return 1;
  }
  return 0;
}

void PrintPattern(std::ostream& out, int index, const TRymPattern& entry, const TRhythmPattern& p) {
  out << "pattern " << index << ": " << DisplayText(entry.Name) << "\n"
      << "quant " << int(p.PatternQuant) << "\n"
      << "meter " << int(p.PatternBeats) << "/" << int(p.PatternBeatUnit) << "\n"
      << "measures " << int(p.PatternMeasures) << "\n"
      << "shuffle " << p.PatternShuffle << "\n"
      << "instrument " << DisplayText(p.PatternInstrument) << "\n"
      << "drumset " << int(p.PatternDrumSet) << "\n"
      << "map " << int(p.PatternMap) << "\n";
  for (const TRhythmEvent& e : p.BuildEvents(1, false, 0))
    out << e.Time << " " << int(e.Data1) << " " << int(e.Data2) << "\n";
}

int RunRhythmPrint(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    err << "usage: melko --rhythm FILE.RYM\n";
    return 2;
  }
  TRymPatternList list;
  if (!list.Load(args[1])) {
    err << args[1] << ": " << kMsgUnreadableFormat << "\n";
    return 1;
  }
  for (int i = 0; i < list.Count(); ++i) {
    TRhythmPattern p;
    p.LoadStream(list.Patterns[size_t(i)].Stream);
    PrintPattern(out, i + 1, list.Patterns[size_t(i)], p);
  }
  return 0;
}

}  // namespace melko
