// What the track sheet's cells say: the texts of the eleven columns of a
// track row, as the window draws them and `melko --tracks` prints them. The
// patch names come from the instrument definitions through a lookup the
// caller gives (the program number shows without one). UI thread.
#pragma once

#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "song/song.h"

namespace melko {

enum SheetColumn : int {
  kColNo = 0,
  kColName = 1,
  kColMute = 2,
  kColSolo = 3,
  kColRec = 4,
  kColCh = 5,
  kColInstrument = 6,
  kColProgram = 7,
  kColPad = 8,
  kColDelay = 9,
  kColOutPort = 10,
  kSheetColumns = 11,
};

extern const char* const kSheetHeaders[kSheetColumns];
extern const char* const kSheetMark;  // the mark of a set flag

struct SheetTextContext {
  // The patch name of `patch` (the ProgramChange value: drum bit << 24 |
  // MSB << 16 | LSB << 8 | program) in instrument definition `instrument`;
  // empty when unknown.
  std::function<std::string(const std::string& instrument, uint32_t patch)> PatchName;
  std::array<std::string, 4> PortDevices;  // the device of each port A..D
  int CenterC = 0;
};

// The text of row r's cell in `column`; `wide` as in a column wide enough
// for names (the program number and the bare port letter otherwise). The
// program column needs GetTrackPatch to have run for the row.
std::string SheetCellText(const Song& song, int r, int column, const SheetTextContext& context, bool wide = true);

// `melko --tracks FILE [quant=Q]`: one line per track 1..LastTrack with the
// eleven cell texts separated by TABs, then with `quant` each track's event
// map as one hexadecimal digit per cell.
int RunTracks(const std::vector<std::string>& args, const SheetTextContext& context, std::ostream& out,
              std::ostream& err);

}  // namespace melko
