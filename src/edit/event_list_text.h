// The cell texts of the event list's five columns, for one decoded event:
// row number, location (with the blanking of parts equal to the previous
// row's), kind name and first data value, and the third and fourth columns by
// kind (values, tempo in BPM, meter and key texts, SMPTE offset, texts,
// controller and meta names, patch names, SysEx descriptions). Texts are raw
// bytes as stored; the window and the batch form show them with DisplayText.
// Pure functions over the context given; UI thread (the SysEx nodes are
// walked, which writes their variable fields).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "edit/name_tables.h"
#include "song/midi_event.h"
#include "song/song_maps.h"

namespace melko {

class TSysExParamNodes;

// The patch name of a program change in the instrument definition a track's
// Instrument setting names: patch key (program, bank LSB, bank MSB, drum
// flag; a bank byte of 255 when none was selected). Empty when unknown; the
// list then shows the program number from 1. PatchNamer (views) fits.
using ListPatchNamer = std::function<std::string(const std::string& instrument, uint32_t patchKey)>;

// "List" "Settings" bits.
constexpr int kListDecimalCtrl = 1;  // controller numbers in decimal
constexpr int kListEnterCommits = 2; // Enter commits at once

struct ListTextContext {
  const SongMaps* Maps = nullptr;
  uint32_t Tpqn = 480;
  int CenterC = 0;
  int Settings = 1;                      // "List" "Settings"
  const NameTable* Control = nullptr;    // CONTROL.TXT
  const NameTable* Meta = nullptr;       // META.TXT
  TSysExParamNodes* Nodes = nullptr;     // for SysEx descriptions; may be null
  ListPatchNamer PatchName;              // may be empty
};

// The six-character kind name of an event ("Note  ", "Tempo ", "1F    ").
std::string KindName(const TMidiEvent& ev);
// Column 1 in full: "%3d/ %2d/ %3d" (measure from 0, beat from 1, tick).
std::string LocationText(const SongMaps& maps, uint32_t tick);
// Column 1 as a row shows it: unselected rows blank the measure when it
// equals the previous row's, then the beat, then the tick (all equal: empty).
std::string LocationCell(const SongMaps& maps, uint32_t tick, bool hasPrevious, uint32_t previousTick, bool selected);
// Column 2: the kind name and, for channel messages, the first data value.
std::string KindCell(const TMidiEvent& ev, bool conductor, const ListTextContext& c);
// The first data value alone ("C  3", "07", "1", "-8192").
std::string FirstValueText(const TMidiEvent& ev, const ListTextContext& c);
// Columns 3 and 4; `bankKey` is the patch key of a program change with the
// bank selected before it (see ListPatchNamer).
std::string ThirdCell(const TMidiEvent& ev, bool conductor, const ListTextContext& c);
std::string FourthCell(const TMidiEvent& ev, const std::string& instrument, uint32_t bankKey,
                       const ListTextContext& c);

// The name of a code in a name table, or empty.
std::string TableName(const NameTable* table, uint8_t code);
// "hh:mm:ss:ff.ff" of an SMPTE offset payload.
std::string SmpteText(const TMidiEvent& ev);
// A SysEx event's hexadecimal text, from its status byte on ("F0 41 ... F7").
std::string SysExHexText(const TMidiEvent& ev);
// A SysEx description: the parameter and value the nodes recognise, else
// the hexadecimal text.
std::string SysExDescription(const TMidiEvent& ev, TSysExParamNodes* nodes);
// Whether a meta type carries text (1..15).
inline bool IsTextMeta(uint8_t type) { return type >= 1 && type <= 15; }

}  // namespace melko
