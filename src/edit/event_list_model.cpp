#include "edit/event_list_model.h"

#include <algorithm>

#include "song/track_ops.h"

namespace melko {

uint8_t ListKindOf(const TMidiEvent& ev) {
  switch (ev.Status >> 4) {
    case 0x8:
    case 0x9: return kListNote;
    case 0xA: return kListKyPrs;
    case 0xB: return kListCtrl;
    case 0xC: return kListProg;
    case 0xD: return kListChPrs;
    case 0xE: return kListBend;
    default: return ev.Status == 0xFF ? kListMeta : kListSysEx;
  }
}

bool ListFilter::Shows(const TMidiEvent& ev) const {
  const uint8_t kind = ListKindOf(ev);
  if (!(Bits & kind)) return false;
  if (kind == kListCtrl && CtrlOn) return ev.Data1 == Ctrl;
  if (kind == kListMeta && MetaOn) return ev.Data1 == Meta;
  return true;
}

bool ListFilter::Reveal(const TMidiEvent& ev) {
  const ListFilter before = *this;
  const uint8_t kind = ListKindOf(ev);
  Bits |= kind;
  if (kind == kListCtrl && CtrlOn && ev.Data1 != Ctrl) CtrlOn = false;
  if (kind == kListMeta && MetaOn && ev.Data1 != Meta) MetaOn = false;
  return Bits != before.Bits || CtrlOn != before.CtrlOn || MetaOn != before.MetaOn;
}

void TEventListModel::Load(const Song& song, int track) {
  track_ = std::clamp(track, 0, kSongTracks - 1);
  drum_ = track_ > 0 && song.IsDrumChannel(song.Ch[size_t(track_)]);
  instrument_ = song.Instrument[size_t(track_)];
  revision_ = song.TrackRevision(track_);
  events_.clear();
  store_.clear();
  const TMidiData& data = song.Tracks[size_t(track_)];
  // Three bytes is about the shortest stored event: reserve once.
  events_.reserve(data.Length() / 3 + 1);
  for (TrackWalker w(data); !w.AtEnd(); w.Advance()) events_.push_back(w.Next());
  Refilter();
}

void TEventListModel::Refilter() {
  shown_.clear();
  const bool all = Filter.Bits == 255 && !Filter.CtrlOn && !Filter.MetaOn;
  shown_.reserve(all ? events_.size() : events_.size() / 4);
  for (uint32_t i = 0; i < events_.size(); ++i)
    if (all || Filter.Shows(events_[i])) shown_.push_back(i);
}

size_t TEventListModel::RowOfFull(uint32_t fullIndex) const {
  return size_t(std::lower_bound(shown_.begin(), shown_.end(), fullIndex) - shown_.begin());
}

size_t TEventListModel::RowAtTick(uint32_t tick) const {
  return size_t(std::partition_point(shown_.begin(), shown_.end(),
                                     [&](uint32_t i) { return events_[i].Time < tick; }) -
                shown_.begin());
}

uint32_t TEventListModel::PatchKeyAt(uint32_t i) const {
  uint8_t msb = 255, lsb = 255;
  // Bank selects sit just before their program change; look a few events back.
  for (uint32_t k = i, n = 0; k > 0 && n < 8; --k, ++n) {
    const TMidiEvent& e = events_[k - 1];
    if ((e.Status >> 4) == 0xC) break;
    if ((e.Status >> 4) != 0xB) continue;
    if (e.Data1 == 0 && msb == 255) msb = e.Data2;
    if (e.Data1 == 32 && lsb == 255) lsb = e.Data2;
  }
  return uint32_t(events_[i].Data1) | uint32_t(lsb) << 8 | uint32_t(msb) << 16 | (drum_ ? 1u << 24 : 0u);
}

std::string TEventListModel::CellText(size_t row, int col, long selectedRow, const ListTextContext& c) const {
  if (row >= shown_.size()) return std::string();
  const uint32_t i = shown_[row];
  const TMidiEvent& ev = events_[i];
  switch (col) {
    case 0: return std::to_string(row);
    case 1: {
      static const SongMaps kNoMaps;
      const SongMaps& maps = c.Maps ? *c.Maps : kNoMaps;
      const bool hasPrevious = row > 0;
      return LocationCell(maps, ev.Time, hasPrevious, hasPrevious ? events_[shown_[row - 1]].Time : 0,
                          long(row) == selectedRow);
    }
    case 2: return KindCell(ev, Conductor(), c);
    case 3: return ThirdCell(ev, Conductor(), c);
    case 4: return FourthCell(ev, instrument_, (ev.Status >> 4) == 0xC ? PatchKeyAt(i) : 0, c);
    default: return std::string();
  }
}

const uint8_t* TEventListModel::Keep(std::string bytes) {
  store_.push_back(std::move(bytes));
  return reinterpret_cast<const uint8_t*>(store_.back().data());
}

void TEventListModel::InsertAt(uint32_t i, const TMidiEvent& ev) {
  i = std::min<uint32_t>(i, uint32_t(events_.size()));
  events_.insert(events_.begin() + i, ev);
  auto at = std::lower_bound(shown_.begin(), shown_.end(), i);
  for (auto it = at; it != shown_.end(); ++it) ++*it;
  if (Filter.Shows(ev)) shown_.insert(at, i);
}

void TEventListModel::EraseAt(uint32_t i) {
  if (i >= events_.size()) return;
  events_.erase(events_.begin() + i);
  auto at = std::lower_bound(shown_.begin(), shown_.end(), i);
  if (at != shown_.end() && *at == i) at = shown_.erase(at);
  for (auto it = at; it != shown_.end(); ++it) --*it;
}

uint32_t TEventListModel::MoveToTickOrder(uint32_t i) {
  if (i >= events_.size()) return i;
  const TMidiEvent ev = events_[i];
  const bool inOrder = (i == 0 || events_[i - 1].Time <= ev.Time) &&
                       (i + 1 == events_.size() || events_[i + 1].Time >= ev.Time);
  if (inOrder) return i;
  EraseAt(i);
  // After the events of its tick.
  const uint32_t to = uint32_t(std::upper_bound(events_.begin(), events_.end(), ev.Time,
                                                [](uint32_t t, const TMidiEvent& e) { return t < e.Time; }) -
                               events_.begin());
  InsertAt(to, ev);
  return to;
}

}  // namespace melko
