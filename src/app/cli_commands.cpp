#include "app/cli_commands.h"

#include "song/song_cli.h"
#ifdef HAVE_MELKO_MIDI
#include "midi/midi_cli.h"
#endif
#ifdef HAVE_MELKO_SYSEX
#include "sysex/sysex_cli.h"
#endif

namespace melko {

const std::vector<CliCommand>& CliCommands() {
  static const std::vector<CliCommand> commands = {
      {"--dump", "--dump FILE", "load FILE as opening a song does and print its log and its events",
       [](CliContext& c) { return RunDump(c.Args, c.Out, c.Err); }},
      {"--convert", "--convert IN OUT [--format0]", "load IN and save it as OUT (format 1, or 0)",
       [](CliContext& c) { return RunConvert(c.Args, c.Out, c.Err); }},
  };
  return commands;
}

}  // namespace melko
