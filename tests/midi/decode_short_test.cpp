// The play decoder over stored event bodies, including cut-short streams.
#include <gtest/gtest.h>

#include <vector>

#include "midi/decode_short.h"

namespace melko {
namespace {

struct DecodeRow {
  const char* Name;
  std::vector<uint8_t> Body;
  uint32_t Want;
  size_t Advance;
};

class DecodeShortTable : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeShortTable, PacksAndAdvances) {
  const auto& row = GetParam();
  const uint8_t* p = row.Body.data();
  const uint8_t* end = p + row.Body.size();
  EXPECT_EQ(DecodeShort(p, end, 480), row.Want);
  EXPECT_EQ(size_t(p - row.Body.data()), row.Advance);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeShortTable,
    ::testing::Values(
        DecodeRow{"StoredNote", {60, 100, 64, 0x83, 0x60}, 0x643C90, 2},
        DecodeRow{"ControlChange", {0xB0, 7, 100, 0}, 0x6407B0, 3},
        DecodeRow{"PitchBend", {0xE0, 0, 0x40}, 0x4000E0, 3},
        DecodeRow{"Program", {0xC0, 5, 60}, 0x05C0, 2},
        DecodeRow{"Pressure", {0xD0, 9}, 0x09D0, 2},
        DecodeRow{"Exclusive", {0xF0, 3, 1, 2, 0xF7}, 0xF0, 1},
        DecodeRow{"Continuation", {0xF7, 2, 1, 2}, 0xF7, 1},
        DecodeRow{"Tempo", {0xFF, 0x51, 3, 0x07, 0xA1, 0x20}, 0x07A120F1, 6},
        DecodeRow{"Meter6_8", {0xFF, 0x58, 4, 6, 3, 24, 8}, (240u << 8) | 0xF2, 7},
        DecodeRow{"MeterTooFine", {0xFF, 0x58, 4, 4, 30, 24, 8}, 0, 7},
        DecodeRow{"Marker", {0xFF, 0x06, 2, 'A', 'B', 60}, 0, 5},
        DecodeRow{"MetaCutShort", {0xFF, 0x51, 3, 0x07}, 0, 4},
        DecodeRow{"NoteCutShort", {60}, 0x3C90, 1},
        DecodeRow{"Empty", {}, 0, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(SkipExclusive, SkipsLengthAndDataButNeverPastTheEnd) {
  std::vector<uint8_t> body = {0x81, 0x00, 1, 2, 3};  // claims 128 bytes, has 3
  const uint8_t* p = body.data();
  uint32_t len = 0;
  const uint8_t* data = SkipExclusive(p, body.data() + body.size(), len);
  EXPECT_EQ(data, body.data() + 2);
  EXPECT_EQ(len, 3u);
  EXPECT_EQ(p, body.data() + body.size());
}

}  // namespace
}  // namespace melko
