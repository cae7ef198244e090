#include "views/sheet_cli.h"

#include <string_view>

#include "base/int_helpers.h"
#include "edit/edit_cli.h"
#include "edit/edit_dispatcher.h"
#include "edit/event_list_cli.h"
#include "views/mixer_cli.h"
#include "views/mixer_state.h"
#include "views/rhythm_cli.h"
#include "views/score_cli.h"
#include "views/track_commands.h"

namespace melko {

namespace {

const char* const kSheetHelp =
    "the track sheet (its clicks, cells and popup menu):\n"
    "  row=ROW               the row the menu opens on (1..64); right after it, insert and erase\n"
    "                        are the sheet's (move the range's tracks before ROW; empty them)\n"
    "  new                   an empty track at ROW, the later tracks one row down\n"
    "  delete                delete the range's tracks (answered Yes); later tracks move up\n"
    "  notetopad=paste|mix   the notes of ROW's track by each range track's pad key into it\n"
    "  padtonote             every note of the range's tracks with a pad key becomes that key\n"
    "  notetolyric           an empty lyric after the first note of each tick of ROW's track\n"
    "  marker=TEXT           a marker at the range start\n"
    "  set=TRACK:FIELD=TEXT  type TEXT into a cell; FIELD name, ch, pad, delay, port (A..D),\n"
    "                        patch (PROGRAM[:MSB:LSB], programs from 1)\n"
    "  mute=T[,T...][:ctrl]  click Mute on these rows (with Ctrl)   mutehead[:ctrl]  the header\n"
    "  solo=TRACK  solohead  rec=TRACK   the Solo and Rec clicks\n"
    "New, insert, delete and erase of rows cannot be undone and clear the undo\n";

bool Track(std::string_view s, int& t) {
  int64_t v;
  if (!TryParseInt(s, v) || v < 1 || v > 64) return false;
  t = int(v);
  return true;
}

int SetCell(std::string_view value, EditSession& s) {
  const size_t colon = value.find(':'), eq = value.find('=');
  int t;
  if (colon == std::string_view::npos || eq == std::string_view::npos || eq < colon || !Track(value.substr(0, colon), t))
    return 2;
  const std::string_view field = value.substr(colon + 1, eq - colon - 1);
  const std::string text(value.substr(eq + 1));
  Song& song = s.TheSong;
  if (field == "name") SetTrackNameText(song, t, text);
  else if (field == "ch") SetChannelText(song, t, text);
  else if (field == "pad") SetPadText(song, t, text, 0);
  else if (field == "delay") SetDelayText(song, t, text);
  else if (field == "port") {
    if (text.size() != 1 || text[0] < 'A' || text[0] > 'D') return 2;
    song.OutPort[size_t(t)] = uint8_t(text[0] - 'A');
    song.SongSaved = false;
    song.Changes.Notify(kChangeTrackSettings, t);
  } else if (field == "patch") {
    auto p = SplitText(text, ':');
    int64_t program, msb = 255, lsb = 255;
    if ((p.size() != 1 && p.size() != 3) || !TryParseInt(p[0], program) || program < 1 || program > 128) return 2;
    if (p.size() == 3 && (!TryParseInt(p[1], msb) || !TryParseInt(p[2], lsb) || msb < 0 || msb > 127 || lsb < 0 ||
                          lsb > 127))
      return 2;
    SongNotifier::Batch batch(song.Changes);
    s.Dispatcher.BeginEdit();
    song.SetTrackPatch(t, uint8_t(msb), uint8_t(lsb), uint8_t(program - 1));
    s.Dispatcher.FinishEdit("<Track>Program Change");
    song.Changes.Notify(kChangeTrackSettings, t);
  } else {
    return 2;
  }
  return 1;
}

int SheetCommand(std::string_view name, std::string_view value, bool hasValue, EditSession& s, int& sheetRow) {
  Song& song = s.TheSong;
  EditDispatcher& d = s.Dispatcher;
  auto report = [&](const std::string& what) { s.Out << what << "\n"; };
  if (name == "row") {
    if (!hasValue || !Track(value, sheetRow)) return 2;
    return 1;
  }
  if (name == "new" && !hasValue) {
    if (!TrackNew(song, d, sheetRow)) {
      s.Err << "new: nothing to do at row " << sheetRow << "\n";
      s.Refused = true;
    }
    report("new: row " + std::to_string(sheetRow));
    return 1;
  }
  if (name == "insert" && !hasValue && s.AfterRow) {
    if (!TrackInsert(song, d, sheetRow)) {
      s.Err << "insert: the range cannot move before row " << sheetRow << "\n";
      s.Refused = true;
    }
    report("insert: before row " + std::to_string(sheetRow));
    return 1;
  }
  if (name == "delete" && !hasValue) {
    report(TrackRangeQuestion(kMsgDeleteTracks, d.Range.EditFromTrack, d.Range.EditToTrack) + " Yes");
    TrackDelete(song, d);
    return 1;
  }
  if (name == "erase" && !hasValue && s.AfterRow) {
    report(TrackRangeQuestion(kMsgEraseTracks, d.Range.EditFromTrack, d.Range.EditToTrack) + " Yes");
    TrackErase(song, d);
    return 1;
  }
  if (name == "notetopad") {
    if (!hasValue || (value != "paste" && value != "mix")) return 2;
    if (!NoteToPad(song, d, sheetRow, value == "mix")) {
      s.Err << "notetopad: no track of the range has a pad key\n";
      s.Refused = true;
    }
    return 1;
  }
  if (name == "padtonote" && !hasValue) {
    if (!PadToNote(song, d)) {
      s.Err << "padtonote: no track of the range has a pad key\n";
      s.Refused = true;
    }
    return 1;
  }
  if (name == "notetolyric" && !hasValue) {
    NoteToLyric(song, d, sheetRow);
    return 1;
  }
  if (name == "marker") {
    if (!hasValue) return 2;
    if (!AddMarker(song, d, std::string(value))) {
      s.Err << kMsgMarkerExists << "\n";
      s.Refused = true;
    }
    return 1;
  }
  if (name == "set") return hasValue ? SetCell(value, s) : 2;
  if (name == "mute") {
    if (!hasValue) return 2;
    auto parts = SplitText(value, ':');
    if (parts.size() > 2 || (parts.size() == 2 && parts[1] != "ctrl")) return 2;
    std::vector<int> rows;
    for (std::string_view t : SplitText(parts[0], ',')) {
      int r;
      if (!Track(t, r)) return 2;
      rows.push_back(r);
    }
    MuteClick(song, rows, parts.size() == 2);
    return 1;
  }
  if (name == "mutehead" || name == "mutehead:ctrl") {
    MuteHeaderClick(song, name == "mutehead:ctrl");
    return 1;
  }
  if (name == "solo") {
    int t;
    if (!hasValue || !Track(value, t)) return 2;
    SoloClick(song, t);
    return 1;
  }
  if (name == "solohead" && !hasValue) {
    SoloHeaderClick(song);
    return 1;
  }
  if (name == "rec") {
    int t;
    if (!hasValue || !Track(value, t)) return 2;
    RecClick(song, {t}, t, false);
    return 1;
  }
  return 0;
}

}  // namespace

const char* SheetEditHelp() {
  static const std::string help = std::string(kEditCommandHelp) + kListEditHelp + kSheetHelp + kMixerEditHelp +
                                  kRhythmEditHelp + kScoreEditHelp;
  return help.c_str();
}

int RunSheetEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunSheetEditWith(args, out, err, {});
}

int RunSheetEditWith(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const EditExtension& more) {
  int sheetRow = 1;  // the row the popup menu opens on
  MixerState mixer;  // the mixer's values last for the whole run
  TRhythmSession rhythm;
  ScoreCliState scores;
  return RunEdit(args, out, err,
                 [&sheetRow, &more, &mixer, &rhythm, &scores](std::string_view name, std::string_view value,
                                                              bool hasValue, EditSession& s) {
                   if (more) {
                     const int r = more(name, value, hasValue, s);
                     if (r != 0) return r;
                   }
                   if (name == "score") return hasValue ? RunScoreCommand(value, s, scores) : 2;
                   if (name == "gedit") return hasValue ? RunGEditCommand(value, s) : 2;
                   if (const int r = RhythmEditCommand(name, value, hasValue, s, rhythm)) return r;
                   const int r = SheetCommand(name, value, hasValue, s, sheetRow);
                   return r != 0 ? r : RunMixerCommand(name, value, hasValue, s, mixer);
                 });
}

}  // namespace melko
