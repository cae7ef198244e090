// Recording end to end: the record button's press and release through the
// recorder, playback's silencing of armed tracks while it records, and the
// batch form's take files.
#include "edit/recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "edit/edit_cli.h"
#include "edit/record_batch.h"
#include "edit/take_file.h"
#include "edit_test_util.h"
#include "batch_file_test.h"
#include "midi/recording_backend.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"
#include "song/song_cli.h"

namespace melko {
namespace {

using test::Ev;
using test::Events;
using test::Note;

// 120 BPM, 4/4, 480 ticks a quarter: one millisecond is 0.96 ticks.
void FreshSong(Song& song) {
  song.ClearSong();
  ApplySongLoaded(song);
  for (int t = 1; t <= 64; ++t) song.Ch[size_t(t)] = uint8_t((t - 1) & 15);
}

// The press is at 0 ms; with no device to reset, the timer starts at 150 ms.
constexpr uint32_t kTimerStartMs = 150;
uint32_t MsOfTick(uint32_t tickFromTimerStart) { return kTimerStartMs + tickFromTimerStart * 1000 / 960; }

struct BatchRig {
  Song song;
  test::FakeUi ui;
  MemoryLog log;
  std::unique_ptr<EditDispatcher> dispatcher;
  std::unique_ptr<BatchRecorder> recorder;
  BatchRig() {
    FreshSong(song);
    dispatcher = std::make_unique<EditDispatcher>(song, ui);
    dispatcher->SongLoaded();
    recorder = std::make_unique<BatchRecorder>(song, *dispatcher, &log);
  }
  RecordMergeResult Record(const std::string& takeText, RecordSetup setup, uint32_t start = 0) {
    TakeFile take;
    std::string why;
    EXPECT_TRUE(ParseTakeFile(takeText, take, why)) << why;
    RecordMergeResult result;
    std::string warning;
    EXPECT_EQ(recorder->Record(take, start, setup, result, warning), RecordPress::kStarted);
    EXPECT_EQ(warning, "");
    return result;
  }
};

std::string Line(uint32_t ms, const char* bytes) { return std::to_string(ms) + " " + bytes + "\n"; }

TEST(Recorder, ATakeLandsOnTheTicksOfItsMillisecondsAndReplacesTheSpan) {
  BatchRig r;
  test::SetTrack(r.song, 1, {Note(0, 40), Note(960, 41), Note(9600, 42)});
  r.song.Rec[1] = 1;
  RecordSetup setup;
  setup.CountIn = 1;  // 480 ticks before the start
  std::string take = Line(MsOfTick(480 + 480), "90 3C 64") + Line(MsOfTick(480 + 720), "80 3C 40") +
                     Line(MsOfTick(480 + 1440), "90 3E 50") + "stop " + std::to_string(MsOfTick(480 + 1920)) + "\n";
  RecordMergeResult m = r.Record(take, setup);
  EXPECT_EQ(m.From, 0);
  EXPECT_EQ(m.TracksMerged, 1);
  // The old notes inside the take's span are gone even where nothing was
  // played; the one after it keeps its time. The unended note lasts to the stop.
  std::vector<Ev> got = Events(r.song.Tracks[1]);
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got[0], (Ev{480, 0x90, 60, 100, 240}));
  EXPECT_EQ(got[1].Tick, 1440u);
  EXPECT_EQ(got[1].D1, 62);
  EXPECT_GE(got[1].Gate, 480u + 288u);  // to the stop, 300 ms of waiting included
  EXPECT_EQ(got.back().Tick, 9600u);
  EXPECT_EQ(got.back().D1, 42);
  EXPECT_TRUE(r.song.NoteOffStyle);  // a real note-off was played
  EXPECT_EQ(r.dispatcher->Undo().ButtonHint, kRecordUndoHint);
  // The log tells the take's story.
  auto has = [&](const std::string& line) {
    return std::find(r.log.Lines.begin(), r.log.Lines.end(), line) != r.log.Lines.end();
  };
  EXPECT_TRUE(has("--- START Recording!! ---"));
  EXPECT_TRUE(has("--- STOP  Recording!! ---"));
  EXPECT_TRUE(has("MidiInBufIndex: 3"));
  EXPECT_TRUE(has("FirstTick: 0"));
  // One undo gives the old track back.
  r.dispatcher->PopUpEditClick(kCmdUndo);
  EXPECT_EQ(Events(r.song.Tracks[1]).size(), 3u);
  EXPECT_EQ(Events(r.song.Tracks[1])[1].Tick, 960u);
}

TEST(Recorder, TheClipboardSurvivesATake) {
  BatchRig r;
  test::SetTrack(r.song, 2, {Note(0, 70)});
  r.dispatcher->Range.EditFromTrack = r.dispatcher->Range.EditToTrack = 2;
  r.dispatcher->Range.EditToTick = 480;
  r.dispatcher->PopUpEditClick(kCmdCopy);
  const std::string clip = test::Bytes(r.song.Clipboard[0]);
  ASSERT_NE(r.song.ClipLength, 0u);
  r.song.Rec[1] = 1;
  r.Record(Line(MsOfTick(100), "90 3C 64") + "stop 1000\n", RecordSetup{0, 0, 4});
  EXPECT_EQ(test::Bytes(r.song.Clipboard[0]), clip);
  EXPECT_EQ(r.song.ClipLength, 480u);
}

TEST(Recorder, KeyboardNotesRecordWhenTheKeyboardStartsTheTake) {
  BatchRig r;
  r.song.Rec[1] = 1;
  r.Record("kbd " + Line(MsOfTick(480), "90 43 64") + "kbd " + Line(MsOfTick(960), "90 43 00") +
               Line(MsOfTick(1000), "90 30 64") + "stop 2000\n",
           RecordSetup{0, 0, 4});
  std::vector<Ev> got = Events(r.song.Tracks[1]);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], (Ev{480, 0x90, 0x43, 100, 480}));
}

TEST(Recorder, NoArmedTrackStartsNothing) {
  BatchRig r;
  TakeFile take;
  RecordMergeResult m;
  std::string warning;
  EXPECT_EQ(r.recorder->Record(take, 0, {}, m, warning), RecordPress::kNoArmedTrack);
  EXPECT_FALSE(r.recorder->Engine().Playing());
}

TEST(Recorder, SingleArmsOneTrackOnly) {
  Song song;
  FreshSong(song);
  song.Rec[3] = song.Rec[5] = 1;
  EXPECT_FALSE(CheckSingleArm(song));
  for (int t = 1; t <= 64; ++t) EXPECT_EQ(song.Rec[size_t(t)], 0) << t;
  song.Rec[4] = 1;
  EXPECT_TRUE(CheckSingleArm(song));
  EXPECT_EQ(song.Rec[4], 1);
}

// Playback while recording, on a backend that keeps what it was sent.
struct PlayRig {
  VirtualClock clock;
  ManualTimer timer;
  NotifyQueue notify{1 << 16};
  RecordingBackend backend{clock, {"Synth"}};
  MidiPorts ports{backend, clock, [] { return std::make_unique<ManualTimer>(); }, {}};
  Song song;
  PlaybackEngine engine{song, ports, clock, timer, notify};
  RecordBuffer buffer;
  MidiInput input{song, ports, engine, buffer, notify};
  test::FakeUi ui;
  EditDispatcher dispatcher{song, ui};
  Recorder recorder{song, engine, input, buffer, dispatcher, nullptr};
  PlayRig() {
    FreshSong(song);
    ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 0, 0, 0}; });
    engine.LeadUs = 0;
    // Two tracks with a note on every beat of two measures.
    std::vector<TMidiEvent> a, b;
    for (uint32_t beat = 0; beat < 8; ++beat) {
      a.push_back(Note(beat * 480, 60, 100, 100));
      b.push_back(Note(beat * 480, 70, 100, 100));
    }
    test::SetTrack(song, 1, a);
    test::SetTrack(song, 2, b);
    song.Ch[1] = 0;
    song.Ch[2] = 1;
    dispatcher.SongLoaded();
    recorder.Wait = [this](uint32_t ms) { Run(ms); };
  }
  void Run(uint32_t ms) {
    for (uint32_t i = 0; i < ms; ++i) {
      clock.Advance(1);
      timer.Fire();
    }
  }
  // Keys of the note-ons (velocity above 0) played on channel `ch`.
  std::vector<int> Played(int ch) {
    std::vector<int> keys;
    for (const RecordedMessage& m : backend.Snapshot())
      if (m.Bytes.size() == 3 && m.Bytes[0] == 0x90 + ch && m.Bytes[2] > 0) keys.push_back(m.Bytes[1]);
    return keys;
  }
};

TEST(Recorder, PlaybackSilencesTheArmedTracksNotesInTheRecordedPart) {
  struct Row {
    const char* name;
    uint32_t options;
    size_t armedNotes;  // of the 8 beats, heard from the armed track
  } rows[] = {
      {"replace: from the start on", 0, 0},
      {"overdub: nothing", kRecOverDub, 8},
      {"punch: inside the edit range", kRecPunch, 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PlayRig r;
    r.song.Rec[1] = 1;
    r.dispatcher.Range.EditFromTick = 480;
    r.dispatcher.Range.EditToTick = 1440;
    r.backend.Clear();
    ASSERT_EQ(r.recorder.Press(0, RecordSetup{row.options, 0, 4}), RecordPress::kStarted);
    r.Run(4300);  // two measures at 120 BPM
    EXPECT_EQ(r.Played(0).size(), row.armedNotes);
    EXPECT_EQ(r.Played(1).size(), 8u);  // the unarmed track plays
    r.recorder.Release();
    EXPECT_FALSE(r.engine.Playing());
  }
}

TEST(Recorder, AfterAKeyboardTakeTheMidiInputIsHeardAgain) {
  PlayRig r;
  r.song.Rec[1] = 1;
  ASSERT_EQ(r.recorder.Press(0, RecordSetup{0, 0, 4}), RecordPress::kStarted);
  r.Run(100);
  EXPECT_TRUE(r.input.StoreFromKeyboard(ShortMsg(0x90, 60, 100)));
  r.Run(100);
  r.recorder.Release();
  std::vector<Notification> drained;
  r.notify.Drain(drained);
  drained.clear();
  r.input.InputCallback(ShortMsg(0x90, 64, 100), 0);
  r.notify.Drain(drained);
  ASSERT_EQ(drained.size(), 1u);
  EXPECT_EQ(drained[0].Message, MimData);
}

TEST(Recorder, ATakeStoppedDuringTheCountInKeepsTheLastUndo) {
  BatchRig r;
  test::SetTrack(r.song, 1, {Note(0, 40), Note(480, 41)});
  r.dispatcher->Range.EditToTick = 240;
  ASSERT_TRUE(r.dispatcher->PopUpEditClick(kCmdErase));
  const std::string hint = r.dispatcher->Undo().ButtonHint;
  r.song.Rec[1] = 1;
  RecordSetup setup;
  setup.CountIn = 4;
  RecordMergeResult m = r.Record(Line(300, "90 3C 64") + "stop 400\n", setup);
  EXPECT_EQ(m.TracksMerged, 0);
  EXPECT_EQ(r.dispatcher->Undo().ButtonHint, hint);
  ASSERT_TRUE(r.dispatcher->PopUpEditClick(kCmdUndo));  // the erase is still undone
  EXPECT_EQ(Events(r.song.Tracks[1]).size(), 2u);
}

TEST(Recorder, PressWhilePlayingSpringsBack) {
  PlayRig r;
  r.song.Rec[1] = 1;
  ASSERT_TRUE(r.engine.StartPlayback(0));
  EXPECT_EQ(r.recorder.Press(0, {}), RecordPress::kPlaying);
  EXPECT_FALSE(r.recorder.Recording());
  r.engine.StopPlayback();
}

TEST(TakeFile, ReadsMessagesAndSaysWhichLineIsWrong) {
  TakeFile take;
  std::string why;
  ASSERT_TRUE(ParseTakeFile("# comment\n\n1250 90 3C 64\r\nkbd 10 80 3c 00\n20 C5 07\nstop 3000\n", take, why)) << why;
  ASSERT_EQ(take.Messages.size(), 3u);
  EXPECT_EQ(take.Messages[0].TimeMs, 10u);  // in time order
  EXPECT_TRUE(take.Messages[0].Keyboard);
  EXPECT_EQ(take.Messages[1].Message, ShortMsg(0xC5, 7));
  EXPECT_EQ(take.Messages[2].Message, ShortMsg(0x90, 0x3C, 0x64));
  EXPECT_EQ(take.ReleaseMs(), 3000u);

  struct Bad {
    const char* text;
    const char* error;
  } bad[] = {
      {"1 90 3C\n", "line 1: wrong number of data bytes for this status"},
      {"ok\n", "line 1: a message starts with its milliseconds"},
      {"5 90 3C 64\n6 3C 64\n", "line 2: the status must be a hexadecimal byte 80..FF"},
      {"5 90 3C 80\n", "line 1: a data byte must be hexadecimal 00..7F"},
      {"kbd 5 B0 07 64\n", "line 1: the computer keyboard plays notes only (8n or 9n)"},
      {"stop\n", "line 1: \"stop\" wants the milliseconds"},
      {"99999999999 90 3C 64\n", "line 1: times run from 0 to 3600000 ms (an hour)"},
      {"3600001 90 3C 64\n", "line 1: times run from 0 to 3600000 ms (an hour)"},
      {"5 F0 41 10 F7\n", "line 1: system exclusive messages cannot be played in"},
  };
  for (const Bad& b : bad) {
    EXPECT_FALSE(ParseTakeFile(b.text, take, why)) << b.text;
    EXPECT_EQ(why, b.error);
  }
  ASSERT_TRUE(ParseTakeFile("100 90 3C 64  # a comment\nstop 900 # released\n", take, why)) << why;
  EXPECT_EQ(take.Messages.size(), 1u);
  EXPECT_EQ(take.ReleaseMs(), 900u);
  ASSERT_TRUE(ParseTakeFile("100 90 3C 64", take, why));  // no final line break
  EXPECT_EQ(take.ReleaseMs(), 600u);
}

class RecordCli : public test::BatchFileTest {
 protected:
  RecordCli() : BatchFileTest("melko_record_cli_") {}
  void SetUp() override {
    Song song;
    FreshSong(song);
    test::SetTrack(song, 1, {Note(0, 40), Note(1920, 41), Note(3840, 42)});
    song.Ch[3] = 4;
    ASSERT_TRUE(SaveSongFile(song, Path("in.mid"), false));
  }
  void Take(const std::string& text) { std::ofstream(Path("take.txt")) << text; }
  int Run(std::vector<std::string> commands) {
    return RunEditWith([](auto& a, auto& o, auto& e) { return RunEdit(a, o, e); }, std::move(commands));
  }
};

TEST_F(RecordCli, SettingsOptionsAndTheTakeWorkTogether) {
  // Measure 1 (ticks 1920..3840), punched in at 2400..2880, velocities set to 100.
  Take(Line(MsOfTick(480 + 480), "90 30 10") + Line(MsOfTick(480 + 600), "80 30 00") +
       Line(MsOfTick(480 + 1200), "90 32 7F") + "stop " + std::to_string(MsOfTick(480 + 1800)) + "\n");
  ASSERT_EQ(Run({"ini=Filter.VeloType=3", "ini=Filter.VeloSet=100", "arm=1", "from=1/3/0", "countin=1",
                 "range=1-1:1/2/0-1/3/0", "recopt=punch", "record=" + Path("take.txt")}),
            0)
      << err_.str() << out_.str();
  EXPECT_NE(out_.str().find("recorded into track(s) 1 from"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("Undo リアルタイム録音"), std::string::npos) << out_.str();
  Song s = Load();
  std::vector<Ev> got = Events(s.Tracks[1]);
  // The note at 2400 replaced the span 2400..2880; the one at 3120 lies
  // outside the punch and is not taken; the old notes at 0, 1920 and 3840 stay.
  std::vector<uint32_t> ticks;
  for (const Ev& e : got)
    if (e.Status == 0x90) ticks.push_back(e.Tick);
  EXPECT_EQ(ticks, (std::vector<uint32_t>{0, 1920, 2400, 3840}));
  for (const Ev& e : got)
    if (e.Tick == 2400) {
      EXPECT_EQ(e.D1, 0x30);
      EXPECT_EQ(e.D2, 100);
    }
}

TEST_F(RecordCli, SingleWithTrChSetsTheTracksChannelFromTheTake) {
  Take(Line(MsOfTick(100), "94 3C 64") + Line(MsOfTick(300), "84 3C 40") + "stop 1000\n");
  ASSERT_EQ(Run({"arm=3", "countin=0", "recopt=single,trch", "record=" + Path("take.txt")}), 0) << err_.str();
  Song s = Load();
  EXPECT_EQ(s.Ch[3], 4);  // channel 5 counted from 1
  EXPECT_EQ(Events(s.Tracks[3]).size() >= 1, true);
}

TEST_F(RecordCli, RefusalsAndBadTakesSayWhy) {
  Take("100 90 3C 64\n");
  EXPECT_EQ(Run({"record=" + Path("take.txt")}), 1);
  EXPECT_NE(err_.str().find(kMsgNoRecordTrack), std::string::npos);
  EXPECT_EQ(Run({"arm=1,2", "recopt=single"}), 1);
  EXPECT_NE(err_.str().find(kMsgSingleOneTrack), std::string::npos);
  Take("100 90 3C\n");
  std::filesystem::remove(Path("out.mid"));
  EXPECT_EQ(Run({"arm=1", "record=" + Path("take.txt")}), 2);
  EXPECT_NE(err_.str().find("line 1: wrong number of data bytes"), std::string::npos) << err_.str();
  EXPECT_FALSE(std::filesystem::exists(Path("out.mid")));
  EXPECT_EQ(Run({"arm=1", "record=" + Path("missing.txt")}), 1);
  // A take that ends during the count-in records nothing, and says so.
  Take("100 90 3C 64\nstop 200\n");
  EXPECT_EQ(Run({"arm=1", "countin=4", "record=" + Path("take.txt")}), 1);
  EXPECT_NE(out_.str().find("the take ended during the count-in"), std::string::npos) << out_.str();
  EXPECT_NE(err_.str().find("nothing was recorded"), std::string::npos);
  EXPECT_EQ(Run({"arm=65"}), 2);
  EXPECT_EQ(Run({"recopt=loop"}), 2);
  EXPECT_EQ(Run({"ini=Filter"}), 2);
}

}  // namespace
}  // namespace melko
