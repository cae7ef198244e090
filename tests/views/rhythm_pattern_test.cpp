// Drum patterns: layout, grid, event lists, the pattern stream, RYM files
// and DRUMMAP.DAT, Import and Export.
#include "views/rhythm_pattern.h"

#include <gtest/gtest.h>

#include <string>

#include "edit/edit_test_util.h"
#include "views/drum_map.h"
#include "views/rhythm_file.h"
#include "views/rhythm_transfer.h"

namespace melko {
namespace {

using namespace std::string_literals;

// A pattern stream written by hand: instrument "GS", drum set 0, map 0,
// quant 16 in 4/4 over 2 measures, shuffle 0; hits 36 and 38 on step 0 and
// 38 on step 4.
const std::string kStream =
    "meta"s + "\x16\0\0\0"s +
    "\x01\x02GS"s + "\x02\x01\x00"s + "\x10\x01\x00"s + "\x11\x04\x10\x04\x04\x02"s + "\x12\x04\0\0\0\0"s +
    "data"s + "\x03\0\0\0"s +
    "\0\0\0\0\x24\x7F"s + "\0\0\0\0\x26\x60"s + "\x04\0\0\0\x26\x40"s;

// Two patterns: "Basic" (kStream) and "Fill", quant 12 in 3/4 over one
// measure with shuffle 50, instrument "XG", drum set 2, map 1, one hit.
const std::string kFillStream =
    "meta"s + "\x16\0\0\0"s +
    "\x01\x02XG"s + "\x02\x01\x02"s + "\x10\x01\x01"s + "\x11\x04\x0C\x03\x04\x01"s + "\x12\x04\x32\0\0\0"s +
    "data"s + "\x01\0\0\0"s + "\x08\0\0\0\x2A\x50"s;
const std::string kFile = "RYM\x03"s + "\0\0\0\0"s + "\x02\0\0\0"s +
                          "\x05\0\0\0Basic"s + "\x38\0\0\0"s + kStream +
                          "\x04\0\0\0Fill"s + "\x2C\0\0\0"s + kFillStream;

struct Hit {
  uint32_t Time;
  int Note, Velocity;
  bool operator==(const Hit&) const = default;
};
std::vector<Hit> Hits(const std::vector<TRhythmEvent>& events) {
  std::vector<Hit> out;
  for (const auto& e : events) out.push_back({e.Time, e.Data1, e.Data2});
  return out;
}

TEST(RhythmPattern, DefaultLayoutAtTpqn480) {
  TRhythmPattern p;
  EXPECT_EQ(p.StepTicks(480), 120u);
  EXPECT_EQ(p.PatternSteps(), 32);
  EXPECT_EQ(p.LengthTicks(480), 3840u);
  EXPECT_EQ(p.ShuffleGroup(), 2);
}

TEST(RhythmPattern, LayoutsRefusedAndCellsOutsideTheGrid) {
  EXPECT_EQ(LayoutSteps(16, 4, 0, 2), -1);   // a denominator of 0 must not divide
  EXPECT_EQ(LayoutSteps(0, 4, 4, 2), -1);
  EXPECT_EQ(LayoutSteps(20, 4, 4, 2), -1);   // not a quant of the combo
  EXPECT_EQ(LayoutSteps(8, 1, 16, 1), -1);   // no step at all
  EXPECT_EQ(LayoutSteps(96, 255, 1, 255), -1);
  EXPECT_EQ(LayoutSteps(96, 4, 4, 255), 24480);
  EXPECT_EQ(LayoutSteps(12, 3, 4, 1), 9);
  TRhythmPattern p;
  EXPECT_FALSE(p.SetCell(32, 36, 100));
  EXPECT_FALSE(p.SetCell(0, 128, 100));
  EXPECT_FALSE(p.SetCell(-1, 36, 100));
  EXPECT_EQ(p.CellCount(), 0);
  EXPECT_FALSE(p.RowUsed(36));
}

TEST(RhythmPattern, ShorterLayoutClearsTheCellsBeyond) {
  TRhythmPattern p;
  p.SetCell(3, 36, 100);
  p.SetCell(20, 36, 90);
  ASSERT_TRUE(p.SetLayout(16, 4, 4, 1));
  EXPECT_EQ(p.PatternSteps(), 16);
  ASSERT_TRUE(p.SetLayout(16, 4, 4, 2));
  EXPECT_EQ(p.Cell(3, 36), 100);
  EXPECT_EQ(p.Cell(20, 36), 0);
  EXPECT_FALSE(p.SetLayout(16, 4, 0, 2));
  EXPECT_EQ(p.PatternSteps(), 32);
}

TEST(RhythmPattern, HitsInOneStepInNoteOrder) {
  TRhythmPattern p;
  p.SetCell(1, 38, 90);
  p.SetCell(1, 36, 100);
  p.SetCell(0, 42, 80);
  EXPECT_EQ(Hits(p.PlayEvents(480)), (std::vector<Hit>{{0, 42, 80}, {120, 36, 100}, {120, 38, 90}}));
}

TEST(RhythmPattern, Shuffle) {
  struct Row {
    const char* Name;
    int Quant, Shuffle;
    std::vector<uint32_t> Times;  // steps 0..3
  };
  const Row rows[] = {
      {"none", 16, 0, {0, 120, 240, 360}},
      {"hundred delays each off-step by a third", 16, 100, {0, 160, 240, 400}},
      {"two hundred", 16, 200, {0, 200, 240, 440}},
      {"groups of three", 12, 100, {0, 160, 373, 480}},
  };
  for (const Row& r : rows) {
    TRhythmPattern p;
    ASSERT_TRUE(p.SetLayout(r.Quant, 4, 4, 1)) << r.Name;
    p.SetShuffle(r.Shuffle);
    for (int i = 0; i < 4; ++i) p.SetCell(i, 36, 100);
    std::vector<uint32_t> times;
    for (const auto& e : p.PlayEvents(480)) times.push_back(e.Time);
    times.resize(4);
    EXPECT_EQ(times, r.Times) << r.Name;
  }
  TRhythmPattern p;
  p.SetShuffle(300);
  EXPECT_EQ(p.PatternShuffle, 200);
}

TEST(RhythmPattern, StreamReadAndWrittenByteForByte) {
  TRhythmPattern p;
  ASSERT_TRUE(p.LoadStream(kStream));
  EXPECT_EQ(p.PatternInstrument, "GS");
  EXPECT_EQ(p.PatternSteps(), 32);
  EXPECT_EQ(Hits(p.BuildEvents(1, false, 0)), (std::vector<Hit>{{0, 36, 127}, {0, 38, 96}, {4, 38, 64}}));
  EXPECT_EQ(p.StoreStream(), kStream);
}

TEST(RhythmPattern, UnknownMetaRecordSkipped) {
  std::string s = kStream;
  s[4] = 0x16 + 5;
  s.insert(8, "\x05\x03\x01\x02\x03"s);
  TRhythmPattern p;
  ASSERT_TRUE(p.LoadStream(s));
  EXPECT_EQ(p.PatternInstrument, "GS");
  EXPECT_EQ(p.CellCount(), 3);
  EXPECT_EQ(p.StoreStream(), kStream);
}

TEST(RhythmPattern, DamagedStreams) {
  struct Row {
    const char* Name;
    std::string Stream;
    bool Ok;
    int Cells;
  };
  std::string zeroUnit = kStream;
  zeroUnit[8 + 4 + 6 + 4] = 0;  // the layout record's denominator
  std::string outside = kStream;
  outside.replace(outside.size() - 6, 6, "\x20\0\0\0\x26\x40"s);  // step 32 of 32
  std::string bigNote = kStream;
  bigNote[bigNote.size() - 2] = char(0x80);
  std::string hugeCount = kStream;
  hugeCount.replace(34, 4, "\xFF\xFF\xFF\x7F"s);
  std::string longMeta = kStream;
  longMeta[4] = char(0xF0);
  std::string longRecord = kStream;
  longRecord[9] = char(0x40);  // the instrument's length runs past the meta records
  const Row rows[] = {
      {"meter denominator 0", zeroUnit, false, 0},
      {"step beyond the grid skipped", outside, true, 2},
      {"note 128 skipped", bigNote, true, 2},
      {"cell count past the end: what is there", hugeCount, false, 3},
      {"meta length past the end", longMeta, false, 0},
      {"record past the meta records", longRecord, false, 0},
      {"cut inside the cells", kStream.substr(0, kStream.size() - 3), false, 2},
      {"no data tag", kStream.substr(0, 34), false, 0},
      {"empty", "", false, 0},
  };
  for (const Row& r : rows) {
    TRhythmPattern p;
    EXPECT_EQ(p.LoadStream(r.Stream), r.Ok) << r.Name;
    EXPECT_EQ(p.CellCount(), r.Cells) << r.Name;
    EXPECT_GT(p.PatternSteps(), 0) << r.Name;
  }
}

TEST(RhythmPattern, Stretch) {
  TRhythmPattern p;
  ASSERT_TRUE(p.SetLayout(32, 4, 4, 1));
  p.SetCell(0, 36, 100);
  p.SetCell(5, 38, 90);
  p.SetCell(31, 42, 80);
  ASSERT_TRUE(p.CanStretch());
  ASSERT_TRUE(p.Stretch());
  EXPECT_EQ(p.PatternQuant, 64);
  EXPECT_EQ(p.PatternSteps(), 64);
  EXPECT_EQ(Hits(p.BuildEvents(1, false, 0)), (std::vector<Hit>{{0, 36, 100}, {10, 38, 90}, {62, 42, 80}}));
  // Same musical places: ticks unchanged.
  EXPECT_EQ(p.PlayEvents(480).back().Time, 62u * 30);

  TRhythmPattern q;
  ASSERT_TRUE(q.SetLayout(48, 4, 4, 1));
  q.SetCell(1, 36, 100);
  EXPECT_FALSE(q.CanStretch());
  EXPECT_FALSE(q.Stretch());
  EXPECT_EQ(q.PatternQuant, 48);
  EXPECT_EQ(q.Cell(1, 36), 100);
}

TEST(RymFile, HandWrittenFileReadAndWrittenUnchanged) {
  TRymPatternList list;
  ASSERT_TRUE(list.ReadBytes(kFile));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Patterns[0].Name, "Basic");
  EXPECT_EQ(list.Patterns[1].Name, "Fill");
  TRhythmPattern fill;
  ASSERT_TRUE(fill.LoadStream(list.Patterns[1].Stream));
  EXPECT_EQ(fill.PatternSteps(), 9);
  EXPECT_EQ(fill.ShuffleGroup(), 3);
  EXPECT_EQ(fill.PatternShuffle, 50);
  EXPECT_EQ(fill.PatternDrumSet, 2);
  EXPECT_EQ(fill.PatternMap, 1);
  EXPECT_EQ(fill.Cell(8, 42), 0x50);
  EXPECT_EQ(fill.StoreStream(), kFillStream);
  EXPECT_EQ(list.WriteBytes(), kFile);
}

TEST(RymFile, RefusedFiles) {
  struct Row {
    const char* Name;
    std::string Bytes;
  };
  std::string v2 = kFile, v4 = kFile, badMagic = kFile, bigCount = kFile, longName = kFile, longStream = kFile,
              header = kFile, badStream = kFile;
  v2[3] = 2;
  v4[3] = 4;
  badMagic[0] = 'X';
  bigCount.replace(8, 4, "\xFF\xFF\xFF\xFF"s);
  longName.replace(12, 4, "\x00\x00\x01\x00"s);
  longStream.replace(21, 4, "\x00\x10\x00\x00"s);
  header.replace(4, 4, "\x00\x00\x00\x10"s);
  badStream[25 + 8 + 4 + 6 + 4] = 0;  // first pattern's meter denominator
  const Row rows[] = {{"version 2", v2},           {"version 4", v4},
                      {"not RYM", badMagic},       {"pattern count past the end", bigCount},
                      {"name past the end", longName}, {"stream past the end", longStream},
                      {"header past the end", header}, {"a stream that is no pattern", badStream},
                      {"cut short", kFile.substr(0, 40)}};
  for (const Row& r : rows) {
    TRymPatternList list;
    list.Patterns[0].Name = "kept";
    EXPECT_FALSE(list.ReadBytes(r.Bytes)) << r.Name;
    EXPECT_EQ(list.Patterns[0].Name, "kept") << r.Name;
  }
}

TEST(RymFile, HeaderSkipped) {
  std::string withHeader = kFile;
  withHeader.replace(4, 4, "\x03\0\0\0abc"s);
  TRymPatternList list;
  ASSERT_TRUE(list.ReadBytes(withHeader));
  EXPECT_EQ(list.Count(), 2);
}

TEST(RymFile, PatternListOperations) {
  TRymPatternList list;
  list.Patterns[0].Name = "A";
  EXPECT_EQ(list.Add(0, true), 1);
  EXPECT_EQ(list.Patterns[1].Name, "A");
  EXPECT_EQ(list.Add(0, false), 1);
  EXPECT_EQ(list.Patterns[1].Name, "Pattern");
  EXPECT_TRUE(list.Rename(2, "C"));
  EXPECT_FALSE(list.Rename(3, "D"));
  EXPECT_EQ(list.Delete(0, 1), 0);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Patterns[0].Name, "C");
  list.Delete(0, 5);
  EXPECT_EQ(list.Count(), 1);  // never empty
  EXPECT_EQ(DeletePatternsQuestion(1, 3), "Pattern 01 ～ 03 を削除します。よろしいですか？");
}

TEST(DrumMapList, FileAndLimit) {
  TDrumMapList maps;
  ASSERT_EQ(maps.Count(), 1);
  EXPECT_EQ(maps.Get(0).Name, "Standard");
  EXPECT_EQ(maps.Get(7).Name, "Standard");  // beyond the list: map 0
  TDrumMap rock;
  rock.Name = "Rock";
  for (int i = 0; i < 128; ++i) rock.Notes[size_t(i)] = uint8_t(127 - i);
  ASSERT_TRUE(maps.Add(rock));
  std::string bytes = maps.WriteBytes();
  ASSERT_EQ(bytes.size(), 4u + (4 + 8 + 128) + (4 + 4 + 128));
  EXPECT_EQ(bytes.substr(0, 16), "\x02\0\0\0\x08\0\0\0Standard"s);
  TDrumMapList back;
  ASSERT_TRUE(back.ReadBytes(bytes));
  EXPECT_EQ(back.Get(1).Notes[0], 127);
  EXPECT_EQ(back.WriteBytes(), bytes);

  while (maps.Count() < kMaxDrumMaps) ASSERT_TRUE(maps.Add(rock));
  EXPECT_FALSE(maps.Add(rock));
  EXPECT_EQ(maps.Count(), 256);

  TDrumMapList refused;
  EXPECT_FALSE(refused.ReadBytes("\x01\x01\0\0"s));      // 257 maps
  EXPECT_FALSE(refused.ReadBytes("\x01\0\0\0\xFF\xFF\xFF\x0F"s));  // a name past the end
  EXPECT_FALSE(refused.ReadBytes(bytes.substr(0, bytes.size() - 1)));
  EXPECT_EQ(refused.Count(), 1);
}

TEST(RhythmTransfer, ExportLaysThePatternIntoTheClipboard) {
  Song song;
  song.ClearSong();
  TRhythmPattern p;
  p.SetShuffle(100);
  p.SetCell(0, 38, 90);
  p.SetCell(0, 36, 100);
  p.SetCell(1, 42, 80);
  ExportPattern(song, p);
  EXPECT_EQ(song.ClipLength, 3840u);
  EXPECT_EQ(song.ClipTrackSpan, 0);
  EXPECT_EQ(test::Events(song.Clipboard[0]),
            (std::vector<test::Ev>{{0, 0x90, 36, 100, 1}, {0, 0x90, 38, 90, 1}, {160, 0x90, 42, 80, 1}}));
}

TEST(RhythmTransfer, ImportFromTheRange) {
  Song song;
  song.ClearSong();
  test::SetTrack(song, 2, {test::Note(900, 35), test::Note(960, 36, 110), test::Note(1090, 38, 70),
                           test::Note(1090, 36, 60), test::Note(960 + 3840, 40), test::Note(960 + 3841, 41)});
  TEditRange range;
  range.EditFromTrack = 2;
  range.EditFromTick = 960;
  range.EditToTick = 960 + 3840 * 2;
  TRhythmPattern p;
  p.SetCell(5, 50, 1);
  EXPECT_EQ(ImportPattern(song, range, p), 3);
  EXPECT_EQ(Hits(p.BuildEvents(1, false, 0)), (std::vector<Hit>{{0, 36, 110}, {1, 36, 60}, {1, 38, 70}}));
}

}  // namespace
}  // namespace melko
