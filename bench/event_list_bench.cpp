// The event list on one long track: opening (decode and the first screen of
// cell texts) and repainting one screen after scrolling to the middle, for
// tracks of 100,000 and 1,000,000 events. The repaint must not grow with
// the track's length.
#include <benchmark/benchmark.h>

#include "edit/event_list_model.h"
#include "edit/name_tables.h"
#include "song/smf_reader.h"

namespace melko {
namespace {

constexpr size_t kScreenRows = 40;

// A note track with a controller after every third note and a program
// change every 1000 events.
void FillTrack(Song& song, uint32_t events) {
  song.ClearSong();
  ApplySongLoaded(song);
  TMidiData& d = song.Tracks[1];
  d.Free();
  d.Touch();
  uint32_t last = 0;
  for (uint32_t i = 0; i < events; ++i) {
    TMidiEvent e;
    e.Time = i * 60;
    if (i % 1000 == 0) {
      e.Status = 0xC0;
      e.Data1 = uint8_t(i / 1000 % 128);
    } else if (i % 4 == 3) {
      e.Status = 0xB0;
      e.Data1 = 7;
      e.Data2 = uint8_t(i % 128);
    } else {
      e.Status = 0x90;
      e.Data1 = uint8_t(40 + i % 40);
      e.Data2 = 100;
      e.Value = 50;
    }
    EncodeEvent(d, e, last, 0, song.MaxGate());
  }
}

struct Fixture {
  explicit Fixture(uint32_t events) {
    FillTrack(song, events);
    control = ParseNameTable("07 Volume\n0A Panpot\n", "CONTROL.TXT", nullptr);
    c.Maps = &song.Maps;
    c.Tpqn = song.TPQN;
    c.Control = &control;
  }
  size_t Screen(const TEventListModel& m, size_t top) const {
    size_t chars = 0;
    for (size_t r = top; r < top + kScreenRows && r < m.RowCount(); ++r)
      for (int col = 0; col < TEventListModel::kColumns; ++col) chars += m.CellText(r, col, long(top), c).size();
    return chars;
  }
  Song song;
  NameTable control;
  ListTextContext c;
};

void BM_OpenList(benchmark::State& state) {
  Fixture f(uint32_t(state.range(0)));
  for (auto _ : state) {
    TEventListModel m;
    m.Load(f.song, 1);
    benchmark::DoNotOptimize(f.Screen(m, 0));
  }
  state.SetLabel(std::to_string(state.range(0)) + " events");
}
BENCHMARK(BM_OpenList)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_RepaintMiddle(benchmark::State& state) {
  Fixture f(uint32_t(state.range(0)));
  TEventListModel m;
  m.Load(f.song, 1);
  // Scrolled to the middle by tick, as the scroll bar and Sync do.
  const size_t top = m.RowAtTick(m.Events()[m.Events().size() / 2].Time);
  for (auto _ : state) benchmark::DoNotOptimize(f.Screen(m, top));
  state.SetLabel(std::to_string(state.range(0)) + " events");
}
BENCHMARK(BM_RepaintMiddle)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The same with a filter on: only control changes are listed.
void BM_RepaintMiddleFiltered(benchmark::State& state) {
  Fixture f(uint32_t(state.range(0)));
  TEventListModel m;
  m.Filter.Bits = kListCtrl;
  m.Load(f.song, 1);
  const size_t top = m.RowCount() / 2;
  for (auto _ : state) benchmark::DoNotOptimize(f.Screen(m, top));
  state.SetLabel(std::to_string(state.range(0)) + " events");
}
BENCHMARK(BM_RepaintMiddleFiltered)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace melko

BENCHMARK_MAIN();
