#include "base/text_encoding.h"

#include <gtest/gtest.h>

namespace melko {
namespace {

// "テスト" in CP932 and in UTF-8.
const std::string kTestCp932 = "\x83\x65\x83\x58\x83\x67";
const std::string kTestUtf8 = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";

TEST(TextEncoding, IsValidUtf8) {
  struct Row {
    const char* name;
    std::string bytes;
    bool valid;
  } rows[] = {
      {"empty", "", true},
      {"ascii", "Piano 1", true},
      {"japanese", kTestUtf8, true},
      {"four byte", "\xF0\x9F\x8E\xB9", true},
      {"cp932", kTestCp932, false},
      {"truncated", "\xE3\x83", false},
      {"overlong slash", "\xC0\xAF", false},
      {"overlong three", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"above max", "\xF4\x90\x80\x80", false},
      {"lone continuation", "\x80", false},
  };
  for (const Row& r : rows) EXPECT_EQ(IsValidUtf8(r.bytes), r.valid) << r.name;
}

TEST(TextEncoding, DisplayText) {
  EXPECT_EQ(DisplayText("Piano"), "Piano");
  EXPECT_EQ(DisplayText(kTestUtf8), kTestUtf8);
  EXPECT_EQ(DisplayText(kTestCp932), kTestUtf8);
  // Half-width katakana "ｱ" (B1) and an undefined lead byte (A0 is unused in CP932).
  EXPECT_EQ(DisplayText("\xB1"), "\xEF\xBD\xB1");
  EXPECT_EQ(DisplayText("a\xA0" "b"), "a\xEF\xBF\xBD" "b");
  // A lead byte cut off at the end.
  EXPECT_EQ(DisplayText(kTestCp932 + "\x83"), kTestUtf8 + "\xEF\xBF\xBD");
}

TEST(TextEncoding, StoreText) {
  EXPECT_EQ(StoreText("Piano"), "Piano");
  EXPECT_EQ(StoreText(kTestUtf8), kTestCp932);
  // A character with no CP932 form keeps the whole text in UTF-8.
  std::string mixed = kTestUtf8 + "\xF0\x9F\x8E\xB9";
  EXPECT_EQ(StoreText(mixed), mixed);
  // Invalid UTF-8 input is passed through untouched.
  EXPECT_EQ(StoreText("\xFF"), "\xFF");
}

TEST(TextEncoding, RoundTrips) {
  const std::string texts[] = {"Piano", kTestUtf8, "\xEF\xBD\xB1\xEF\xBD\xB2",  // ｱｲ
                               "\xC3\xA9t\xC3\xA9", kTestUtf8 + "\xF0\x9F\x8E\xB9"};
  for (const std::string& t : texts) EXPECT_EQ(DisplayText(StoreText(t)), t) << t;
}

}  // namespace
}  // namespace melko
