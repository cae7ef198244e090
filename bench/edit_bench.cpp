// Speed of the range operations and tools on a track of N events (N = one
// and two million, so the doubling can be read off). Each operation is one
// linear pass; items per second counts the events written.
//
//   edit_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <random>

#include "edit/edit_tools.h"
#include "edit/range_ops.h"
#include "random_track.h"
#include "song/track_ops.h"

namespace melko {
namespace {

uint32_t LastTick(const TMidiData& d) {
  uint32_t t = 0;
  for (TrackWalker w(d); !w.AtEnd(); w.Advance()) t = w.NextTick();
  return t;
}

struct Setup {
  Song song;
  TEditRange range;
  uint32_t end;
  explicit Setup(int64_t n) {
    FillRandomTrack(song, 1, n, 1);
    end = LastTick(song.Tracks[1]) + 1;
    range.EditFromTrack = range.EditToTrack = 1;
    range.EditFromTick = 0;
    range.EditToTick = end;
  }
};

void BM_Cut(benchmark::State& state) {
  Setup s(state.range(0));
  s.range.EditFromTick = s.end / 2;
  s.range.EditToTick = s.end / 2 + s.end / 10;
  for (auto _ : state) {
    RangeCut(s.song, s.range);
    state.PauseTiming();
    s.song.SwapTrack(1);  // back to the full track
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PasteRepeat8(benchmark::State& state) {
  Setup s(state.range(0));
  s.range.EditToTick = s.end / 8;
  RangeCopy(s.song, s.range);  // an eighth of the track, laid down eight times
  s.range.RepeatCount = 8;
  for (auto _ : state) RangePaste(s.song, s.range);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Mix(benchmark::State& state) {
  Setup s(state.range(0));
  FillRandomTrack(s.song, 2, state.range(0), 2);
  RangeCopy(s.song, s.range);  // the whole of track 1
  TEditRange into = s.range;
  into.EditFromTrack = into.EditToTrack = 2;
  for (auto _ : state) {
    RangeMix(s.song, into);
    state.PauseTiming();
    s.song.SwapTrack(2);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}

void BM_Transpose(benchmark::State& state) {
  Setup s(state.range(0));
  ToolSettings tools;
  for (auto _ : state) ApplyOnePass(s.song, 1, 0, s.end, kPassTranspose, tools);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Quantize(benchmark::State& state) {
  Setup s(state.range(0));
  QuantizeSettings q;  // grid 120 at strength 100
  for (auto _ : state) {
    ApplyQuantize(s.song, 1, 0, s.end, q);
    state.PauseTiming();
    s.song.SwapTrack(1);  // quantize the unquantized track every time
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

#define SIZES Arg(1000000)->Arg(2000000)->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(BM_Cut)->SIZES;
BENCHMARK(BM_PasteRepeat8)->SIZES;
BENCHMARK(BM_Mix)->SIZES;
BENCHMARK(BM_Transpose)->SIZES;
BENCHMARK(BM_Quantize)->SIZES;

}  // namespace
}  // namespace melko

BENCHMARK_MAIN();
