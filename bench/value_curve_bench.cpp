// Value curves over an edit range of N events (N = 250k, 500k, 1M, so the
// growth can be read off): velocities rewritten by a straight line and by a
// spline, and a controller curve at interval 16 replacing the old events of
// that controller. Each is one linear pass per track; the complexity fit
// should say O(N).
//
//   value_curve_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <random>

#include "edit/make_values.h"
#include "random_track.h"
#include "song/track_ops.h"

namespace melko {
namespace {

void Run(benchmark::State& state, MakeValueSettings s) {
  Song song;
  TEditRange range;
  range.EditFromTrack = range.EditToTrack = 1;
  range.EditToTick = FillRandomTrack(song, 1, state.range(0));
  for (auto _ : state) {
    ApplyMakeValues(song, range, s);
    benchmark::DoNotOptimize(song.Tracks[1].Top());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}

void BM_VelocityStraight(benchmark::State& state) {
  MakeValueSettings s;
  s.KindIndex = kCurveVelocity;
  Run(state, s);
}

void BM_VelocitySpline(benchmark::State& state) {
  MakeValueSettings s;
  s.KindIndex = kCurveVelocity;
  s.LineType = kLineSpline;
  Run(state, s);
}

void BM_Controller7Sine(benchmark::State& state) {
  MakeValueSettings s;
  s.KindIndex = kCurveControl;
  s.Control = 7;
  s.LineType = kLineSine;
  s.Frequency = 200;  // many changes: an event at nearly every step
  s.Interval = 16;
  Run(state, s);
}

BENCHMARK(BM_VelocityStraight)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_VelocitySpline)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_Controller7Sine)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
}  // namespace melko

BENCHMARK_MAIN();
