// How fast a batch command of melko starts and ends, against midicsv.
//
// Writes a Standard MIDI File of about 100 KB (8 tracks of notes and
// controllers), then runs each command many times as a fresh process and
// reports the minimum, median and 90th percentile of the wall time:
// `melko --help`, `melko --convert IN OUT`, `melko --dump IN`, and, when it
// is installed, `midicsv IN OUT` for comparison. The goal for --convert is
// under 15 ms: a batch command must not load the window's libraries or
// FluidSynth. Also prints how many shared libraries melko links.
//
// Usage: startup_bench [--runs N] [--melko PATH] [--keep FILE]
//        (default 40 runs, the built melko; --keep also writes the song to FILE)
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

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

void Put32(std::string& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out += char((v >> s) & 0xFF);
}

void PutVar(std::string& out, uint32_t v) {
  char buf[5];
  int n = 0;
  buf[n++] = char(v & 0x7F);
  while (v >>= 7) buf[n++] = char(0x80 | (v & 0x7F));
  while (n) out += buf[--n];
}

// 8 tracks, each a melody with a controller sweep: about 100 KB.
std::string MakeSong() {
  const int tracks = 8, notes = 1500;
  std::string file = "MThd";
  Put32(file, 6);
  file += std::string("\x00\x01", 2);
  file += char(0);
  file += char(tracks + 1);
  file += char(0x01);
  file += char(0xE0);  // 480 ticks per quarter note
  std::string conductor = std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7) + std::string("\x00\xFF\x2F\x00", 4);
  file += "MTrk";
  Put32(file, uint32_t(conductor.size()));
  file += conductor;
  for (int t = 0; t < tracks; ++t) {
    std::string body;
    const char ch = char(t);
    body += std::string("\x00", 1) + char(0xC0 | ch) + char(t * 8);
    for (int i = 0; i < notes; ++i) {
      const char key = char(36 + (i * 7 + t * 5) % 60);
      PutVar(body, i % 4 == 0 ? 0 : 120);
      body += char(0x90 | ch);
      body += key;
      body += char(64 + i % 60);
      if (i % 8 == 0) {
        PutVar(body, 0);
        body += char(0xB0 | ch);
        body += char(11);
        body += char(i % 128);
      }
      PutVar(body, 100);
      body += char(0x80 | ch);
      body += key;
      body += char(0);
    }
    body += std::string("\x00\xFF\x2F\x00", 4);
    file += "MTrk";
    Put32(file, uint32_t(body.size()));
    file += body;
  }
  return file;
}

// Runs the command once with its output thrown away; the wall time in ms,
// or a negative value when it could not run or failed.
double RunOnce(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

void Report(const char* name, const std::vector<std::string>& argv, int runs) {
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) RunOnce(argv);  // warm the page cache
  for (int i = 0; i < runs; ++i) {
    double ms = RunOnce(argv);
    if (ms < 0) {
      std::printf("%-26s failed to run\n", name);
      return;
    }
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("%-26s min %6.1f ms   median %6.1f ms   p90 %6.1f ms\n", name, times.front(),
              times[times.size() / 2], times[times.size() * 9 / 10]);
}

// The shared libraries the program links, as ldd lists them.
int LinkedLibraries(const std::string& melko) {
  std::string command = "ldd '" + melko + "' 2>/dev/null | grep -c '=>'";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  int n = -1;
  if (std::fscanf(p, "%d", &n) != 1) n = -1;
  pclose(p);
  return n;
}

bool OnPath(const char* tool) {
  std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 40;
  std::string melko = MELKO_BIN, keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    else if (std::strcmp(argv[i], "--melko") == 0) melko = argv[i + 1];
    else if (std::strcmp(argv[i], "--keep") == 0) keep = argv[i + 1];
  }
  char dirTemplate[] = "/tmp/melko-startup-XXXXXX";
  const char* dir = mkdtemp(dirTemplate);
  if (!dir) return 1;
  const std::string in = std::string(dir) + "/song.mid";
  const std::string song = MakeSong();
  std::ofstream(in, std::ios::binary).write(song.data(), std::streamsize(song.size()));
  if (!keep.empty()) std::ofstream(keep, std::ios::binary).write(song.data(), std::streamsize(song.size()));
  std::printf("song: %zu bytes; %d runs each; %s links %d shared libraries\n", song.size(), runs, melko.c_str(),
              LinkedLibraries(melko));

  Report("melko --help", {melko, "--help"}, runs);
  Report("melko --convert", {melko, "--convert", in, std::string(dir) + "/out.mid"}, runs);
  Report("melko --dump", {melko, "--dump", in}, runs);
  if (OnPath("midicsv")) Report("midicsv", {"midicsv", in, std::string(dir) + "/out.csv"}, runs);
  else std::printf("midicsv is not installed: no comparison\n");

  std::string cleanup = std::string("rm -rf '") + dir + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
