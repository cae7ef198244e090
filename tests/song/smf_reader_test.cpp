// Reading Standard MIDI Files into the song, including damaged files.
#include <gtest/gtest.h>

#include "smf_builder.h"
#include "song/smf_writer.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace melko {
namespace {

using namespace melko::test;

Bytes On(uint8_t ch, uint8_t key, uint8_t vel) { return {static_cast<uint8_t>(0x90 | ch), key, vel}; }
Bytes Off(uint8_t ch, uint8_t key, uint8_t vel = 0x40) { return {static_cast<uint8_t>(0x80 | ch), key, vel}; }

std::vector<Event> Notes(const Song& song, int t) {
  std::vector<Event> out;
  for (const Event& e : Events(song.Tracks[t]))
    if (e.Status == 0x90) out.push_back(e);
  return out;
}

TEST(SmfReader, Format0SplitsByChannelBehindTheConductor) {
  Song song;
  Bytes file = Smf(0, 480, {TrackBody({{0, Tempo(400000)}, {0, On(0, 60, 100)}, {0, On(9, 36, 90)},
                                       {240, Off(9, 36)}, {240, Off(0, 60)}, {0, EndOfTrack()}})});
  ASSERT_TRUE(Load(song, file));
  EXPECT_EQ(song.LastTrack, 2);
  EXPECT_EQ(song.Ch[1], 0);
  EXPECT_EQ(song.Ch[2], 9);
  auto cond = Events(song.Tracks[0]);
  ASSERT_EQ(cond.size(), 1u);
  EXPECT_EQ(cond[0].Value, 400000u);
  ASSERT_EQ(Notes(song, 1).size(), 1u);
  EXPECT_EQ(Notes(song, 1)[0].Value, 480u);
  EXPECT_EQ(Notes(song, 2)[0].Value, 240u);
  EXPECT_EQ(song.SongFormat, 1);
}

TEST(SmfReader, FirstChunkWithOnlyChannelEventsStillYieldsTheConductor) {
  // A format 0 file with nothing but notes: channel 1 must not land in track 0.
  Song song;
  Bytes file = Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {480, Off(0, 60)}, {0, EndOfTrack()}})});
  ASSERT_TRUE(Load(song, file));
  EXPECT_TRUE(Notes(song, 0).empty());
  ASSERT_EQ(Notes(song, 1).size(), 1u);
  // The empty conductor got the defaults: key, meter, tempo.
  EXPECT_EQ(Events(song.Tracks[0]).size(), 3u);
}

TEST(SmfReader, Format1TrackWithTwoChannelsIsSplit) {
  Song song;
  Bytes file = Smf(1, 480,
                   {TrackBody({{0, Tempo(500000)}, {0, EndOfTrack()}}),
                    TrackBody({{0, MetaText(3, "Piano")}, {0, On(0, 60, 100)}, {10, Off(0, 60)}, {0, EndOfTrack()}}),
                    TrackBody({{0, MetaText(3, "Mixed")}, {0, On(1, 62, 100)}, {0, On(2, 64, 100)},
                               {10, Off(1, 62)}, {0, Off(2, 64)}, {0, EndOfTrack()}}),
                    TrackBody({{0, On(3, 65, 100)}, {10, Off(3, 65)}, {0, EndOfTrack()}})});
  ASSERT_TRUE(Load(song, file));
  EXPECT_EQ(song.TrackNames[1], "Piano");
  EXPECT_EQ(song.TrackNames[2], "Mixed");  // the non-channel part of the split track
  EXPECT_TRUE(Notes(song, 2).empty());
  EXPECT_EQ(song.Ch[3], 1);
  EXPECT_EQ(song.Ch[4], 2);
  EXPECT_EQ(song.Ch[5], 3);
  EXPECT_EQ(song.LastTrack, 5);
}

TEST(SmfReader, FixedTimebaseConvertsTicksWithoutDrift) {
  Song song;
  song.Options.TPQNFixed = true;
  song.Options.DefaultTPQN = 480;
  Bytes file = Smf(1, 96, {TrackBody({{0, EndOfTrack()}}),
                           TrackBody({{0, On(0, 60, 100)}, {96, Off(0, 60)}, {1, On(0, 62, 100)}, {1, Off(0, 62)},
                                      {0, EndOfTrack()}})});
  RecordingPrompt prompt;
  ASSERT_TRUE(Load(song, file, &prompt));
  EXPECT_TRUE(prompt.Questions.empty());
  auto n = Notes(song, 1);
  ASSERT_EQ(n.size(), 2u);
  EXPECT_EQ(n[0].Value, 480u);
  EXPECT_EQ(n[1].Tick, 485u);

  // 100 is no multiple of 96: the question is asked and remainders carry.
  Song other;
  other.Options.TPQNFixed = true;
  other.Options.DefaultTPQN = 100;
  Bytes steps = Smf(1, 96, {TrackBody({{0, EndOfTrack()}}),
                            TrackBody({{0, On(0, 60, 100)}, {1, Off(0, 60)}, {0, On(0, 61, 100)}, {1, Off(0, 61)},
                                       {0, On(0, 62, 100)}, {94, Off(0, 62)}, {0, EndOfTrack()}})});
  RecordingPrompt yes;
  ASSERT_TRUE(Load(other, steps, &yes));
  EXPECT_EQ(yes.Questions.size(), 1u);
  auto m = Notes(other, 1);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[1].Tick, 1u);  // 100/96 = 1 rest 4
  EXPECT_EQ(m[2].Tick, 2u);  // 200/96 = 2 rest 8
  EXPECT_EQ(m[2].Tick + m[2].Value, 100u);  // 96 file ticks are exactly 100 song ticks

  Song refused;
  refused.Options.TPQNFixed = true;
  refused.Options.DefaultTPQN = 100;
  refused.TrackNames[1] = "kept";
  RecordingPrompt no;
  no.Answer = false;
  EXPECT_FALSE(Load(refused, steps, &no));
  EXPECT_EQ(refused.TrackNames[1], "kept");
}

TEST(SmfReader, NotePairing) {
  struct Case {
    const char* Name;
    Bytes File;
    std::vector<std::pair<uint32_t, uint32_t>> TickAndGate;
    bool Logged;
  };
  Case cases[] = {
      {"FirstInFirstOut",
       Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {10, On(0, 60, 101)}, {10, Off(0, 60)}, {10, Off(0, 60)},
                               {0, EndOfTrack()}})}),
       {{0, 20}, {10, 20}},
       false},
      {"VelocityZeroIsAnOff",
       Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {30, On(0, 60, 0)}, {0, EndOfTrack()}})}),
       {{0, 30}},
       false},
      {"MissingOffTakesTheNextEventOfTheSameStatus",
       Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {0, On(0, 64, 100)}, {240, On(0, 67, 100)}, {10, Off(0, 64)},
                               {10, Off(0, 67)}, {0, EndOfTrack()}})}),
       {{0, 240}, {0, 250}, {240, 20}},
       true},
      {"MissingOffRunsToTheTrackEnd",
       Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {700, EndOfTrack()}})}),
       {{0, 700}},
       true},
      {"OffBeforeTheNoteIsNotUsed",
       Smf(0, 480, {TrackBody({{0, Off(0, 60)}, {5, On(0, 60, 100)}, {7, Off(0, 60)}, {0, EndOfTrack()}})}),
       {{5, 7}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Song song;
    MemoryLog log;
    ASSERT_TRUE(Load(song, c.File, nullptr, &log));
    std::vector<std::pair<uint32_t, uint32_t>> got;
    for (const Event& e : Notes(song, 1)) got.emplace_back(e.Tick, e.Value);
    EXPECT_EQ(got, c.TickAndGate);
    bool logged = false;
    for (const auto& l : log.Lines) logged |= l == "No Corresponding NoteOff";
    EXPECT_EQ(logged, c.Logged);
  }
}

TEST(SmfReader, NoteOffStyleAndOffVelocity) {
  Song song;
  ASSERT_TRUE(Load(song, Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {10, Off(0, 60, 33)}, {0, EndOfTrack()}})})));
  EXPECT_TRUE(song.NoteOffStyle);
  EXPECT_EQ(Notes(song, 1)[0].Data3, 33);
  Song zero;
  ASSERT_TRUE(Load(zero, Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {10, On(0, 60, 0)}, {0, EndOfTrack()}})})));
  EXPECT_FALSE(zero.NoteOffStyle);
  EXPECT_EQ(Notes(zero, 1)[0].Data3, 64);
}

TEST(SmfReader, ConductorEventsAreMovedAndDeduplicated) {
  Song song;
  Bytes file = Smf(1, 480,
                   {TrackBody({{0, Tempo(500000)}, {0, EndOfTrack()}}),
                    TrackBody({{0, Tempo(500000)},     // same as in force: dropped
                               {480, Tempo(400000)},   // moved to the conductor
                               {0, On(0, 60, 100)},
                               {480, Tempo(400000)},   // same again: dropped
                               {0, Off(0, 60)},
                               {0, EndOfTrack()}})});
  ASSERT_TRUE(Load(song, file));
  auto cond = Events(song.Tracks[0]);
  ASSERT_EQ(cond.size(), 2u);
  EXPECT_EQ(cond[1].Tick, 480u);
  EXPECT_EQ(cond[1].Value, 400000u);
  for (const Event& e : Events(song.Tracks[1])) EXPECT_NE(e.Status, 0xFF);
  EXPECT_EQ(song.Maps.TempoMap.size(), 2u);
}

TEST(SmfReader, TrackNamesAndTexts) {
  Bytes body = TrackBody({{0, MetaText(3, "First")}, {0, MetaText(3, "Second")}, {0, MetaText(1, "Text")},
                          {0, MetaText(2, "(C) Someone")}, {0, MetaText(1, std::string("Pad\0junk", 8) + "  ")},
                          {0, On(0, 60, 100)}, {1, Off(0, 60)}, {0, EndOfTrack()}});
  Bytes file = Smf(1, 480, {TrackBody({{0, EndOfTrack()}}), body});
  Song song;
  ASSERT_TRUE(Load(song, file));
  EXPECT_EQ(song.TrackNames[1], "First");
  EXPECT_EQ(song.Copyright, "(C) Someone");
  auto ev = Events(song.Tracks[1]);
  ASSERT_GE(ev.size(), 3u);
  EXPECT_EQ(ev[0].Data1, 0x03);
  EXPECT_EQ(ev[1].Data1, 0x01);
  EXPECT_EQ(ev[2].Payload, (Bytes{'P', 'a', 'd'}));  // cut at the zero, blanks trimmed

  Song option;
  option.Options.TrackName1 = true;
  ASSERT_TRUE(Load(option, file));
  EXPECT_EQ(option.TrackNames[1], "Text");
  int names = 0;
  for (const Event& e : Events(option.Tracks[1])) names += e.Status == 0xFF && e.Data1 == 0x03;
  EXPECT_EQ(names, 2);
}

TEST(SmfReader, SignatureIsNeverReadBack) {
  Song song;
  song.TrackNames[0] = "Song";
  song.Copyright = "(C) 2026 me";
  ApplySongLoaded(song);
  Bytes saved = Save(song);
  Song back;
  ASSERT_TRUE(Load(back, saved));
  for (const Event& e : Events(back.Tracks[0])) EXPECT_FALSE(e.Status == 0xFF && e.Data1 == 0x01);
  EXPECT_EQ(back.TrackNames[0], "Song");
  EXPECT_EQ(back.Copyright, "(C) 2026 me");
}

TEST(SmfReader, PortEventsAndInstruments) {
  Bytes file = Smf(1, 480, {TrackBody({{0, EndOfTrack()}}),
                            TrackBody({{0, Meta(0x21, {2})}, {0, MetaText(4, "GM")}, {0, MetaText(4, "Unknown")},
                                       {0, EndOfTrack()}})});
  Song song;
  song.Options.ReadPortEvents = true;
  song.Options.PortInstrument[2] = "Module C";
  ASSERT_TRUE(Load(song, file));
  EXPECT_EQ(song.OutPort[1], 2);
  EXPECT_EQ(song.Instrument[1], "GM");  // the later FF 04 naming a known definition wins
  auto ev = Events(song.Tracks[1]);
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].Payload, (Bytes{'U', 'n', 'k', 'n', 'o', 'w', 'n'}));
}

TEST(SmfReader, LoopEndLiesAQuarterAfterTheLastEvent) {
  Song song;
  ASSERT_TRUE(Load(song, Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {4000, Off(0, 60)}, {0, EndOfTrack()}})})));
  EXPECT_EQ(song.LoopEndTick, 4000u + 480u);
}

// Damaged and hostile files: each loads what can be read or fails with the
// message, and never reads outside its buffer (the sanitizer builds and the
// fuzz harness watch that part).
TEST(SmfReaderDamage, EveryTruncationLoadsOrFailsCleanly) {
  Bytes file = Smf(1, 480,
                   {TrackBody({{0, MetaText(3, "Title")}, {0, Tempo(500000)}, {0, EndOfTrack()}}),
                    TrackBody({{0, Bytes{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}, {0, On(0, 60, 100)},
                               {0, Bytes{0xB0, 0x07, 0x64}}, {480, Off(0, 60)}, {0, EndOfTrack()}})});
  for (size_t n = 0; n <= file.size(); ++n) {
    Bytes cut(file.begin(), file.begin() + static_cast<long>(n));
    Song song;
    song.TrackNames[1] = "previous";
    RecordingPrompt prompt;
    bool ok = Load(song, cut, &prompt);
    if (!ok) {
      ASSERT_FALSE(prompt.Errors.empty()) << n;
      EXPECT_EQ(song.TrackNames[1], "previous") << n;
    }
  }
}

TEST(SmfReaderDamage, HeaderProblems) {
  struct Case {
    const char* Name;
    Bytes File;
    bool Loads;
    std::string Message;
  };
  Bytes one = TrackBody({{0, On(0, 60, 100)}, {10, Off(0, 60)}, {0, EndOfTrack()}});
  Bytes riff{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a', 0, 0, 0, 0};
  Append(riff, Smf(0, 480, {one}));
  Bytes noMTrk = Header(1, 2, 480);
  Append(noMTrk, Chunk(one));
  Append(noMTrk, Bytes{0x00, 0x01, 0x90, 0x3C, 0, 0, 0, 0});  // not a chunk header of any type
  Bytes many = Header(1, 65535, 480);
  Append(many, Chunk(one));
  Bytes format2 = Smf(2, 480, {one});
  Case cases[] = {
      {"RiffWrapper", riff, true, ""},
      {"DivisionZero", Smf(0, 0, {one}), false, kMsgUnreadable},
      {"SmpteDivision", Smf(0, -7688, {one}), false, kMsgUnreadable},
      {"Format2", format2, false, std::string("test.mid") + kMsgLoadFailed},
      {"NoMThd", Bytes(64, 0x20), false, std::string("test.mid") + kMsgLoadFailed},
      {"MissingMTrk", noMTrk, false, std::string("test.mid") + kMsgLoadFailed},
      {"DeclaredTracks65535", many, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Song song;
    RecordingPrompt prompt;
    EXPECT_EQ(Load(song, c.File, &prompt), c.Loads);
    if (!c.Message.empty()) {
      ASSERT_FALSE(prompt.Errors.empty());
      EXPECT_EQ(prompt.Errors.back(), c.Message);
    }
    if (c.Loads) {
      EXPECT_EQ(Notes(song, 1).size(), 1u);
    }
  }
}

TEST(SmfReaderDamage, DamagedChunks) {
  struct Case {
    const char* Name;
    Bytes File;
    size_t Notes;
  };
  Bytes lenPastEnd = Header(1, 2, 480);
  Append(lenPastEnd, Chunk(TrackBody({{0, EndOfTrack()}})));
  Append(lenPastEnd, Chunk(TrackBody({{0, On(0, 60, 100)}, {10, Off(0, 60)}}), 5000));
  Bytes noEotThenMore = Header(1, 3, 480);
  Append(noEotThenMore, Chunk(TrackBody({{0, EndOfTrack()}})));
  Append(noEotThenMore, Chunk(TrackBody({{0, On(0, 60, 100)}, {10, Off(0, 60)}})));
  Append(noEotThenMore, Chunk(TrackBody({{0, On(1, 62, 100)}, {10, Off(1, 62)}, {0, EndOfTrack()}})));
  Case cases[] = {
      {"SysExLengthPastTheEnd",
       Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {10, Off(0, 60)}, {0, Bytes{0xF0, 0x7F, 0x01}}})}), 1},
      {"MetaLengthPastTheEnd",
       Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {10, Off(0, 60)}, {0, Bytes{0xFF, 0x01, 0x8F, 0x7F}}})}), 1},
      {"DataByteWithoutRunningStatus",
       Smf(0, 480, {TrackBody({{0, Bytes{0x3C, 0x40}}, {0, On(0, 60, 100)}, {10, Off(0, 60)}, {0, EndOfTrack()}})}),
       1},
      {"ChunkLengthPastTheEnd", lenPastEnd, 1},
      {"LastChunkWithoutEndOfTrack",
       Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {10, Off(0, 60)}})}), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Song song;
    ASSERT_TRUE(Load(song, c.File));
    EXPECT_EQ(Notes(song, 1).size(), c.Notes);
  }
  // A chunk without end-of-track ends at its own end; the next chunk is a track of its own.
  Song song;
  ASSERT_TRUE(Load(song, noEotThenMore));
  EXPECT_EQ(Notes(song, 1).size(), 1u);
  EXPECT_EQ(Notes(song, 2).size(), 1u);
  EXPECT_EQ(song.Ch[2], 1);
}

TEST(SmfReader, ChunksOfOtherTypesAreSkippedAndLogged) {
  // A chunk of another type before, between and after the track chunks (one
  // declaring more bytes than are left); none counts as a track.
  Bytes file = Header(1, 3, 480);
  Append(file, Bytes{'X', 'F', 'I', 'H', 0, 0, 0, 3, 1, 2, 3});
  Append(file, Chunk(TrackBody({{0, Tempo(400000)}, {0, EndOfTrack()}})));
  Append(file, Bytes{'X', 'F', 'K', 'M', 0, 0, 0, 4, 'M', 'T', 'r', 'k'});
  Append(file, Chunk(TrackBody({{0, MetaText(3, "One")}, {0, On(0, 60, 100)}, {10, Off(0, 60)}, {0, EndOfTrack()}})));
  Append(file, Bytes{'a', 'b', 'c', 'd', 0, 0, 0, 0});
  Append(file, Chunk(TrackBody({{0, MetaText(3, "Two")}, {0, On(1, 62, 100)}, {10, Off(1, 62)}, {0, EndOfTrack()}})));
  Append(file, Bytes{'L', 'I', 'S', 'T', 0, 0, 0x10, 0, 'I', 'N', 'F', 'O'});
  Song song;
  RecordingPrompt prompt;
  MemoryLog log;
  ASSERT_TRUE(Load(song, file, &prompt, &log));
  EXPECT_TRUE(prompt.Errors.empty());
  EXPECT_EQ(song.LastTrack, 2);
  EXPECT_EQ(song.TrackNames[1], "One");
  EXPECT_EQ(song.TrackNames[2], "Two");
  EXPECT_EQ(Notes(song, 1).size(), 1u);
  EXPECT_EQ(Notes(song, 2).size(), 1u);
  EXPECT_EQ(song.Ch[2], 1);
  for (const char* line : {"Skip: XFIH 3", "Skip: XFKM 4", "Skip: abcd 0"})
    EXPECT_NE(std::find(log.Lines.begin(), log.Lines.end(), line), log.Lines.end()) << line;
  // The chunk after the last track is not read: the header counted three.
  EXPECT_EQ(std::find(log.Lines.begin(), log.Lines.end(), "Skip: LIST 4096"), log.Lines.end());

  // In a format 0 file too; a track cut short by the file's end still loads.
  Bytes zero = Header(0, 1, 480);
  Append(zero, Bytes{'X', 'F', 'I', 'H', 0, 0, 0, 1, 9});
  Append(zero, Chunk(TrackBody({{0, On(0, 60, 100)}, {10, Off(0, 60)}})));
  Song other;
  ASSERT_TRUE(Load(other, zero));
  EXPECT_EQ(Notes(other, 1).size(), 1u);
}

TEST(SmfReaderDamage, AFolderIsNotAFile) {
  Song song;
  RecordingPrompt prompt;
  MemoryLog log;
  song.Log = &log;
  std::string dir = ::testing::TempDir();
  EXPECT_FALSE(OpenSongFile(song, dir, prompt));
  ASSERT_EQ(prompt.Errors.size(), 1u);
  EXPECT_EQ(prompt.Errors[0], dir + kMsgLoadFailed);
}

TEST(SmfReaderDamage, AFileAboveTheSizeLimitIsRefusedUnread) {
  // Sparse files: the one above the limit would take all memory if read.
  std::string dir = ::testing::TempDir() + "melko_big_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  Bytes head = Smf(0, 480, {TrackBody({{0, On(0, 60, 100)}, {10, Off(0, 60)}, {0, EndOfTrack()}})});
  for (uint64_t size : {kMaxSongFileBytes + 1, uint64_t{3} << 30}) {
    SCOPED_TRACE(size);
    std::string file = dir + "/big.mid";
    {
      std::ofstream out(file, std::ios::binary);
      out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    }
    std::filesystem::resize_file(file, size);
    Song song;
    song.TrackNames[1] = "previous";
    RecordingPrompt prompt;
    MemoryLog log;
    song.Log = &log;
    EXPECT_FALSE(OpenSongFile(song, file, prompt));
    ASSERT_EQ(prompt.Errors.size(), 1u);
    EXPECT_EQ(prompt.Errors[0], file + kMsgLoadFailed);
    EXPECT_EQ(song.TrackNames[1], "previous");
    EXPECT_NE(std::find(log.Lines.begin(), log.Lines.end(), Format("FileSize: %llu > %llu",
                                                                    static_cast<unsigned long long>(size),
                                                                    static_cast<unsigned long long>(kMaxSongFileBytes))),
              log.Lines.end());
  }
  std::filesystem::remove_all(dir);
}

TEST(SmfReader, Format0ChannelPrefixSendsMetasToTheChannelTrack) {
  // The second chunk holds notes on channel 1 and, behind a prefix for
  // channel 6, a text: the text gets a track of its own.
  Bytes file = Header(0, 2, 480);
  Append(file, Chunk(TrackBody({{0, Tempo(500000)}, {0, EndOfTrack()}})));
  Append(file, Chunk(TrackBody({{0, Meta(0x20, {5})}, {0, MetaText(1, "x")}, {0, On(0, 60, 100)}, {10, Off(0, 60)},
                                {0, EndOfTrack()}})));
  Song song;
  ASSERT_TRUE(Load(song, file));
  EXPECT_EQ(song.LastTrack, 2);
  EXPECT_EQ(Notes(song, 1).size(), 1u);
  auto text = Events(song.Tracks[2]);
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(text[0].Data1, 0x01);
}

TEST(SmfReader, LogShowsTrackSizesInKilobyteSteps) {
  Bytes body;
  for (int i = 0; i < 500; ++i) Append(body, Bytes{0x01, 0xFF, 0x51, 0x03, 0x07, static_cast<uint8_t>(i % 2 ? 0xA1 : 0xA2), 0x20});
  Append(body, Bytes{0x00, 0xFF, 0x2F, 0x00});
  Bytes file = Header(1, 2, 480);
  Append(file, Chunk(TrackBody({{0, Meta(0x58, {4, 2, 24, 8})}, {0, EndOfTrack()}})));
  Append(file, Chunk(body));
  Song song;
  MemoryLog log;
  ASSERT_TRUE(Load(song, file, nullptr, &log));
  uint32_t used = song.Tracks[0].Length();
  std::string want = Format("TR: 00 MDSize: %u", (used + 1023) / 1024 * 1024);
  EXPECT_NE(std::find(log.Lines.begin(), log.Lines.end(), want), log.Lines.end());
}

TEST(SmfReaderDamage, LongVarLenAndHugeDeltasDoNotOverflow) {
  // Delta written with six bytes, then a delta near 2^28 at timebase 960 into
  // a song of 96: the product needs more than 32 bits.
  Bytes body{0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 100};
  Append(body, VarLen(0x0FFFFFF0));
  Append(body, Bytes{0x80, 60, 64, 0x00, 0xFF, 0x2F, 0x00});
  Song song;
  ASSERT_TRUE(Load(song, Smf(0, 960, {body})));
  auto n = Notes(song, 1);
  ASSERT_EQ(n.size(), 1u);
  EXPECT_EQ(n[0].Tick, 0u);
  EXPECT_EQ(n[0].Value, MaxGate(960));  // clamped, not wrapped

  Song fixed;
  fixed.Options.TPQNFixed = true;
  fixed.Options.DefaultTPQN = 960;
  Bytes slow{0x00, 0x90, 60, 100};
  Append(slow, VarLen(0x0FFFFFFF));
  Append(slow, Bytes{61, 100});
  Append(slow, Bytes{0x00, 0xFF, 0x2F, 0x00});
  ASSERT_TRUE(Load(fixed, Smf(0, 48, {slow})));
  auto m = Notes(fixed, 1);
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[1].Tick, kMaxFileTick);  // saturates instead of wrapping to a small tick
}

TEST(SmfReaderDamage, ManyNoteOnsWithoutOffsLoadCompletely) {
  // The shape that made pairing quadratic: every note searches to the end.
  Bytes body;
  const int count = 20000;
  for (int i = 0; i < count; ++i) Append(body, Bytes{0x00, 0x90, static_cast<uint8_t>(i % 128), 100});
  Append(body, Bytes{0x10, 0xFF, 0x2F, 0x00});
  Song song;
  ASSERT_TRUE(Load(song, Smf(0, 480, {body})));
  auto n = Notes(song, 1);
  ASSERT_EQ(n.size(), static_cast<size_t>(count));
  EXPECT_EQ(n.front().Value, 16u);
}

}  // namespace
}  // namespace melko
