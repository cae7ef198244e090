// The track sheet's commands on the song: the flag clicks (Mute, Solo, Rec
// and their headers), the cell edits (name, channel, pad, delay), and the
// row commands of its popup menu: New, Insert, Delete and Erase, which move
// or reset track rows directly and cannot be undone (the undo is cleared so
// that no old shadow is exchanged into a moved row), and Note to Pad, Pad to
// Note and Note to Lyric, which are ordinary undoable edits. The window and
// the batch form (`melko --edit`) both call these. Each announces its
// changes through the song's notifier; the engine follows the track
// settings from there. Row moves expect playback stopped (the window stops
// it first). UI thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit/edit_dispatcher.h"
#include "song/song.h"

namespace melko {

extern const char* const kMsgDeleteTracks;  // "TR %d ～ TR %d を削除します。よろしいですか？"
extern const char* const kMsgEraseTracks;   // "TR %d ～ TR %d を消去します。よろしいですか？"
extern const char* const kHintNoteToPad;    // "<Track>Note to Pad"
extern const char* const kHintPadToNote;    // "<Track>Pad to Note"
extern const char* const kHintNoteToLyric;  // "<Track>Note to Lyric"
extern const char* const kHintMarker;       // "<Track>マーカー入力"
extern const char* const kMsgMarkerExists;  // "同じ位置に既にマーカーがあります!"

// The question of Delete or Erase for tracks from..to.
std::string TrackRangeQuestion(const char* format, int from, int to);

// Flag clicks over the selected rows (tracks 1..64).
void MuteClick(Song& song, const std::vector<int>& selected, bool ctrl);
void MuteHeaderClick(Song& song, bool ctrl);
void SoloClick(Song& song, int track);
void SoloHeaderClick(Song& song);
void RecClick(Song& song, const std::vector<int>& selected, int clicked, bool singleRec);

// Cell edits: the typed text into row r's setting.
void SetTrackNameText(Song& song, int r, const std::string& text);  // raw bytes as typed
void SetChannelText(Song& song, int r, std::string_view text);    // "1".."16"
void SetPadText(Song& song, int r, std::string_view text, int centerC);
void SetDelayText(Song& song, int r, std::string_view text);

// Row commands that move or reset rows (not undoable). New and Insert return
// false when they do nothing (New past the last used track or with 64 used;
// Insert onto the range itself or just after it: the window beeps).
bool TrackNew(Song& song, EditDispatcher& d, int sheetRow);
bool TrackInsert(Song& song, EditDispatcher& d, int sheetRow);
void TrackDelete(Song& song, EditDispatcher& d);  // the range's tracks, after Yes
void TrackErase(Song& song, EditDispatcher& d);   // the range's tracks, after Yes

// Undoable rebuilds, each in one edit frame of the dispatcher. False when
// nothing could be done (no track of the range has a pad key).
bool NoteToPad(Song& song, EditDispatcher& d, int sourceTrack, bool mix);
bool PadToNote(Song& song, EditDispatcher& d);
bool NoteToLyric(Song& song, EditDispatcher& d, int sheetRow);
// A marker with `text` (raw bytes) at EditFromTick in the conductor track, in
// one edit frame; false (nothing added) when a marker already stands there.
bool AddMarker(Song& song, EditDispatcher& d, const std::string& text);

}  // namespace melko
