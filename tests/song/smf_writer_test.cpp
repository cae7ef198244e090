// Writing songs as Standard MIDI Files, and round trips through the reader.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "smf_builder.h"
#include "song/smf_convert.h"
#include "song/smf_writer.h"
#include "song/song_dump.h"

namespace melko {
namespace {

using namespace melko::test;

Bytes On(uint8_t ch, uint8_t key) { return {static_cast<uint8_t>(0x90 | ch), key, 100}; }
Bytes Off(uint8_t ch, uint8_t key) { return {static_cast<uint8_t>(0x80 | ch), key, 64}; }

void PutNote(Song& song, int t, uint32_t& last, uint32_t tick, uint8_t key, uint32_t gate, uint8_t offVel = 64) {
  TMidiEvent ev;
  ev.Time = tick;
  ev.Status = 0x90;
  ev.Data1 = key;
  ev.Data2 = 100;
  ev.Data3 = offVel;
  ev.Value = gate;
  EncodeEvent(song.Tracks[t], ev, last, 0, song.MaxGate());
}

// The chunks of an image: their bodies in order.
std::vector<Bytes> ChunkBodies(const Bytes& image) {
  std::vector<Bytes> out;
  size_t pos = 14;
  while (pos + 8 <= image.size()) {
    uint32_t len = static_cast<uint32_t>(image[pos + 4]) << 24 | image[pos + 5] << 16 | image[pos + 6] << 8 | image[pos + 7];
    out.emplace_back(image.begin() + static_cast<long>(pos + 8), image.begin() + static_cast<long>(pos + 8 + len));
    pos += 8 + len;
  }
  return out;
}

TEST(SmfWriter, EmptyTracksBetweenUsedOnesAreWritten) {
  Song song;
  ApplySongLoaded(song);
  uint32_t last = 0;
  PutNote(song, 3, last, 0, 60, 10);
  Bytes image = Save(song);
  auto chunks = ChunkBodies(image);
  ASSERT_EQ(chunks.size(), 4u);
  // Track 1: channel prefix, then end of track one 4/4 measure after tick 0.
  EXPECT_EQ(chunks[1], (Bytes{0x00, 0xFF, 0x20, 0x01, 0x00, 0x8F, 0x00, 0xFF, 0x2F, 0x00}));
}

TEST(SmfWriter, NoteOffsComeBeforeTheNextNoteOfTheSameTick) {
  for (bool style : {false, true}) {
    SCOPED_TRACE(style);
    Song song;
    ApplySongLoaded(song);
    song.NoteOffStyle = style;
    uint32_t last = 0;
    PutNote(song, 1, last, 0, 60, 480);
    PutNote(song, 1, last, 480, 62, 480);
    auto chunks = ChunkBodies(Save(song));
    Bytes want{0x00, 0xFF, 0x20, 0x01, 0x00, 0x00, 0x90, 60, 100};
    if (style) Append(want, Bytes{0x83, 0x60, 0x80, 60, 64, 0x00, 0x90, 62, 100, 0x83, 0x60, 0x80, 62, 64});
    else Append(want, Bytes{0x83, 0x60, 60, 0, 0x00, 62, 100, 0x83, 0x60, 62, 0});
    Append(want, Bytes{0x87, 0x40, 0xFF, 0x2F, 0x00});  // a note-off on a measure start: one more measure
    EXPECT_EQ(chunks[1], want);
  }
}

TEST(SmfWriter, NamesAreCutAt255BytesAndGMWritesNoInstrument) {
  Song song;
  ApplySongLoaded(song);
  song.TrackNames[1] = std::string(200, 'a');
  song.TrackNames[2] = std::string(300, 'b');
  song.Instrument[2] = "Module";
  auto chunks = ChunkBodies(Save(song));
  EXPECT_EQ((Bytes{chunks[1].begin() + 5, chunks[1].begin() + 9}), (Bytes{0x00, 0xFF, 0x03, 0x81}));
  EXPECT_EQ(chunks[1][9], 0x48);
  EXPECT_EQ((Bytes{chunks[2].begin() + 5, chunks[2].begin() + 10}), (Bytes{0x00, 0xFF, 0x03, 0x81, 0x7F}));
  bool instrument1 = false;
  for (size_t i = 0; i + 1 < chunks[1].size(); ++i) instrument1 |= chunks[1][i] == 0xFF && chunks[1][i + 1] == 0x04;
  EXPECT_FALSE(instrument1);
  Song back;
  ASSERT_TRUE(Load(back, Save(song)));
  EXPECT_EQ(back.TrackNames[2].size(), 255u);
}

TEST(SmfWriter, ManyNotesSoundingAtOnceKeepEveryNoteOff) {
  Song song;
  ApplySongLoaded(song);
  uint32_t last = 0;
  for (int i = 0; i < 600; ++i) PutNote(song, 1, last, static_cast<uint32_t>(i), static_cast<uint8_t>(i % 128), 5000);
  Song back;
  ASSERT_TRUE(Load(back, Save(song)));
  auto ev = Events(back.Tracks[1]);
  ASSERT_EQ(ev.size(), 600u);
  for (const Event& e : ev) EXPECT_EQ(e.Value, 5000u);
}

TEST(SmfWriter, Format0MergeOrdersTickZeroByTrack) {
  Song song;
  ApplySongLoaded(song);
  for (int t = 1; t <= 2; ++t) {
    uint32_t last = 0;
    PutNote(song, t, last, 0, static_cast<uint8_t>(60 + t), 10);
    song.Ch[t] = static_cast<uint8_t>(t);
  }
  Bytes image = Save(song, true);
  ASSERT_EQ(image[9], 0);  // format 0
  Song back;
  ASSERT_TRUE(Load(back, image));
  EXPECT_EQ(back.Ch[1], 1);
  EXPECT_EQ(back.Ch[2], 2);
  EXPECT_EQ(Events(back.Tracks[1])[0].Data1, 61);
  // The merged chunk lists track 0's tick-0 events, then track 1's, then track 2's.
  auto chunks = ChunkBodies(image);
  ASSERT_EQ(chunks.size(), 1u);
  auto pos = [&](Bytes needle) {
    return std::search(chunks[0].begin(), chunks[0].end(), needle.begin(), needle.end()) - chunks[0].begin();
  };
  EXPECT_LT(pos({0xFF, 0x51}), pos({0x91, 61}));
  EXPECT_LT(pos({0x91, 61}), pos({0x92, 62}));
}

TEST(SmfWriter, Format0RoundTripKeepsEveryTextAndSysExInItsTrack) {
  // Names, lyrics, texts and SysEx in several tracks, some at the same tick,
  // some after other tracks' notes; a track with texts only; conductor texts
  // and SysEx after the channel tracks' prefixes. With and without a song name.
  const Bytes sysex{0xF0, 4, 0x7E, 0x7F, 0x09, 0xF7};
  const Bytes gsPart{0xF0, 3, 0x41, 0x10, 0xF7};
  for (const char* title : {"Title", ""}) {
    SCOPED_TRACE(title);
    Bytes conductor = TrackBody({{0, Tempo(500000)}, {0, sysex}, {960, MetaText(1, "cue")},
                                 {240, gsPart}, {0, MetaText(5, "song lyric")}, {0, EndOfTrack()}});
    if (*title) conductor.insert(conductor.begin(), {0x00, 0xFF, 0x03, 5, 'T', 'i', 't', 'l', 'e'});
    Bytes file = Smf(1, 480,
                     {conductor,
                      TrackBody({{0, MetaText(3, "Piano")}, {0, On(0, 60)}, {480, MetaText(5, "la")}, {0, gsPart},
                                 {0, Off(0, 60)}, {480, MetaText(1, "piano text")}, {0, EndOfTrack()}}),
                      TrackBody({{0, MetaText(3, "Bass")}, {0, On(1, 40)}, {480, gsPart}, {0, MetaText(5, "lu")},
                                 {0, Off(1, 40)}, {960, MetaText(7, "bass cue")}, {0, EndOfTrack()}}),
                      TrackBody({{0, MetaText(3, "Words")}, {480, MetaText(5, "li")}, {240, MetaText(5, "le")},
                                 {0, sysex}, {0, EndOfTrack()}}),
                      TrackBody({{0, MetaText(3, "Drums")}, {0, On(9, 36)}, {10, Off(9, 36)},
                                 {950, MetaText(1, "fill")}, {0, EndOfTrack()}})});
    Song first;
    ASSERT_TRUE(Load(first, file));
    ASSERT_EQ(first.LastTrack, 4);
    Bytes merged = Save(first, true);
    ASSERT_EQ(merged[9], 0);  // format 0
    Song second;
    ASSERT_TRUE(Load(second, merged));
    ASSERT_EQ(second.LastTrack, first.LastTrack);
    for (int t = 0; t <= first.LastTrack; ++t) {
      SCOPED_TRACE(t);
      std::ostringstream a, b;
      DumpTrackEvents(first.Tracks[t], a);
      DumpTrackEvents(second.Tracks[t], b);
      EXPECT_EQ(a.str(), b.str());
      EXPECT_EQ(second.TrackNames[t], first.TrackNames[t]);
      EXPECT_EQ(second.Ch[t], first.Ch[t]);
    }
    EXPECT_EQ(second.TrackNames[0], title);
    EXPECT_EQ(second.TrackNames[3], "Words");
    // Saving the reloaded song gives the same file again.
    EXPECT_EQ(Save(second, true), merged);
  }
}

TEST(SmfWriter, Format0PrefixesOnlyWhereTheTargetChanges) {
  // Two texts of one track in a row share one prefix; a note in between
  // makes the next text repeat it.
  Bytes file = Smf(1, 480,
                   {TrackBody({{0, Tempo(500000)}, {0, EndOfTrack()}}),
                    TrackBody({{0, MetaText(1, "a")}, {0, MetaText(1, "b")}, {0, On(2, 60)}, {10, Off(2, 60)},
                               {0, MetaText(1, "c")}, {0, EndOfTrack()}})});
  Song song;
  ASSERT_TRUE(Load(song, file));
  auto chunks = ChunkBodies(Save(song, true));
  ASSERT_EQ(chunks.size(), 1u);
  const Bytes prefix{0xFF, 0x20, 0x01, 0x02};
  size_t count = 0;
  for (auto it = chunks[0].begin();
       (it = std::search(it, chunks[0].end(), prefix.begin(), prefix.end())) != chunks[0].end(); ++it)
    ++count;
  EXPECT_EQ(count, 2u);
}

TEST(SmfWriter, RoundTripKeepsEventsNamesChannelsAndMaps) {
  Bytes file = Smf(1, 96,
                   {TrackBody({{0, MetaText(3, "Title")}, {0, MetaText(2, "(C) test")}, {0, Tempo(600000)},
                               {0, Meta(0x58, {3, 2, 24, 8})}, {0, Meta(0x59, {0xFE, 1})},
                               {288, MetaText(6, "B")}, {0, Tempo(400000)}, {0, EndOfTrack()}}),
                    TrackBody({{0, MetaText(3, "Lead")}, {0, Bytes{0xB5, 0, 1}}, {0, Bytes{0xC5, 12}},
                               {0, Bytes{0x95, 60, 100}}, {48, Bytes{0xE5, 0, 0x50}}, {48, Bytes{0x85, 60, 20}},
                               {0, Bytes{0xF0, 3, 0x41, 0x10, 0xF7}}, {0, Bytes{0xA5, 60, 9}},
                               {0, Bytes{0xD5, 7}}, {0, EndOfTrack()}})});
  Song first;
  ASSERT_TRUE(Load(first, file));
  Song second;
  ASSERT_TRUE(Load(second, Save(first)));
  std::ostringstream a, b;
  for (int t = 0; t <= first.LastTrack; ++t) {
    DumpTrackEvents(first.Tracks[t], a);
    DumpTrackEvents(second.Tracks[t], b);
    EXPECT_EQ(first.TrackNames[t], second.TrackNames[t]);
    EXPECT_EQ(first.Ch[t], second.Ch[t]);
  }
  EXPECT_EQ(a.str(), b.str());
  EXPECT_EQ(second.Copyright, "(C) test");
  EXPECT_EQ(second.Ch[1], 5);
  EXPECT_EQ(second.Maps.TempoMap.size(), 2u);
  EXPECT_EQ(second.Maps.MeterMap[0].Value, 0x03021808u);
  EXPECT_EQ(second.Maps.KeyMap[0].Value, 0xFE01u);
  ASSERT_EQ(second.Maps.MarkerList.size(), 1u);
  EXPECT_TRUE(second.NoteOffStyle);
}

TEST(SmfWriter, FailedSaveLeavesThePreviousFile) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("melko_save_" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path target = dir / "song.mid";
  {
    std::ofstream(target, std::ios::binary) << "previous";
  }
  Song song;
  ApplySongLoaded(song);
  // A folder the writer may not create files in (root ignores modes, so also
  // try a target inside a missing folder).
  chmod(dir.c_str(), 0555);
  bool denied = access(dir.c_str(), W_OK) != 0;
  if (denied) {
    EXPECT_FALSE(SaveSongFile(song, target.string(), false));
  }
  chmod(dir.c_str(), 0755);
  EXPECT_FALSE(SaveSongFile(song, (dir / "missing" / "song.mid").string(), false));
  std::ifstream in(target, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "previous");
  EXPECT_TRUE(SaveSongFile(song, target.string(), false));
  size_t files = 0;
  for (auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // no temporary left behind
  fs::remove_all(dir);
}

}  // namespace
}  // namespace melko
