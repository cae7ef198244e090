#include "edit/event_list_commit.h"

#include <algorithm>

#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "edit/edit_dispatcher.h"
#include "edit/edit_tools.h"
#include "edit/event_list_limits.h"
#include "edit/tool_text.h"
#include "sysex/sysex_param_nodes.h"

namespace melko {

const char* const kHintListEdit = "<List>イベント修正";
const char* const kMsgMeterFixed = "time signatures cannot be moved or deleted in the event list";

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Column 2 may be typed with its kind name in front.
std::string_view WithoutKind(std::string_view text, const TMidiEvent& ev) {
  const std::string kind = KindName(ev);
  std::string_view word = Trim(kind);
  std::string_view t = Trim(text);
  if (t.size() >= word.size() && t.substr(0, word.size()) == word) t.remove_prefix(word.size());
  return Trim(t);
}

bool ReadHexByte(std::string_view t, uint8_t& out) {
  t = Trim(t);
  if (t.empty() || t.size() > 2) return false;
  int v = 0;
  for (char ch : t) {
    int d = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : -1;
    if (d < 0) return false;
    v = v * 16 + d;
  }
  if (v > 127) return false;
  out = uint8_t(v);
  return true;
}

std::string RawText(const TMidiEvent& ev) {
  return ev.Data ? std::string(reinterpret_cast<const char*>(ev.Data), ev.Len) : std::string();
}

// A text meta event gets the typed text (stored as typed text is).
CellCommit SetText(TMidiEvent& ev, std::string_view typed, TEventListModel& model) {
  const std::string raw = RawText(ev);
  if (typed == DisplayText(raw)) return {};
  std::string stored = StoreText(typed);
  if (stored == raw) return {};
  ev.Len = uint32_t(std::min<size_t>(stored.size(), kMaxTypedSysExBytes * 4));
  stored.resize(ev.Len);
  ev.Data = model.Keep(std::move(stored));
  return {true, {}};
}

CellCommit SetSysEx(TMidiEvent& ev, std::string_view typed, const ListTextContext& c, TEventListModel& model) {
  typed = Trim(typed);
  if (typed == DisplayText(SysExDescription(ev, c.Nodes)) || typed == SysExHexText(ev)) return {};
  std::string bytes;
  if (int code = ParseSysExHex(typed, bytes)) return {false, SysExHexError(code)};
  if (ev.Status == 0xF0 && ev.Data && bytes.size() - 1 == ev.Len &&
      std::equal(bytes.begin() + 1, bytes.end(), ev.Data))
    return {};
  ev.Status = 0xF0;
  ev.Len = uint32_t(bytes.size() - 1);
  ev.Data = model.Keep(bytes.substr(1));
  return {true, {}};
}

template <typename T>
CellCommit Set(T& field, int64_t value) {
  if (field == T(value)) return {};
  field = T(value);
  return {true, {}};
}

}  // namespace

int ParseSysExHex(std::string_view text, std::string& bytes) {
  bytes.clear();
  // Two digits and a blank a byte at most, with some slack for stray blanks.
  if (text.size() > kMaxTypedSysExBytes * 4) return 3;
  int pending = -1;
  for (char ch : text) {
    if (ch == ' ' || ch == '\t' || ch == ',') {
      if (pending >= 0) {
        bytes.push_back(char(pending));
        pending = -1;
      }
      continue;
    }
    int d = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : -1;
    if (d < 0) return 5;
    if (pending < 0) {
      pending = d;
    } else {
      bytes.push_back(char(pending * 16 + d));
      pending = -1;
    }
    if (bytes.size() > kMaxTypedSysExBytes) return 3;
  }
  if (pending >= 0) bytes.push_back(char(pending));
  if (bytes.size() > kMaxTypedSysExBytes) return 3;
  if (bytes.size() < 2 || uint8_t(bytes.front()) != 0xF0 || uint8_t(bytes.back()) != 0xF7) return 1;
  for (size_t i = 1; i + 1 < bytes.size(); ++i)
    if (uint8_t(bytes[i]) >= 0x80) return 2;
  return 0;
}

std::string SysExHexError(int code) {
  if (code == 3) return "SysEx は " + std::to_string(kMaxTypedSysExBytes) + " バイトまでです！";
  if (code == 5) return "16進数で入力してください！";
  return TSysExParamNodes::ErrorText(code);
}

TMidiEvent DefaultTempoEvent(uint32_t tick) {
  TMidiEvent e;
  e.Time = tick;
  e.Status = 0xFF;
  e.Data1 = 0x51;
  e.Len = 3;
  e.Value = 60000000u / kDefaultBpm;
  return e;
}

CellCommit ApplyCellText(TMidiEvent& ev, int col, std::string_view text, bool conductor, const ListTextContext& c,
                         TEventListModel& model) {
  const int hi = ev.Status >> 4;
  const bool meta = ev.Status == 0xFF;
  const bool sysex = ev.Status == 0xF0 || ev.Status == 0xF7;
  switch (col) {
    case 1: {
      if (meta && ev.Data1 == 0x58) {
        // Time signatures stay where they are; an unchanged text is no move.
        static const SongMaps kNoMaps;
        const uint32_t t = LocTextToTick(c.Maps ? *c.Maps : kNoMaps, text, ev.Time);
        return t == ev.Time ? CellCommit{} : CellCommit{false, kMsgMeterFixed};
      }
      static const SongMaps kNoMaps;
      const uint32_t t = std::min(LocTextToTick(c.Maps ? *c.Maps : kNoMaps, text, ev.Time), kMaxListTick);
      return Set(ev.Time, t);
    }
    case 2: {
      const std::string_view v = WithoutKind(text, ev);
      if (hi == 0xC) return Set(ev.Data1, StrToIntClamp(v, ev.Data1 + 1, 1, 128) - 1);
      if (hi == 0x9 || hi == 0xA) return Set(ev.Data1, ClampInt(ReadNoteText(v, ev.Data1, c.CenterC), 0, 127));
      if (hi == 0xB) {
        if (c.Settings & kListDecimalCtrl) return Set(ev.Data1, StrToIntClamp(v, ev.Data1, 0, 127));
        uint8_t b;
        return ReadHexByte(v, b) ? Set(ev.Data1, b) : CellCommit{};
      }
      if (hi == 0xD) return Set(ev.Data1, StrToIntClamp(v, ev.Data1, 0, 127));
      if (hi == 0xE) {
        const int64_t old = (int64_t(ev.Data2 & 0x7F) << 7 | (ev.Data1 & 0x7F)) - 8192;
        const int64_t nv = StrToIntClamp(v, old, -8192, 8191) + 8192;
        if (nv == old + 8192) return {};
        ev.Data1 = uint8_t(nv & 0x7F);
        ev.Data2 = uint8_t(nv >> 7);
        return {true, {}};
      }
      return {};
    }
    case 3: {
      if (hi == 0x9) return Set(ev.Data2, StrToIntClamp(text, ev.Data2, 1, 127));
      if (hi == 0xA || hi == 0xB) return Set(ev.Data2, StrToIntClamp(text, ev.Data2, 0, 127));
      if (!conductor) return {};
      if (sysex) return SetSysEx(ev, text, c, model);
      if (meta && IsTextMeta(ev.Data1)) return SetText(ev, text, model);
      if (meta && ev.Data1 == 0x51) {
        const int64_t shown = ev.Value ? 60000000 / ev.Value : 0;
        // Unreadable text keeps the tempo; the tempo shown typed back keeps
        // its exact value, which whole BPM need not hit.
        const int64_t bpm = StrToIntClamp(text, shown ? ClampInt(shown, kMinBpm, kMaxBpm) : kDefaultBpm, kMinBpm, kMaxBpm);
        if (bpm == shown) return {};
        return Set(ev.Value, 60000000 / bpm);
      }
      return {};
    }
    case 4: {
      std::string_view t = text;
      if (!t.empty() && t.front() == ' ') t.remove_prefix(1);
      if (hi == 0x9) {
        const int64_t g = ClampInt(ReadLengthText(text, ev.Value, c.Tpqn, false), 1, int64_t(MaxGate(c.Tpqn)));
        return Set(ev.Value, g);
      }
      if (sysex) return SetSysEx(ev, t, c, model);
      if (meta && ev.Data1 >= 1 && ev.Data1 <= 14) return SetText(ev, t, model);
      return {};
    }
    default: return {};
  }
}

void WriteEventsBack(Song& song, EditDispatcher& dispatcher, int track, const std::vector<TMidiEvent>& events,
                     const std::string& hint) {
  SongNotifier::Batch batch(song.Changes);
  dispatcher.BeginEdit();
  TMidiData& dest = song.ShadowTracks[size_t(track)];
  const TMidiData& src = song.Tracks[size_t(track)];
  StartRebuild(dest, src);
  uint32_t last = 0;
  const uint32_t maxGate = song.MaxGate();
  for (TMidiEvent ev : events) EncodeEvent(dest, ev, last, 0, maxGate);
  FinishRebuild(dest, src);
  song.SwapTrack(track);
  if (track == 0) {
    song.Maps.BuildTempoMap(song.Tracks[0], song.TPQN);
    song.Maps.BuildMeterMap(song.Tracks[0], song.TPQN);
    song.Maps.BuildKeyMap(song.Tracks[0], song.TPQN);
    song.Maps.BuildMarkerList(song.Tracks[0]);
    song.Changes.Notify(kChangeMaps);
  }
  dispatcher.FinishEdit(hint);
}

}  // namespace melko
