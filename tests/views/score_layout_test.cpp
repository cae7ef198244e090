// The score's layout of a span: note values from gates and onsets, ties over
// bar lines, accidentals per measure, beams within a beat, rests, and a cost
// that follows the span rather than the track.
#include "views/score_layout.h"

#include <gtest/gtest.h>

#include "edit/edit_test_util.h"
#include "song/smf_reader.h"
#include "views/score_staff.h"

namespace melko {
namespace {

using test::Note;

struct Laid {
  Song song;
  TickIndex index;
  explicit Laid(std::vector<TMidiEvent> notes, int keySf = 0) {
    song.ClearSong();
    ApplySongLoaded(song);
    if (keySf) {
      song.SetSongKey(uint32_t(uint8_t(int8_t(keySf))) << 8);
      song.RebuildMaps();
    }
    test::SetTrack(song, 1, std::move(notes));
    index.Build(song.Tracks[1]);
  }
  ScoreLayout At(uint32_t from, uint32_t to) { return LayoutScore(song, 1, index, from, to, kClefTreble); }
};

TEST(ScoreLayout, ValuesTiesAndRests) {
  // Quarter C, dotted quarter E, an eighth rest, a half G held over the bar line.
  Laid l({Note(0, 60, 100, 432), Note(480, 64, 100, 648), Note(1440, 67, 100, 900)});
  ScoreLayout s = l.At(0, 3840);
  ASSERT_EQ(s.Chords.size(), 4u);
  EXPECT_EQ(s.Chords[0].Value, 2);
  EXPECT_FALSE(s.Chords[0].Dotted);
  EXPECT_EQ(s.Chords[1].Value, 2);
  EXPECT_TRUE(s.Chords[1].Dotted);
  EXPECT_EQ(s.Chords[2].Tick, 1440u);
  EXPECT_EQ(s.Chords[2].Value, 2);
  EXPECT_TRUE(s.Chords[2].TieToNext) << "held over the bar line";
  EXPECT_EQ(s.Chords[3].Tick, 1920u);
  EXPECT_TRUE(s.Chords[3].Continued);
  EXPECT_EQ(s.Chords[3].Value, 2);
  ASSERT_GE(s.Rests.size(), 2u);
  EXPECT_EQ(s.Rests[0].Tick, 1200u);
  EXPECT_EQ(s.Rests[0].Value, 3) << "an eighth rest after the dotted quarter";
  EXPECT_EQ(s.Rests[1].Tick, 2400u);
  ASSERT_EQ(s.Bars.size(), 3u);
  EXPECT_EQ(s.Bars[1].Tick, 1920u);
}

TEST(ScoreLayout, AnEmptyMeasureHasOneWholeRest) {
  Laid l({Note(1920, 60, 100, 480)});
  ScoreLayout s = l.At(0, 1920);
  ASSERT_EQ(s.Rests.size(), 1u);
  EXPECT_TRUE(s.Rests[0].WholeMeasure);
}

TEST(ScoreLayout, AccidentalsFollowTheKeyAndTheMeasure) {
  // In G major: F sharp plain, F natural marked, F sharp again marked; the next measure starts afresh.
  Laid g({Note(0, 66), Note(480, 65), Note(960, 66), Note(1920, 66)}, 1);
  ScoreLayout s = g.At(0, 3840);
  ASSERT_EQ(s.Chords.size(), 4u);
  EXPECT_FALSE(s.Chords[0].Heads[0].Accidental);
  EXPECT_TRUE(s.Chords[1].Heads[0].Accidental);
  EXPECT_EQ(s.Chords[1].Heads[0].Alter, 0);
  EXPECT_TRUE(s.Chords[2].Heads[0].Accidental);
  EXPECT_FALSE(s.Chords[3].Heads[0].Accidental);
  EXPECT_EQ(s.KeyAtStart, 1);
  // In C major note 70 carries its accidental once in the measure.
  Laid c({Note(0, 70), Note(480, 70)});
  ScoreLayout t = c.At(0, 1920);
  EXPECT_TRUE(t.Chords[0].Heads[0].Accidental);
  EXPECT_FALSE(t.Chords[1].Heads[0].Accidental);
}

TEST(ScoreLayout, EighthsAreBeamedWithinTheirBeat) {
  Laid l({Note(0, 60, 100, 216), Note(240, 62, 100, 216), Note(480, 64, 100, 216), Note(720, 65, 100, 216),
          Note(960, 67, 100, 480)});
  ScoreLayout s = l.At(0, 1920);
  ASSERT_EQ(s.Beams.size(), 2u);
  EXPECT_EQ(s.Beams[0].First, 0u);
  EXPECT_EQ(s.Beams[0].Last, 1u);
  EXPECT_EQ(s.Beams[1].First, 2u);
  EXPECT_EQ(s.Chords[4].Beam, -1);
  EXPECT_TRUE(s.Chords[0].StemUp);
}

TEST(ScoreLayout, ReadsOnlyAroundTheSpan) {
  std::vector<TMidiEvent> notes;
  for (uint32_t i = 0; i < 20000; ++i) notes.push_back(Note(i * 240, uint8_t(60 + i % 12), 100, 200));
  Laid l(std::move(notes));
  ScoreLayout s = l.At(240 * 19000, 240 * 19000 + 3840);
  EXPECT_LT(s.NotesRead, 100u);
  ASSERT_FALSE(s.Chords.empty());
  EXPECT_GE(s.Chords.front().Tick, 240u * 19000 - 1920);
}

}  // namespace
}  // namespace melko
