// Load time of the SysEx parameter tables as the number of sections grows:
// N tables, N ranges, N types referring to them, and N parameters of one
// model with distinct addresses, each of its own type. A load must stay
// linear in N (a hand-made or damaged data folder may hold any number).
//
// Usage: sysex_load_bench [benchmark flags]   (sizes 5,000, 20,000 and 50,000)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "sysex/sysex_param_nodes.h"

namespace {

melko::TSysExTableTexts MakeTexts(int sections) {
  melko::TSysExTableTexts t;
  char buf[256];
  t.Models = "[M]\r\nData=41 dd 42 12\r\nDefDevID=10\r\nBgnCheckSum=5\r\n";
  t.Extras = "[ll]\r\nName=Low\r\nSymbol=%d\r\n";
  for (int i = 0; i < sections; ++i) {
    std::snprintf(buf, sizeof buf, "[T %d]\r\n0=Off\r\n1=On\r\n\r\n", i);
    t.Tables += buf;
    std::snprintf(buf, sizeof buf, "[R %d]\r\nRange=1 0 %X 0\r\n\r\n", i, 1 + i % 126);
    t.Ranges += buf;
    std::snprintf(buf, sizeof buf, "[Ty %d]\r\nRange=R %d\r\nTable=T %d\r\n\r\n", i, i, i);
    t.Types += buf;
    std::snprintf(buf, sizeof buf, "[P %d]\r\nModel=M\r\nAddress=%02X %02X %02X\r\nType=Ty %d\r\nGroup=G%d\r\n\r\n", i,
                  (i >> 14) & 0x7F, (i >> 7) & 0x7F, i & 0x7F, i, i % 50);
    t.Params += buf;
  }
  return t;
}

void BM_SysExTablesLoad(benchmark::State& state) {
  const melko::TSysExTableTexts texts = MakeTexts(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    melko::TSysExParamNodes nodes;
    bool ok = nodes.LoadTexts(texts);
    if (!ok) state.SkipWithError(nodes.LoadError().c_str());
    benchmark::DoNotOptimize(ok);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SysExTablesLoad)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
