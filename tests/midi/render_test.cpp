// Offline rendering through the real FluidSynth with the installed General
// MIDI SoundFont, the WAV writer, and the --render command end to end. The
// SoundFont is large: it is loaded once for the whole binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "engine_rig.h"
#include "midi/midi_cli.h"
#include "midi/offline_renderer.h"
#include "midi/synth/builtin_synth.h"
#include "midi/wav_writer.h"
#include "song/smf_reader.h"
#include "song/song_cli.h"

namespace melko::test {
namespace {

std::shared_ptr<BuiltinSynth> SharedSynth() {
  static std::shared_ptr<BuiltinSynth> synth = [] {
    SynthOptions o;
    o.AudioOutput = false;
    std::string error;
    return std::shared_ptr<BuiltinSynth>(BuiltinSynth::Create(o, error).release());
  }();
  return synth;
}

int Peak(const std::vector<int16_t>& s, size_t fromFrame, size_t toFrame) {
  int peak = 0;
  for (size_t i = fromFrame * 2; i < toFrame * 2 && i < s.size(); ++i) peak = std::max(peak, std::abs(int(s[i])));
  return peak;
}

// Renders the whole song into `samples` (interleaved stereo frames).
::testing::AssertionResult RenderInto(Song& song, BuiltinSynth& synth, const RenderOptions& options,
                                      std::vector<int16_t>& samples, RenderStats& stats) {
  std::string error;
  bool ok = RenderSong(song, synth, options,
                       [&](const int16_t* f, size_t n) {
                         samples.insert(samples.end(), f, f + n * 2);
                         return true;
                       },
                       stats, error);
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << error;
}

struct SynthSysExRow {
  const char* Name;
  std::vector<Bytes> Messages;  // sent before a program change on channel 1
  int Bank;                     // the bank channel 1 then plays
};

class BuiltinSynthSysEx : public ::testing::TestWithParam<SynthSysExRow> {};

// Device-addressed messages of ordinary songs reach the built-in synth: it
// answers to device id 10h. Each row ends with the GM reset, which puts
// channel 1 back to a melodic part for the next row.
TEST_P(BuiltinSynthSysEx, AnswersToDeviceId16) {
  auto synth = SharedSynth();
  if (!synth) GTEST_SKIP() << "no General MIDI SoundFont installed";
  SynthOutDevice device(synth);
  for (const auto& m : GetParam().Messages) EXPECT_EQ(device.SendLong(m.data(), m.size()), kMidiOk);
  device.SendShort(ShortMsg(0xC0, 0));
  EXPECT_EQ(synth->ChannelBank(0), GetParam().Bank);
  device.SendLong(kGmSystemOn, sizeof kGmSystemOn);
  device.SendShort(ShortMsg(0xC0, 0));
  EXPECT_EQ(synth->ChannelBank(0), 0);
}

// GS "use for rhythm part" of part 1 (channel 1): drum map 1.
const Bytes kRhythmPart1 = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15, 0x01, 0x19, 0xF7};
const Bytes kRhythmPart1OtherDevice = {0xF0, 0x41, 0x11, 0x42, 0x12, 0x40, 0x11, 0x15, 0x01, 0x19, 0xF7};

INSTANTIATE_TEST_SUITE_P(
    Rows, BuiltinSynthSysEx,
    ::testing::Values(SynthSysExRow{"RhythmPartForDevice16", {kRhythmPart1}, 128},
                      SynthSysExRow{"RhythmPartForAnotherDevice", {kRhythmPart1OtherDevice}, 0},
                      SynthSysExRow{"GsResetUndoesIt", {kRhythmPart1, Bytes(kGsReset, kGsReset + 11)}, 0},
                      SynthSysExRow{"XgSystemOnUndoesIt", {kRhythmPart1, Bytes(kXgSystemOn, kXgSystemOn + 9)}, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Render, NotesSoundWhereTheyPlayAndTheEndIsSilent) {
  auto synth = SharedSynth();
  if (!synth) GTEST_SKIP() << "no General MIDI SoundFont installed";
  EngineRig rig;  // only for its song helpers
  rig.Add(1, Short(0, 0xC0, 0));
  rig.Add(1, Note(0, 60, 110, 240));      // 0 .. 0.25 s
  rig.Add(1, Note(1440, 67, 110, 480));   // 1.5 .. 2.0 s
  rig.Build();
  std::vector<int16_t> samples;
  RenderOptions options;
  RenderStats stats;
  ASSERT_TRUE(RenderInto(rig.song, *synth, options, samples, stats));
  // The song lasts 1920 ticks at 120 BPM, from sample 0: 2.000 s.
  EXPECT_EQ(stats.SongMs, 2000u);
  size_t frames = samples.size() / 2;
  EXPECT_EQ(frames, stats.Frames);
  EXPECT_GE(frames, 2000u * 44100 / 1000);
  EXPECT_LE(frames, (2000u + options.MaxTailMs + 100) * 44100 / 1000);
  auto at = [](double seconds) { return size_t(seconds * 44100); };
  EXPECT_GT(Peak(samples, 0, at(0.005)), 100);        // the first note from the start
  EXPECT_GT(Peak(samples, at(0.02), at(0.2)), 1000);
  EXPECT_GT(Peak(samples, at(1.55), at(1.95)), 1000); // second note
  EXPECT_LT(Peak(samples, frames - at(0.04), frames), 8);  // after the last release tail
}

// A render has no timer to wait for: the note at tick 0 starts within the
// first 64-sample block, and every later note within the block of its own
// time, wherever in a millisecond that time falls.
TEST(Render, EveryNoteStartsInTheBlockOfItsTime) {
  auto synth = SharedSynth();
  if (!synth) GTEST_SKIP() << "no General MIDI SoundFont installed";
  EngineRig rig;
  rig.Add(1, Short(0, 0xC0, 115));  // wood block: a sharp attack
  const uint32_t ticks[] = {0, 1000, 1937, 3001, 3850, 4811};
  for (uint32_t t : ticks) rig.Add(1, Note(t, 76, 127, 30));
  rig.Build();
  std::vector<int16_t> samples;
  RenderOptions options;
  RenderStats stats;
  ASSERT_TRUE(RenderInto(rig.song, *synth, options, samples, stats));
  std::vector<double> late;  // samples from the ideal time to the onset
  for (uint32_t t : ticks) {
    const double ideal = double(t) * 0.5 / 480 * 44100;
    const size_t from = size_t(std::max(0.0, ideal - 200)), to = size_t(ideal + 2205);
    int peak = Peak(samples, from, to);
    ASSERT_GT(peak, 1000) << "tick " << t;
    size_t i = from;
    while (i < to && std::abs(int(samples[i * 2])) < peak / 5) ++i;
    late.push_back(double(i) - ideal);
  }
  auto [lo, hi] = std::minmax_element(late.begin(), late.end());
  // The attack takes about 100 samples to reach a fifth of the peak; ten
  // milliseconds of lead would put it past 500.
  EXPECT_LT(late[0], 300) << "the first note is late";
  EXPECT_LE(late[0], *lo + 64 + 2) << "the first note is later than the rest";
  EXPECT_GE(*lo, -1.0) << "a note came early";
  EXPECT_LE(*hi - *lo, 64.0 + 2) << "a note left the block of its time";
}

#ifdef MELKO_DEMO_FILE
// The demo song renders to its length through the tempo map: every tick up
// to the last note-off at the tempo in force, from sample 0.
TEST(Render, TheDemoHasTheExpectedLengthAndSoundsWhereNotesPlay) {
  auto synth = SharedSynth();
  if (!synth) GTEST_SKIP() << "no General MIDI SoundFont installed";
  Song song;
  std::ostringstream sink;
  StreamPrompt prompt(sink);
  ASSERT_TRUE(OpenSongFile(song, MELKO_DEMO_FILE, prompt)) << sink.str();
  uint32_t lastOff = 0;
  for (int t = 0; t < kSongTracks; ++t) {
    const TMidiData& d = song.Tracks[t];
    if (!d.HasData()) continue;
    const uint8_t* p = d.Top();
    uint32_t tick = 0;
    TMidiEvent ev;
    while (p < d.End()) {
      DecodeEvent(p, d.End(), 0, ev);
      tick += ev.Time;
      if (ev.IsNote()) {
        lastOff = std::max(lastOff, tick + ev.Value);
      }
    }
  }
  ASSERT_GT(lastOff, 0u);
  int64_t sum = 0;
  for (uint32_t k = 0; k < lastOff; ++k) sum += song.Maps.TempoAt(k).Tempo;
  int64_t scale = int64_t(song.TPQN) * 1000;
  uint32_t expectedMs = uint32_t(sum / scale);

  std::vector<int16_t> samples;
  RenderOptions options;
  RenderStats stats;
  std::string error;
  ASSERT_TRUE(RenderSong(song, *synth, options,
                         [&](const int16_t* f, size_t n) {
                           samples.insert(samples.end(), f, f + n * 2);
                           return true;
                         },
                         stats, error))
      << error;
  EXPECT_NEAR(stats.SongMs, expectedMs, 1);
  size_t frames = samples.size() / 2;
  EXPECT_GE(frames, size_t(expectedMs) * 44100 / 1000);
  // Every half second of the song has sound in it, and the end is silent.
  const size_t half = 44100 / 2, songFrames = size_t(expectedMs) * 44100 / 1000;
  for (size_t from = 44100 / 100; from + half < songFrames; from += half)
    EXPECT_GT(Peak(samples, from, from + half), 300) << "at frame " << from;
  EXPECT_LT(Peak(samples, frames - 44100 / 20, frames), 8);
}
#endif

TEST(Render, RenderCommandWritesAWavFile) {
  if (DefaultSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  // A format 0 file: one tempo, one note of a quarter at 480 TPQN.
  const uint8_t smf[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
                         'M', 'T', 'r', 'k', 0, 0, 0, 20,
                         0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
                         0x00, 0x90, 0x3C, 0x64,
                         0x83, 0x60, 0x80, 0x3C, 0x40,
                         0x00, 0xFF, 0x2F, 0x00};
  std::string dir = ::testing::TempDir();
  std::string mid = dir + "/melko_render_test.mid", wav = dir + "/melko_render_test.wav";
  {
    std::ofstream f(mid, std::ios::binary);
    f.write(reinterpret_cast<const char*>(smf), sizeof smf);
  }
  std::ostringstream out, err;
  int rc = RunRender({"--render", mid, wav}, dir, out, err);
  ASSERT_EQ(rc, 0) << err.str();
  std::ifstream f(wav, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 44u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  uint32_t dataBytes = bytes[40] | bytes[41] << 8 | bytes[42] << 16 | uint32_t(bytes[43]) << 24;
  EXPECT_EQ(dataBytes + 44, bytes.size());
  // At least the note (0.5 s).
  EXPECT_GE(dataBytes / 4, 500u * 44100 / 1000);
  std::remove(mid.c_str());
  std::remove(wav.c_str());
}

TEST(Render, RenderCommandRejectsBadArguments) {
  std::ostringstream out, err;
  EXPECT_EQ(RunRender({"--render", "only-one.mid"}, ".", out, err), 2);
  EXPECT_EQ(RunRender({"--render", "/nonexistent/x.mid", "/tmp/x.wav", "--soundfont", "/nonexistent.sf2"}, ".", out, err), 1);
}

TEST(WavWriter, WritesTheHeaderAndSamples) {
  std::string path = ::testing::TempDir() + "/melko_wav_test.wav";
  WavWriter w;
  ASSERT_TRUE(w.Open(path, 44100));
  const int16_t frames[] = {1, -1, 0x1234, -0x1234, 0, 32767};
  ASSERT_TRUE(w.Write(frames, 3));
  ASSERT_TRUE(w.Finish());
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ASSERT_EQ(b.size(), 44u + 12u);
  const uint8_t header[] = {'R', 'I', 'F', 'F', 48, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                            16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,
                            4, 0, 16, 0, 'd', 'a', 't', 'a', 12, 0, 0, 0};
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 44), Bytes(header, header + 44));
  EXPECT_EQ(Bytes(b.begin() + 44, b.begin() + 48), (Bytes{1, 0, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(b.begin() + 48, b.begin() + 52), (Bytes{0x34, 0x12, 0xCC, 0xED}));
  std::remove(path.c_str());
}

TEST(WavWriter, AFailedRenderLeavesNoFile) {
  std::string path = ::testing::TempDir() + "/melko_wav_unfinished.wav";
  {
    WavWriter w;
    ASSERT_TRUE(w.Open(path, 44100));
    const int16_t frames[] = {1, 2};
    w.Write(frames, 1);
  }  // never finished
  std::ifstream f(path);
  EXPECT_FALSE(f.good());
  std::ifstream part(path + ".part");
  EXPECT_FALSE(part.good());
}

}  // namespace
}  // namespace melko::test

namespace melko::test {
namespace {

TEST(PlayCommand, RejectsBadArgumentsBeforePlaying) {
  std::ostringstream out, err;
  EXPECT_EQ(RunPlay({"--play"}, ".", out, err), 2);
  EXPECT_EQ(RunPlay({"--play", "x.mid", "--port", "E=1"}, ".", out, err), 2);
  for (const char* bad : {"", "-1", "1.5", "4/1", "4//0", "/4", "4/1/0/", "x"})
    EXPECT_EQ(RunPlay({"--play", "x.mid", "--from", bad}, ".", out, err), 2) << bad;
  EXPECT_EQ(RunPlay({"--play", "/nonexistent/x.mid"}, ".", out, err), 1);
}

// --from counts as the strip and the range boxes do: measures from 0.
TEST(PlayCommand, FromTakesAPositionInTheStripsForm) {
  SongMaps maps;
  maps.Reset(480);
  TMidiData conductor;
  uint32_t last = 0;
  TMidiEvent meter = Meter(3 * 1920, 3, 2);  // 3/4 from measure 3
  EncodeEvent(conductor, meter, last, 0, MaxGate(480));
  maps.BuildMeterMap(conductor, 480);
  for (const char* good : {"0", "4", "4/1/0", "004/02/010"}) EXPECT_TRUE(IsPlayPosition(good)) << good;
  EXPECT_EQ(PlayPositionTick(maps, ""), 0u);
  EXPECT_EQ(PlayPositionTick(maps, "0"), 0u);
  EXPECT_EQ(PlayPositionTick(maps, "2"), 2u * 1920);
  EXPECT_EQ(PlayPositionTick(maps, "4"), 3u * 1920 + 1440);
  EXPECT_EQ(PlayPositionTick(maps, "4/2/10"), 3u * 1920 + 1440 + 480 + 10);
  EXPECT_EQ(PlayPositionTick(maps, "1/9/999"), 1920u + 3 * 480 + 479);  // clamped into the measure
}

TEST(ListDevicesCommand, PrintsBothTablesWithTheBuiltInSynthFirst) {
  std::ostringstream out, err;
  ASSERT_EQ(RunListDevices({"--list-devices"}, ::testing::TempDir(), out, err), 0);
  std::string text = out.str();
  EXPECT_NE(text.find("Output devices:\n  0  (Not in Use)\n  1  MELKO Synth (FluidSynth)\n"), std::string::npos);
  EXPECT_NE(text.find("Input devices:\n  0  (Not in Use)\n"), std::string::npos);
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace melko::test
