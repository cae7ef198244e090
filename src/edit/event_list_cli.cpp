#include "edit/event_list_cli.h"

#include <optional>

#include "base/int_helpers.h"
#include "base/ini_file.h"
#include "base/text_encoding.h"
#include "edit/edit_dispatcher.h"
#include "edit/event_list_editor.h"
#include "edit/rpn_defs.h"
#include "edit/shift_location.h"
#include "song/smf_reader.h"
#include "song/song_cli.h"
#include "edit/event_list_text.h"
#include "sysex/sysex_dialog_model.h"
#include "sysex/sysex_param_nodes.h"

namespace melko {

const char* const kListUsage = "--list FILE TRACK [filter=BITS] [ctrl=CC] [meta=TYPE] [selected=ROW] [settings=N]";
const char* const kListHelp =
    "print the event list of TRACK (0 conductor, 1..64): one line per row the grid shows, its five cells "
    "separated by TABs as drawn; filter=BITS the kinds shown (1 Note, 2 KyPrs, 4 Ctrl, 8 Prog, 16 ChPrs, "
    "32 Bend, 64 SysEx, 128 Meta), ctrl=CC only that controller among control changes, meta=TYPE only that "
    "meta type, selected=ROW the selected (displayed) row, marked by a last field \"*\", settings=N the "
    "\"List\" \"Settings\" value (1 decimal controller numbers)";

const char* const kListEditHelp =
    "the event list (rows count from 0 in the unfiltered list of TRACK, 0 conductor, 1..64):\n"
    "  cell=TRACK:ROW:COL:TEXT  type TEXT into column COL (1..4) of ROW and leave the row\n"
    "  insert=TRACK:ROW      press Insert on ROW (the last deleted event, or a copy of ROW)\n"
    "  delete=TRACK:ROW      press Delete on ROW (the event goes to the reinsert buffer)\n"
    "  newrow=TRACK          press Down on the last row and commit the new row\n"
    "  step=LENGTH           the step of new rows (quarters/ticks, or 0)\n"
    "  shift=TRACK:ROW:POSITION:song|track   Shift Location from ROW's tick to POSITION\n"
    "  rpn=TRACK:POSITION:GROUP:PARAMETER:DATA[:RR]   RPN/NRPN insertion by the names of RPN.TXT and\n"
    "                        NRPN.TXT (events one step apart)\n"
    "  sysex=TRACK:ROW:HEXTEXT  a SysEx message (F0 .. F7) into ROW's SysEx event\n";

namespace {

bool ReadTrack(std::string_view s, int& t) {
  int64_t v;
  if (!TryParseInt(s, v) || v < 0 || v > 64) return false;
  t = int(v);
  return true;
}

bool ReadRow(std::string_view s, uint32_t& row) {
  int64_t v;
  if (!TryParseInt(s, v) || v < 0 || v > 0xFFFFFFFll) return false;
  row = uint32_t(v);
  return true;
}

// Splits `value` at its first `n` colons; the last part keeps any further ones.
std::vector<std::string_view> SplitFirst(std::string_view value, size_t n) {
  std::vector<std::string_view> parts;
  while (parts.size() < n) {
    size_t c = value.find(':');
    if (c == std::string_view::npos) break;
    parts.push_back(value.substr(0, c));
    value.remove_prefix(c + 1);
  }
  parts.push_back(value);
  return parts;
}

struct ListTables {
  EditNameTables Names;
  std::unique_ptr<TSysExParamNodes> Nodes;
  std::optional<RpnTable> Rpn;
  bool RpnLoaded = false;
};

void LoadTables(const std::string& dataDir, ListTables& t, std::ostream& err, bool withNodes) {
  LoadEditNameTables(dataDir, t.Names, [&](const std::string& m) { err << m << "\n"; });
  if (withNodes) {
    t.Nodes = std::make_unique<TSysExParamNodes>();
    if (!t.Nodes->Load(dataDir + "/SysEx")) err << t.Nodes->LoadError() << "\n";
  }
}

ListTextContext MakeContext(const ListTables& t, const ListCliContext& c, int settings) {
  ListTextContext x;
  x.Control = &t.Names.Control;
  x.Meta = &t.Names.Meta;
  x.Nodes = t.Nodes.get();
  x.PatchName = c.PatchName;
  x.Settings = settings;
  IniFile ini;
  ini.Load(c.DataDir + "/MELKO.INI");
  x.CenterC = std::clamp(ini.ReadInteger("User", "CenterC", 0), -2, 2);
  return x;
}

// The editor of the batch form and what it keeps from command to command.
struct ListBatchState {
  ListCliContext Context;
  ListTables Tables;
  bool TablesLoaded = false;
  std::unique_ptr<TEventListEditor> Editor;
  Song* ForSong = nullptr;
  uint32_t Step = 0;
  bool HasStep = false;
};

TEventListEditor& EnsureEditor(ListBatchState& st, EditSession& s) {
  if (!st.TablesLoaded) {
    LoadTables(st.Context.DataDir, st.Tables, s.Err, true);
    st.TablesLoaded = true;
  }
  if (!st.Editor || st.ForSong != &s.TheSong) {
    st.Editor = std::make_unique<TEventListEditor>(s.TheSong, s.Dispatcher);
    st.ForSong = &s.TheSong;
    const ListTextContext x = MakeContext(st.Tables, st.Context, 1);
    st.Editor->Context = x;
    if (st.HasStep) st.Editor->Step = st.Step;
  }
  return *st.Editor;
}

TEventListEditor& EditorFor(ListBatchState& st, EditSession& s, int track) {
  TEventListEditor& e = EnsureEditor(st, s);
  // Always the song as it is now: other commands may have changed it.
  e.Open(track);
  return e;
}

void Report(EditSession& s, std::string_view what, const ListKeyResult& r) {
  if (r.Refusal.empty()) return;
  s.Err << what << ": " << r.Refusal << "\n";
  s.Refused = true;
}

int ListCommand(ListBatchState& st, std::string_view name, std::string_view value, bool hasValue, EditSession& s) {
  const std::string what = std::string(name) + "=" + std::string(value);
  if (name == "cell" && hasValue) {
    auto p = SplitFirst(value, 3);
    int track, col;
    uint32_t row;
    int64_t c;
    if (p.size() != 4 || !ReadTrack(p[0], track) || !ReadRow(p[1], row) || !TryParseInt(p[2], c) || c < 1 || c > 4)
      return 2;
    col = int(c);
    TEventListEditor& e = EditorFor(st, s, track);
    ListKeyResult r = e.SelectFull(row);
    if (r.Refusal.empty()) {
      e.Column = col;
      r = e.TypeCell(col, p[3], true);
    }
    Report(s, what, r);
    return 1;
  }
  if ((name == "insert" || name == "delete") && hasValue) {
    auto p = SplitText(value, ':');
    int track;
    uint32_t row;
    if (p.size() != 2 || !ReadTrack(p[0], track) || !ReadRow(p[1], row)) return 2;
    TEventListEditor& e = EditorFor(st, s, track);
    ListKeyResult r = e.SelectFull(row);
    if (r.Refusal.empty()) r = name == "insert" ? e.KeyInsert() : e.KeyDelete();
    Report(s, what, r);
    return 1;
  }
  if (name == "newrow" && hasValue) {
    int track;
    if (!ReadTrack(value, track)) return 2;
    TEventListEditor& e = EditorFor(st, s, track);
    ListKeyResult r;
    if (!e.Model().RowCount()) {
      r.Refusal = "the track has no event to copy";
    } else {
      e.Select(long(e.Model().RowCount()) - 1);
      e.KeyDown();
      r = e.CommitRow();
    }
    Report(s, what, r);
    return 1;
  }
  if (name == "step" && hasValue) {
    TEventListEditor& e = EnsureEditor(st, s);
    e.SetStepText(value);
    st.Step = e.Step;
    st.HasStep = true;
    return 1;
  }
  if (name == "shift" && hasValue) {
    auto p = SplitText(value, ':');
    int track;
    uint32_t row;
    if (p.size() != 4 || !ReadTrack(p[0], track) || !ReadRow(p[1], row) || (p[3] != "song" && p[3] != "track"))
      return 2;
    TEventListEditor& e = EditorFor(st, s, track);
    ListKeyResult r = e.SelectFull(row);
    if (r.Refusal.empty()) {
      ShiftOutcome o = ShiftLocation(s.TheSong, s.Dispatcher, track, e.Current().Time, p[2], p[3] == "song");
      r.Refusal = o.Message;
    }
    Report(s, what, r);
    return 1;
  }
  if (name == "rpn" && hasValue) {
    auto p = SplitText(value, ':');
    int track;
    int64_t data, rr = 0;
    if ((p.size() != 5 && p.size() != 6) || !ReadTrack(p[0], track) || !TryParseInt(p[4], data) ||
        (p.size() == 6 && !TryParseInt(p[5], rr)))
      return 2;
    TEventListEditor& e = EditorFor(st, s, track);
    if (!st.Tables.RpnLoaded) {
      st.Tables.Rpn.emplace();
      if (!LoadRpnTables(st.Context.DataDir, *st.Tables.Rpn)) st.Tables.Rpn.reset();
      st.Tables.RpnLoaded = true;
    }
    ListKeyResult r;
    int g = 0, i = 0;
    if (!st.Tables.Rpn) {
      r.Refusal = kMsgNoRpnFile;
    } else if (!FindRpnParam(*st.Tables.Rpn, p[2], p[3], g, i)) {
      r.Refusal = "no parameter \"" + std::string(p[3]) + "\" in the RPN/NRPN group \"" + std::string(p[2]) + "\"";
    } else {
      const uint32_t tick = LocTextToTick(s.TheSong.Maps, p[1], 0);
      std::string text;
      // The dialog's step box starts at 0.
      auto events = MakeRpnEvents(st.Tables.Rpn->Groups[size_t(g)].Params[size_t(i)], g > 0, data, rr, tick, 0, text);
      r = e.InsertEvents(events, kHintRpnInsert);
    }
    Report(s, what, r);
    return 1;
  }
  if (name == "sysex" && hasValue) {
    auto p = SplitFirst(value, 2);
    int track;
    uint32_t row;
    if (p.size() != 3 || !ReadTrack(p[0], track) || !ReadRow(p[1], row)) return 2;
    TEventListEditor& e = EditorFor(st, s, track);
    ListKeyResult r = e.SelectFull(row);
    if (r.Refusal.empty()) {
      // As the window does it: the dialog opens on the row's message, the
      // text goes into its hex box, and OK hands back what it accepted.
      std::string accepted(p[2]);
      const TMidiEvent& ev = e.Current();
      if (st.Tables.Nodes && ev.Status == 0xF0) {
        const int code = SysExDialogOk(*st.Tables.Nodes, SysExHexText(ev), p[2], accepted);
        if (code != 0) r.Refusal = TSysExParamNodes::ErrorText(code);
      }
      if (r.Refusal.empty()) r = e.SetSysExText(accepted);
    }
    Report(s, what, r);
    return 1;
  }
  return 0;
}

}  // namespace

EditExtension ListEditExtension(const ListCliContext& context) {
  auto st = std::make_shared<ListBatchState>();
  st->Context = context;
  return [st](std::string_view name, std::string_view value, bool hasValue, EditSession& s) {
    return ListCommand(*st, name, value, hasValue, s);
  };
}

int RunList(const std::vector<std::string>& args, const ListCliContext& context, std::ostream& out,
            std::ostream& err) {
  auto usage = [&]() {
    err << "usage: melko " << kListUsage << "\n";
    return 2;
  };
  if (args.size() < 3) return usage();
  int track;
  if (!ReadTrack(args[2], track)) return usage();
  ListFilter filter;
  long selected = -1;
  int settings = 1;
  for (size_t i = 3; i < args.size(); ++i) {
    const std::string& a = args[i];
    const size_t eq = a.find('=');
    if (eq == std::string::npos) return usage();
    const std::string_view name = std::string_view(a).substr(0, eq), value = std::string_view(a).substr(eq + 1);
    int64_t v;
    if (!TryParseInt(value, v)) return usage();
    if (name == "filter" && v >= 0 && v <= 255) filter.Bits = uint8_t(v);
    else if (name == "ctrl" && v >= 0 && v <= 127) filter.CtrlOn = true, filter.Ctrl = uint8_t(v);
    else if (name == "meta" && v >= 0 && v <= 127) filter.MetaOn = true, filter.Meta = uint8_t(v);
    else if (name == "selected" && v >= 0) selected = long(v);
    else if (name == "settings" && v >= 0 && v <= 3) settings = int(v);
    else return usage();
  }
  Song song;
  StreamPrompt prompt(err);
  if (!OpenSongFile(song, args[1], prompt, BatchConverter())) return 1;
  ListTables tables;
  LoadTables(context.DataDir, tables, err, true);
  ListTextContext x = MakeContext(tables, context, settings);
  x.Maps = &song.Maps;
  x.Tpqn = song.TPQN;
  TEventListModel model;
  model.Filter = filter;
  model.Load(song, track);
  std::string line;
  for (size_t row = 0; row < model.RowCount(); ++row) {
    line.clear();
    for (int col = 0; col < TEventListModel::kColumns; ++col) {
      if (col) line += '\t';
      line += DisplayText(model.CellText(row, col, selected, x));
    }
    if (long(row) == selected) line += "\t*";
    out << line << '\n';
  }
  return 0;
}

}  // namespace melko
