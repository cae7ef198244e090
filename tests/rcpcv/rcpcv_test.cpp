// The RCP converter library through its exports: song images written byte by
// byte here, converted, and the SMF events checked exactly.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "rcp_writer.h"
#include "rcpcv/rcpcv.h"

namespace melko::test {
namespace {

using Bytes = std::vector<uint8_t>;

Smf ConvertOk(const RcpWriter& w) {
  Bytes out = Convert(w.Bytes());
  Smf smf = ParseSmf(out);
  EXPECT_TRUE(smf.Ok) << "converted bytes are no valid SMF (" << out.size() << " bytes)";
  return smf;
}

// Events of one track whose first byte (status) matches, as "tick:bytes".
std::vector<SmfEvent> Only(const std::vector<SmfEvent>& events, uint8_t status, int metaType = -1) {
  std::vector<SmfEvent> r;
  for (const auto& e : events) {
    if (status >= 0xF0 ? e.Bytes[0] == status : (e.Bytes[0] & 0xF0) == status) {
      if (metaType < 0 || (e.Bytes.size() > 1 && e.Bytes[1] == metaType)) r.push_back(e);
    }
  }
  return r;
}

struct NoteSpan {
  uint32_t On, Off;
  int Channel, Key, Velocity;
  bool operator==(const NoteSpan&) const = default;
};
std::ostream& operator<<(std::ostream& o, const NoteSpan& n) {
  return o << "{" << n.On << "-" << n.Off << " ch" << n.Channel << " k" << n.Key << " v" << n.Velocity << "}";
}

std::vector<NoteSpan> Notes(const std::vector<SmfEvent>& events) {
  std::vector<NoteSpan> notes;
  for (const auto& e : events) {
    uint8_t kind = e.Bytes[0] & 0xF0;
    if (kind == 0x90 && e.Bytes[2] > 0) {
      notes.push_back({e.Tick, 0, e.Bytes[0] & 0x0F, e.Bytes[1], e.Bytes[2]});
    } else if (kind == 0x80 || (kind == 0x90 && e.Bytes[2] == 0)) {
      for (auto& n : notes) {
        if (n.Off == 0 && n.Key == e.Bytes[1] && n.Channel == (e.Bytes[0] & 0x0F)) {
          n.Off = e.Tick;
          break;
        }
      }
    }
  }
  return notes;
}

uint32_t Tempo(const SmfEvent& e) { return (e.Bytes[2] << 16) | (e.Bytes[3] << 8) | e.Bytes[4]; }

class BothForms : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Rcp, BothForms, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "G36" : "RCP"; });

TEST_P(BothForms, HeaderGivesTitleTimebaseTempoMeterAndKey) {
  RcpWriter w(GetParam());
  w.Title("\x83\x65\x83\x58\x83\x67 Song");  // Shift-JIS kept as bytes
  w.Memo(1, "memo line");
  w.Timebase(GetParam() ? 480 : 96);
  w.Tempo(150);
  w.Meter(3, 8);
  w.Key(0x08 | 0x03 | 0x10);  // three flats, minor
  Smf smf = ConvertOk(w);
  ASSERT_EQ(smf.Format, 1);
  EXPECT_EQ(smf.Division, GetParam() ? 480 : 96);
  ASSERT_EQ(smf.Tracks.size(), 1u);  // the image holds no track: the conductor alone
  const auto& c = smf.Tracks[0];
  auto title = Only(c, 0xFF, 0x03);
  ASSERT_EQ(title.size(), 1u);
  EXPECT_EQ(std::string(title[0].Bytes.begin() + 2, title[0].Bytes.end()), "\x83\x65\x83\x58\x83\x67 Song");
  auto memo = Only(c, 0xFF, 0x01);
  ASSERT_EQ(memo.size(), 1u);
  EXPECT_EQ(std::string(memo[0].Bytes.begin() + 2, memo[0].Bytes.end()), "memo line");
  auto meter = Only(c, 0xFF, 0x58);
  ASSERT_EQ(meter.size(), 1u);
  EXPECT_EQ(meter[0].Bytes, (Bytes{0xFF, 0x58, 3, 3, 24, 8}));
  auto key = Only(c, 0xFF, 0x59);
  ASSERT_EQ(key.size(), 1u);
  EXPECT_EQ(key[0].Bytes, (Bytes{0xFF, 0x59, 0xFD, 1}));
  auto tempo = Only(c, 0xFF, 0x51);
  ASSERT_EQ(tempo.size(), 1u);
  EXPECT_EQ(Tempo(tempo[0]), 400000u);
}

TEST_P(BothForms, TempoRatioEventsAndKeyChangeGoToTheConductor) {
  RcpWriter w(GetParam());
  w.Tempo(100);
  w.BeginTrack({});
  w.Event(0xE7, 48, 128, 0);  // double tempo at once
  w.Event(0xF5, 0x02);        // D major, its step ignored
  w.Event(0xE7, 48, 32, 4);   // half the header's tempo, gliding over 4 ticks
  w.EndTrack();
  Smf smf = ConvertOk(w);
  auto tempo = Only(smf.Tracks[0], 0xFF, 0x51);
  ASSERT_EQ(tempo.size(), 6u);
  EXPECT_EQ(tempo[0].Tick, 0u);
  EXPECT_EQ(Tempo(tempo[0]), 600000u);
  EXPECT_EQ(tempo[1].Tick, 0u);
  EXPECT_EQ(Tempo(tempo[1]), 300000u);
  EXPECT_EQ(tempo[5].Tick, 52u);
  EXPECT_EQ(Tempo(tempo[5]), 1200000u);
  for (int i = 2; i < 5; ++i) {
    EXPECT_EQ(tempo[i].Tick, 48u + (i - 1));
    EXPECT_GT(Tempo(tempo[i]), Tempo(tempo[i - 1]));
  }
  auto key = Only(smf.Tracks[0], 0xFF, 0x59);
  ASSERT_EQ(key.size(), 2u);
  EXPECT_EQ(key[1].Tick, 48u);
  EXPECT_EQ(key[1].Bytes, (Bytes{0xFF, 0x59, 2, 0}));
}

// Tempo is the song's: a glide starts from the tempo another track set, and
// a change overtakes the rest of a glide still under way.
TEST_P(BothForms, TempoGlidesStartFromTheTempoAnyTrackSet) {
  RcpWriter w(GetParam());
  w.Tempo(100);  // 600000 us
  w.BeginTrack({});
  w.Event(0xE7, 96, 128, 0);   // 0: double at once
  w.Event(0xE7, 0, 64, 32);    // 96: back to as written over 32 ticks...
  w.EndTrack();
  w.BeginTrack({});
  w.Event(0xE7, 48, 0, 0);     // ratio 0 is no change
  w.Event(0xE7, 64, 128, 4);   // 48: glide to double, from double: no change
  w.Event(0xE7, 0, 32, 0);     // 112: ...overtaken halfway by half at once
  w.EndTrack();
  Smf smf = ConvertOk(w);
  auto tempo = Only(smf.Tracks[0], 0xFF, 0x51);
  std::vector<std::pair<uint32_t, uint32_t>> got;
  for (const SmfEvent& e : tempo) got.emplace_back(e.Tick, Tempo(e));
  ASSERT_GE(got.size(), 8u);
  EXPECT_EQ(got[0], std::make_pair(0u, 600000u));  // the header's
  EXPECT_EQ(got[1], std::make_pair(0u, 300000u));
  for (int i = 2; i <= 5; ++i) EXPECT_EQ(got[i], std::make_pair(48u + (i - 1), 300000u));
  // The glide from double down: 16 steps of 2 ticks, of which the 7 before
  // tick 112 are written; then half at 112 and nothing after it.
  ASSERT_EQ(got.size(), 6u + 7u + 1u);
  for (int i = 6; i < 13; ++i) {
    EXPECT_EQ(got[i].first, 96u + 2 * (i - 5));
    EXPECT_GT(got[i].second, got[i - 1].second);
    EXPECT_LT(got[i].second, 600000u);
  }
  EXPECT_EQ(got[13], std::make_pair(112u, 1200000u));
}

TEST_P(BothForms, NotesWithGatesRestsChannelChangeAndTransposition) {
  RcpWriter w(GetParam());
  w.PlayBias(2);
  w.BeginTrack({.Channel = 3, .Key = 0x74, .Name = "Bass"});  // -12, +2 from the song
  w.Event(60, 24, 20, 100);
  w.Event(62, 24, 0, 100);   // gate 0: a rest
  w.Event(0xE6, 0, 10, 0);   // channel 10 (1-based)
  w.Event(64, 24, 30, 90);
  w.EndTrack();
  w.BeginTrack({.Channel = 9, .Key = 0x80 | 0x05});  // bit 7: never transposed
  w.Event(36, 10, 5, 127);
  w.EndTrack();
  w.BeginTrack({.Channel = 9, .Key = 0x05, .Rhythm = 0x80});  // rhythm mode: not either
  w.Event(38, 10, 5, 127);
  w.EndTrack();
  Smf smf = ConvertOk(w);
  auto name = Only(smf.Tracks[1], 0xFF, 0x03);
  ASSERT_EQ(name.size(), 1u);
  EXPECT_EQ(std::string(name[0].Bytes.begin() + 2, name[0].Bytes.end()), "Bass");
  EXPECT_EQ(Notes(smf.Tracks[1]), (std::vector<NoteSpan>{{0, 20, 3, 50, 100}, {48, 78, 9, 54, 90}}));
  EXPECT_EQ(Notes(smf.Tracks[2]), (std::vector<NoteSpan>{{0, 5, 9, 36, 127}}));
  EXPECT_EQ(Notes(smf.Tracks[3]), (std::vector<NoteSpan>{{0, 5, 9, 38, 127}}));
}

TEST_P(BothForms, ATieChainIsOneNote) {
  RcpWriter w(GetParam());
  w.BeginTrack({});
  w.Event(60, 48, 100, 80);  // reaches past the next C
  w.Event(60, 48, 100, 70);
  w.Event(60, 96, 20, 60);
  w.Event(60, 48, 48, 50);   // the chain ended at 148: struck again at 192
  w.Event(62, 48, 48, 50);   // gate equal to step
  w.Event(62, 48, 48, 50);   // is not a tie
  w.EndTrack();
  Smf smf = ConvertOk(w);
  EXPECT_EQ(Notes(smf.Tracks[1]),
            (std::vector<NoteSpan>{{0, 148, 0, 60, 80}, {192, 240, 0, 60, 50}, {240, 288, 0, 62, 50},
                                   {288, 336, 0, 62, 50}}));
}

TEST_P(BothForms, LoopsPlayTheirPassesAndNest) {
  RcpWriter w(GetParam());
  w.BeginTrack({});
  w.Event(0xF9, 1);
  w.Event(60, 10, 5, 100);
  w.Event(0xF9, 1);
  w.Event(62, 10, 5, 100);
  w.Event(0xF8, 2);  // inner: two passes
  w.Event(0xF8, 3);  // outer: three passes
  w.Event(0xF9, 1);
  w.Event(64, 10, 5, 100);
  w.Event(0xF8, 0);  // "forever": once
  w.EndTrack();
  Smf smf = ConvertOk(w);
  std::vector<NoteSpan> expected;
  for (int pass = 0; pass < 3; ++pass) {
    uint32_t t = pass * 30;
    expected.push_back({t, t + 5, 0, 60, 100});
    expected.push_back({t + 10, t + 15, 0, 62, 100});
    expected.push_back({t + 20, t + 25, 0, 62, 100});
  }
  expected.push_back({90, 95, 0, 64, 100});
  EXPECT_EQ(Notes(smf.Tracks[1]), expected);
}

TEST_P(BothForms, SameMeasureRepeatAndARepeatChain) {
  RcpWriter r(GetParam());
  r.BeginTrack({});
  r.Event(60, 10, 5, 100);  // 0: measure 1
  r.Event(0xFD, 0);         // 1
  r.RepeatOf(0, 0);         // 2: measure 2 = measure 1
  r.Event(0xFD, 0);         // 3
  r.RepeatOf(2, 1);         // 4: measure 3 = measure 2, a chain to measure 1
  r.Event(0xFD, 0);         // 5
  r.RepeatOf(6, 0);         // 6: names itself: ignored
  r.RepeatOf(9, 0);         // 7: names a later command: ignored
  r.Event(62, 10, 5, 100);  // 8
  r.EndTrack();
  Smf smf = ConvertOk(r);
  EXPECT_EQ(Notes(smf.Tracks[1]), (std::vector<NoteSpan>{{0, 5, 0, 60, 100},
                                                         {10, 15, 0, 60, 100},
                                                         {20, 25, 0, 60, 100},
                                                         {30, 35, 0, 62, 100}}));
}

TEST_P(BothForms, UserExclusiveSubstitutesGateVelocityChannelAndChecksum) {
  RcpWriter w(GetParam());
  // GS: 41 10 42 12, sum from 83, address 40 1x 15 with the channel's part
  w.UserExclusive(2, {0x41, 0x10, 0x42, 0x12, 0x83, 0x40, 0x82, 0x15, 0x80, 0x81, 0x84, 0xF7});
  w.BeginTrack({.Channel = 4});
  w.Event(0x92, 10, 0x01, 0x22);
  w.EndTrack();
  Smf smf = ConvertOk(w);
  auto x = Only(smf.Tracks[1], 0xF0);
  ASSERT_EQ(x.size(), 1u);
  // 40+04+15+01+22 = 0x7C -> checksum 0x04
  EXPECT_EQ(x[0].Bytes, (Bytes{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x04, 0x15, 0x01, 0x22, 0x04, 0xF7}));
}

TEST_P(BothForms, RolandParameterWriteCarriesItsChecksum) {
  RcpWriter w(GetParam());
  w.BeginTrack({});
  w.Event(0xDF, 0, 0x10, 0x42);  // device, model
  w.Event(0xDD, 0, 0x40, 0x00);  // address high, mid
  w.Event(0xDE, 10, 0x7F, 0x00); // GS reset
  w.Event(0xDD, 0, 0x40, 0x01);
  w.Event(0xDE, 0, 0x30, 0x04);  // reverb macro 4
  w.EndTrack();
  Smf smf = ConvertOk(w);
  auto x = Only(smf.Tracks[1], 0xF0);
  ASSERT_EQ(x.size(), 2u);
  EXPECT_EQ(x[0].Tick, 0u);
  EXPECT_EQ(x[0].Bytes, (Bytes{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}));
  EXPECT_EQ(x[1].Tick, 10u);
  EXPECT_EQ(x[1].Bytes, (Bytes{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x30, 0x04, 0x0B, 0xF7}));
}

TEST_P(BothForms, ChannelMessagesAndPortB) {
  RcpWriter w(GetParam());
  w.BeginTrack({.Channel = 0x11});  // port B, channel 2
  w.Event(0xE2, 0, 5, 8);           // bank 8, program 5
  w.Event(0xEB, 0, 7, 100);
  w.Event(0xEE, 0, 0x00, 0x50);
  w.Event(0xEA, 0, 30);
  w.Event(0xED, 0, 60, 40);
  w.Event(0xEC, 5, 9);
  w.EndTrack();
  Smf smf = ConvertOk(w);
  std::vector<Bytes> got;
  for (const auto& e : smf.Tracks[1]) got.push_back(e.Bytes);
  EXPECT_EQ(got, (std::vector<Bytes>{{0xFF, 0x21, 0x01},
                                     {0xB1, 0x00, 8},
                                     {0xC1, 5},
                                     {0xB1, 7, 100},
                                     {0xE1, 0x00, 0x50},
                                     {0xD1, 30},
                                     {0xA1, 60, 40},
                                     {0xC1, 9}}));
}

TEST_P(BothForms, MutedTrackKeepsAllButItsNotesAndDelayShiftsTheTrack) {
  RcpWriter w(GetParam());
  w.BeginTrack({.Mute = 1});
  w.Event(0xEB, 0, 7, 100);
  w.Event(60, 10, 5, 100);
  w.EndTrack();
  w.BeginTrack({.Shift = 5});
  w.Event(60, 10, 5, 100);
  w.EndTrack();
  w.BeginTrack({.Shift = -3});
  w.Event(60, 10, 5, 100);
  w.Event(62, 10, 5, 100);
  w.EndTrack();
  Smf smf = ConvertOk(w);
  EXPECT_TRUE(Notes(smf.Tracks[1]).empty());
  EXPECT_EQ(Only(smf.Tracks[1], 0xB0).size(), 1u);
  EXPECT_EQ(Notes(smf.Tracks[2]), (std::vector<NoteSpan>{{5, 10, 0, 60, 100}}));
  EXPECT_EQ(Notes(smf.Tracks[3]), (std::vector<NoteSpan>{{0, 2, 0, 60, 100}, {7, 12, 0, 62, 100}}));
}

TEST(Rcp, ChannelExclusiveAndCommentTakeTheirContinuations) {
  RcpWriter w(false);
  w.BeginTrack({.Channel = 2});
  w.Event(0x98, 10, 0x11, 0x22);
  w.Event(0xF7, 0, 0x41, 0x10);
  w.Event(0xF7, 0, 0x42, 0x12);
  w.Event(0xF7, 0, 0x83, 0x40);
  w.Event(0xF7, 0, 0x80, 0x81);
  w.Event(0xF7, 0, 0x84, 0xF7);
  w.Event(0xF6, 0, 0x82, 0xA0);   // Shift-JIS bytes
  w.Event(0xF7, 0, 'o', 'k');
  w.Event(60, 10, 5, 100);
  w.EndTrack();
  Smf smf = ConvertOk(w);
  auto x = Only(smf.Tracks[1], 0xF0);
  ASSERT_EQ(x.size(), 1u);
  EXPECT_EQ(x[0].Bytes, (Bytes{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x22, 0x0D, 0xF7}));
  auto text = Only(smf.Tracks[1], 0xFF, 0x01);
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(text[0].Tick, 10u);
  EXPECT_EQ(text[0].Bytes, (Bytes{0xFF, 0x01, 0x82, 0xA0, 'o', 'k'}));
  EXPECT_EQ(Notes(smf.Tracks[1]), (std::vector<NoteSpan>{{10, 15, 2, 60, 100}}));
}

TEST(G36, CommentsCarryFiveBytesAndStepsAreSixteenBits) {
  RcpWriter w(true);
  w.BeginTrack({});
  w.RawEvent({0xF6, 'a', 'b', 'c', 'd', 'e'});
  w.RawEvent({0xF7, 'f', 'g', ' ', ' ', ' '});
  w.Event(60, 1000, 700, 99);
  w.Event(61, 0, 300, 99);
  w.EndTrack();
  Smf smf = ConvertOk(w);
  auto text = Only(smf.Tracks[1], 0xFF, 0x01);
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(std::string(text[0].Bytes.begin() + 2, text[0].Bytes.end()), "abcdefg");
  EXPECT_EQ(Notes(smf.Tracks[1]), (std::vector<NoteSpan>{{0, 700, 0, 60, 99}, {1000, 1300, 0, 61, 99}}));
}

TEST(RcpUntrusted, NotASongOrACutHeaderGivesLengthZero) {
  EXPECT_TRUE(Convert(Bytes(2000, 'R')).empty());
  EXPECT_TRUE(Convert({}).empty());
  RcpWriter w(false);
  Bytes b = w.Bytes();
  b.resize(0x585);
  EXPECT_TRUE(Convert(b).empty());
  void* h = rcpcvConvertFileFromBuffer(nullptr, 100, 0, 0, 0, 0, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(rcpcvGetSMFLength(h), 0);
  EXPECT_EQ(rcpcvGetSMF(h), nullptr);
  EXPECT_EQ(rcpcvSaveSMF(h, "/nonexistent/x.mid"), 0);
  rcpcvDeleteObject(h);
}

TEST_P(BothForms, ACutFileKeepsWhatWasReadAndEveryPrefixFinishes) {
  RcpWriter w(GetParam());
  w.BeginTrack({});
  for (int i = 0; i < 8; ++i) w.Event(60 + i, 10, 5, 100);
  w.EndTrack();
  w.BeginTrack({});
  w.Event(0xF9, 1);
  w.Event(70, 10, 5, 100);
  w.Event(0xF8, 4);
  w.EndTrack();
  Bytes full = w.Bytes();
  size_t header = GetParam() ? 0xC98 : 0x586;
  size_t ev = GetParam() ? 6 : 4;
  size_t track = GetParam() ? 0x2E : 0x2C;
  Bytes cut(full.begin(), full.begin() + header + track + 3 * ev + 1);
  Smf smf = ParseSmf(Convert(cut));
  ASSERT_TRUE(smf.Ok);
  EXPECT_EQ(Notes(smf.Tracks[1]).size(), 3u);
  for (size_t n = header; n <= full.size(); ++n) {
    Bytes prefix(full.begin(), full.begin() + n);
    EXPECT_TRUE(ParseSmf(Convert(prefix)).Ok) << n;
  }
}

TEST_P(BothForms, LengthsPastTheEndAndWrongCountsAreBounded) {
  RcpWriter w(GetParam(), 36);
  w.BeginTrack({});
  w.Event(60, 10, 5, 100);
  w.EndTrack();
  Bytes b = w.Bytes();
  size_t at = GetParam() ? 0xC98 : 0x586;
  b[at] = 0xFF;  // length far past the end, and no further tracks although 36 are announced
  b[at + 1] = 0xFF;
  Smf smf = ParseSmf(Convert(b));
  ASSERT_TRUE(smf.Ok);
  ASSERT_EQ(smf.Tracks.size(), 2u);
  EXPECT_EQ(Notes(smf.Tracks[1]).size(), 1u);
}

TEST_P(BothForms, LoopsThatNeverEndFailCleanly) {
  RcpWriter w(GetParam());
  w.BeginTrack({});
  for (int i = 0; i < 16; ++i) w.Event(0xF9, 1);
  w.Event(60, 1, 1, 100);
  for (int i = 0; i < 16; ++i) w.Event(0xF8, 255);
  w.EndTrack();
  void* h = rcpcvConvertFileFromBuffer(w.Bytes().data(), static_cast<int>(w.Bytes().size()), 0, 0, 0, 0, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(rcpcvGetSMFLength(h), 0);
  rcpcvDeleteObject(h);

  // Nothing but loop commands, no output at all: still bounded.
  RcpWriter e(GetParam());
  e.BeginTrack({});
  for (int i = 0; i < 16; ++i) e.Event(0xF9, 1);
  for (int i = 0; i < 16; ++i) e.Event(0xF8, 255);
  e.EndTrack();
  EXPECT_TRUE(Convert(e.Bytes()).empty());
}

TEST(Rcp, SaveWritesTheConvertedBytes) {
  RcpWriter w(false);
  w.BeginTrack({});
  w.Event(60, 10, 5, 100);
  w.EndTrack();
  auto dir = std::filesystem::temp_directory_path() / ("rcpcv_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string rcp = (dir / "song.rcp").string(), mid = (dir / "song.mid").string();
  {
    std::ofstream f(rcp, std::ios::binary);
    f.write(reinterpret_cast<const char*>(w.Bytes().data()), w.Bytes().size());
  }
  void* h = rcpcvConvertFile(rcp.c_str(), 0, 0, 0, 0, 0);
  ASSERT_NE(h, nullptr);
  ASSERT_GT(rcpcvGetSMFLength(h), 0);
  EXPECT_EQ(rcpcvSaveSMF(h, mid.c_str()), 1);
  std::ifstream in(mid, std::ios::binary);
  Bytes saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const uint8_t* p = static_cast<const uint8_t*>(rcpcvGetSMF(h));
  EXPECT_EQ(saved, Bytes(p, p + rcpcvGetSMFLength(h)));
  EXPECT_FALSE(std::filesystem::exists(mid + ".tmp"));
  rcpcvDeleteObject(h);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace melko::test
