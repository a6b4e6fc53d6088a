// The number and date texts, in the C locale the tests pin.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "framework/kivNumberText.h"

TEST(NumberText, GeneralAndFixedTexts) {
  const struct {
    long double Value;
    const char* General;
    const char* OneDecimal;
  } Cases[] = {
      {72, "72", "72.0"},
      {3.5L, "3.5", "3.5"},
      // Halves away from zero, from the value as extended precision reads it.
      {0.15L, "0.15", "0.2"},
      {-0.25L, "-0.25", "-0.3"},
      {-0.04L, "-0.04", "-0.0"},
      {9.96L, "9.96", "10.0"},
      {1e20L, "1E20", "100000000000000000000.0"},
      {1.5e-7L, "1.5E-7", "0.0"},
      {1.0L / 3, "0.333333333333333", "0.3"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(FloatToText(C.Value), C.General) << C.General;
    EXPECT_EQ(FixedToText(C.Value, 1), C.OneDecimal) << C.General;
  }
  EXPECT_EQ(FixedToText(45.0L / 8, 2), "5.63");
  EXPECT_EQ(FixedToText(2.5L, 0), "3");
  EXPECT_EQ(FixedToText(0.0005L, 3), "0.001");
  // Without the zeros that end the decimals; the carry reaches the integer part.
  EXPECT_EQ(ShortFixedToText(72, 3), "72");
  EXPECT_EQ(ShortFixedToText(100, 0), "100");
  EXPECT_EQ(ShortFixedToText(12.25L, 3), "12.25");
  EXPECT_EQ(ShortFixedToText(72.99999L, 3), "73");
  EXPECT_EQ(ShortFixedToText(-0.0001L, 3), "0");
}

// The digits are worked out in integers, not by the C library: they must still be its digits,
// halves and carries included, across the range of rationals and of extended precision.
TEST(NumberText, GeneralTextAsTheCLibraryWritesIt) {
  std::mt19937_64 Random(11);
  for (int I = 0; I < 20000; ++I) {
    const long double V =
        I % 2 ? static_cast<long double>(uint32_t(Random())) / (1 + uint32_t(Random()))
              : std::ldexp(static_cast<long double>(Random() | 1), int(Random() % 200) - 130);
    char C[64];
    std::snprintf(C, sizeof C, "%.15LG", I % 3 ? V : -V);
    // The reports write the exponent without "+" and leading zeros.
    std::string Expected = C;
    const size_t E = Expected.find('E');
    if (E != std::string::npos) {
      const std::string Sign = Expected[E + 1] == '-' ? "-" : "";
      Expected =
          Expected.substr(0, E + 1) + Sign + std::to_string(std::stoi(Expected.substr(E + 2)));
    }
    ASSERT_EQ(FloatToText(I % 3 ? V : -V), Expected);
  }
  EXPECT_EQ(FixedToText(2.0L / 3, 18), "0.666666666666666667");
  EXPECT_EQ(FixedToText(999999999999999999.0L, 0), "999999999999999999");
}

TEST(NumberText, RationalsAndIntegers) {
  EXPECT_EQ(RationalText(uint32_t(4294967295u), 1u), "4294967295/1");
  EXPECT_EQ(RationalText(int32_t(-1), 3), "-1/3");

  int64_t V = 0;
  EXPECT_TRUE(TextToInt64("-9223372036854775808", V));
  EXPECT_EQ(V, INT64_MIN);
  EXPECT_TRUE(TextToInt64("+9223372036854775807", V));
  EXPECT_EQ(V, INT64_MAX);
  for (const char* Bad : {"", "-", "9223372036854775808", "1 ", "0x10", "1/2"})
    EXPECT_FALSE(TextToInt64(Bad, V)) << Bad;

  EXPECT_EQ(RationalToFloat("35/10"), 3.5L);
  EXPECT_EQ(RationalToFloat("-1/4"), -0.25L);
  for (const char* Bad : {"1/0", "0/0", "12", "a/2", "1/2/3"})
    EXPECT_FALSE(RationalToFloat(Bad)) << Bad;

  EXPECT_EQ(RoundHalfEven(0.5L), 0);
  EXPECT_EQ(RoundHalfEven(1.5L), 2);
  EXPECT_EQ(RoundHalfEven(-2.5L), -2);
  EXPECT_FALSE(RoundHalfEven(1e19L));
  EXPECT_FALSE(RoundHalfEven(1.0L / 0.0L));
}

TEST(NumberText, DatesThatExist) {
  EXPECT_EQ(DateTimeText(2003, 5, 17, 12, 34, 56), "05/17/03 12:34:56");
  EXPECT_EQ(DateTimeText(2003, 5, 17, 0, 0, 0), "05/17/03"); // midnight: the date alone
  EXPECT_EQ(DateTimeText(2004, 2, 29, 0, 0, 1), "02/29/04 00:00:01");
  EXPECT_EQ(DateTimeText(2000, 2, 29, 0, 0, 0), "02/29/00");
  for (const auto& D : {std::array{2003, 2, 29, 0, 0, 0}, std::array{1900, 2, 29, 0, 0, 0},
                        std::array{0, 1, 1, 0, 0, 0}, std::array{2003, 13, 1, 0, 0, 0},
                        std::array{2003, 4, 31, 0, 0, 0}, std::array{2003, 1, 1, 24, 0, 0},
                        std::array{2003, 1, 1, 0, 60, 0}, std::array{2003, 1, 1, 0, 0, 60}})
    EXPECT_FALSE(DateTimeText(D[0], D[1], D[2], D[3], D[4], D[5])) << D[0] << "-" << D[1];
}
