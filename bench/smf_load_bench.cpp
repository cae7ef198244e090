// Load and save speed of a large song, and the memory a load needs.
//
// Builds a song of 16 tracks with 100,000 notes each (overlapping three-note
// chords) plus controllers, saves it as a Standard MIDI File, then reports the
// median load and save times, the bytes of compact track data per note, and
// the peak memory of a load measured in a fresh child process. When the
// `midicsv` tool is installed the time it needs to turn the same file into
// text is reported beside it.
//
// Usage: smf_load_bench [--notes N] [--keep FILE]    (default 100000 notes per track)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "song/smf_reader.h"
#include "song/smf_writer.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

class QuietPrompt : public melko::SongPrompt {
 public:
  void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  bool AskYesNo(const std::string&) override { return true; }
};

long PeakRssKb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

void BuildSong(melko::Song& song, int notesPerTrack) {
  song.TrackNames[0] = "Benchmark";
  melko::ApplySongLoaded(song);
  for (int t = 1; t <= 16; ++t) {
    melko::TMidiData& track = song.Tracks[t];
    track.Reserve(static_cast<uint32_t>(notesPerTrack) * 7);
    song.Ch[t] = static_cast<uint8_t>(t - 1);
    uint32_t last = 0;
    melko::TMidiEvent ev;
    for (int i = 0; i < notesPerTrack; i += 3) {
      uint32_t tick = static_cast<uint32_t>(i / 3) * 120;
      ev = melko::TMidiEvent{};
      ev.Time = tick;
      ev.Status = 0xB0;
      ev.Data1 = static_cast<uint8_t>(i % 2 ? 11 : 7);
      ev.Data2 = static_cast<uint8_t>((i / 3) % 128);
      melko::EncodeEvent(track, ev, last, 0, song.MaxGate());
      for (int k = 0; k < 3 && i + k < notesPerTrack; ++k) {
        ev = melko::TMidiEvent{};
        ev.Time = tick;
        ev.Status = 0x90;
        ev.Data1 = static_cast<uint8_t>(36 + (i / 3 + k * 4) % 60);
        ev.Data2 = static_cast<uint8_t>(64 + k * 10);
        ev.Data3 = 64;
        ev.Value = 240 + static_cast<uint32_t>(k) * 60;  // each chord overlaps the next
        melko::EncodeEvent(track, ev, last, 0, song.MaxGate());
      }
    }
  }
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Child mode: load once and print the growth of the peak resident size.
int LoadOnly(const char* file) {
  long before = PeakRssKb();
  melko::Song song;
  QuietPrompt prompt;
  if (!melko::OpenSongFile(song, file, prompt)) return 1;
  long after = PeakRssKb();
  std::printf("%ld %ld\n", before, after);
  return 0;
}

double RunSeconds(const std::vector<std::string>& argv, std::string* output = nullptr) {
  std::string tmp = "/tmp/melko_bench_out.txt";
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output ? tmp.c_str() : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  auto start = Clock::now();
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  double secs = std::chrono::duration<double>(Clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  if (output) {
    std::ifstream in(tmp);
    std::getline(in, *output);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? secs : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--load-only") == 0) return LoadOnly(argv[2]);
  int notes = 100000;
  std::string file = "/tmp/melko_bench_song.mid";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--notes") == 0) notes = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--keep") == 0) file = argv[i + 1];
  }
  {
    melko::Song song;
    BuildSong(song, notes);
    if (!melko::SaveSongFile(song, file, false)) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
      return 1;
    }
  }
  std::ifstream sizeProbe(file, std::ios::binary | std::ios::ate);
  const double fileBytes = static_cast<double>(sizeProbe.tellg());
  std::printf("song: 16 tracks x %d notes, file %.1f MB\n", notes, fileBytes / 1e6);

  std::vector<double> loads, saves;
  double perNote = 0;
  for (int run = 0; run < 5; ++run) {
    melko::Song song;
    QuietPrompt prompt;
    auto t0 = Clock::now();
    if (!melko::OpenSongFile(song, file, prompt)) return 1;
    auto t1 = Clock::now();
    if (!melko::SaveSongFile(song, file + ".saved", false)) return 1;
    auto t2 = Clock::now();
    loads.push_back(std::chrono::duration<double>(t1 - t0).count());
    saves.push_back(std::chrono::duration<double>(t2 - t1).count());
    uint64_t bytes = 0;
    for (int t = 1; t <= 16; ++t) bytes += song.Tracks[t].Length();
    perNote = static_cast<double>(bytes) / (16.0 * notes);
  }
  std::printf("load: median %.3f s (%.1f MB/s)\n", Median(loads), fileBytes / 1e6 / Median(loads));
  std::printf("save: median %.3f s\n", Median(saves));
  std::printf("track data: %.2f bytes per note (controllers included)\n", perNote);

  std::string peak;
  if (RunSeconds({argv[0], "--load-only", file}, &peak) >= 0) {
    long before = 0, after = 0;
    std::sscanf(peak.c_str(), "%ld %ld", &before, &after);
    double grown = (after - before) * 1024.0;
    std::printf("peak memory of a load: %.1f MB above the process start (%.2f x the file size), %.1f MB in all\n",
                grown / 1e6, grown / fileBytes, after * 1024.0 / 1e6);
  }

  std::vector<double> csv;
  for (int run = 0; run < 3; ++run) {
    double s = RunSeconds({"midicsv", file, "/dev/null"});
    if (s < 0) break;
    csv.push_back(s);
  }
  if (csv.empty()) {
    std::printf("midicsv: not installed\n");
  } else {
    std::printf("midicsv to text: median %.3f s; MELKO loads %.1f x faster\n", Median(csv), Median(csv) / Median(loads));
  }
  std::remove((file + ".saved").c_str());
  return 0;
}
