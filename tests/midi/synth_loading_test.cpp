// The built-in synth loading its SoundFont in the background, as the desktop
// application makes it: what is sent before it is ready must not crash, the
// channel settings reach it once it joins, notes of the wait are not heard
// late, and the backend tells its owner when the load ended.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "midi/system_backend.h"
#include "midi/synth/builtin_synth.h"
#include "midi/synth/fluid_library.h"

namespace melko::test {
namespace {

SynthOptions Background() {
  SynthOptions o;
  o.AudioOutput = false;
  o.LoadInBackground = true;
  return o;
}

bool HaveSoundFont() { return !DefaultSoundFont().empty(); }

// GS "use for rhythm part" of part 1 (channel 1), for device 10h.
const std::vector<uint8_t> kRhythmPart1 = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15, 0x01, 0x19, 0xF7};

TEST(SynthLoading, FluidSynthIsOpenedAtRunTime) {
  std::string error;
  const FluidApi* fl = FluidLibrary(&error);
  ASSERT_NE(fl, nullptr) << error;
  EXPECT_NE(fl->fluid_synth_noteon, nullptr);
  EXPECT_EQ(FluidLibrary(), fl);  // opened once
}

TEST(SynthLoading, ChannelSettingsSentWhileLoadingReachTheSynthInOrder) {
  if (!HaveSoundFont()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  std::atomic<int> calls{0};
  std::string loadError = "not called";
  SynthOptions o = Background();
  o.Loaded = [&](const std::vector<std::string>&, const std::string& error) {
    loadError = error;
    ++calls;
  };
  std::string error;
  auto synth = BuiltinSynth::Create(o, error);
  ASSERT_NE(synth, nullptr) << error;
  EXPECT_FALSE(synth->Ready());  // a SoundFont takes far longer than this
  EXPECT_EQ(synth->ChannelBank(0), -1);
  EXPECT_EQ(synth->ActiveVoices(), 0);
  // Channel 1 becomes a rhythm part, channel 2 gets program 5, and notes are
  // played on both meanwhile: the notes are dropped, the settings kept.
  synth->SendLong(kRhythmPart1.data(), kRhythmPart1.size());
  synth->SendShort(ShortMsg(0xC0, 0));
  synth->SendShort(ShortMsg(0xC1, 5));
  synth->SendShort(ShortMsg(0x90, 36, 100));
  synth->SendShort(ShortMsg(0x91, 60, 100));
  synth->SetVolume(0);
  ASSERT_TRUE(synth->WaitUntilLoaded());
  EXPECT_EQ(calls.load(), 1);
  EXPECT_EQ(loadError, "");
  EXPECT_EQ(synth->ChannelBank(0), 128);
  EXPECT_EQ(synth->ChannelBank(1), 0);
  EXPECT_EQ(synth->ActiveVoices(), 0);  // no late notes
  // Once ready, messages go straight through.
  synth->SendShort(ShortMsg(0x91, 60, 100));
  EXPECT_GT(synth->ActiveVoices(), 0);
}

// Senders on several threads while the load ends: nothing is lost in the
// change-over, and nothing crashes.
TEST(SynthLoading, SendersOnManyThreadsDuringTheChangeOver) {
  if (!HaveSoundFont()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  std::string error;
  auto synth = BuiltinSynth::Create(Background(), error);
  ASSERT_NE(synth, nullptr) << error;
  std::atomic<bool> stop{false};
  std::vector<std::thread> senders;
  for (int t = 0; t < 3; ++t) {
    senders.emplace_back([&, t] {
      while (!stop.load()) {
        synth->SendShort(ShortMsg(0xB0 | t, 7, 100));
        synth->SendShort(ShortMsg(0x90 | t, 60, 1));
        synth->SendShort(ShortMsg(0x80 | t, 60, 0));
        synth->SendLong(kRhythmPart1.data(), kRhythmPart1.size());
      }
    });
  }
  EXPECT_TRUE(synth->WaitUntilLoaded());
  stop = true;
  for (auto& s : senders) s.join();
  synth->SendShort(ShortMsg(0xC0, 0));
  EXPECT_EQ(synth->ChannelBank(0), 128);
}

TEST(SynthLoading, ASynthDroppedWhileLoadingDoesNotWaitForIt) {
  if (!HaveSoundFont()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  std::string error;
  auto start = std::chrono::steady_clock::now();
  {
    auto synth = BuiltinSynth::Create(Background(), error);
    ASSERT_NE(synth, nullptr) << error;
    synth->SendShort(ShortMsg(0xC0, 3));
  }
  // The load goes on alone and frees what it made; here nothing waited.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST(SynthLoading, AMissingSoundFontFailsAtOnceEvenInTheBackground) {
  SynthOptions o = Background();
  o.SoundFont = "/nonexistent/none.sf2";
  bool called = false;
  o.Loaded = [&](const std::vector<std::string>&, const std::string&) { called = true; };
  std::string error;
  EXPECT_EQ(BuiltinSynth::Create(o, error), nullptr);
  EXPECT_NE(error.find("none.sf2"), std::string::npos);
  EXPECT_FALSE(called);
}

TEST(SynthLoading, AnUnreadableSoundFontFailsLaterAndTheBackendSaysSo) {
  char path[] = "/tmp/melko-notsf-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "not a SoundFont", 15), 15);
  close(fd);
  SynthOptions o = Background();
  o.SoundFont = path;
  SystemMidiBackend backend(o, false);
  std::mutex m;
  std::condition_variable cv;
  std::string reported = "not called";
  backend.SetSynthLoaded([&](const std::string& error) {
    std::lock_guard<std::mutex> lock(m);
    reported = error;
    cv.notify_all();
  });
  std::unique_ptr<MidiOutDevice> dev;
  ASSERT_EQ(backend.OpenOut(1, dev), kMidiOk);  // the window does not wait
  EXPECT_EQ(dev->SendShort(ShortMsg(0x90, 60, 100)), kMidiOk);
  {
    std::unique_lock<std::mutex> lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return reported != "not called"; }));
  }
  EXPECT_NE(reported.find(path), std::string::npos);
  auto log = backend.TakeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("could not be loaded"), std::string::npos);
  // Sends to a synth that failed are dropped quietly.
  EXPECT_EQ(dev->SendShort(ShortMsg(0xC0, 1)), kMidiOk);
  backend.SetSynthLoaded(nullptr);
  dev.reset();
  unlink(path);
}

}  // namespace
}  // namespace melko::test
