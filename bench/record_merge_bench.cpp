// Speed of the recording merge on a full record buffer (131072 entries) laid
// into 16 armed tracks, each taking its own channel: a realistic take (notes
// with their note-offs on 16 channels, a few controllers) and the worst case
// of note-ons that are never answered. Items per second counts entries.
//
//   record_merge_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "edit/record_merge.h"

namespace melko {
namespace {

RecordEntry Msg(int32_t tick, uint8_t status, uint8_t d1, uint8_t d2) {
  return {tick, uint32_t(status) | uint32_t(d1) << 8 | uint32_t(d2) << 16};
}

// Notes of up to two beats, overlapping on each channel, every message in
// arrival order; one entry in ten is a controller.
std::vector<RecordEntry> MixedTake(int32_t start) {
  std::mt19937 rng(1);
  struct Pending {
    int32_t tick;
    uint8_t status, key;
  };
  std::vector<Pending> offs;
  std::vector<RecordEntry> take;
  int32_t tick = start;
  while (take.size() < kRecordBufferEntries) {
    tick += int32_t(rng() % 6);
    for (size_t k = 0; k < offs.size();) {
      if (offs[k].tick <= tick && take.size() < kRecordBufferEntries) {
        take.push_back(Msg(offs[k].tick, offs[k].status, offs[k].key, 64));
        offs[k] = offs.back();
        offs.pop_back();
      } else {
        ++k;
      }
    }
    if (take.size() >= kRecordBufferEntries) break;
    const uint8_t ch = uint8_t(rng() % 16);
    if (rng() % 10 == 0) {
      take.push_back(Msg(tick, 0xB0 | ch, 1, uint8_t(rng() % 128)));
    } else {
      const uint8_t key = uint8_t(36 + rng() % 48);
      take.push_back(Msg(tick, 0x90 | ch, key, uint8_t(1 + rng() % 127)));
      offs.push_back({tick + 1 + int32_t(rng() % 960), uint8_t(0x80 | ch), key});
    }
  }
  return take;
}

std::vector<RecordEntry> NoteOnsOnly(int32_t start) {
  std::vector<RecordEntry> take;
  for (size_t i = 0; i < kRecordBufferEntries; ++i)
    take.push_back(Msg(start + int32_t(i * 3), uint8_t(0x90 | i % 16), uint8_t(60 + i % 5), 100));
  return take;
}

struct Setup {
  Song song;
  std::vector<RecordEntry> entries;
  RecordTake take;
  Setup(std::vector<RecordEntry> e, uint32_t options) : entries(std::move(e)) {
    for (int t = 1; t <= 16; ++t) {
      song.Rec[t] = 1;
      song.Ch[t] = uint8_t(t - 1);
      // Old events before, inside and after the span, for the paste to keep or drop.
      TMidiData& d = song.Tracks[t];
      uint32_t last = 0;
      for (uint32_t tick = 0; tick < 2 * uint32_t(entries.back().Tick); tick += 240) {
        TMidiEvent ev;
        ev.Time = tick;
        ev.Status = 0x90;
        ev.Data1 = 48;
        ev.Data2 = 90;
        ev.Value = 120;
        EncodeEvent(d, ev, last, 0, song.MaxGate());
      }
    }
    take.Entries = entries.data();
    take.Count = entries.size();
    take.StartTick = entries.front().Tick;
    take.StopTick = entries.back().Tick + 1;
    take.Options = options;
  }
};

void Run(benchmark::State& state, std::vector<RecordEntry> entries, uint32_t options) {
  Setup s(std::move(entries), options);
  // Every merge starts from the same tracks (mixing would otherwise pile
  // the takes up).
  std::vector<TMidiData> old(17);
  for (int t = 1; t <= 16; ++t) old[t].Assign(s.song.Tracks[t]);
  for (auto _ : state) {
    RecordMergeResult r = MergeRecording(s.song, s.take);
    benchmark::DoNotOptimize(r);
    state.PauseTiming();
    for (int t = 1; t <= 16; ++t) s.song.Tracks[t].Assign(old[t]);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(s.take.Count));
}

void BM_MergeMixed(benchmark::State& state) { Run(state, MixedTake(1920), 0); }
void BM_MergeMixedOverDub(benchmark::State& state) { Run(state, MixedTake(1920), kRecOverDub); }
void BM_MergeNoteOnsOnly(benchmark::State& state) { Run(state, NoteOnsOnly(1920), 0); }

BENCHMARK(BM_MergeMixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MergeMixedOverDub)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MergeNoteOnsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace melko

BENCHMARK_MAIN();
