#include "app/cli_commands.h"

#include <algorithm>
#include <memory>

#include "archive/archive_cli.h"
#include "base/ini_file.h"
#include "song/song_cli.h"
#ifdef HAVE_MELKO_MIDI
#include "midi/midi_cli.h"
#endif
#ifdef HAVE_MELKO_EDIT
#include "edit/edit_cli.h"
#include "edit/event_list_cli.h"
#endif
#ifdef HAVE_MELKO_VIEWS
#include "views/sheet_cli.h"
#include "views/patch_names.h"
#include "views/rhythm_cli.h"
#include "views/track_sheet_text.h"
#endif
#ifdef HAVE_MELKO_SYSEX
#include "sysex/sysex_cli.h"
#endif
#ifdef HAVE_MELKO_INSTRUMENTS
#include "instruments/instruments_cli.h"
#endif

namespace melko {

#ifdef HAVE_MELKO_VIEWS
namespace {
// The ports' devices as the settings name them.
SheetTextContext SheetContext(const std::string& dataDir) {
  SheetTextContext c;
  IniFile ini;
  ini.Load(dataDir + "/MELKO.INI");
  for (int p = 0; p < 4; ++p) {
    std::string name = ini.ReadString("Port", "Port" + std::to_string(p) + "Name", "");
    if (name.empty() && p == 0 && !ini.ValueExists("Port", "Port0")) name = "MELKO Synth (FluidSynth)";
    c.PortDevices[size_t(p)] = name.empty() ? "(Not in Use)" : name;
  }
  c.CenterC = int(std::clamp(ini.ReadInteger("User", "CenterC", 0), -2, 2));
  // The definitions live as long as the command runs.
  static std::unique_ptr<TmInstruments> instruments;
  instruments = std::make_unique<TmInstruments>(dataDir + "/INST");
  c.PatchName = PatchNamer(*instruments);
  return c;
}
}  // namespace
#endif

#ifdef HAVE_MELKO_EDIT
namespace {
// The event list's tables and, with the views, the patch names.
ListCliContext ListContext(const std::string& dataDir) {
  ListCliContext c;
  c.DataDir = dataDir;
#ifdef HAVE_MELKO_VIEWS
  c.PatchName = SheetContext(dataDir).PatchName;
#endif
  return c;
}
}  // namespace
#endif

const std::vector<CliCommand>& CliCommands() {
  static const std::vector<CliCommand> commands = {
      {"--dump", "--dump FILE", "load FILE as opening a song does and print its log and its events",
       [](CliContext& c) { return RunDump(c.Args, c.Out, c.Err); }},
      {"--convert", "--convert IN OUT [--format0]", "load IN and save it as OUT (format 1, or 0)",
       [](CliContext& c) { return RunConvert(c.Args, c.Out, c.Err); }},
      {"--archive-list", "--archive-list ARCHIVE",
       "list the members of an LZH or ZIP archive (name, size, DOS time) through the archive cache; every FILE "
       "of the other commands may also name a member as ARCHIVE>MEMBER",
       [](CliContext& c) { return RunArchiveList(c.Args, c.DataDir, c.Out, c.Err); }},
#ifdef HAVE_MELKO_MIDI
      {"--list-devices", "--list-devices", "print the MIDI output and input device tables with their indices",
       [](CliContext& c) { return RunListDevices(c.Args, c.DataDir, c.Out, c.Err); }},
      {"--play", "--play FILE [--from POSITION] [--loop] [--port A=INDEX ...]",
       "play FILE in real time on the configured ports (the built-in synth by default); POSITION as the range "
       "boxes show it, MEASURE or MEASURE/BEAT/TICK with measures counted from 0 (--from 4 or --from 4/1/0)",
       [](CliContext& c) { return RunPlay(c.Args, c.DataDir, c.Out, c.Err); }},
      {"--render", "--render FILE OUT.wav [--soundfont SF2]",
       "render FILE through the built-in synth into a 44.1 kHz 16-bit stereo WAV file",
       [](CliContext& c) { return RunRender(c.Args, c.DataDir, c.Out, c.Err); }},
#endif
#if defined(HAVE_MELKO_VIEWS)
      {"--tracks", "--tracks FILE [quant=Q]",
       "print the track sheet: one line per track with its eleven cells separated by TABs; with quant=Q "
       "(1..64 cells per whole note) also each track's event map, a hexadecimal digit per cell "
       "(1 note, 2 controller, 4 program change, 8 system exclusive)",
       [](CliContext& c) { return RunTracks(c.Args, SheetContext(c.DataDir), c.Out, c.Err); }},
      {"--rhythm", "--rhythm FILE.RYM",
       "print every pattern of a rhythm pattern file: name, quant, meter, measures, shuffle, instrument, drum set, "
       "map, then its cells as `step note velocity`",
       [](CliContext& c) { return RunRhythmPrint(c.Args, c.Out, c.Err); }},
      {"--edit", "--edit IN OUT COMMAND...", SheetEditHelp(),
       [](CliContext& c) { return RunSheetEditWith(c.Args, c.Out, c.Err, ListEditExtension(ListContext(c.DataDir))); }},
#elif defined(HAVE_MELKO_EDIT)
      {"--edit", "--edit IN OUT COMMAND...", kEditCommandHelp,
       [](CliContext& c) { return RunEdit(c.Args, c.Out, c.Err, ListEditExtension(ListContext(c.DataDir))); }},
#endif
#ifdef HAVE_MELKO_EDIT
      {"--list", kListUsage, kListHelp,
       [](CliContext& c) { return RunList(c.Args, ListContext(c.DataDir), c.Out, c.Err); }},
#endif
#ifdef HAVE_MELKO_SYSEX
      {"--sysex", "--sysex TEXT",
       "show what the SysEx tables make of TEXT: hex bytes (\"ss\" marks the checksum start) or a parameter name",
       [](CliContext& c) { return RunSysexCommand(c.Args, c.DataDir, c.Out, c.Err); }},
      {"--sysex-list", "--sysex-list [GROUP]", "list the SysEx parameter groups and their parameters",
       [](CliContext& c) { return RunSysexCommand(c.Args, c.DataDir, c.Out, c.Err); }},
#endif
#ifdef HAVE_MELKO_INSTRUMENTS
      {"--instruments", "--instruments [NAME]",
       "list the instrument and drum definitions, or the patches (by bank) or drum sets of the one NAME names "
       "(display name or file name)",
       [](CliContext& c) { return RunInstrumentsCommand(c.Args, c.DataDir, c.Out, c.Err); }},
#endif
  };
  return commands;
}

}  // namespace melko
