// Building the track sheet's event maps of a song of 16 tracks × 100,000
// notes with controllers (goal: 50 million events a second or more).
#include <benchmark/benchmark.h>

#include "song/smf_reader.h"
#include "views/event_map.h"

namespace melko {
namespace {

struct BigSong {
  Song song;
  size_t events = 0;
  BigSong() {
    song.ClearSong();
    ApplySongLoaded(song);
    for (int t = 1; t <= 16; ++t) {
      TMidiData& d = song.Tracks[size_t(t)];
      d.Free();
      d.Touch();
      uint32_t last = 0;
      for (uint32_t i = 0; i < 100000; ++i) {
        TMidiEvent n;
        n.Time = i * 120;
        n.Status = 0x90;
        n.Data1 = uint8_t(40 + i % 40);
        n.Data2 = 100;
        n.Data3 = 64;
        n.Value = 100;
        EncodeEvent(d, n, last, 0, song.MaxGate());
        ++events;
        if (i % 4 == 0) {
          TMidiEvent c;
          c.Time = i * 120;
          c.Status = i % 8 == 0 ? 0xB0 : 0xE0;
          c.Data1 = uint8_t(i % 128);
          c.Data2 = 64;
          EncodeEvent(d, c, last, 0, song.MaxGate());
          ++events;
        }
      }
    }
  }
};

void BM_BuildEventMaps(benchmark::State& state) {
  static BigSong big;
  TEventMaps maps;
  maps.MapQuant = int(state.range(0));
  for (auto _ : state) {
    for (int t = 1; t <= 16; ++t) maps.Build(big.song, t);
    benchmark::DoNotOptimize(maps.MapCells[16].data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(big.events));
}
BENCHMARK(BM_BuildEventMaps)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace melko

BENCHMARK_MAIN();
