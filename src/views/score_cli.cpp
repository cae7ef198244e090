#include "views/score_cli.h"

#include <string>
#include <vector>

#include "base/int_helpers.h"
#include "edit/edit_cli.h"
#include "edit/tool_text.h"
#include "song/song_maps.h"

namespace melko {

const char* const kScoreEditHelp =
    "the score (its palette and keys):\n"
    "  score=TRACK:KEYS      open TRACK's score and send it KEYS, comma-separated: key names\n"
    "                        A..G F1..F7 Num1..Num7 Enter Backspace Delete Insert Left Right Up\n"
    "                        Down PageUp PageDown Home End Tie Dot Tuplet, with Shift+, Ctrl+ or\n"
    "                        Ctrl+Shift+ in front; settings pen, erase, grid=4|8|16|32,\n"
    "                        gridtriplet, triplet, tuplet=N, velocity=TEXT, gate=TEXT,\n"
    "                        gateratio=TEXT, step=TEXT, repeat=TEXT, at=POSITION, note=N,\n"
    "                        hold=N, release=N (keys held on the score's keyboard)\n"
    "  gedit=TRACK:KIND:LINE:TICK=VALUE;...[:interval=N]\n"
    "                        draw in the score's graphic edit: KIND tempo|velocity|kyprs|chprs|\n"
    "                        bend|ctrl:CC, LINE freehand|straight|curve, VALUE 0..128 as the band\n"
    "                        shows it, interval 1..999 ticks (16)\n";

bool ParseScoreKey(std::string_view text, int& vk, int& modifiers) {
  modifiers = 0;
  for (;;) {
    if (text.substr(0, 6) == "Shift+") {
      modifiers |= kModShift;
      text.remove_prefix(6);
    } else if (text.substr(0, 5) == "Ctrl+") {
      modifiers |= kModCtrl;
      text.remove_prefix(5);
    } else {
      break;
    }
  }
  static const std::pair<std::string_view, int> kNames[] = {
      {"Enter", kVkReturn}, {"Backspace", kVkBack},  {"Delete", kVkDelete}, {"Insert", kVkInsert},
      {"Left", kVkLeft},    {"Right", kVkRight},     {"Up", kVkUp},         {"Down", kVkDown},
      {"PageUp", kVkPrior}, {"PageDown", kVkNext},   {"Home", kVkHome},     {"End", kVkEnd},
      {"Tie", kVkAdd},      {"Dot", kVkDecimal},     {"Tuplet", kVkDivide},
  };
  for (const auto& [name, code] : kNames)
    if (text == name) {
      vk = code;
      return true;
    }
  if (text.size() == 1 && text[0] >= 'A' && text[0] <= 'G') {
    vk = text[0];
    return true;
  }
  if (text.size() == 2 && text[0] == 'F' && text[1] >= '1' && text[1] <= '7') {
    vk = kVkF1 + (text[1] - '1');
    return true;
  }
  if (text.size() == 4 && text.substr(0, 3) == "Num" && text[3] >= '1' && text[3] <= '7') {
    vk = kVkNumpad1 + (text[3] - '1');
    return true;
  }
  return false;
}

namespace {

bool ReadInt(std::string_view s, int lo, int hi, int& out) {
  int64_t v;
  if (!TryParseInt(s, v) || v < lo || v > hi) return false;
  out = int(v);
  return true;
}

// One item of KEYS; false when it cannot be read.
bool ScoreItem(std::string_view item, ScoreStep& w, EditSession& s) {
  const size_t eq = item.find('=');
  const std::string_view name = item.substr(0, eq);
  const bool hasValue = eq != std::string_view::npos;
  const std::string_view value = hasValue ? item.substr(eq + 1) : std::string_view();
  int n;
  if (!hasValue) {
    if (name == "pen") w.SetPen(true);
    else if (name == "erase") w.SetErase(true);
    else if (name == "gridtriplet") w.SetGridTriplet(!w.Palette.GridTriplet);
    else if (name == "triplet") w.TripletButton();
    else {
      int vk, mods;
      if (!ParseScoreKey(name, vk, mods)) return false;
      w.KeyDown(vk, mods);
    }
    return true;
  }
  if (name == "grid") {
    if (!ReadInt(value, 4, 32, n) || (n != 4 && n != 8 && n != 16 && n != 32)) return false;
    w.SetGrid(n);
  } else if (name == "tuplet") {
    w.ApplyTuplet(value);
  } else if (name == "velocity") {
    w.VelocityTyped(value);
  } else if (name == "gate") {
    w.GateValueTyped(value);
  } else if (name == "gateratio") {
    w.GateRatioTyped(value);
  } else if (name == "step") {
    w.StepTyped(value);
  } else if (name == "repeat") {
    w.RepeatTyped(value);
  } else if (name == "at") {
    w.SetTick(LocTextToTick(s.TheSong.Maps, value, w.Tick()));
  } else if (name == "note") {
    if (!ReadInt(value, 0, 127, n)) return false;
    w.SetNote(n);
  } else if (name == "hold" || name == "release") {
    if (!ReadInt(value, 0, 127, n)) return false;
    if (name == "hold") w.State().HoldKey(n);
    else w.State().ReleaseKey(n);
  } else {
    return false;
  }
  return true;
}

// Whether an item would be understood (names and the numbers of grid,
// note, hold and release; the boxes' texts are read leniently anyway).
bool ScoreItemReadable(std::string_view item) {
  const size_t eq = item.find('=');
  const std::string_view name = item.substr(0, eq);
  int n, vk, mods;
  if (eq == std::string_view::npos)
    return name == "pen" || name == "erase" || name == "gridtriplet" || name == "triplet" ||
           ParseScoreKey(name, vk, mods);
  const std::string_view value = item.substr(eq + 1);
  if (name == "grid") return ReadInt(value, 4, 32, n) && (n == 4 || n == 8 || n == 16 || n == 32);
  if (name == "note" || name == "hold" || name == "release") return ReadInt(value, 0, 127, n);
  for (std::string_view box : {"tuplet", "velocity", "gate", "gateratio", "step", "repeat", "at"})
    if (name == box) return true;
  return false;
}

}  // namespace

int RunScoreCommand(std::string_view value, EditSession& s, ScoreCliState& state) {
  const size_t colon = value.find(':');
  int track;
  if (colon == std::string_view::npos || !ReadInt(value.substr(0, colon), 1, 64, track)) return 2;
  const std::vector<std::string_view> items = SplitText(value.substr(colon + 1), ',');
  // Every item is read before any is sent, so a typo changes nothing.
  for (std::string_view item : items)
    if (!ScoreItemReadable(item)) return 2;
  if (!state.Shared) {
    state.Shared = std::make_unique<StepEntryState>();
    state.Shared->SongLoaded(s.TheSong.TPQN);
  }
  std::unique_ptr<ScoreStep>& w = state.Windows[track];
  if (!w) w = std::make_unique<ScoreStep>(s.TheSong, s.Dispatcher, *state.Shared, track);
  for (std::string_view item : items)
    if (!ScoreItem(item, *w, s)) return 2;
  const StepEntryState& st = w->State();
  s.Out << "score: track " << track << " at " << LocText(s.TheSong.Maps, w->Tick()) << " note " << w->Note()
        << " step " << st.StepTime << " gate " << st.StepEvent.Value << " velocity " << st.Velocity() << "\n";
  return 1;
}

int RunGEditCommand(std::string_view value, EditSession& s) {
  std::vector<std::string_view> p = SplitText(value, ':');
  int track, n;
  if (p.size() < 4 || !ReadInt(p[0], 1, 64, track)) return 2;
  int interval = kGEditDefaultInterval;
  if (p.back().substr(0, 9) == "interval=") {
    if (!ReadInt(p.back().substr(9), kGEditMinInterval, kGEditMaxInterval, interval)) return 2;
    p.pop_back();
  }
  size_t i = 1;
  int kind = -1, control = 0;
  static const char* const kKinds[5] = {"tempo", "velocity", "kyprs", "chprs", "bend"};
  for (int k = 0; k < 5; ++k)
    if (p[i] == kKinds[k]) kind = k;
  if (p[i++] == "ctrl") {
    if (i >= p.size() || !ReadInt(p[i++], 0, 127, control)) return 2;
    kind = kCurveControl;
  }
  if (kind < 0 || i + 2 != p.size()) return 2;
  int line;
  if (p[i] == "freehand") line = kGEditFreeHand;
  else if (p[i] == "straight") line = kGEditStraight;
  else if (p[i] == "curve") line = kGEditCurve;
  else return 2;
  std::vector<GEditPoint> stroke;
  for (std::string_view item : SplitText(p[i + 1], ';')) {
    if (item.empty()) continue;  // a trailing ';'
    const size_t eq = item.find('=');
    int64_t tick;
    if (eq == std::string_view::npos || !TryParseInt(item.substr(0, eq), tick) || tick < 0 || tick > 0x7FFFFFFF ||
        !ReadInt(item.substr(eq + 1), 0, kGEditBandHeight, n))
      return 2;
    stroke.push_back(GEditPoint{uint32_t(tick), n});
  }
  if (stroke.empty()) return 2;
  GEditPen pen;
  pen.Press(line, stroke.front().Tick, stroke.front().Value);
  for (size_t k = 1; k < stroke.size(); ++k) pen.Move(stroke[k].Tick, stroke[k].Value);
  const std::vector<GEditPoint> path = pen.Release();
  ApplyGEdit(s.TheSong, s.Dispatcher, track, kind, control, interval, path);
  s.Out << "gedit: track " << track << " " << path.size() << " points, ticks " << path.front().Tick << ".."
        << path.back().Tick << "\n";
  return 1;
}

}  // namespace melko
