#include "edit/edit_cli.h"

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "base/int_helpers.h"
#include "base/atomic_write.h"
#include "base/ini_file.h"
#include "edit/edit_dispatcher.h"
#include "edit/make_values.h"
#include "edit/record_batch.h"
#include "edit/take_file.h"
#include "edit/tool_checks.h"
#include "edit/tool_text.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"
#include "song/song_cli.h"
#include "midi/midi_cli.h"

namespace melko {

const char* const kEditCommandHelp =
    "load IN, run the COMMANDs in order as the edit menu and the tool dialogs do, save OUT:\n"
    "  range=T1-T2:FROM-TO   edit range: tracks T1..T2 (1..64), positions FROM..TO as typed in the\n"
    "                        range boxes (measure/beat/tick, measures from 0), e.g. range=2-4:1/1/0-3/1/0\n"
    "  repeat=N              repeat count of paste, insert and mix (1..255)\n"
    "  copy erase cut paste insert mix   the range operations\n"
    "  undo (or redo)        exchange the tracks of the last edit with their previous versions\n"
    "  tempo=BPM             tempo event at the range start (5..500)\n"
    "  meter=N/D             meter event at the range start (a measure start)\n"
    "  key=SF:major|minor    key event at the range start (SF -7..7, a measure start)\n"
    "  dynamics=KIND:METHOD  KIND note|kyprs|ctrl:CC|chprs|bend; METHOD add:N | change:PERCENT |\n"
    "                        set:V | compress:CENTRE:PERCENT:LOWER:UPPER\n"
    "  transpose=+N|-N       transpose notes by N semitones\n"
    "  transpose=change:FROM:TO   change one note into another (numbers or names such as c3, F#4)\n"
    "  gate=METHOD           gate times; METHOD add:LEN | change:PERCENT | set:LEN |\n"
    "                        compress:CENTRE:PERCENT:LOWER:UPPER; LEN as quarters/ticks (1/0) or ticks\n"
    "  quantize=grid:RES:STRENGTH | shuffle:RES:STRENGTH:SHIFT | gate:RES:STRENGTH:RATIO\n"
    "                        RES 0..9: 2, 2 triplet, 4, 4 triplet, 8, 8 triplet, 16, 16 triplet, 32,\n"
    "                        32 triplet\n"
    "  cutter=KIND           event cutter into the clipboard; KIND note:FROM:TO | kyprs:FROM:TO |\n"
    "                        ctrl:CC | prog | chprs | bend | sysex | meta:TYPE\n"
    "  makevalues=KIND:LINE[:interval=N]   value curve over the range; KIND tempo|velocity|kyprs|\n"
    "                        chprs|bend|ctrl:CC; LINE straight:FROM:TO (the kind's units) |\n"
    "                        sine:FREQUENCY:AMPLITUDE:PHASE | spline:FROM:TO:X1:G1:X2:G2 (X 0..239\n"
    "                        across the range, G graph units 0..128); N ticks between events\n"
    "  TOOL=cancel           open the tool (dynamics, transpose, gate, quantize, cutter, makevalues,\n"
    "                        tempo, meter, key) and cancel its dialog\n"
    "recording (the record button, playing a take file through the MIDI input):\n"
    "  ini=SECTION.KEY=VALUE a settings value, as if read from MELKO.INI (e.g. ini=Filter.VeloType=3)\n"
    "  arm=T,T,...           record-arm exactly these tracks (arm= disarms all)\n"
    "  from=POSITION         where playback and recording start: the measure of POSITION\n"
    "                        (measure/beat/tick or a measure, from 0)\n"
    "  countin=N             count-in beats (0..16)       prerange=N   pre-range (1..24)\n"
    "  recopt=LIST           punch,overdub,single,trch (an empty list clears all four)\n"
    "  record=TAKE           press the record button, play TAKE, release it; TAKE has one message\n"
    "                        a line, \"<ms> <status> [<data1> [<data2>]]\" in hexadecimal bytes,\n"
    "                        \"kbd \" in front for the computer keyboard, \"stop <ms>\" to release\n"
    "a command that has nothing to work on (an empty range, or an empty clipboard for paste,\n"
    "insert and mix) is skipped with \"nothing to do\" and keeps the last undo\n";

namespace {

bool Int(std::string_view s, int64_t& v) { return TryParseInt(s, v); }

// The batch window: dialogs answer with what the command line said.
class BatchUi : public EditUi {
 public:
  explicit BatchUi(std::ostream& err) : err_(err) {}
  std::function<bool(ToolSettings&)> Tool;
  std::function<bool(SetPositionValues&)> Set;
  std::function<bool()> Curves;
  bool Refused = false;

  bool OpenToolDialog(int, ToolSettings& s) override { return Tool && Tool(s); }
  bool OpenSetDialog(int, SetPositionValues& v) override { return Set && Set(v); }
  bool OpenValueCurves() override { return Curves && Curves(); }
  void ShowMessage(const std::string& text) override {
    err_ << text << '\n';
    Refused = true;
  }

 private:
  std::ostream& err_;
};

using ToolFn = std::function<bool(ToolSettings&)>;

std::optional<ToolFn> ParseDynamics(std::string_view arg) {
  auto p = SplitText(arg, ':');
  size_t i = 0;
  DynamicsSettings d;
  int64_t v;
  std::string_view kind = p[i++];
  if (kind == "note") d.Kind = kDynNote;
  else if (kind == "kyprs") d.Kind = kDynKeyPressure;
  else if (kind == "chprs") d.Kind = kDynChannelPressure;
  else if (kind == "bend") d.Kind = kDynBend;
  else if (kind == "ctrl") {
    if (i >= p.size() || !Int(p[i++], v) || v < 0 || v > 127) return std::nullopt;
    d.Kind = kDynControl;
    d.Control = static_cast<int>(v);
  } else return std::nullopt;
  if (i >= p.size()) return std::nullopt;
  std::string_view method = p[i++];
  std::vector<int64_t> n;
  for (; i < p.size(); ++i) {
    if (!Int(p[i], v)) return std::nullopt;
    n.push_back(v);
  }
  int kindValue = d.Kind, control = d.Control;
  std::function<void(DynamicsSettings&)> set;
  if (method == "add" && n.size() == 1) set = [a = n[0]](DynamicsSettings& s) { s.Method = kMethodAdd; s.Add = int(ClampInt(a, INT32_MIN, INT32_MAX)); };
  else if (method == "change" && n.size() == 1) set = [a = n[0]](DynamicsSettings& s) { s.Method = kMethodChange; s.Change = uint16_t(ClampInt(a, 0, kMaxChangePercent)); };
  else if (method == "set" && n.size() == 1) set = [a = n[0]](DynamicsSettings& s) { s.Method = kMethodSet; s.Set = int(ClampInt(a, -100000, 100000)); };
  else if (method == "compress" && n.size() == 4)
    set = [n](DynamicsSettings& s) {
      s.Method = kMethodCompress;
      s.CompCenter = int(ClampInt(n[0], -100000, 100000));
      s.CompPerc = uint16_t(ClampInt(n[1], 0, kMaxCompressPercent));
      s.Lower = int(ClampInt(n[2], -100000, 100000));
      s.Upper = int(ClampInt(n[3], -100000, 100000));
    };
  else return std::nullopt;
  return ToolFn([=](ToolSettings& s) {
    s.Dynamics.Kind = kindValue;
    if (kindValue == kDynControl) s.Dynamics.Control = control;
    set(s.Dynamics);
    CheckDynamics(s.Dynamics);
    return true;
  });
}

std::optional<ToolFn> ParseTranspose(std::string_view arg, int centerC) {
  auto p = SplitText(arg, ':');
  if (p[0] == "change" && p.size() == 3) {
    std::string from(p[1]), to(p[2]);
    return ToolFn([=](ToolSettings& s) {
      s.Transpose.Mode = kTransposeChange;
      s.Transpose.FromNote = ReadNoteText(from, s.Transpose.FromNote, centerC);
      s.Transpose.ToNote = ReadNoteText(to, s.Transpose.ToNote, centerC);
      return true;
    });
  }
  int64_t n;
  if (p.size() != 1 || !Int(p[0], n) || n < -127 || n > 127) return std::nullopt;
  return ToolFn([n](ToolSettings& s) {
    // Two notes of the dialog's boxes that are n apart.
    s.Transpose.Mode = kTransposeBy;
    s.Transpose.FromNote = static_cast<int>(ClampInt(60, n < 0 ? -n : 0, n > 0 ? 127 - n : 127));
    s.Transpose.ToNote = static_cast<int>(s.Transpose.FromNote + n);
    return true;
  });
}

std::optional<ToolFn> ParseGate(std::string_view arg, uint32_t tpqn) {
  auto p = SplitText(arg, ':');
  std::vector<std::string> a(p.begin() + 1, p.end());
  std::string_view method = p[0];
  int64_t v;
  if (method == "add" && a.size() == 1)
    return ToolFn([=](ToolSettings& s) {
      s.Gate.Method = kMethodAdd;
      s.Gate.Add = int(ReadLengthText(a[0], s.Gate.Add, tpqn, true));
      CheckGate(s.Gate, tpqn);
      return true;
    });
  if (method == "change" && a.size() == 1 && Int(a[0], v))
    return ToolFn([=](ToolSettings& s) {
      s.Gate.Method = kMethodChange;
      s.Gate.Change = uint16_t(ClampInt(v, 0, kMaxChangePercent));
      CheckGate(s.Gate, tpqn);
      return true;
    });
  if (method == "set" && a.size() == 1)
    return ToolFn([=](ToolSettings& s) {
      s.Gate.Method = kMethodSet;
      s.Gate.Set = int(ReadLengthText(a[0], s.Gate.Set, tpqn, false));
      CheckGate(s.Gate, tpqn);
      return true;
    });
  if (method == "compress" && a.size() == 4 && Int(a[1], v))
    return ToolFn([=](ToolSettings& s) {
      s.Gate.Method = kMethodCompress;
      s.Gate.CompCenter = int(ReadLengthText(a[0], s.Gate.CompCenter, tpqn, false));
      s.Gate.CompPerc = uint16_t(ClampInt(v, 0, kMaxCompressPercent));
      s.Gate.Lower = int(ReadLengthText(a[2], s.Gate.Lower, tpqn, false));
      s.Gate.Upper = int(ReadLengthText(a[3], s.Gate.Upper, tpqn, false));
      CheckGate(s.Gate, tpqn);
      return true;
    });
  return std::nullopt;
}

std::optional<ToolFn> ParseQuantize(std::string_view arg, uint32_t tpqn) {
  auto p = SplitText(arg, ':');
  std::vector<int64_t> n;
  for (size_t i = 1; i < p.size(); ++i) {
    int64_t v;
    if (!Int(p[i], v)) return std::nullopt;
    n.push_back(v);
  }
  uint8_t type;
  if (p[0] == "grid" && n.size() == 2) type = kQuantizeGrid;
  else if (p[0] == "shuffle" && n.size() == 3) type = kQuantizeShuffle;
  else if (p[0] == "gate" && n.size() == 3) type = kQuantizeGate;
  else return std::nullopt;
  if (n[0] < 0 || n[0] > 9) return std::nullopt;
  return ToolFn([=](ToolSettings& s) {
    QuantizeSettings& q = s.Quantize;
    q.Type = type;
    s.QuantizeResolution = static_cast<int>(n[0]);
    q.Strength = static_cast<uint8_t>(ClampInt(n[1], 0, 100));
    if (type == kQuantizeShuffle) q.Shift = static_cast<int16_t>(ClampInt(n[2], -32768, 32767));
    if (type == kQuantizeGate) q.Ratio = static_cast<uint8_t>(ClampInt(n[2], 1, kMaxQuantizeRatio));
    CheckQuantize(q, s.QuantizeResolution, tpqn);
    return true;
  });
}

std::optional<ToolFn> ParseCutter(std::string_view arg, int centerC) {
  auto p = SplitText(arg, ':');
  static const char* const kKinds[8] = {"note", "kyprs", "ctrl", "prog", "chprs", "bend", "sysex", "meta"};
  int kind = -1;
  for (int k = 0; k < 8; ++k)
    if (p[0] == kKinds[k]) kind = k;
  if (kind < 0) return std::nullopt;
  int64_t code = 0;
  std::string from, to;
  if (kind == kCutNote || kind == kCutKeyPressure) {
    if (p.size() != 3) return std::nullopt;
    from = p[1];
    to = p[2];
  } else if (kind == kCutControl || kind == kCutMeta) {
    if (p.size() != 2 || !Int(p[1], code) || code < 0 || code > (kind == kCutControl ? 127 : 254)) return std::nullopt;
  } else if (p.size() != 1) {
    return std::nullopt;
  }
  return ToolFn([=](ToolSettings& s) {
    CutterSettings& c = s.Cutter;
    c.Kind = kind;
    if (!from.empty()) {
      c.FromNote = ReadNoteText(from, c.FromNote, centerC);
      c.ToNote = ReadNoteText(to, c.ToNote, centerC);
    }
    CutterBounds(c, static_cast<uint8_t>(code));
    return true;
  });
}

// makevalues=KIND:LINE:ARGS[:interval=N]: what the dialog's boxes would be
// given. FROM and TO are in the kind's units, the rest in graph units.
std::optional<std::function<void(MakeValueSettings&)>> ParseMakeValues(std::string_view arg) {
  auto p = SplitText(arg, ':');
  size_t i = 0;
  int64_t v;
  int kindIndex = -1, control = 0;
  static const char* const kKinds[5] = {"tempo", "velocity", "kyprs", "chprs", "bend"};
  for (int k = 0; k < 5; ++k)
    if (p[0] == kKinds[k]) kindIndex = k;
  ++i;
  if (p[0] == "ctrl") {
    if (i >= p.size() || !Int(p[i++], v) || v < 0 || v > 127) return std::nullopt;
    kindIndex = kCurveControl;
    control = static_cast<int>(v);
  }
  if (kindIndex < 0 || i >= p.size()) return std::nullopt;
  std::optional<int64_t> interval;
  if (p.back().substr(0, 9) == "interval=") {
    if (!Int(p.back().substr(9), v)) return std::nullopt;
    interval = v;
    p.pop_back();
  }
  std::string_view line = p[i++];
  std::vector<std::string_view> a(p.begin() + static_cast<long>(i), p.end());
  const int kind = CurveKindOf(kindIndex);
  int lo, hi;
  ValueRange(kind, lo, hi);
  auto graphOf = [&](std::string_view text, int& out) {
    int64_t n;
    if (!Int(text, n)) return false;
    out = ValueToGraph(kind, ClampInt(n, lo, hi));
    return true;
  };
  MakeValueSettings w;  // only the fields of the chosen line are taken
  int lineType;
  if (line == "straight" && a.size() == 2) {
    lineType = kLineStraight;
    if (!graphOf(a[0], w.From) || !graphOf(a[1], w.To)) return std::nullopt;
  } else if (line == "sine" && a.size() == 3) {
    lineType = kLineSine;
    std::string f(a[0]);
    char* end = nullptr;
    w.Frequency = std::strtod(f.c_str(), &end);
    if (f.empty() || end != f.c_str() + f.size()) return std::nullopt;
    int64_t amp, phase;
    if (!Int(a[1], amp) || !Int(a[2], phase)) return std::nullopt;
    w.Amplitude = static_cast<int>(ClampInt(amp, -128, 128));
    w.Phase = static_cast<int>(ClampInt(phase, -180, 180));
  } else if (line == "spline" && a.size() == 6) {
    lineType = kLineSpline;
    if (!graphOf(a[0], w.From) || !graphOf(a[1], w.To)) return std::nullopt;
    int64_t n[4];
    for (int k = 0; k < 4; ++k)
      if (!Int(a[size_t(k) + 2], n[k])) return std::nullopt;
    w.Points[1] = {int(ClampInt(n[0], 0, kGraphWidth - 1)), kGraphHeight - int(ClampInt(n[1], 0, kGraphHeight))};
    w.Points[2] = {int(ClampInt(n[2], 0, kGraphWidth - 1)), kGraphHeight - int(ClampInt(n[3], 0, kGraphHeight))};
  } else {
    return std::nullopt;
  }
  return [=](MakeValueSettings& s) {
    s.KindIndex = kindIndex;
    if (kindIndex == kCurveControl) s.Control = control;
    s.LineType = lineType;
    if (lineType == kLineSine) {
      s.Frequency = w.Frequency;
      s.Amplitude = w.Amplitude;
      s.Phase = w.Phase;
    } else {
      s.From = w.From;
      s.To = w.To;
    }
    if (lineType == kLineSpline) {
      s.Points[1] = w.Points[1];
      s.Points[2] = w.Points[2];
    }
    if (interval) s.Interval = static_cast<int>(ClampInt(*interval, 1, INT32_MAX));
    CheckCurveSettings(s);
  };
}

std::optional<uint32_t> ParseKey(std::string_view arg) {
  auto p = SplitText(arg, ':');
  int64_t sf;
  if (p.size() != 2 || !Int(p[0], sf) || sf < -7 || sf > 7) return std::nullopt;
  if (p[1] != "major" && p[1] != "minor") return std::nullopt;
  return KeyValue(static_cast<int>(sf), p[1] == "minor");
}

bool ParseRange(std::string_view arg, TEditRange& r, const SongMaps& maps) {
  size_t colon = arg.find(':');
  std::string_view tracks = arg.substr(0, colon);
  size_t dash = tracks.find('-');
  std::string_view t1 = tracks.substr(0, dash);
  std::string_view t2 = dash == std::string_view::npos ? t1 : tracks.substr(dash + 1);
  int64_t v;
  if (!Int(t1, v) || !Int(t2, v)) return false;
  std::string_view positions, p1, p2;
  if (colon != std::string_view::npos) {
    positions = arg.substr(colon + 1);
    size_t d = positions.find('-');
    if (d == std::string_view::npos) return false;
    p1 = positions.substr(0, d);
    p2 = positions.substr(d + 1);
  }
  std::string from = colon == std::string_view::npos ? TickToLocText(maps, r.EditFromTick) : std::string(p1);
  std::string to = colon == std::string_view::npos ? TickToLocText(maps, r.EditToTick) : std::string(p2);
  ReadRangeBoxes(r, maps, t1, t2, from, to);
  return true;
}

int CommandOf(std::string_view name) {
  static const std::pair<const char*, int> kNames[] = {
      {"copy", kCmdCopy},   {"erase", kCmdErase},         {"cut", kCmdCut},         {"paste", kCmdPaste},
      {"insert", kCmdInsert}, {"mix", kCmdMix},           {"dynamics", kCmdDynamics}, {"transpose", kCmdTranspose},
      {"gate", kCmdGateTime}, {"quantize", kCmdQuantize}, {"cutter", kCmdEventCutter}, {"tempo", kCmdTempo},
      {"makevalues", kCmdMakeValues},
      {"meter", kCmdMeter}, {"key", kCmdKeySig},          {"undo", kCmdUndo},       {"redo", kCmdRedo}};
  for (const auto& [n, c] : kNames)
    if (name == n) return c;
  return -1;
}

bool ParseTrackList(std::string_view value, std::array<uint8_t, kSongTracks>& rec) {
  rec.fill(0);
  if (value.empty()) return true;
  for (std::string_view t : SplitText(value, ',')) {
    int64_t v;
    if (!Int(t, v) || v < 1 || v > 64) return false;
    rec[size_t(v)] = 1;
  }
  return true;
}

bool ParseRecordOptions(std::string_view value, uint32_t& options) {
  options = 0;
  if (value.empty()) return true;
  for (std::string_view o : SplitText(value, ',')) {
    if (o == "punch") options |= kRecPunch;
    else if (o == "overdub") options |= kRecOverDub;
    else if (o == "single") options |= kRecSingle;
    else if (o == "trch") options |= kRecTrChFromMidi;
    else return false;
  }
  return true;
}

// "SECTION.KEY=VALUE".
bool ParseIniSetting(std::string_view value, IniFile& ini) {
  size_t dot = value.find('.');
  size_t eq = value.find('=');
  if (dot == std::string_view::npos || eq == std::string_view::npos || dot == 0 || eq < dot + 2) return false;
  ini.WriteString(value.substr(0, dot), value.substr(dot + 1, eq - dot - 1), value.substr(eq + 1));
  return true;
}

const char* PressText(RecordPress p) {
  switch (p) {
    case RecordPress::kPlaying: return "playback is running";
    case RecordPress::kNoArmedTrack: return kMsgNoRecordTrack;
    case RecordPress::kNotStarted: return "playback did not start";
    default: return "";
  }
}

}  // namespace

int RunEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const EditExtension& extension) {
  if (args.size() < 3) {
    err << "usage: melko --edit IN OUT COMMAND...\n" << kEditCommandHelp;
    return 2;
  }
  Song song;
  StreamPrompt prompt(err);
  if (!OpenSongFile(song, args[1], prompt, BatchConverter())) return 1;
  BatchUi ui(err);
  EditDispatcher dispatcher(song, ui);
  dispatcher.SongLoaded();
  const int centerC = 0;
  IniFile ini;
  RecordSetup setup;
  StreamLog log(out);
  std::unique_ptr<BatchRecorder> recorder;
  EditSession session{song, dispatcher, out, err, ui.Refused};
  bool afterRow = false;

  for (size_t i = 3; i < args.size(); ++i) {
    const std::string& a = args[i];
    size_t eq = a.find('=');
    std::string_view name = std::string_view(a).substr(0, eq);
    std::string_view value = eq == std::string::npos ? std::string_view() : std::string_view(a).substr(eq + 1);
    auto bad = [&]() {
      err << "melko --edit: cannot read the command \"" << a << "\"\n" << kEditCommandHelp;
      return 2;
    };
    if (name == "range") {
      if (eq == std::string::npos || !ParseRange(value, dispatcher.Range, song.Maps)) return bad();
      continue;
    }
    if (name == "repeat") {
      int64_t n;
      if (eq == std::string::npos || !Int(value, n)) return bad();
      dispatcher.Range.RepeatCount = static_cast<int>(ClampInt(n, 1, 255));
      continue;
    }
    // A later layer's commands first; `row=` makes insert and erase its own.
    if (extension) {
      session.AfterRow = afterRow;
      afterRow = name == "row";
      const int r = extension(name, value, eq != std::string::npos, session);
      if (r == 2) return bad();
      if (r == 1) continue;
    }
    if (name == "ini") {
      if (eq == std::string::npos || !ParseIniSetting(value, ini)) return bad();
      if (recorder) recorder->ApplySettings(ini);
      continue;
    }
    if (name == "arm") {
      if (eq == std::string::npos || !ParseTrackList(value, song.Rec)) return bad();
      song.Changes.NotifyTracks(kChangeTrackSettings, 1, 64);
      if ((setup.Options & kRecSingle) && !CheckSingleArm(song)) {
        err << kMsgSingleOneTrack << '\n';
        ui.Refused = true;
      }
      continue;
    }
    if (name == "from") {
      if (eq == std::string::npos || !IsPlayPosition(std::string(value))) return bad();
      // The record button starts at the measure the scroll bar was left at.
      uint32_t tick = PlayPositionTick(song.Maps, std::string(value));
      dispatcher.Range.SavedMeasure = song.Maps.TickToMeasure(tick).Measure;
      dispatcher.Range.CurrentTick = song.Maps.MeasureToTick(dispatcher.Range.SavedMeasure);
      continue;
    }
    if (name == "countin" || name == "prerange") {
      int64_t n;
      if (eq == std::string::npos || !Int(value, n)) return bad();
      if (name == "countin") setup.CountIn = int(ClampInt(n, 0, kMaxCountIn));
      else setup.PreRange = int(ClampInt(n, kMinPreRange, kMaxPreRange));
      continue;
    }
    if (name == "recopt") {
      if (eq == std::string::npos || !ParseRecordOptions(value, setup.Options)) return bad();
      if ((setup.Options & kRecSingle) && !CheckSingleArm(song)) {
        err << kMsgSingleOneTrack << '\n';
        ui.Refused = true;
      }
      continue;
    }
    if (name == "record") {
      if (eq == std::string::npos || value.empty()) return bad();
      std::string text, why;
      TakeFile take;
      if (!ReadWholeFile(std::string(value), text)) {
        err << "melko --edit: cannot read the take file \"" << value << "\"\n";
        return 1;
      }
      if (!ParseTakeFile(text, take, why)) {
        err << "melko --edit: " << value << ": " << why << '\n';
        return 2;
      }
      if (!recorder) {
        recorder = std::make_unique<BatchRecorder>(song, dispatcher, &log);
        recorder->ApplySettings(ini);
      }
      out << a << ":\n";
      RecordMergeResult merged;
      std::string warning;
      const uint32_t start = song.Maps.MeasureToTick(dispatcher.Range.SavedMeasure);
      RecordPress press = recorder->Record(take, start, setup, merged, warning);
      if (press != RecordPress::kStarted) {
        err << PressText(press) << '\n';
        ui.Refused = true;
        continue;
      }
      if (!warning.empty()) {
        err << warning << '\n';
        ui.Refused = true;
      }
      std::string armed;
      for (int t = 1; t <= 64; ++t)
        if (song.Rec[size_t(t)]) armed += (armed.empty() ? "" : ",") + std::to_string(t);
      const int64_t began = recorder->RecordStartMs();
      out << a << ": the count-in began " << recorder->TimerStartMs() << " ms after the press; ";
      if (began >= 0) out << "the recording began " << began << " ms after it\n";
      else out << "the take ended during the count-in\n";
      out << a << ": " << recorder->TheRecorder().LastTakeEntries << " message(s) taken, "
          << recorder->TheRecorder().LastTakeDropped << " dropped; ";
      if (merged.TracksMerged > 0) {
        out << "recorded into track(s) " << armed << " from "
            << TickToLocText(song.Maps, uint32_t(std::max(merged.From, 0))) << ", " << merged.ClipLength << " ticks; "
            << dispatcher.Undo().ButtonCaption << " " << dispatcher.Undo().ButtonHint << "\n";
      } else {
        // Nothing recorded is no success: say so, as a refused command does.
        out << "nothing was recorded (the take ended before the recording started)\n";
        err << "melko --edit: " << a << ": nothing was recorded\n";
        ui.Refused = true;
      }
      continue;
    }
    int command = CommandOf(name);
    if (command < 0) return bad();
    ui.Tool = nullptr;
    ui.Set = nullptr;
    ui.Curves = nullptr;
    bool takesValue = command >= kCmdDynamics && command <= kCmdKeySig;
    if (takesValue != (eq != std::string::npos)) return bad();
    if (takesValue && value == "cancel") {
      ui.Tool = [](ToolSettings&) { return false; };
      ui.Set = [](SetPositionValues&) { return false; };
    } else if (command == kCmdMakeValues) {
      auto set = ParseMakeValues(value);
      if (!set) return bad();
      ui.Curves = [&song, &dispatcher, set = *set] {
        set(dispatcher.Curves);
        return ApplyMakeValues(song, dispatcher.Range, dispatcher.Curves);
      };
    } else if (command == kCmdTempo) {
      int bpm = ReadBpmText(value);
      ui.Set = [bpm](SetPositionValues& v) { v.Bpm = bpm; return true; };
    } else if (command == kCmdMeter) {
      if (value.find('/') == std::string_view::npos) return bad();
      uint32_t meter = MeterValueFromText(value);
      ui.Set = [meter](SetPositionValues& v) { v.Meter = meter; return true; };
    } else if (command == kCmdKeySig) {
      auto key = ParseKey(value);
      if (!key) return bad();
      ui.Set = [k = *key](SetPositionValues& v) { v.Key = k; return true; };
    } else if (command >= kCmdDynamics && command <= kCmdEventCutter) {
      std::optional<ToolFn> fn;
      switch (command) {
        case kCmdDynamics: fn = ParseDynamics(value); break;
        case kCmdTranspose: fn = ParseTranspose(value, centerC); break;
        case kCmdGateTime: fn = ParseGate(value, song.TPQN); break;
        case kCmdQuantize: fn = ParseQuantize(value, song.TPQN); break;
        case kCmdEventCutter: fn = ParseCutter(value, centerC); break;
      }
      if (!fn) return bad();
      ui.Tool = *fn;
    }
    // A command the range or the clipboard leaves nothing to do is refused,
    // as the menu disables it; the last undo is kept.
    const bool ran = dispatcher.PopUpEditClick(command);
    const TEditRange& r = dispatcher.Range;
    out << a << ": " << (ran ? "" : "nothing to do; ") << "tracks " << r.EditFromTrack << "-" << r.EditToTrack << ", " << TickToLocText(song.Maps, r.EditFromTick)
        << "-" << TickToLocText(song.Maps, r.EditToTick) << "; clipboard " << song.ClipLength << " ticks; "
        << (dispatcher.Undo().ButtonEnabled ? dispatcher.Undo().ButtonCaption : std::string("no undo")) << "\n";
  }

  std::string why;
  if (!SaveSongFile(song, args[2], false, &why)) {
    err << kMsgWriteFailed << '\n';
    if (!why.empty()) err << why << '\n';
    return 1;
  }
  return ui.Refused ? 1 : 0;
}

}  // namespace melko
