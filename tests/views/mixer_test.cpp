// The mixer's state and commands: what playback and the user's moves do to
// the strips, the knob's geometry, and Mix, Init and Replace on the song.
#include "views/mixer_commands.h"
#include "views/mixer_state.h"

#include <gtest/gtest.h>

#include "edit/edit_test_util.h"
#include "song/smf_reader.h"

namespace melko {
namespace {

using test::Ctrl;
using test::Ev;
using test::Events;
using test::Note;

uint32_t Played(int track, uint32_t status, uint32_t d1, uint32_t d2) {
  return status | d1 << 8 | d2 << 16 | uint32_t(track) << 24;
}

struct Rig {
  Song song;
  test::FakeUi ui;
  std::unique_ptr<EditDispatcher> d;
  MixerState mixer;
  Rig() {
    song.ClearSong();
    ApplySongLoaded(song);
    d = std::make_unique<EditDispatcher>(song, ui);
    d->SongLoaded();
  }
  void Range(int fromTrack, int toTrack, uint32_t from, uint32_t to) {
    d->Range.EditFromTrack = fromTrack;
    d->Range.EditToTrack = toTrack;
    d->Range.EditFromTick = from;
    d->Range.EditToTick = to;
  }
};

TEST(MixerKnob, AngleAndDragFollowTheFormulas) {
  const KnobRange k;  // 0..127 over 270 degrees
  EXPECT_DOUBLE_EQ(KnobAngle(k, 0), -225.0);
  EXPECT_DOUBLE_EQ(KnobAngle(k, 127), 45.0);
  EXPECT_NEAR(KnobAngle(k, 64), -225.0 + 64 * 270.0 / 127, 1e-9);
  const KnobRange half{0, 127, 180};
  EXPECT_DOUBLE_EQ(KnobAngle(half, 0), -180.0);  // pointing left
  EXPECT_DOUBLE_EQ(KnobAngle(half, 127), 0.0);   // pointing right
  const KnobRange offset{10, 20, 270};
  EXPECT_DOUBLE_EQ(KnobAngle(offset, 15), -90.0);  // the middle points up

  // Dragging: Min + (a + 180 - (360 - sweep) div 2) * (Max - Min) div sweep.
  EXPECT_EQ(KnobPositionAt(k, -135), 0);
  EXPECT_EQ(KnobPositionAt(k, 0), 63);    // 135 * 127 div 270
  EXPECT_EQ(KnobPositionAt(k, 135), 127);
  EXPECT_EQ(KnobPositionAt(k, 179), 127) << "past the end is clamped";
  EXPECT_EQ(KnobPositionAt(k, -179), 0);
  EXPECT_EQ(KnobPositionAt(offset, 0), 15);
  // Mouse offsets: up is 0, right 90, left -90, lower left -135.
  EXPECT_EQ(KnobDirection(0, -10), 0);
  EXPECT_EQ(KnobDirection(10, 0), 90);
  EXPECT_EQ(KnobDirection(-10, 0), -90);
  EXPECT_EQ(KnobDirection(-10, 10), -135);
}

TEST(MixerState, MovingAControlSendsOnlyANewValue) {
  Rig r;
  r.song.Ch[3] = 5;
  MixerState& m = r.mixer;
  EXPECT_EQ(m.MoveControl(3, 3, 64, r.song), 0u) << "the pan knob is at 64 already";
  EXPECT_EQ(m.MoveControl(3, 4, 100, r.song), 0u) << "the fader is at 100 already";
  EXPECT_EQ(m.MoveControl(3, 0, 40, r.song), 0xB5u | 91u << 8 | 40u << 16);
  EXPECT_EQ(m.Track(3).CtrlValue[0], 40);
  EXPECT_EQ(m.MoveControl(3, 0, 40, r.song), 0u) << "moved back onto its own value";
  EXPECT_EQ(m.MoveControl(3, 4, 300, r.song), 0xB5u | 7u << 8 | 127u << 16) << "clamped to 127";
  EXPECT_EQ(m.Track(2).CtrlValue[0], 0) << "other tracks keep theirs";
}

TEST(MixerState, PlayedEventsMoveTheStrips) {
  MixerState m;
  m.FirstTrack = 1;
  m.StripCount = 16;
  // Controllers of a row are stored; bank select is kept too.
  EXPECT_EQ(m.ApplyPlayed(Played(2, 0xB1, 10, 20), true).What, MixerUpdate::kControl);
  EXPECT_EQ(m.Track(2).CtrlValue[3], 20);
  EXPECT_EQ(m.ApplyPlayed(Played(2, 0xB1, 1, 99), true).What, MixerUpdate::kNothing) << "no row shows CC 1";
  m.ApplyPlayed(Played(2, 0xB1, 0, 8), true);
  m.ApplyPlayed(Played(2, 0xB1, 32, 3), true);
  EXPECT_EQ(m.Track(2).BankMSB, 8);
  EXPECT_EQ(m.Track(2).BankLSB, 3);
  MixerUpdate u = m.ApplyPlayed(Played(2, 0xC1, 41, 0), true);
  EXPECT_EQ(u.What, MixerUpdate::kProgram);
  EXPECT_EQ(u.Track, 2);
  EXPECT_EQ(m.Track(2).Program, 41);

  // Meters: with the window open only shown strips rise, and never fall by a note.
  m.ApplyPlayed(Played(4, 0x90, 60, 127), true);
  EXPECT_EQ(m.Track(4).Meter, 32);
  m.ApplyPlayed(Played(4, 0x90, 60, 40), true);
  EXPECT_EQ(m.Track(4).Meter, 32);
  m.ApplyPlayed(Played(4, 0x90, 60, 0), true);
  EXPECT_EQ(m.Track(4).Meter, 32) << "a note off is no level";
  m.ApplyPlayed(Played(20, 0x90, 60, 100), true);
  EXPECT_EQ(m.Track(20).Meter, 0) << "not shown";
  m.ApplyPlayed(Played(20, 0x90, 60, 100), false);
  EXPECT_EQ(m.Track(20).Meter, 25) << "closed: (velocity + 1) div 4";
  m.ApplyPlayed(Played(20, 0x90, 60, 7), false);
  EXPECT_EQ(m.Track(20).Meter, 2) << "closed: set, not raised";

  auto moved = m.DecayMeters();
  EXPECT_TRUE(moved.test(4));
  EXPECT_TRUE(moved.test(20));
  EXPECT_FALSE(moved.test(2));
  EXPECT_EQ(m.Track(4).Meter, 31);
  m.DecayMeters();
  m.DecayMeters();
  EXPECT_EQ(m.Track(20).Meter, 0);
}

TEST(MixerState, SyncOffLeavesTheUsersValues) {
  Rig r;
  MixerState& m = r.mixer;
  m.MoveControl(1, 4, 90, r.song);
  m.Sync = false;
  EXPECT_EQ(m.ApplyPlayed(Played(1, 0xB0, 7, 30), true).What, MixerUpdate::kNothing);
  m.ApplyPlayed(Played(1, 0xC0, 5, 0), false);
  m.ApplyPlayed(Played(1, 0x90, 60, 127), false);
  EXPECT_EQ(m.Track(1).CtrlValue[4], 90);
  EXPECT_EQ(m.Track(1).Program, 0);
  EXPECT_EQ(m.Track(1).Meter, 0);
}

TEST(MixerState, RowsScrollingAndSettings) {
  MixerState m;
  EXPECT_FALSE(m.AssignRow(1, 7)) << "volume belongs to the fader";
  EXPECT_EQ(m.RowCtrl[1], 93);
  EXPECT_TRUE(m.AssignRow(1, 74));
  EXPECT_EQ(m.CtrlRow[93], kNoMixerRow);
  EXPECT_EQ(m.CtrlRow[74], 1);
  EXPECT_EQ(m.CtrlRow[7], kFaderRow);
  EXPECT_FALSE(m.AssignRow(4, 11)) << "the fader row is not assignable";

  m.ScrollBy(16);
  EXPECT_EQ(m.FirstTrack, 17);
  m.ScrollBy(100);
  EXPECT_EQ(m.FirstTrack, 49) << "the last strip stays at 64";
  m.ScrollBy(-100);
  EXPECT_EQ(m.FirstTrack, 1);
  EXPECT_EQ(m.WindowWidth(), 16 * 37 + 46);

  m.SetStripCount(8);
  m.SetFirstTrack(60);
  m.Sync = false;
  m.MixerCheckedCtrls = 0x21;
  m.StepInc = 0;
  m.CascadeInc = 240;
  IniFile ini;
  m.SaveSettings(ini);
  MixerState back;
  back.LoadSettings(ini);
  EXPECT_EQ(back.RowCtrl[1], 74);
  EXPECT_EQ(back.CtrlRow[74], 1);
  EXPECT_EQ(back.StripCount, 8);
  EXPECT_EQ(back.FirstTrack, 57);
  EXPECT_FALSE(back.Sync);
  EXPECT_EQ(back.MixerCheckedCtrls, 0x21u);
  EXPECT_EQ(back.StepInc, 0);
  EXPECT_EQ(back.CascadeInc, 240);

  // A settings file asking for volume on a knob keeps the default there.
  IniFile bad;
  bad.WriteInteger("Mixer", "Ctrl0", 7);
  bad.WriteInteger("Mixer", "StripCount", 0);
  MixerState b;
  b.LoadSettings(bad);
  EXPECT_EQ(b.RowCtrl[0], 91);
  EXPECT_EQ(b.StripCount, 1);
}

TEST(MixerMix, StepZeroPutsATracksEventsAtOneTickAndCascadeStaggersTracks) {
  Rig r;
  r.mixer.MixerCheckedCtrls = 0x1F;  // the five rows, no program
  r.mixer.StepInc = 0;
  r.mixer.CascadeInc = 120;
  r.mixer.Track(2).CtrlValue = {1, 2, 3, 4, 5};
  r.mixer.Track(3).CtrlValue = {6, 7, 8, 9, 10};
  test::SetTrack(r.song, 2, {Note(960, 60)});
  r.Range(2, 3, 480, 960);
  ASSERT_TRUE(MixerMix(r.song, *r.d, r.mixer));
  EXPECT_EQ(Events(r.song.Tracks[2]),
            (std::vector<Ev>{{480, 0xB0, 91, 1, 0}, {480, 0xB0, 93, 2, 0}, {480, 0xB0, 94, 3, 0},
                             {480, 0xB0, 10, 4, 0}, {480, 0xB0, 7, 5, 0}, {960, 0x90, 60, 100, 120}}));
  EXPECT_EQ(Events(r.song.Tracks[3]),
            (std::vector<Ev>{{600, 0xB0, 91, 6, 0}, {600, 0xB0, 93, 7, 0}, {600, 0xB0, 94, 8, 0},
                             {600, 0xB0, 10, 9, 0}, {600, 0xB0, 7, 10, 0}}));
  EXPECT_EQ(r.d->Undo().ButtonHint, kHintMixerMix);
  ASSERT_TRUE(r.d->sbtUndoClick());
  EXPECT_EQ(Events(r.song.Tracks[3]).size(), 0u);
}

TEST(MixerMix, ProgramFlagWritesBanksOnlyWhenBothAreSet) {
  Rig r;
  r.mixer.MixerCheckedCtrls = kMixerProgramFlag | 1;
  r.mixer.StepInc = 10;
  r.mixer.Track(1).Program = 24;  // banks 255: never set
  r.mixer.Track(2).Program = 5;
  r.mixer.Track(2).BankMSB = 8;
  r.mixer.Track(2).BankLSB = 255;  // only one set: still no bank
  r.mixer.Track(3).Program = 6;
  r.mixer.Track(3).BankMSB = 8;
  r.mixer.Track(3).BankLSB = 1;
  r.mixer.CascadeInc = 0;
  // An old event at the range start stays ahead of the new ones.
  test::SetTrack(r.song, 1, {Ctrl(0, 11, 99)});
  r.Range(1, 3, 0, 480);
  ASSERT_TRUE(MixerMix(r.song, *r.d, r.mixer));
  EXPECT_EQ(Events(r.song.Tracks[1]),
            (std::vector<Ev>{{0, 0xB0, 11, 99, 0}, {0, 0xB0, 91, 0, 0}, {10, 0xC0, 24, 0, 0}}));
  EXPECT_EQ(Events(r.song.Tracks[2]), (std::vector<Ev>{{0, 0xB0, 91, 0, 0}, {10, 0xC0, 5, 0, 0}}));
  EXPECT_EQ(Events(r.song.Tracks[3]), (std::vector<Ev>{{0, 0xB0, 91, 0, 0},
                                                        {10, 0xB0, 0, 8, 0},
                                                        {20, 0xB0, 32, 1, 0},
                                                        {30, 0xC0, 6, 0, 0}}));
  uint32_t length = 0;
  MixEvents(r.mixer, 3, 1, length);
  EXPECT_EQ(length, 31u);

  r.mixer.MixerCheckedCtrls = 0;
  EXPECT_FALSE(MixerMix(r.song, *r.d, r.mixer)) << "no box checked: nothing happens";
  EXPECT_EQ(Events(r.song.Tracks[3]).size(), 4u);
}

TEST(MixerInit, OnlyTheSetUpBeforeTheFirstNoteTakesTheMixersValues) {
  Rig r;
  MixerTrack& m = r.mixer.Track(1);
  m.CtrlValue = {30, 31, 32, 33, 34};
  m.Program = 9;
  m.BankMSB = 1;
  m.BankLSB = 2;
  r.mixer.Track(2).Program = 4;  // banks unset: bank select left alone
  test::SetTrack(r.song, 1, {Ctrl(0, 0, 0), Ctrl(0, 32, 0), test::Chan(0, 0xC0, 0), Ctrl(0, 7, 90),
                             Ctrl(10, 1, 5), Note(480, 60), Ctrl(960, 7, 50), test::Chan(960, 0xC0, 1)});
  test::SetTrack(r.song, 2, {Ctrl(0, 0, 3), test::Chan(0, 0xC0, 0), Ctrl(0, 10, 0)});
  ASSERT_TRUE(MixerInit(r.song, *r.d, r.mixer));
  EXPECT_EQ(Events(r.song.Tracks[1]),
            (std::vector<Ev>{{0, 0xB0, 0, 1, 0}, {0, 0xB0, 32, 2, 0}, {0, 0xC0, 9, 0, 0}, {0, 0xB0, 7, 34, 0},
                             {10, 0xB0, 1, 5, 0}, {480, 0x90, 60, 100, 120}, {960, 0xB0, 7, 50, 0},
                             {960, 0xC0, 1, 0, 0}}));
  EXPECT_EQ(Events(r.song.Tracks[2]),
            (std::vector<Ev>{{0, 0xB0, 0, 3, 0}, {0, 0xC0, 4, 0, 0}, {0, 0xB0, 10, 64, 0}}));
  EXPECT_EQ(r.d->Undo().ButtonHint, kHintMixerInit);
}

TEST(MixerReplace, LeavesEverythingOutsideTheRangeAlone) {
  Rig r;
  for (int t = 1; t <= 3; ++t) {
    r.mixer.Track(t).CtrlValue[4] = 111;
    test::SetTrack(r.song, t, {Ctrl(0, 7, 1), Note(100, 60), Ctrl(480, 7, 2), Ctrl(959, 7, 3), Ctrl(960, 7, 4)});
  }
  r.mixer.MixerCheckedCtrls = 1u << kFaderRow;
  r.Range(2, 2, 480, 960);
  ASSERT_TRUE(MixerReplace(r.song, *r.d, r.mixer));
  const std::vector<Ev> untouched{{0, 0xB0, 7, 1, 0}, {100, 0x90, 60, 100, 120}, {480, 0xB0, 7, 2, 0},
                                  {959, 0xB0, 7, 3, 0}, {960, 0xB0, 7, 4, 0}};
  EXPECT_EQ(Events(r.song.Tracks[1]), untouched);
  EXPECT_EQ(Events(r.song.Tracks[3]), untouched);
  EXPECT_EQ(Events(r.song.Tracks[2]), (std::vector<Ev>{{0, 0xB0, 7, 1, 0}, {100, 0x90, 60, 100, 120},
                                                        {480, 0xB0, 7, 111, 0}, {959, 0xB0, 7, 111, 0},
                                                        {960, 0xB0, 7, 4, 0}}))
      << "past the note too: Replace has no first-note stop";
  EXPECT_EQ(r.d->Undo().ButtonHint, kHintMixerInit);
}

TEST(MixerButtons, MuteSoloAndTheCtrlRules) {
  Song song;
  song.ClearSong();
  test::NoticeLog log(song);
  MixerMuteClick(song, 3, true, false);
  EXPECT_EQ(song.Mute[0], 1) << "muting goes on";
  EXPECT_EQ(song.Mute[3], 1);
  MixerMuteClick(song, 3, false, false);
  EXPECT_EQ(song.Mute[3], 0);
  EXPECT_EQ(song.Mute[0], 1);
  MixerMuteClick(song, 5, false, true);
  for (int t = 1; t <= 64; ++t) EXPECT_EQ(song.Mute[size_t(t)], t == 5 ? 0 : 1) << t;
  MixerMasterMuteClick(song, false, false);
  EXPECT_EQ(song.Mute[0], 0);
  EXPECT_EQ(song.Mute[4], 1) << "the master switch keeps the tracks' flags";
  MixerMasterMuteClick(song, true, true);
  for (int t = 0; t <= 64; ++t) EXPECT_EQ(song.Mute[size_t(t)], 0) << t;

  MixerSoloClick(song, 7, true);
  EXPECT_EQ(song.Solo, 7);
  MixerSoloClick(song, 8, false);
  EXPECT_EQ(song.Solo, 7) << "releasing another strip's solo keeps this one";
  MixerSoloClick(song, 7, false);
  EXPECT_EQ(song.Solo, 0);
  EXPECT_EQ(log.Notices.size(), 8u);
  EXPECT_TRUE(log.Notices.back().Has(kChangeTrackSettings));

  SetTracksChannel(song, {2, 3, 99}, 9);
  SetTracksPort(song, {2}, 3);
  EXPECT_EQ(song.Ch[2], 9);
  EXPECT_EQ(song.Ch[3], 9);
  EXPECT_EQ(song.OutPort[2], 3);
  EXPECT_TRUE(log.Notices.back().Touches(2));
}

}  // namespace
}  // namespace melko
