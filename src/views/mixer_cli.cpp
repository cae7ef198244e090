#include "views/mixer_cli.h"

#include <cstdio>
#include <string>

#include "base/int_helpers.h"
#include "edit/edit_dispatcher.h"
#include "views/mixer_commands.h"
#include "views/mixer_follow.h"

namespace melko {

const char* const kMixerEditHelp =
    "the mixer (its knobs, fader, buttons and set dialog; its values last for the whole run):\n"
    "  mixer=TRACK:ROW:VALUE     move knob ROW 0..3 or the fader (4) of TRACK to VALUE (0..127);\n"
    "                            prints the control change sent, or that nothing was sent\n"
    "  mixerprog=TRACK:PROGRAM[:MSB:LSB]  the program button: PROGRAM 0..127 as the button shows it\n"
    "  mixerctrl=ROW:CC          knob row 0..3 shows controller CC (7, volume, is refused)\n"
    "  mixerset=FLAGS:STEP:CASCADE  the set dialog: FLAGS bits 0..4 the rows, bit 5 program and bank\n"
    "                            (0..63); StepInc and CascadeInc in ticks (0..999)\n"
    "  mixermix mixerinit mixerreplace  the dialog's Mix, Init and Replace\n"
    "  mixersync=on|off          the Sync button (off: playback leaves the mixer alone)\n"
    "  follow                    play the whole song silently; the mixer follows it, then its\n"
    "                            values are printed for every track with events\n";

namespace {

bool Number(std::string_view s, int lo, int hi, int& out) {
  int64_t v;
  if (!TryParseInt(s, v) || v < lo || v > hi) return false;
  out = int(v);
  return true;
}

std::string Hex(uint32_t msg) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X %02X %02X", msg & 0xFF, (msg >> 8) & 0xFF, (msg >> 16) & 0xFF);
  return buf;
}

std::string TrackLine(const MixerState& mixer, int t) {
  const MixerTrack& m = mixer.Track(t);
  std::string line = "track " + std::to_string(t) + ":";
  for (int r = 0; r < kMixerRows; ++r)
    line += " " + std::to_string(mixer.RowCtrl[size_t(r)]) + "=" + std::to_string(m.CtrlValue[size_t(r)]);
  line += " program " + ProgramText(m.Program) + " bank " + std::to_string(m.BankMSB) + ":" +
          std::to_string(m.BankLSB) + " meter " + std::to_string(m.Meter);
  return line;
}

std::string UndoText(const EditDispatcher& d) {
  return d.Undo().ButtonEnabled ? d.Undo().ButtonCaption + " " + d.Undo().ButtonHint : std::string("no undo");
}

}  // namespace

int RunMixerCommand(std::string_view name, std::string_view value, bool hasValue, EditSession& s, MixerState& mixer) {
  Song& song = s.TheSong;
  EditDispatcher& d = s.Dispatcher;
  if (name == "mixer") {
    auto p = SplitText(value, ':');
    int t, row, v;
    if (!hasValue || p.size() != 3 || !Number(p[0], 1, 64, t) || !Number(p[1], 0, kMixerRows - 1, row) ||
        !Number(p[2], 0, 127, v))
      return 2;
    const uint32_t msg = mixer.MoveControl(t, row, v, song);
    s.Out << "mixer: track " << t << " controller " << int(mixer.RowCtrl[size_t(row)]) << " = " << v << ": ";
    if (msg) s.Out << "sent " << Hex(msg) << " to port " << char('A' + (song.OutPort[size_t(t)] & 3)) << "\n";
    else s.Out << "unchanged, nothing sent\n";
    return 1;
  }
  if (name == "mixerprog") {
    auto p = SplitText(value, ':');
    int t, program, msb = kNoBank, lsb = kNoBank;
    if (!hasValue || (p.size() != 2 && p.size() != 4) || !Number(p[0], 1, 64, t) || !Number(p[1], 0, 127, program))
      return 2;
    if (p.size() == 4 && (!Number(p[2], 0, 127, msb) || !Number(p[3], 0, 127, lsb))) return 2;
    SetStripPatch(song, d, mixer, t, uint32_t(msb) << 16 | uint32_t(lsb) << 8 | uint32_t(program));
    s.Out << "mixerprog: track " << t << " shows " << ProgramText(program) << "\n";
    return 1;
  }
  if (name == "mixerctrl") {
    auto p = SplitText(value, ':');
    int row, cc;
    if (!hasValue || p.size() != 2 || !Number(p[0], 0, kMixerKnobRows - 1, row) || !Number(p[1], 0, 127, cc)) return 2;
    if (!mixer.AssignRow(row, cc)) {
      s.Err << kMsgVolumeNotAssignable << "\n";
      s.Refused = true;
    }
    return 1;
  }
  if (name == "mixerset") {
    auto p = SplitText(value, ':');
    int flags, step, cascade;
    if (!hasValue || p.size() != 3 || !Number(p[0], 0, int(kMixerAllFlags), flags) || !Number(p[1], 0, 999, step) ||
        !Number(p[2], 0, 999, cascade))
      return 2;
    mixer.MixerCheckedCtrls = uint32_t(flags);
    mixer.StepInc = step;
    mixer.CascadeInc = cascade;
    return 1;
  }
  if (name == "mixersync") {
    if (!hasValue || (value != "on" && value != "off")) return 2;
    mixer.Sync = value == "on";
    return 1;
  }
  if ((name == "mixermix" || name == "mixerinit" || name == "mixerreplace") && !hasValue) {
    bool ran;
    if (name == "mixermix") ran = MixerMix(song, d, mixer);
    else if (name == "mixerinit") ran = MixerInit(song, d, mixer);
    else ran = MixerReplace(song, d, mixer);
    s.Out << name << ": " << (ran ? "" : "nothing to do (no box checked); ") << "tracks " << d.Range.EditFromTrack
          << "-" << d.Range.EditToTrack << "; " << UndoText(d) << "\n";
    return 1;
  }
  if (name == "follow" && !hasValue) {
    const FollowStats f = FollowSong(song, mixer);
    if (!f.Started) {
      s.Out << "follow: nothing to play\n";
      return 1;
    }
    s.Out << "follow: " << f.Events << " events played in " << f.Milliseconds << " ms, " << f.Applied
          << " shown by the mixer" << (mixer.Sync ? "" : " (Sync is off)") << "; most waiting at once " << f.MaxBacklog
          << ", dropped " << f.Dropped << "\n";
    for (int t = 1; t <= 64; ++t)
      if (song.Tracks[size_t(t)].HasData()) s.Out << "follow: " << TrackLine(mixer, t) << "\n";
    return 1;
  }
  return 0;
}

}  // namespace melko
