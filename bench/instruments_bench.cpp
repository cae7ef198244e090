// Listing the shipped INST folder (display names only, as at start-up), and
// listing plus loading every definition in it: every patch, every drum set and
// the note names of every set, as a user browsing all of them would cause.
// Goal: the whole of it under 50 ms. A large generated folder shows how it
// grows with the number of patches.
//
// Usage: instruments_bench [benchmark flags] [--inst-dir DIR]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "instruments/instruments.h"

namespace {

std::string gFolder = MELKO_SHIPPED_INST_DIR;

size_t LoadAll(melko::TmInstruments& inst) {
  size_t n = 0;
  for (int i = 0; i < static_cast<int>(inst.InsFiles.size()); ++i) n += inst.GetInst(i)->Count();
  for (int i = 0; i < static_cast<int>(inst.DrmFiles.size()); ++i) {
    melko::TmDrumInst* d = inst.GetDrumInst(i);
    for (int s = 0; s < d->Count(); ++s) n += d->GetToneName(s, 36).size();
  }
  return n;
}

void BM_ListShipped(benchmark::State& state) {
  size_t files = 0;
  for (auto _ : state) {
    melko::TmInstruments inst(gFolder);
    files = inst.InsFiles.size() + inst.DrmFiles.size();
    benchmark::DoNotOptimize(files);
  }
  state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_ListShipped)->Unit(benchmark::kMillisecond);

void BM_ListAndLoadShipped(benchmark::State& state) {
  size_t entries = 0;
  for (auto _ : state) {
    melko::NullLog log;
    melko::TmInstruments inst(gFolder, &log);
    entries = LoadAll(inst);
    benchmark::DoNotOptimize(entries);
  }
}
BENCHMARK(BM_ListAndLoadShipped)->Unit(benchmark::kMillisecond);

// A folder of N instrument files of 16 banks × 128 patches, and N drum files
// of 64 sets with 60 named notes each.
void BM_ListAndLoadGenerated(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "melko_inst_bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "sub");
  char line[128];
  for (int f = 0; f < files; ++f) {
    std::ofstream ins(dir / "sub" / ("M" + std::to_string(f) + ".INS"), std::ios::binary);
    ins << "Module " << f << "\r\n";
    for (int b = 0; b < 16; ++b) {
      ins << "[Bank " << b << (b == 15 ? " Drum Set" : "") << "]\r\n";
      for (int p = 1; p <= 128; ++p) {
        std::snprintf(line, sizeof line, "%03d %03d %03d Patch %d of bank %d\r\n", b, 0, p, p, b);
        ins << line;
      }
      ins << "\r\n";
    }
    std::ofstream drm(dir / ("K" + std::to_string(f) + ".DRM"), std::ios::binary);
    drm << "[InstInfo]\r\nName=Kits " << f << "\r\n\r\n";
    for (int s = 0; s < 64; ++s) {
      drm << "[Kit " << s << "]\r\nBankMSB=" << s << "\r\nBankLSB=0\r\nProgram=" << s + 1 << "\r\n";
      for (int n = 27; n < 87; ++n) {
        std::snprintf(line, sizeof line, "%03d=Sound %d\r\n", n, n);
        drm << line;
      }
      drm << "\r\n";
    }
  }
  for (auto _ : state) {
    melko::TmInstruments inst(dir.string());
    benchmark::DoNotOptimize(LoadAll(inst));
  }
  state.counters["patches"] = static_cast<double>(files) * 16 * 128;
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ListAndLoadGenerated)->Arg(4)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--inst-dir") == 0) {
      gFolder = argv[i + 1];
      for (int j = i; j + 2 < argc; ++j) argv[j] = argv[j + 2];
      argc -= 2;
      break;
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
