#include "edit/event_list_editor.h"

#include <algorithm>

#include "edit/edit_dispatcher.h"
#include "edit/event_list_limits.h"
#include "edit/tool_text.h"

namespace melko {

namespace {

std::string PayloadOf(const TMidiEvent& ev) {
  return ev.Data ? std::string(reinterpret_cast<const char*>(ev.Data), ev.Len) : std::string();
}

bool HasPayload(const TMidiEvent& ev) { return ev.Status >= 0xF0; }

uint32_t AddTicks(uint32_t tick, uint64_t add) {
  return uint32_t(std::min<uint64_t>(uint64_t(tick) + add, kMaxListTick));
}

}  // namespace

TEventListEditor::TEventListEditor(Song& song, EditDispatcher& dispatcher) : song_(song), dispatcher_(dispatcher) {
  Step = song.TPQN;
  RefreshContext();
}

void TEventListEditor::RefreshContext() {
  Context.Maps = &song_.Maps;
  Context.Tpqn = song_.TPQN;
}

void TEventListEditor::Open(int track) {
  RefreshContext();
  if (track != model_.Track()) reinsertCount_ = 0;
  model_.Load(song_, track);
  newRow_ = dirty_ = false;
  row_ = model_.RowCount() ? 0 : -1;
  TakeBackup();
}

void TEventListEditor::Reload() {
  RefreshContext();
  const uint32_t full = row_ >= 0 && size_t(row_) < model_.RowCount() ? CurrentFull() : 0;
  model_.Load(song_, model_.Track());
  newRow_ = dirty_ = false;
  if (!model_.RowCount()) {
    row_ = -1;
  } else {
    row_ = long(std::min(model_.RowOfFull(full), model_.RowCount() - 1));
  }
  TakeBackup();
}

void TEventListEditor::TakeBackup() {
  if (row_ < 0 || size_t(row_) >= model_.RowCount()) return;
  backup_ = Current();
  backupPayload_ = HasPayload(backup_) ? PayloadOf(backup_) : std::string();
}

void TEventListEditor::SetStepText(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  size_t e = text.find_last_not_of(' ');
  std::string_view t = b == std::string_view::npos ? std::string_view() : text.substr(b, e - b + 1);
  if (t == "0") {
    Step = 0;
    return;
  }
  Step = uint32_t(std::clamp<int64_t>(ReadLengthText(t, Step, song_.TPQN, false), 0, kMaxListTick));
}

std::string TEventListEditor::StepText() const { return Step == 0 ? "0" : LengthText(Step, song_.TPQN); }

ListKeyResult TEventListEditor::WriteBack() {
  WriteEventsBack(song_, dispatcher_, model_.Track(), model_.Events(), kHintListEdit);
  const uint32_t full = row_ >= 0 && size_t(row_) < model_.RowCount() ? CurrentFull() : 0;
  RefreshContext();
  model_.Load(song_, model_.Track());
  newRow_ = dirty_ = false;
  reinsertCount_ = 0;
  row_ = model_.RowCount() ? long(std::min(model_.RowOfFull(full), model_.RowCount() - 1)) : -1;
  TakeBackup();
  return {true, true, {}};
}

ListKeyResult TEventListEditor::CommitRow() {
  if (row_ < 0 || (!dirty_ && !newRow_)) return {};
  uint32_t i = CurrentFull();
  i = model_.MoveToTickOrder(i);
  if (model_.Filter.Reveal(model_.Events()[i])) model_.Refilter();
  row_ = long(model_.RowOfFull(i));
  return WriteBack();
}

ListKeyResult TEventListEditor::Select(long row) {
  if (!model_.RowCount()) return {};
  row = std::clamp<long>(row, 0, long(model_.RowCount()) - 1);
  if (row == row_) return {true, false, {}};
  // The row left behind is committed; an unchanged new row left upwards goes.
  const bool dropNew = newRow_ && !dirty_ && row < row_;
  if (dropNew) {
    DropNewRow();
  } else if (dirty_ || newRow_) {
    // The committed event may move to its tick's place: follow the target.
    uint32_t target = model_.FullIndex(size_t(row));
    const uint32_t from = CurrentFull();
    const uint32_t to = model_.MoveToTickOrder(from);
    if (from < target && target <= to) --target;
    else if (to <= target && target < from) ++target;
    row_ = long(model_.RowOfFull(to));
    CommitRow();
    if (model_.Filter.Reveal(model_.Events()[target])) model_.Refilter();
    row = long(model_.RowOfFull(target));
  }
  row_ = std::clamp<long>(row, 0, long(model_.RowCount()) - 1);
  TakeBackup();
  return {true, false, {}};
}

ListKeyResult TEventListEditor::SelectFull(uint32_t fullIndex) {
  CommitRow();
  if (fullIndex >= model_.Events().size()) return {false, false, "no such row"};
  if (model_.Filter.Reveal(model_.Events()[fullIndex])) model_.Refilter();
  row_ = long(model_.RowOfFull(fullIndex));
  TakeBackup();
  return {true, false, {}};
}

ListKeyResult TEventListEditor::TypeCell(int col, std::string_view text, bool commit) {
  if (row_ < 0) return {};
  RefreshContext();
  TMidiEvent& ev = model_.Events()[CurrentFull()];
  CellCommit c = ApplyCellText(ev, col, text, model_.Conductor(), Context, model_);
  if (!c.Refusal.empty()) return {false, false, c.Refusal};
  if (c.Changed) dirty_ = true;
  if (commit || (Context.Settings & kListEnterCommits)) return CommitRow();
  return {c.Changed, false, {}};
}

void TEventListEditor::AppendNewRow() {
  const TMidiEvent& last = Current();
  TMidiEvent ev = (last.Status == 0xFF && last.Data1 == 0x58) ? DefaultTempoEvent(last.Time) : last;
  ev.Time = AddTicks(last.Time, Step);
  auto& events = model_.Events();
  const uint32_t at = uint32_t(std::upper_bound(events.begin(), events.end(), ev.Time,
                                                [](uint32_t t, const TMidiEvent& e) { return t < e.Time; }) -
                               events.begin());
  model_.InsertAt(at, ev);
  if (model_.Filter.Reveal(ev)) model_.Refilter();
  row_ = long(model_.RowOfFull(at));
  newRow_ = true;
  dirty_ = false;
  TakeBackup();
}

void TEventListEditor::DropNewRow() {
  if (!newRow_) return;
  model_.EraseAt(CurrentFull());
  newRow_ = dirty_ = false;
}

ListKeyResult TEventListEditor::KeyDown() {
  if (row_ < 0) return {};
  ListKeyResult r = CommitRow();
  if (size_t(row_) + 1 < model_.RowCount()) {
    ++row_;
    TakeBackup();
  } else if (!newRow_) {
    AppendNewRow();
  }
  r.Handled = true;
  return r;
}

ListKeyResult TEventListEditor::KeyUp() {
  if (row_ < 0) return {};
  if (newRow_ && !dirty_) {
    DropNewRow();
    row_ = std::max<long>(0, std::min<long>(row_ - 1, long(model_.RowCount()) - 1));
    if (!model_.RowCount()) row_ = -1;
    TakeBackup();
    return {true, false, {}};
  }
  ListKeyResult r = CommitRow();
  if (row_ > 0) --row_;
  TakeBackup();
  r.Handled = true;
  return r;
}

ListKeyResult TEventListEditor::KeyInsert() {
  if (row_ < 0) return {};
  CommitRow();
  auto& events = model_.Events();
  const uint32_t i = CurrentFull();
  const TMidiEvent cur = events[i];
  TMidiEvent ev;
  uint32_t at;
  if (reinsertCount_ > 0) {
    // The deleted event goes back at its own tick when that lies just
    // before or just after the cursor's event, else before it at its tick.
    ev = reinsert_;
    if (HasPayload(ev)) ev.Data = model_.Keep(reinsertPayload_);
    const uint32_t prev = i > 0 ? events[i - 1].Time : 0;
    const bool last = i + 1 == events.size();
    if (ev.Time >= prev && ev.Time <= cur.Time) {
      at = i;
    } else if (ev.Time >= cur.Time && (last || ev.Time <= events[i + 1].Time)) {
      at = i + 1;
    } else {
      ev.Time = cur.Time;
      at = i;
    }
  } else {
    ev = (cur.Status == 0xFF && cur.Data1 == 0x58) ? DefaultTempoEvent(cur.Time) : cur;
    ev.Time = cur.Time;
    if (i + 1 < events.size() && uint64_t(events[i + 1].Time) > uint64_t(cur.Time) + Step)
      ev.Time = AddTicks(cur.Time, Step);
    at = i + 1;
  }
  model_.InsertAt(at, ev);
  if (model_.Filter.Reveal(ev)) model_.Refilter();
  row_ = long(model_.RowOfFull(at));
  return WriteBack();
}

ListKeyResult TEventListEditor::KeyDelete() {
  if (row_ < 0 || newRow_) return {};
  const uint32_t i = CurrentFull();
  TMidiEvent ev = model_.Events()[i];
  if (model_.Conductor() && ev.Status == 0xFF && ev.Data1 == 0x58) return {false, false, kMsgMeterFixed};
  // A change typed into the row is dropped with it: the buffer keeps the
  // event as it was stored.
  if (dirty_) ev = backup_;
  reinsert_ = ev;
  reinsertPayload_ = HasPayload(ev) ? (dirty_ ? backupPayload_ : PayloadOf(ev)) : std::string();
  model_.EraseAt(i);
  dirty_ = false;
  if (!model_.RowCount()) row_ = -1;
  else row_ = std::min<long>(row_, long(model_.RowCount()) - 1);
  ListKeyResult r = WriteBack();
  reinsertCount_ = 1;
  return r;
}

ListKeyResult TEventListEditor::KeyEscape() {
  if (row_ < 0) return {};
  TMidiEvent& ev = model_.Events()[CurrentFull()];
  ev = backup_;
  if (HasPayload(ev)) ev.Data = model_.Keep(backupPayload_);
  dirty_ = false;
  return {true, false, {}};
}

ListKeyResult TEventListEditor::KeyFunction(int k, int col) {
  if (k < 0 || k > 5) return {};
  if (col == 1) {
    Step = (4u * song_.TPQN) >> k;
    return {true, false, {}};
  }
  if (row_ < 0) return {};
  TMidiEvent& ev = model_.Events()[CurrentFull()];
  if (ev.Status != 0x90) return {};
  if (col == 3) {
    if (ev.Data2 != Presets.Velocity[size_t(k)]) dirty_ = true;
    ev.Data2 = Presets.Velocity[size_t(k)];
    return {true, false, {}};
  }
  if (col == 4 && k < 3) {
    const uint32_t gate = std::max<uint32_t>(1, uint32_t(uint64_t(Presets.GatePercent[size_t(k)]) * Step / 100));
    const uint32_t clamped = std::min(gate, MaxGate(song_.TPQN));
    if (ev.Value != clamped) dirty_ = true;
    ev.Value = clamped;
    return {true, false, {}};
  }
  return {};
}

bool TEventListEditor::DropsTypedChar(int col, bool capsLock) const {
  if (!capsLock || col != 2 || row_ < 0) return false;
  const int hi = Current().Status >> 4;
  return hi == 0x9 || hi == 0xA;
}

ListKeyResult TEventListEditor::SetSysExText(std::string_view hex) {
  if (row_ < 0) return {false, false, "the list is empty"};
  TMidiEvent& ev = model_.Events()[CurrentFull()];
  if (ev.Status != 0xF0 && ev.Status != 0xF7) return {false, false, "the row holds no system exclusive message"};
  std::string bytes;
  if (int code = ParseSysExHex(hex, bytes)) return {false, false, SysExHexError(code)};
  const bool same = ev.Status == 0xF0 && ev.Data && ev.Len == bytes.size() - 1 &&
                    std::equal(bytes.begin() + 1, bytes.end(), ev.Data);
  if (!same) {
    ev.Status = 0xF0;
    ev.Len = uint32_t(bytes.size() - 1);
    ev.Data = model_.Keep(bytes.substr(1));
    dirty_ = true;
  }
  return CommitRow();
}

ListKeyResult TEventListEditor::InsertEvents(const std::vector<TMidiEvent>& events, const std::string& hint) {
  if (events.empty()) return {};
  CommitRow();
  if (newRow_) DropNewRow();
  auto& all = model_.Events();
  uint32_t firstAt = uint32_t(all.size());
  for (const TMidiEvent& e : events) {
    TMidiEvent ev = e;
    ev.Time = std::min(ev.Time, kMaxListTick);
    if (HasPayload(ev)) ev.Data = model_.Keep(PayloadOf(e));
    const uint32_t at = uint32_t(std::upper_bound(all.begin(), all.end(), ev.Time,
                                                  [](uint32_t t, const TMidiEvent& x) { return t < x.Time; }) -
                                 all.begin());
    all.insert(all.begin() + at, ev);
    firstAt = std::min(firstAt, at);
    model_.Filter.Reveal(ev);
  }
  WriteEventsBack(song_, dispatcher_, model_.Track(), all, hint);
  RefreshContext();
  model_.Load(song_, model_.Track());
  newRow_ = dirty_ = false;
  reinsertCount_ = 0;
  row_ = model_.RowCount() ? long(std::min(model_.RowOfFull(firstAt), model_.RowCount() - 1)) : -1;
  TakeBackup();
  return {true, true, {}};
}

}  // namespace melko
