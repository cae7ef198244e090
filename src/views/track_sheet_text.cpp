#include "views/track_sheet_text.h"

#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "edit/tool_text.h"
#include "song/song_cli.h"
#include "song/smf_reader.h"
#include "views/event_map.h"

namespace melko {

const char* const kSheetHeaders[kSheetColumns] = {"No.",        "Track Name",     "Mute", "Solo",  "Rec",    "Ch",
                                                  "Instrument", "Program Change", "Pad",  "Delay", "OutPort"};
const char* const kSheetMark = "●";

std::string SheetCellText(const Song& song, int r, int column, const SheetTextContext& c, bool wide) {
  if (r < 1 || r > 64) return {};
  const size_t i = size_t(r);
  switch (column) {
    case kColNo: return std::to_string(r);
    case kColName: return DisplayText(song.TrackNames[i]);
    case kColMute: return song.Mute[i] ? kSheetMark : "";
    case kColSolo: return song.Solo == r ? kSheetMark : "";
    case kColRec: return song.Rec[i] ? kSheetMark : "";
    case kColCh: return std::to_string(song.Ch[i] + 1);
    case kColInstrument: return DisplayText(song.Instrument[i]);
    case kColProgram: {
      const uint32_t patch = song.ProgramChange[i];
      const uint32_t program = patch & 0xFF;
      if (program >= 128) return "- ";
      if (!wide) return std::to_string(program + 1);
      std::string name = c.PatchName ? c.PatchName(song.Instrument[i], patch) : std::string();
      return name.empty() ? std::to_string(program + 1) : name;
    }
    case kColPad: return song.Pad[i] >= 128 ? "-" : NoteText(song.Pad[i], c.CenterC);
    case kColDelay: return std::to_string(song.Delay[i]);
    case kColOutPort: {
      std::string port(1, char('A' + (song.OutPort[i] & 3)));
      if (wide && !c.PortDevices[song.OutPort[i] & 3].empty()) port += " " + c.PortDevices[song.OutPort[i] & 3];
      return port;
    }
    default: return {};
  }
}

int RunTracks(const std::vector<std::string>& args, const SheetTextContext& context, std::ostream& out,
              std::ostream& err) {
  if (args.size() < 2 || args.size() > 3) {
    err << "usage: melko --tracks FILE [quant=Q]\n";
    return 2;
  }
  int quant = 0;
  if (args.size() == 3) {
    int64_t q;
    if (args[2].rfind("quant=", 0) != 0 || !TryParseInt(std::string_view(args[2]).substr(6), q) || q < kMinMapQuant ||
        q > kMaxMapQuant) {
      err << "melko --tracks: quant= wants 1..64 cells per whole note\n";
      return 2;
    }
    quant = int(q);
  }
  Song song;
  StreamPrompt prompt(err);
  if (!OpenSongFile(song, args[1], prompt, BatchConverter())) return 1;
  const int last = std::max(song.LastUsedTrack(0), 1);
  for (int r = 1; r <= last; ++r) {
    song.GetTrackPatch(r);
    for (int col = 0; col < kSheetColumns; ++col) out << (col ? "\t" : "") << SheetCellText(song, r, col, context);
    out << "\n";
  }
  if (quant) {
    TEventMaps maps;
    maps.MapQuant = quant;
    static const char kHex[] = "0123456789ABCDEF";
    for (int r = 1; r <= last; ++r) {
      maps.Build(song, r);
      std::string line;
      for (uint8_t cell : maps.MapCells[size_t(r)]) line += kHex[cell & 15];
      out << r << "\t" << line << "\n";
    }
  }
  return 0;
}

}  // namespace melko
