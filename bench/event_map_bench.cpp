// Building the track sheet's event maps of a song of 16 tracks × 100,000
// notes with controllers (goal: 50 million events a second or more).
#include <benchmark/benchmark.h>

#include "big_song.h"
#include "views/event_map.h"

namespace melko {
namespace {

struct BigSong {
  Song song;
  size_t events = FillBigSong(song);
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
