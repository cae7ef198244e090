// Where `melko --render` puts its notes: renders a click track (a wood block
// on every quarter note at 120 BPM, the first at tick 0, then a few off-beat
// clicks at odd ticks) with melko's renderer and with `fluidsynth -ni -F` on
// the same file and SoundFont, finds each click's onset in both WAV files and
// prints, per renderer, how late the onsets come against their ideal times
// (first click, mean, spread = latest - earliest) and melko's offset against
// fluidsynth.
//
//   midi_render_onset_bench [clicks=40]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "midi/midi_cli.h"
#include "midi/synth/builtin_synth.h"
#include "song/smf_writer.h"
#include "song/song.h"

using namespace melko;

namespace {

constexpr uint32_t kTpqn = 480;
constexpr double kRate = 44100;

// Click ticks: quarters, then every ninth one moved by an odd number of ticks.
std::vector<uint32_t> ClickTicks(int clicks) {
  std::vector<uint32_t> ticks;
  for (int i = 0; i < clicks; ++i) ticks.push_back(uint32_t(i) * kTpqn + (i % 9 == 8 ? uint32_t(i * 7 % 97) : 0));
  return ticks;
}

bool WriteClickSong(const std::string& path, const std::vector<uint32_t>& ticks) {
  Song song;
  song.ClearSong();
  song.TPQN = kTpqn;
  song.Tracks[0].Touch();
  TMidiData& d = song.Tracks[1];
  d.Touch();
  uint32_t last = 0;
  for (uint32_t t : ticks) {
    TMidiEvent n;
    n.Time = t;
    n.Status = 0x90;
    n.Data1 = 76;  // high wood block: a sharp attack, a short decay
    n.Data2 = 127;
    n.Data3 = 64;
    n.Value = 40;
    EncodeEvent(d, n, last, 0, MaxGate(kTpqn));
  }
  song.Ch[1] = 9;
  song.RebuildMaps();
  song.LastTrack = uint8_t(song.LastUsedTrack(0));
  return SaveSongFile(song, path, false);
}

// The left channel of a 16-bit stereo WAV file.
std::vector<int> ReadWavLeft(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<int> out;
  size_t pos = 12;
  while (pos + 8 <= bytes.size()) {
    uint32_t len = uint8_t(bytes[pos + 4]) | uint8_t(bytes[pos + 5]) << 8 | uint8_t(bytes[pos + 6]) << 16 |
                   uint32_t(uint8_t(bytes[pos + 7])) << 24;
    if (bytes.compare(pos, 4, "data") == 0) {
      size_t end = std::min(bytes.size(), pos + 8 + size_t(len));
      for (size_t i = pos + 8; i + 3 < end; i += 4) out.push_back(int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
      break;
    }
    pos += 8 + len + (len & 1);
  }
  return out;
}

struct Onsets {
  std::vector<double> LateMs;  // per click: onset - ideal time
  bool Ok = false;
};

// A click's onset: the first sample in its window louder than a fifth of the
// window's peak.
Onsets FindOnsets(const std::vector<int>& s, const std::vector<uint32_t>& ticks) {
  Onsets o;
  for (uint32_t t : ticks) {
    double idealMs = double(t) * 500.0 / kTpqn;
    long from = long((idealMs - 5) * kRate / 1000), to = long((idealMs + 60) * kRate / 1000);
    from = std::max(from, 0L);
    if (to > long(s.size())) return o;
    int peak = 0;
    for (long i = from; i < to; ++i) peak = std::max(peak, std::abs(s[size_t(i)]));
    if (peak < 200) return o;
    long i = from;
    while (i < to && std::abs(s[size_t(i)]) < peak / 5) ++i;
    o.LateMs.push_back(double(i) * 1000.0 / kRate - idealMs);
  }
  o.Ok = true;
  return o;
}

void Print(const char* name, const Onsets& o) {
  if (!o.Ok) {
    std::printf("  %-20s onsets not found\n", name);
    return;
  }
  auto [lo, hi] = std::minmax_element(o.LateMs.begin(), o.LateMs.end());
  double mean = 0;
  for (double v : o.LateMs) mean += v;
  mean /= double(o.LateMs.size());
  std::printf("  %-20s first %.2f ms  mean %.2f ms  spread %.2f ms (%.2f .. %.2f)\n", name, o.LateMs.front(), mean,
              *hi - *lo, *lo, *hi);
}

}  // namespace

int main(int argc, char** argv) {
  int clicks = argc > 1 ? std::max(2, std::atoi(argv[1])) : 40;
  std::string sf = DefaultSoundFont();
  if (sf.empty()) {
    std::printf("no SoundFont installed\n");
    return 1;
  }
  const std::string dir = "/tmp", mid = dir + "/melko_onset.mid";
  const std::string melkoWav = dir + "/melko_onset_melko.wav", fluidWav = dir + "/melko_onset_fluid.wav";
  std::vector<uint32_t> ticks = ClickTicks(clicks);
  if (!WriteClickSong(mid, ticks)) return 1;
  std::ostringstream out, err;
  if (RunRender({"--render", mid, melkoWav, "--soundfont", sf}, dir, out, err) != 0) {
    std::printf("melko render failed: %s\n", err.str().c_str());
    return 1;
  }
  std::string cmd = "fluidsynth -ni -F " + fluidWav + " -r 44100 '" + sf + "' " + mid + " >/dev/null 2>&1";
  bool haveFluid = std::system(cmd.c_str()) == 0;
  Onsets m = FindOnsets(ReadWavLeft(melkoWav), ticks);
  std::printf("onsets of %d clicks against their ideal times (%s):\n", clicks, sf.c_str());
  Print("melko --render", m);
  if (haveFluid) {
    Onsets f = FindOnsets(ReadWavLeft(fluidWav), ticks);
    Print("fluidsynth -ni -F", f);
    if (m.Ok && f.Ok) {
      double off = 0;
      for (size_t i = 0; i < m.LateMs.size(); ++i) off += m.LateMs[i] - f.LateMs[i];
      std::printf("  melko - fluidsynth   mean offset %.2f ms, first click %.2f ms\n", off / double(m.LateMs.size()),
                  m.LateMs.front() - f.LateMs.front());
    }
  } else {
    std::printf("  fluidsynth not available\n");
  }
  std::remove(mid.c_str());
  std::remove(melkoWav.c_str());
  std::remove(fluidWav.c_str());
  return 0;
}
