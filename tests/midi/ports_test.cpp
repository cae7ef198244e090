// The port table: opening, resolving ports to devices, errors, resets,
// master volume, audition, input selection and the remembered settings.
#include <gtest/gtest.h>

#include "base/ini_file.h"
#include "engine_rig.h"
#include "midi/midi_settings.h"

namespace melko::test {
namespace {

TEST(Ports, TwoPortsOnOneDeviceOpenItOnceAndCloseItWhenUnused) {
  EngineRig rig;  // ports A=1, B=2
  rig.ports.PortMap = {1, 1, 2, 0};
  rig.ports.OpenOutPorts();
  EXPECT_EQ(rig.backend.OpenCount(1), 1);
  EXPECT_EQ(rig.backend.OpenNow(1), 1);
  rig.ports.PortMap = {2, 0, 0, 0};
  rig.ports.OpenOutPorts();
  EXPECT_EQ(rig.backend.OpenNow(1), 0);
  EXPECT_EQ(rig.ports.OutOpen[1], 0);
  EXPECT_EQ(rig.backend.OpenNow(2), 1);
  EXPECT_EQ(rig.ports.PortNames[0], "External");
  EXPECT_EQ(rig.ports.PortNames[1], kNotInUse);
}

TEST(Ports, APortWithoutDeviceIsSilentAndQuiet) {
  EngineRig rig;
  EXPECT_EQ(rig.ports.PortHandle(2), nullptr);
  EXPECT_NE(MidiPorts::SendShort(rig.ports.PortHandle(2), ShortMsg(0x90, 60, 100)), kMidiOk);
  EXPECT_TRUE(rig.errors.empty());
}

TEST(Ports, AFailedOpenIsReportedWithTheDeviceNameAndLeavesItClosed) {
  EngineRig rig;
  rig.ports.PortMap = {1, 0, 0, 0};
  rig.ports.OpenOutPorts();
  rig.backend.SetOpenResult(2, kMidiAllocated);
  rig.ports.PortMap = {1, 2, 0, 0};
  rig.ports.OpenOutPorts();
  ASSERT_EQ(rig.errors.size(), 1u);
  const std::string& e = rig.errors[0];
  EXPECT_EQ(e.substr(e.size() - std::string("\r\n\r\n<MIDI OUT> External").size()), "\r\n\r\n<MIDI OUT> External");
  EXPECT_EQ(rig.ports.OutOpen[2], 0);
  EXPECT_EQ(rig.ports.PortHandle(1), nullptr);
}

TEST(Ports, NoOutputDeviceGivesTheWarning) {
  VirtualClock clock;
  RecordingBackend backend(clock, {});
  std::vector<std::string> errors;
  MidiPorts ports(backend, clock, nullptr, [&](const std::string& t) { errors.push_back(t); });
  ports.InitPorts();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "MIDI OUTﾃﾞﾊﾞｲｽがｲﾝｽﾄｰﾙされていません！\r\nこのまま作業を続けた場合、一部の機能は使えません。");
}

TEST(Ports, OpeningSendsTheChannelResetAfterAPause) {
  VirtualClock clock;
  RecordingBackend backend(clock, {"Synth"});
  MidiPorts ports(backend, clock, nullptr, nullptr);
  ports.InitPorts([](MidiPorts& p) { p.PortMap = {1, 0, 0, 0}; });
  auto log = backend.Snapshot();
  ASSERT_EQ(log.size(), 64u);
  EXPECT_EQ(log[0].TimeMs, 16u);
  for (int c = 0; c < 16; ++c) {
    EXPECT_EQ(log[c * 4 + 0].Bytes, (Bytes{uint8_t(0xB0 + c), 0x7B, 0}));
    EXPECT_EQ(log[c * 4 + 1].Bytes, (Bytes{uint8_t(0xE0 + c), 0, 0x40}));
    EXPECT_EQ(log[c * 4 + 2].Bytes, (Bytes{uint8_t(0xB0 + c), 0x40, 0}));
    EXPECT_EQ(log[c * 4 + 3].Bytes, (Bytes{uint8_t(0xB0 + c), 0x01, 0}));
  }
}

struct ResetRow {
  const char* Name;
  int Kind;
  Bytes Message;
};

class PortsModuleReset : public ::testing::TestWithParam<ResetRow> {};

TEST_P(PortsModuleReset, GoesToTheGivenPortAfterTheVolumeBar) {
  EngineRig rig;
  int bar = -1;
  rig.ports.SetMasterVolumeBar = [&](int v) { bar = v; };
  rig.backend.Clear();
  rig.ports.ModuleReset(GetParam().Kind, 1);
  EXPECT_EQ(bar, 127);
  auto sent = rig.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Device, 2);
  EXPECT_EQ(sent[0].Bytes, GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(Rows, PortsModuleReset,
                         ::testing::Values(ResetRow{"GM", 1, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
                                           ResetRow{"GS", 2, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}},
                                           ResetRow{"XG", 3, {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}},
                                           ResetRow{"OtherIsXG", 7, {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(Ports, MasterVolumeUsesTheDeviceVolumeWhenItHasOne) {
  EngineRig rig;
  rig.backend.SetVolumeSupported(1, true);
  rig.backend.Clear();
  rig.ports.SetMasterVolume(100, 0);
  rig.ports.SetMasterVolume(100, 1);
  auto log = rig.backend.Snapshot();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].IsVolume);
  EXPECT_EQ(log[0].Volume, (100u * 512) | (100u * 512) << 16);
  EXPECT_EQ(log[1].Device, 2);  // refuses the volume call: the universal message instead
  EXPECT_EQ(log[1].Bytes, (Bytes{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 100, 0xF7}));
}

TEST(Ports, AuditionNoteEndsItselfOnTheOneShotTimer) {
  EngineRig rig;
  rig.backend.Clear();
  // Auto-off is a switch: any positive value gives the 400 ms note.
  rig.ports.AuditionNote(rig.song, 1, ShortMsg(0x90, 60, 100), 1);
  ASSERT_EQ(rig.oneShots.size(), 1u);
  EXPECT_EQ(rig.oneShots[0]->Period(), 400u);
  EXPECT_EQ(BytesOf(rig.Sent()), (std::vector<Bytes>{{0x90, 60, 100}}));
  EXPECT_FALSE(rig.oneShots[0]->Fire());  // one shot
  EXPECT_EQ(BytesOf(rig.Sent()), (std::vector<Bytes>{{0x90, 60, 100}, {0x90, 60, 0}}));
}

TEST(Ports, ANewAuditionEndsThePendingOneFirst) {
  EngineRig rig;
  rig.backend.Clear();
  rig.ports.AuditionNote(rig.song, 1, ShortMsg(0x90, 60, 100), 400);
  rig.ports.AuditionNote(rig.song, 1, ShortMsg(0x90, 62, 100), 400);
  EXPECT_EQ(BytesOf(rig.Sent()), (std::vector<Bytes>{{0x90, 60, 100}, {0x90, 60, 0}, {0x90, 62, 100}}));
}

TEST(Ports, AuditionDropsBankSelectWithoutBankChange) {
  EngineRig rig;
  rig.ports.SendOptions = kSendSystemExclusive;
  rig.backend.Clear();
  rig.ports.AuditionNote(rig.song, 1, ShortMsg(0xB0, 0, 1), 0);
  rig.ports.AuditionNote(rig.song, 1, ShortMsg(0xB0, 32, 1), 0);
  rig.ports.AuditionNote(rig.song, 1, ShortMsg(0xB0, 7, 1), 0);
  EXPECT_EQ(BytesOf(rig.Sent()), (std::vector<Bytes>{{0xB0, 7, 1}}));
}

TEST(Ports, MidiRelaySendsToItsPortOnly) {
  EngineRig rig;
  TmMidiRelay relay(rig.ports);
  relay.Channel = 3;
  relay.Port = 1;
  rig.backend.Clear();
  relay.NoteOn(64);
  relay.NoteOff(64);
  relay.Port = 3;  // not in use
  relay.NoteOn(64);
  auto sent = rig.Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].Device, 2);
  EXPECT_EQ(sent[0].Bytes, (Bytes{0x93, 64, 100}));
  EXPECT_EQ(sent[1].Bytes, (Bytes{0x93, 64, 0}));
}

TEST(Ports, SelectInPortLeavesOnlyTheSelectedDeviceOpen) {
  VirtualClock clock;
  RecordingBackend backend(clock, {"Synth"}, {"Keys", "Pads"});
  MidiPorts ports(backend, clock, nullptr, nullptr);
  ports.InitPorts([](MidiPorts& p) { p.InPort = 1; });
  std::vector<uint32_t> got;
  ports.InputCallback = [&](uint32_t m, uint32_t) { got.push_back(m); };
  EXPECT_EQ(ports.InOpen[1], 1);
  ports.SelectInPort(1);  // the same: nothing happens
  EXPECT_EQ(ports.InOpen[1], 1);
  ports.SelectInPort(2);
  EXPECT_EQ(ports.InOpen[1], 0);
  EXPECT_EQ(ports.InOpen[2], 1);
  backend.InputCallback(2)(0x7F3C90, 5);
  EXPECT_EQ(got, (std::vector<uint32_t>{0x7F3C90}));
}

struct SettingsRow {
  const char* Name;
  const char* Ini;
  std::array<uint8_t, 4> Ports;
};

class PortSettings : public ::testing::TestWithParam<SettingsRow> {};

TEST_P(PortSettings, ResolveDevicesByIndexAndName) {
  VirtualClock clock;
  RecordingBackend backend(clock, {"MELKO Synth", "USB:Port 1", "Midi Through:Port-0"});
  MidiPorts ports(backend, clock, nullptr, nullptr);
  IniFile ini;
  ini.LoadFromBytes(GetParam().Ini);
  ports.InitPorts([&](MidiPorts& p) { ApplyPortSettings(ini, p); });
  EXPECT_EQ(ports.PortMap, GetParam().Ports);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PortSettings,
    ::testing::Values(
        SettingsRow{"NoSettingsFile", "", {1, 0, 0, 0}},
        SettingsRow{"PlainIndices", "[Port]\r\nPort0=2\r\nPort1=3\r\n", {2, 3, 0, 0}},
        SettingsRow{"HexIndex", "[port]\r\nport0=$3\r\n", {3, 0, 0, 0}},
        SettingsRow{"IndexAboveCount", "[Port]\r\nPort0=9\r\nPort2=1\r\n", {0, 0, 1, 0}},
        SettingsRow{"MovedDeviceFoundByName", "[Port]\r\nPort0=2\r\nPort0Name=Midi Through:Port-0\r\n", {3, 0, 0, 0}},
        SettingsRow{"GoneDeviceUnused", "[Port]\r\nPort0=1\r\nPort1=2\r\nPort1Name=Gone:Port\r\n", {1, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PortSettings, WrittenSettingsReadBack) {
  EngineRig rig;
  rig.ports.PortMap = {2, 1, 0, 2};
  rig.ports.ClickPort = 3;
  rig.ports.SendOptions = kSendBankChange;
  IniFile ini;
  WritePortSettings(ini, rig.ports);
  EngineOptions o;
  o.ClickNote = 37;
  o.SongPosWait = 100;
  WriteEngineOptions(ini, o);
  EngineRig other;
  ApplyPortSettings(ini, other.ports);
  EXPECT_EQ(other.ports.PortMap, rig.ports.PortMap);
  EXPECT_EQ(other.ports.ClickPort, 3);
  EXPECT_EQ(other.ports.SendOptions, kSendBankChange);
  EngineOptions back = ReadEngineOptions(ini);
  EXPECT_EQ(back.ClickNote, 37);
  EXPECT_EQ(back.SongPosWait, 100);
  EXPECT_EQ(back.TimingClockCount, 4);
}

}  // namespace
}  // namespace melko::test
