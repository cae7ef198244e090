#include "parmix/parmix.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string Get(void (*fn)(int32_t, char*), int32_t value) {
  char buffer[256] = {};
  fn(value, buffer);
  return buffer;
}

TEST(Parmix, DelayTimeText) {
  struct Row {
    int32_t value;
    const char* text;
  } rows[] = {{0, "0.0"},     {1, "0.1"},      {20, "2.0"},     {21, "2.2"},     {35, "5.0"},
              {36, "5.5"},    {45, "10.0"},    {46, "11.0"},    {55, "20.0"},    {56, "22.0"},
              {70, "50.0"},   {71, "55.0"},    {97, "340.0"},   {106, "550.0"},  {115, "1000.0"},
              {116, "1100.0"}, {125, "2000.0"}, {126, "2200.0"}, {127, "2400.0"}};
  for (const Row& r : rows) EXPECT_EQ(Get(sxGetGS_Delay_Time_Center, r.value), r.text) << r.value;
}

TEST(Parmix, DelayTimeFromText) {
  struct Row {
    const char* name;
    const char* text;
    int32_t expected;
  } rows[] = {
      {"top step", "1000", 115},     {"above top", "1000.1", 116}, {"not a number", "abc", 77},
      {"between steps", "2.15", 21}, {"exact step", "55", 71},     {"smallest", "0.1", 1},
      {"zero", "0", 1},              {"negative", "-3", 1},        {"blanks", " 340 ", 97},
      {"exponent", "3.4e2", 97},     {"empty", "", 77},            {"two points", "1.2.3", 77},
  };
  for (const Row& r : rows) EXPECT_EQ(sxSetGS_Delay_Time_Center(r.text, 77), r.expected) << r.name;
}

TEST(Parmix, DelayRatio) {
  EXPECT_EQ(Get(sxGetGS_Delay_Time_Ratio, 1), "4");
  EXPECT_EQ(Get(sxGetGS_Delay_Time_Ratio, 6), "25");
  EXPECT_EQ(Get(sxGetGS_Delay_Time_Ratio, 24), "100");
  EXPECT_EQ(Get(sxGetGS_Delay_Time_Ratio, 120), "500");
  struct Row {
    const char* text;
    int32_t current;
    int32_t expected;
  } rows[] = {{"100", 0, 24}, {"4", 0, 1},   {"3", 0, 1},     {"501", 0, 121},
              {"$64", 0, 24}, {"abc", 25, 6}, {"abc", 600, 121}, {"12.5", 100, 24}, {"0x64", 25, 6}};
  for (const Row& r : rows) EXPECT_EQ(sxSetGS_Delay_Time_Ratio(r.text, r.current), r.expected) << r.text;
}

TEST(Parmix, FineTune) {
  EXPECT_EQ(Get(sxGetNibbled_Fine_Tune, 5), "0.5");
  EXPECT_EQ(Get(sxGetNibbled_Fine_Tune, -1000), "-100.0");
  EXPECT_EQ(Get(sxGetNibbled_Fine_Tune, -5), "-0.5");
  EXPECT_EQ(sxSetNibbled_Fine_Tune("-0.55", 9), -5);
  EXPECT_EQ(sxSetNibbled_Fine_Tune("12.34", 9), 123);
  EXPECT_EQ(sxSetNibbled_Fine_Tune("+.5", 9), 5);
  EXPECT_EQ(sxSetNibbled_Fine_Tune("x", 9), 9);
  EXPECT_EQ(sxSetNibbled_Fine_Tune("1e20", 9), 2147483647);
}

// Builds a German locale (decimal comma) into a private folder; the library
// reads the separator from the environment's LC_NUMERIC.
class LocaleComma : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melko_locale_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    std::string cmd = "localedef -i de_DE -f UTF-8 " + (dir_ / "de_DE.UTF-8").string() + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 || !std::filesystem::exists(dir_ / "de_DE.UTF-8")) {
      GTEST_SKIP() << "localedef could not build de_DE.UTF-8";
    }
    ::setenv("LOCPATH", dir_.c_str(), 1);
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
  }
  void TearDown() override {
    ::unsetenv("LC_ALL");
    ::unsetenv("LOCPATH");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path dir_;
};

TEST_F(LocaleComma, FractionsUseTheLocaleSeparator) {
  EXPECT_EQ(Get(sxGetGS_Delay_Time_Center, 21), "2,2");
  EXPECT_EQ(Get(sxGetNibbled_Fine_Tune, -1000), "-100,0");
  EXPECT_EQ(sxSetGS_Delay_Time_Center("1000,1", 0), 116);
  EXPECT_EQ(sxSetNibbled_Fine_Tune("-0,55", 9), -5);
  // A point is not the separator here, so the text is not a number.
  EXPECT_EQ(sxSetNibbled_Fine_Tune("-0.55", 9), 9);
}

}  // namespace
