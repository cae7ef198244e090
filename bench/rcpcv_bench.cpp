// Conversion speed of the RCP converter: a 50 KB song of 18 tracks (notes,
// controllers, a loop of two passes per track) built in memory, and the same
// song with its loops played 16 times (more output from the same input, to
// show the time follows the output).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "rcpcv/rcp_song.h"

namespace {

std::vector<uint8_t> MakeSong(int passes) {
  std::vector<uint8_t> b(0x586, 0);
  std::memcpy(b.data(), "RCM-PC98V2.0(C)COME ON MUSIC\r\n", 30);
  b[0x1C0] = 48;
  b[0x1C1] = 120;
  b[0x1C2] = 4;
  b[0x1C3] = 4;
  b[0x1E6] = 18;
  for (int t = 0; t < 18; ++t) {
    size_t at = b.size();
    b.resize(at + 0x2C, 0);
    b[at + 2] = static_cast<uint8_t>(t + 1);
    b[at + 4] = static_cast<uint8_t>(t % 16);
    auto ev = [&](uint8_t c, uint8_t s, uint8_t g, uint8_t v) { b.insert(b.end(), {c, s, g, v}); };
    ev(0xF9, 1, 0, 0);
    for (int i = 0; i < 680; ++i) {
      if (i % 8 == 0) ev(0xEB, 0, 11, static_cast<uint8_t>(i & 0x7F));
      else ev(static_cast<uint8_t>(48 + (i * 7) % 36), 12, 10, 100);
    }
    ev(0xF8, static_cast<uint8_t>(passes), 0, 0);
    ev(0xFE, 0, 0, 0);
    size_t len = b.size() - at;
    b[at] = len & 0xFF;
    b[at + 1] = (len >> 8) & 0xFF;
  }
  return b;
}

void Convert(benchmark::State& state) {
  auto song = MakeSong(static_cast<int>(state.range(0)));
  std::vector<uint8_t> smf;
  for (auto _ : state) {
    bool ok = melko::rcpcv::ConvertRcp(song.data(), song.size(), smf);
    benchmark::DoNotOptimize(ok);
  }
  state.counters["in_KB"] = song.size() / 1024.0;
  state.counters["out_KB"] = smf.size() / 1024.0;
}
BENCHMARK(Convert)->Arg(2)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
