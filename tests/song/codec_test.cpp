// The compact event codec and the byte primitives.
#include <gtest/gtest.h>

#include "smf_builder.h"
#include "song/midi_event.h"

namespace melko {
namespace {

using test::Bytes;

struct VarLenCase {
  const char* Name;
  uint32_t Value;
  Bytes Encoded;
};

class VarLenTest : public ::testing::TestWithParam<VarLenCase> {};

TEST_P(VarLenTest, WritesAndReadsBack) {
  const VarLenCase& c = GetParam();
  TMidiData out;
  WriteVarLen(out, c.Value);
  Bytes got(out.Top(), out.Top() + out.Length());
  EXPECT_EQ(got, c.Encoded);
  const uint8_t* p = out.Top();
  EXPECT_EQ(ReadVarLen(p, out.End()), c.Value & 0x0FFFFFFF);
  EXPECT_EQ(p, out.End());
}

INSTANTIATE_TEST_SUITE_P(
    Values, VarLenTest,
    ::testing::Values(VarLenCase{"Zero", 0, {0x00}}, VarLenCase{"OneByteMax", 0x7F, {0x7F}},
                      VarLenCase{"TwoBytes", 0x80, {0x81, 0x00}},
                      VarLenCase{"TwoBytesMax", 0x3FFF, {0xFF, 0x7F}},
                      VarLenCase{"ThreeBytes", 0x4000, {0x81, 0x80, 0x00}},
                      VarLenCase{"FourBytesMax", 0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
                      // A delta of 2^28 or more keeps only its low 28 bits.
                      VarLenCase{"Above28Bits", 0x10000005, {0x05}}),
    [](const auto& info) { return info.param.Name; });

TEST(VarLen, ReaderAcceptsLongFormsAndStopsAtTheEnd) {
  Bytes five{0x80, 0x80, 0x80, 0x80, 0x01};
  const uint8_t* p = five.data();
  EXPECT_EQ(ReadVarLen(p, five.data() + five.size()), 1u);
  Bytes cut{0x81, 0x82};
  p = cut.data();
  ReadVarLen(p, cut.data() + cut.size());
  EXPECT_EQ(p, cut.data() + cut.size());
}

TEST(Codec, CompactNoteClampsVelocityAndGate) {
  const uint32_t tpqn = 480;
  struct Case {
    uint8_t Velocity;
    uint32_t Gate;
    uint8_t WantVelocity;
    uint32_t WantGate;
  } cases[] = {{0, 0, 1, 1}, {100, 480, 100, 480}, {127, tpqn * 1000, 127, tpqn * 1000 - 1}, {200, 5, 127, 5}};
  for (const Case& c : cases) {
    TMidiData out;
    TMidiEvent ev;
    ev.Time = 10;
    ev.Status = 0x90;
    ev.Data1 = 60;
    ev.Data2 = c.Velocity;
    ev.Data3 = 64;
    ev.Value = c.Gate;
    uint32_t last = 0;
    EncodeEvent(out, ev, last, 0, MaxGate(tpqn));
    EXPECT_EQ(last, 10u);
    const uint8_t* p = out.Top();
    TMidiEvent back;
    DecodeEvent(p, out.End(), 0, back);
    EXPECT_EQ(back.Status, 0x90);
    EXPECT_EQ(back.Time, 10u);
    EXPECT_EQ(back.Data2, c.WantVelocity);
    EXPECT_EQ(back.Value, c.WantGate);
    EXPECT_EQ(back.Data3, 64);
  }
}

TEST(Codec, FirstBodyByteBelow80IsANote) {
  Bytes stream{0x00, 0x3C, 0x64, 0x40, 0x83, 0x60};  // delta 0, note 60 vel 100 off 64 gate 480
  const uint8_t* p = stream.data();
  TMidiEvent ev;
  DecodeEvent(p, stream.data() + stream.size(), 0, ev);
  EXPECT_EQ(ev.Status, 0x90);
  EXPECT_EQ(ev.Value, 480u);
  EXPECT_EQ(p, stream.data() + stream.size());
}

TEST(Codec, LongSysExAndMetaKeepTheirFullLength) {
  // A 70000-byte SysEx must survive being rebuilt, not be cut to 65535.
  Bytes payload(70000, 0x11);
  payload.back() = 0xF7;
  TMidiData track;
  TMidiEvent ev;
  ev.Status = 0xF0;
  ev.Len = static_cast<uint32_t>(payload.size());
  ev.Data = payload.data();
  uint32_t last = 0;
  EncodeEvent(track, ev, last, 0, MaxGate(480));
  const uint8_t* p = track.Top();
  TMidiEvent back;
  DecodeEvent(p, track.End(), 0, back);
  EXPECT_EQ(back.Len, 70000u);
  TMidiData copy;
  last = 0;
  EncodeEvent(copy, back, last, 0, MaxGate(480));
  EXPECT_EQ(copy.Length(), track.Length());
}

TEST(Codec, ChangedTempoValueIsWrittenBack) {
  TMidiData a;
  TMidiEvent ev;
  ev.Status = 0xFF;
  ev.Data1 = 0x51;
  ev.Len = 3;
  ev.Value = 500000;
  uint32_t last = 0;
  EncodeEvent(a, ev, last, 0, MaxGate(480));
  const uint8_t* p = a.Top();
  TMidiEvent back;
  DecodeEvent(p, a.End(), 0, back);
  back.Value = 400000;
  TMidiData b;
  last = 0;
  EncodeEvent(b, back, last, 0, MaxGate(480));
  EXPECT_EQ(test::Bytes(b.Top(), b.Top() + b.Length()), (test::Bytes{0x00, 0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80}));
}

TEST(Codec, ShortTempoPayloadDoesNotReadIntoTheNextEvent) {
  // FF 51 with a two-byte payload followed by a program change.
  Bytes stream{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0xC0, 0x05};
  const uint8_t* p = stream.data();
  const uint8_t* end = stream.data() + stream.size();
  TMidiEvent ev;
  DecodeEvent(p, end, 0, ev);
  EXPECT_EQ(ev.Len, 2u);
  DecodeEvent(p, end, 0, ev);
  EXPECT_EQ(ev.Status, 0xC0);
  EXPECT_EQ(ev.Data1, 5);
}

}  // namespace
}  // namespace melko
