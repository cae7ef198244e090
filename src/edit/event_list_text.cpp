#include "edit/event_list_text.h"

#include <cstdio>
#include <span>

#include "edit/edit_range.h"
#include "edit/tool_text.h"
#include "sysex/sysex_param_nodes.h"

namespace melko {

namespace {

std::string Pad6(std::string s) {
  if (s.size() < 6) s.append(6 - s.size(), ' ');
  return s;
}

std::string Format(const char* f, int v) {
  char b[32];
  std::snprintf(b, sizeof b, f, v);
  return b;
}

std::string PayloadText(const TMidiEvent& ev) {
  return ev.Data ? std::string(reinterpret_cast<const char*>(ev.Data), ev.Len) : std::string();
}

}  // namespace

std::string KindName(const TMidiEvent& ev) {
  if (ev.Status == 0xFF) {
    static const char* const kText[] = {"Text  ", "(C)   ", "TrName", "Inst  ", "Lyric ", "Marker", "Cue   "};
    static const char* const kMeta81[] = {"Tempo ", "52", "53", "SMPTE ", "55", "56", "57", "Meter ", "Key   "};
    const uint8_t t = ev.Data1;
    if (t >= 1 && t <= 7) return kText[t - 1];
    if (t >= 0x51 && t <= 0x59) return Pad6(kMeta81[t - 0x51]);
    char b[8];
    std::snprintf(b, sizeof b, "%02X", t);
    return Pad6(b);
  }
  static const char* const kKinds[] = {"Note  ", "KyPrs ", "Ctrl  ", "Prog  ", "ChPrs ", "Bend  ", "SysEx "};
  const int hi = ev.Status >> 4;
  if (hi >= 9 && hi <= 15) return kKinds[hi - 9];
  // A note-off that survived a load (status 80): shown as a note.
  return kKinds[0];
}

std::string LocationText(const SongMaps& maps, uint32_t tick) {
  const TMeasurePos p = maps.TickToMeasure(tick);
  char b[48];
  std::snprintf(b, sizeof b, "%3u/ %2u/ %3u", p.Measure, p.Beat + 1, p.Tick);
  std::string s = b;
  if (s.size() < 10) s.append(10 - s.size(), ' ');
  return s;
}

std::string LocationCell(const SongMaps& maps, uint32_t tick, bool hasPrevious, uint32_t previousTick, bool selected) {
  std::string full = LocationText(maps, tick);
  if (selected || !hasPrevious) return full;
  const TMeasurePos p = maps.TickToMeasure(tick), q = maps.TickToMeasure(previousTick);
  if (p.Measure != q.Measure) return full;
  // The three parts end at the two "/" and the end of the text.
  const size_t slash1 = full.find('/'), slash2 = full.find('/', slash1 + 1);
  if (p.Beat != q.Beat) return std::string(slash1 + 1, ' ') + full.substr(slash1 + 1);
  if (p.Tick != q.Tick) return std::string(slash2 + 1, ' ') + full.substr(slash2 + 1);
  return std::string();
}

std::string FirstValueText(const TMidiEvent& ev, const ListTextContext& c) {
  switch (ev.Status >> 4) {
    case 0x8:
    case 0x9:
    case 0xA: return NoteText(ev.Data1, c.CenterC);
    case 0xB: return (c.Settings & kListDecimalCtrl) ? Format("%d", ev.Data1) : Format("%02X", ev.Data1);
    case 0xC: return Format("%d", ev.Data1 + 1);
    case 0xD: return Format("%d", ev.Data1);
    case 0xE: return Format("%d", (int(ev.Data2 & 0x7F) << 7 | (ev.Data1 & 0x7F)) - 8192);
    default: return std::string();
  }
}

std::string KindCell(const TMidiEvent& ev, bool conductor, const ListTextContext& c) {
  std::string kind = KindName(ev);
  if (ev.Status >= 0xF0) return kind;
  std::string value = FirstValueText(ev, c);
  if (conductor) return kind + value;
  if (value.size() < 5) value.insert(0, 5 - value.size(), ' ');
  return kind + value;
}

std::string TableName(const NameTable* table, uint8_t code) {
  if (!table) return std::string();
  for (int i = 0; i < table->Count && i < static_cast<int>(table->Names.size()); ++i)
    if (table->Codes[size_t(i)] == code) return table->Names[size_t(i)];
  return std::string();
}

std::string SmpteText(const TMidiEvent& ev) {
  uint8_t b[5] = {};
  for (uint32_t i = 0; i < 5 && ev.Data && i < ev.Len; ++i) b[i] = ev.Data[i];
  char t[40];
  std::snprintf(t, sizeof t, "%02u:%02u:%02u:%02u.%02u", b[0] & 0x1F, b[1], b[2], b[3], b[4]);
  return t;
}

std::string SysExHexText(const TMidiEvent& ev) {
  std::string s = TSysExParamNodes::HexText(std::span<const uint8_t>(ev.Data, ev.Data ? ev.Len : 0));
  if (ev.Status == 0xF7) s[1] = '7';  // a continuation or escape packet
  return s;
}

std::string SysExDescription(const TMidiEvent& ev, TSysExParamNodes* nodes) {
  if (nodes && ev.Status == 0xF0 && ev.Data && ev.Len > 0) {
    TSysExInfo info = nodes->Analyse(std::span<const uint8_t>(ev.Data, ev.Len));
    if (!info.Name.empty()) {
      std::string s = info.Name;
      if (!info.ValueText.empty()) s += " = " + info.ValueText;
      if (!info.Units.empty()) s += info.Units;
      return s;
    }
  }
  return SysExHexText(ev);
}

std::string ThirdCell(const TMidiEvent& ev, bool conductor, const ListTextContext& c) {
  const int hi = ev.Status >> 4;
  if (hi == 0x8 || hi == 0x9 || hi == 0xA || hi == 0xB) return Format("%d", ev.Data2);
  if (!conductor) return std::string();
  if (ev.Status == 0xF0 || ev.Status == 0xF7) return SysExDescription(ev, c.Nodes);
  if (ev.Status != 0xFF) return std::string();
  const uint8_t t = ev.Data1;
  if (IsTextMeta(t)) return PayloadText(ev);
  if (t == 0x51) return Format("%d", ev.Value ? int(60000000u / ev.Value) : 0);
  if (t == 0x54) return SmpteText(ev);
  if (t == 0x58) return MeterText(ev.Value);
  if (t == 0x59) return KeyText(ev.Value);
  return std::string();
}

std::string FourthCell(const TMidiEvent& ev, const std::string& instrument, uint32_t bankKey,
                       const ListTextContext& c) {
  const int hi = ev.Status >> 4;
  if (hi == 0x9 || hi == 0x8) return LengthText(ev.Value, c.Tpqn);
  if (hi == 0xB) return " " + TableName(c.Control, ev.Data1);
  if (hi == 0xC) {
    std::string name = c.PatchName ? c.PatchName(instrument, bankKey) : std::string();
    return name.empty() ? Format("%d", ev.Data1 + 1) : name;
  }
  if (ev.Status == 0xF0 || ev.Status == 0xF7) return " " + SysExDescription(ev, c.Nodes);
  if (ev.Status == 0xFF && IsTextMeta(ev.Data1)) return " " + PayloadText(ev);
  return std::string();
}

}  // namespace melko
