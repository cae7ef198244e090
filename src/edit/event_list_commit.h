// What a text typed into an event list cell does to its event (by column and
// kind), the checked reader of typed SysEx hex text, and the write-back of a
// track's whole event array as one undoable edit.
//
// UI thread. ApplyCellText changes only the event given (new payloads go to
// the model's store); WriteEventsBack runs the dispatcher's frame: BeginEdit,
// the track rebuilt in its shadow, SwapTrack, the maps rebuilt for the
// conductor track, FinishEdit with the hint.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "edit/event_list_model.h"

namespace melko {

class EditDispatcher;

extern const char* const kHintListEdit;      // "<List>イベント修正"
extern const char* const kMsgMeterFixed;     // a time signature moved or deleted (batch form only)

struct CellCommit {
  bool Changed = false;
  std::string Refusal;  // non-empty: nothing changed, and this is why
};

// Types `text` (UTF-8, as shown) into column `col` of `ev`. Text that does
// not read keeps the old value; text equal to what the cell shows changes
// nothing. The kind name in front of a column 2 text and the space in front
// of a column 4 text may be typed along.
CellCommit ApplyCellText(TMidiEvent& ev, int col, std::string_view text, bool conductor, const ListTextContext& c,
                         TEventListModel& model);

// Reads "F0 .. F7" hexadecimal text (bytes separated by blanks or not):
// at most kMaxTypedSysExBytes bytes, starting with F0, ending with F7, data
// bytes below 80. On success `bytes` holds the message from F0 on and the
// result is 0; else a code of TSysExParamNodes::ErrorText (1 framing, 2 a
// data byte too big, 3 too long), or 5 for text that is not hexadecimal.
int ParseSysExHex(std::string_view text, std::string& bytes);
// The message for a code of ParseSysExHex.
std::string SysExHexError(int code);

// Rebuilds track `track` from `events` in order (absolute ticks) as one edit.
void WriteEventsBack(Song& song, EditDispatcher& dispatcher, int track, const std::vector<TMidiEvent>& events,
                     const std::string& hint);

// The tempo event of 120 BPM that stands in for a copied time signature.
TMidiEvent DefaultTempoEvent(uint32_t tick);

}  // namespace melko
