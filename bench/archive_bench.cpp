// A ZIP archive of 10,000 songs, made once in a scratch folder: its listing
// read fresh (a new cache each time) and from a warm cache (which still looks
// at the archive's stamp), and one song opened from inside it against the
// same song loaded from a plain file.
#include <archive.h>
#include <archive_entry.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "archive/arc_cache.h"
#include "archive/archive_access.h"
#include "song/smf_reader.h"

namespace {

constexpr int kMembers = 10000;

class QuietPrompt : public melko::SongPrompt {
 public:
  void ShowError(const std::string&) override {}
  bool AskYesNo(const std::string&) override { return true; }
};

void Be(std::string& s, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A song of one track with 2,000 notes (about 16 KB), varied by `seed`.
std::string MakeSong(int seed) {
  std::string track;
  for (int i = 0; i < 2000; ++i) {
    track += '\x00';
    track += '\x90';
    track += static_cast<char>(36 + (i * 7 + seed) % 48);
    track += '\x64';
    track += '\x60';
    track += static_cast<char>(36 + (i * 7 + seed) % 48);
    track += '\x00';
  }
  track += std::string("\x00\xFF\x2F\x00", 4);
  std::string s = "MThd";
  Be(s, 6, 4);
  Be(s, 0, 2);
  Be(s, 1, 2);
  Be(s, 480, 2);
  s += "MTrk";
  Be(s, static_cast<uint32_t>(track.size()), 4);
  return s + track;
}

struct Fixture {
  std::string Dir, Zip, Plain, Member;
  Fixture() {
    char tmpl[] = "/tmp/melko-archive-bench-XXXXXX";
    Dir = mkdtemp(tmpl);
    Zip = Dir + "/songs.zip";
    Plain = Dir + "/plain.mid";
    Member = "folder/song05000.mid";
    archive* w = archive_write_new();
    archive_write_set_format_zip(w);
    archive_write_open_filename(w, Zip.c_str());
    for (int i = 0; i < kMembers; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "folder/song%05d.mid", i);
      std::string song = MakeSong(i);
      archive_entry* e = archive_entry_new();
      archive_entry_copy_pathname(e, name);
      archive_entry_set_filetype(e, AE_IFREG);
      archive_entry_set_perm(e, 0644);
      archive_entry_set_size(e, static_cast<la_int64_t>(song.size()));
      archive_write_header(w, e);
      archive_write_data(w, song.data(), song.size());
      archive_entry_free(e);
      if (i == 5000) std::ofstream(Plain, std::ios::binary) << song;
    }
    archive_write_close(w);
    archive_write_free(w);
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
  }
};

Fixture& Files() {
  static Fixture f;
  return f;
}

void BM_ListFresh(benchmark::State& state) {
  const std::string zip = Files().Zip;
  for (auto _ : state) {
    melko::TArcCache cache;
    melko::TMemberList list;
    cache.CachedList(zip, list);
    if (list.size() != kMembers) state.SkipWithError("listing incomplete");
    benchmark::DoNotOptimize(list.data());
  }
}
BENCHMARK(BM_ListFresh)->Unit(benchmark::kMillisecond);

void BM_ListCached(benchmark::State& state) {
  const std::string zip = Files().Zip;
  melko::TArcCache cache;
  melko::TMemberList list;
  cache.CachedList(zip, list);
  for (auto _ : state) {
    cache.CachedList(zip, list);
    benchmark::DoNotOptimize(list.data());
  }
}
BENCHMARK(BM_ListCached)->Unit(benchmark::kMillisecond);

void BM_OpenPlainSong(benchmark::State& state) {
  const std::string plain = Files().Plain;
  QuietPrompt prompt;
  for (auto _ : state) {
    melko::Song song;
    if (!melko::OpenSongFile(song, plain, prompt)) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_OpenPlainSong)->Unit(benchmark::kMillisecond);

void BM_OpenArchivedSong(benchmark::State& state) {
  const std::string path = Files().Zip + ">" + Files().Member;
  QuietPrompt prompt;
  for (auto _ : state) {
    melko::Song song;
    if (!melko::OpenSongFile(song, path, prompt)) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_OpenArchivedSong)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
