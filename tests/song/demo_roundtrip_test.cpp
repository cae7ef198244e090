// The shipped demo song loads with its expected shape and survives a save in
// both formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "smf_builder.h"
#include "song/smf_reader.h"
#include "song/song_dump.h"

#ifdef MELKO_DEMO_FILE
namespace melko {
namespace {

using namespace melko::test;

// Format 0 keeps channels, not track order: the reader splits a format 0
// file into one track per channel in channel order, so compare in that order.
std::string DumpWithoutEnds(const Song& song) {
  std::ostringstream out;
  out << song.Copyright << '|' << song.TPQN << '|' << +song.LastTrack << '\n';
  std::vector<int> order;
  for (int t = 0; t <= song.LastTrack; ++t) order.push_back(t);
  std::stable_sort(order.begin() + 1, order.end(), [&](int a, int b) { return song.Ch[a] < song.Ch[b]; });
  for (int t : order) {
    out << song.TrackNames[t] << '|' << +song.Ch[t] << '\n';
    DumpTrackEvents(song.Tracks[t], out);
  }
  for (const auto& e : song.Maps.TempoMap) out << e.Tick << ':' << e.Tempo << ' ';
  for (const auto& e : song.Maps.MeterMap) out << e.Tick << ':' << e.Value << ' ';
  for (const auto& e : song.Maps.KeyMap) out << e.Tick << ':' << e.Value << ' ';
  for (const auto& m : song.Maps.MarkerList) out << m << ' ';
  return out.str();
}

TEST(Demo, LoadsWithItsTracksAndSurvivesSaving) {
  Song song;
  RecordingPrompt prompt;
  ASSERT_TRUE(OpenSongFile(song, MELKO_DEMO_FILE, prompt)) << "run the build to make the demo";
  EXPECT_TRUE(prompt.Errors.empty());
  EXPECT_EQ(song.LastTrack, 4);
  EXPECT_EQ(song.TrackNames[0], "MELKO Demo");
  EXPECT_EQ(song.Ch[1], 9);
  EXPECT_EQ(song.Maps.TempoMap.size(), 2u);
  EXPECT_EQ(song.Maps.MarkerList.size(), 3u);
  EXPECT_EQ(song.Maps.KeyMap[0].Value, 0x0100u);
  const std::string before = DumpWithoutEnds(song);
  for (bool format0 : {false, true}) {
    SCOPED_TRACE(format0);
    Song back;
    ASSERT_TRUE(Load(back, Save(song, format0)));
    EXPECT_EQ(DumpWithoutEnds(back), before);
  }
}

}  // namespace
}  // namespace melko
#endif
