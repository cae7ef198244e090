// The input callback: filter, velocity rule, thru and its silencing, the
// take's source, the record buffer, and what reaches the windows.
#include "midi/midi_input.h"

#include <gtest/gtest.h>

#include "midi/engine_rig.h"
#include "midi/input_settings.h"
#include "midi/record_buffer.h"

namespace melko::test {
namespace {

struct InputRig : EngineRig {
  RecordBuffer buffer;
  MidiInput input{song, ports, engine, buffer, notify};
  InputRig() {
    song.OutPort[1] = 0;  // port A: device 1
    song.Ch[1] = 0;
    song.OutPort[2] = 1;  // port B: device 2
    song.Ch[2] = 9;
    backend.Clear();
  }
  void Settings(InputFilterSettings f, int thruMode) {
    ThruSettings t;
    t.ThruMode = thruMode;
    input.ApplySettings(f, t);
    backend.Clear();
  }
  void Recording(bool on) {
    if (on) buffer.Reset();
    engine.SetFlag(kFlagRecording, on);
  }
  std::vector<uint32_t> Stored() const {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < buffer.Count(); ++i) out.push_back(buffer.Entries()[i].Message);
    return out;
  }
};

TEST(MidiInput, NoteOffInTheFilterDropsNotesFromThruAndRecording) {
  InputRig r;
  InputFilterSettings f;
  f.Receive = kReceiveAll & ~kReceiveNote;
  r.Settings(f, 2);
  r.Recording(true);
  r.input.InputCallback(ShortMsg(0x90, 60, 100), 0);
  r.input.InputCallback(ShortMsg(0x80, 60, 64), 0);
  r.input.InputCallback(ShortMsg(0xB0, 7, 100), 0);
  EXPECT_EQ(BytesOf(r.Sent()), (std::vector<Bytes>{{0xB0, 7, 100}}));
  EXPECT_EQ(r.Stored(), (std::vector<uint32_t>{ShortMsg(0xB0, 7, 100)}));
}

TEST(MidiInput, VelocityRules) {
  struct Row {
    const char* name;
    int type, value;
    uint8_t in, out;
  } rows[] = {
      {"set to 100", kVeloSet, 100, 1, 100},     {"set to 100, loud", kVeloSet, 100, 127, 100},
      {"change to 50, minimum", kVeloChange, 50, 1, 1}, {"change to 50", kVeloChange, 50, 127, 63},
      {"add 10", kVeloAdd, 10, 120, 127},        {"add -126", kVeloAdd, -126, 100, 1},
      {"by MIDI", kVeloByMidi, 0, 77, 77},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    InputRig r;
    InputFilterSettings f;
    f.VeloType = row.type;
    f.VeloSet = f.VeloChange = f.VeloAdd = row.value;
    r.Settings(f, 2);
    r.input.InputCallback(ShortMsg(0x91, 60, row.in), 0);
    r.input.InputCallback(ShortMsg(0x91, 60, 0), 0);  // a note-on of velocity 0 stays a note-off
    EXPECT_EQ(BytesOf(r.Sent()), (std::vector<Bytes>{{0x91, 60, row.out}, {0x91, 60, 0}}));
  }
}

TEST(MidiInput, DynamicThruEchoesOnTheTargetsChannelAndSilencesTheOldTarget) {
  InputRig r;
  r.Settings({}, kThruDynamic);
  r.input.SetThruTrack(2);  // port B, channel 10
  r.input.InputCallback(ShortMsg(0x92, 64, 90), 0);
  EXPECT_EQ(BytesOf(r.Sent(2)), (std::vector<Bytes>{{0x99, 64, 90}}));
  // A key held while the target changes is silenced where it sounded.
  r.input.InputCallback(ShortMsg(0x92, 60, 80), 0);
  r.backend.Clear();
  r.input.SetThruTrack(1);
  EXPECT_EQ(BytesOf(r.Sent()), (std::vector<Bytes>{{0x99, 64, 0}, {0x99, 60, 0}}));
  EXPECT_EQ(r.input.ThruNoteCount(), 0u);
  // Its note-off goes to the new target and finds nothing to forget.
  r.backend.Clear();
  r.input.InputCallback(ShortMsg(0x82, 60, 0), 0);
  EXPECT_EQ(BytesOf(r.Sent()), (std::vector<Bytes>{{0x80, 60, 0}}));
  EXPECT_EQ(r.Sent()[0].Device, 1);
  EXPECT_EQ(r.input.ThruNoteCount(), 0u);
}

TEST(MidiInput, PortThruKeepsTheChannelAndForgetsReleasedNotes) {
  InputRig r;
  r.Settings({}, 3);  // port B
  r.input.InputCallback(ShortMsg(0x93, 60, 80), 0);
  r.input.InputCallback(ShortMsg(0x93, 62, 80), 0);
  r.input.InputCallback(ShortMsg(0x83, 60, 0), 0);
  EXPECT_EQ(r.input.ThruNoteCount(), 1u);
  r.backend.Clear();
  r.input.ThruNotesOff();
  EXPECT_EQ(BytesOf(r.Sent(2)), (std::vector<Bytes>{{0x93, 62, 0}}));
}

TEST(MidiInput, ThruNotesEndOnTheDeviceTheySoundedOn) {
  InputRig r;
  r.Settings({}, 2);  // port A: device 1
  r.input.InputCallback(ShortMsg(0x90, 60, 100), 0);
  r.ports.PortMap[0] = 2;  // port A now plays on device 2
  r.backend.Clear();
  r.input.ThruNotesOff();
  auto sent = r.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Device, 1);
  EXPECT_EQ(sent[0].Bytes, (Bytes{0x90, 60, 0}));
}

TEST(MidiInput, ActiveSensingIsNeverEchoedNorPosted) {
  InputRig r;
  r.Settings({}, 2);
  r.Drain();
  r.input.InputCallback(0xFE, 0);
  EXPECT_TRUE(r.Sent().empty());
  EXPECT_TRUE(r.Drain().empty());
  EXPECT_EQ(r.input.Received.load(), 0u);
}

TEST(MidiInput, WhileNotRecordingChannelMessagesArePostedAndNotesGoToTheNoteWindow) {
  InputRig r;
  r.Drain();
  r.input.InputCallback(ShortMsg(0x90, 60, 100), 5);
  r.input.SetNoteInputWindow(true);
  r.input.InputCallback(ShortMsg(0x90, 61, 100), 6);
  r.input.InputCallback(ShortMsg(0xC0, 3), 7);
  r.input.InputCallback(0xF8, 8);  // clock: neither
  std::vector<std::pair<uint32_t, uint32_t>> posted;
  for (const Notification& n : r.Drain()) posted.push_back({n.Message, n.LParam});
  EXPECT_EQ(posted, (std::vector<std::pair<uint32_t, uint32_t>>{{MimData, ShortMsg(0x90, 60, 100)},
                                                               {MimData, ShortMsg(0x90, 61, 100)},
                                                               {MimNoteData, ShortMsg(0x90, 61, 100)},
                                                               {MimData, ShortMsg(0xC0, 3)}}));
  EXPECT_TRUE(r.Stored().empty());
}

TEST(MidiInput, ATakeBelongsToTheSourceThatStartedIt) {
  {
    InputRig r;
    r.Recording(true);
    r.input.InputCallback(ShortMsg(0x90, 60, 100), 0);
    EXPECT_FALSE(r.input.StoreFromKeyboard(ShortMsg(0x90, 62, 100)));
    EXPECT_EQ(r.Stored(), (std::vector<uint32_t>{ShortMsg(0x90, 60, 100)}));
  }
  {
    InputRig r;
    r.Recording(true);
    EXPECT_TRUE(r.input.StoreFromKeyboard(ShortMsg(0x90, 62, 100)));
    r.input.InputCallback(ShortMsg(0x90, 60, 100), 0);
    r.input.InputCallback(ShortMsg(0x80, 60, 0), 0);
    EXPECT_EQ(r.Stored(), (std::vector<uint32_t>{ShortMsg(0x90, 62, 100)}));
  }
  {
    InputRig r;  // the keyboard records only while recording
    EXPECT_FALSE(r.input.StoreFromKeyboard(ShortMsg(0x90, 62, 100)));
  }
}

TEST(MidiInput, RecordingStoresChannelMessagesAtThePlayTick) {
  InputRig r;
  r.Recording(true);
  r.engine.PlayTick = 123;
  r.input.InputCallback(ShortMsg(0x95, 60, 100), 0);
  r.input.InputCallback(0xF8, 0);
  r.engine.PlayTick = 456;
  r.input.InputCallback(ShortMsg(0xE5, 0, 64), 0);
  ASSERT_EQ(r.buffer.Count(), 2u);
  EXPECT_EQ(r.buffer.Entries()[0].Tick, 123);
  EXPECT_EQ(r.buffer.Entries()[1].Tick, 456);
  EXPECT_EQ(r.buffer.Entries()[1].Message, ShortMsg(0xE5, 0, 64));
}

TEST(MidiInput, AFullBufferDropsWithALogNoticeThatIsKept) {
  InputRig r;
  r.Recording(true);
  r.buffer.LimitCommitForTest(4096);  // one page: 512 entries
  r.Drain();
  for (int i = 0; i < 600; ++i) r.input.InputCallback(ShortMsg(0x90, 60, i % 2 ? 0 : 100), 0);
  EXPECT_EQ(r.buffer.Count(), 512u);
  EXPECT_EQ(r.input.Dropped.load(), 88u);
  auto notes = r.Drain();
  ASSERT_EQ(notes.size(), 88u);
  EXPECT_EQ(notes[0].Message, RecordDropped);
  EXPECT_EQ(notes[0].LParam, kRecordBufferFullError);
  EXPECT_TRUE(notes[0].Keep);
}

TEST(MidiInput, ThruDisplayTexts) {
  InputRig r;
  r.song.TrackNames[2] = "Bass";
  r.ports.UpdatePortNames();
  EXPECT_EQ(r.input.ThruCaption(), "Off");
  EXPECT_EQ(r.input.ThruHint(), "THRU Off");
  r.Settings({}, kThruDynamic);
  r.input.SetThruTrack(2);
  EXPECT_EQ(r.input.ThruCaption(), "B 10");
  EXPECT_EQ(r.input.ThruHint(), "THRU to Track 2: Bass - External");
  r.Settings({}, 2);
  EXPECT_EQ(r.input.ThruCaption(), "A");
  EXPECT_EQ(r.input.ThruHint(), "THRU to Synth");
  // FollowTrack moves the target only with DynamicTHRU.
  EXPECT_FALSE(r.input.FollowTrack(1));
  r.Settings({}, kThruDynamic);
  EXPECT_TRUE(r.input.FollowTrack(1));
  EXPECT_EQ(r.input.ThruTrack(), 1);
}

TEST(RecordBuffer, CommitsPagesAsItFillsAndGivesThemBack) {
  RecordBuffer b;
  ASSERT_TRUE(b.Reserved());
  b.Reset();
  uint32_t error = 0;
  EXPECT_EQ(b.Committed(), 0u);
  ASSERT_TRUE(b.Store(7, 0x403C90, error));
  EXPECT_GT(b.Committed(), 0u);
  for (size_t i = 1; i < kRecordBufferEntries; ++i) ASSERT_TRUE(b.Store(int32_t(i), 0x90, error)) << i;
  EXPECT_EQ(b.Committed(), kRecordBufferBytes);
  EXPECT_FALSE(b.Store(0, 0x90, error));
  EXPECT_EQ(error, kRecordBufferFullError);
  EXPECT_EQ(b.Count(), kRecordBufferEntries);
  EXPECT_EQ(b.Entries()[0].Tick, 7);
  EXPECT_EQ(b.Entries()[kRecordBufferEntries - 1].Tick, int32_t(kRecordBufferEntries - 1));
  b.Decommit();
  EXPECT_EQ(b.Count(), 0u);
  EXPECT_EQ(b.Committed(), 0u);
  ASSERT_TRUE(b.Store(1, 0x90, error));  // a new take commits again
  EXPECT_EQ(b.Entries()[0].Tick, 1);
}

TEST(InputSettings, ReadClampsAndTheTablesFollow) {
  IniFile ini;
  ini.WriteInteger("Filter", "Receive", 255);
  ini.WriteInteger("Filter", "VeloType", 9);
  ini.WriteInteger("Filter", "VeloAdd", -500);
  ini.WriteInteger("Filter", "VeloChange", 5000);
  ini.WriteInteger("Filter", "VeloSet", 0);
  ini.WriteInteger("Port", "Thru", 6);
  InputFilterSettings f = ReadInputFilterSettings(ini);
  EXPECT_EQ(f.Receive, kReceiveAll);
  EXPECT_EQ(f.VeloType, kVeloByMidi);
  EXPECT_EQ(f.VeloAdd, kMinVeloAdd);
  EXPECT_EQ(f.VeloChange, kMaxVeloChange);
  EXPECT_EQ(f.VeloSet, kMinVeloSet);
  EXPECT_EQ(ReadThruSettings(ini).ThruMode, kThruOff);

  FilterMaskTable mask = BuildFilterMask(kReceiveAll & ~kReceiveNote & ~kReceivePitchBend);
  EXPECT_EQ(mask[8], 0x00);  // note-off follows note-on
  EXPECT_EQ(mask[9], 0x00);
  EXPECT_EQ(mask[0xB], 0xFF);
  EXPECT_EQ(mask[0xE], 0x00);

  EXPECT_EQ(ReadVelocityBox("abc", 1, 127), 100);
  EXPECT_EQ(ReadVelocityBox(" 200 ", 1, 127), 127);
  EXPECT_EQ(ReadVelocityBox("-3", kMinVeloAdd, kMaxVeloAdd), -3);
}

}  // namespace
}  // namespace melko::test
