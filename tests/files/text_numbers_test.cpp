#include "files/text_numbers.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace {

std::string printfG(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

class TextNumbersTest : public ::testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(TextNumbersTest, WritesTheShortestSixDigitGeneralForm) {
  EXPECT_EQ(formatTextFileNumber(548.56), "548.56");
  EXPECT_EQ(formatTextFileNumber(1234.5678), "1234.57");
  EXPECT_EQ(formatTextFileNumber(0.00001), "1e-05");
  EXPECT_EQ(formatTextFileNumber(0.0001), "0.0001");
  EXPECT_EQ(formatTextFileNumber(2500000), "2.5e+06");
  EXPECT_EQ(formatTextFileNumber(123456), "123456");
  EXPECT_EQ(formatTextFileNumber(1234567), "1.23457e+06");
  EXPECT_EQ(formatTextFileNumber(999999.5), "1e+06");
  EXPECT_EQ(formatTextFileNumber(10), "10");
  EXPECT_EQ(formatTextFileNumber(0), "0");
  EXPECT_EQ(formatTextFileNumber(-0.0), "-0");
  EXPECT_EQ(formatTextFileNumber(-3.25), "-3.25");
  EXPECT_EQ(formatTextFileNumber(1e100), "1e+100");
  EXPECT_EQ(formatTextFileNumber(std::numeric_limits<double>::denorm_min()), "4.94066e-324");
  EXPECT_EQ(formatTextFileNumber(static_cast<double>(0.1f)), "0.1");
}

TEST_F(TextNumbersTest, NonFiniteValuesAreSpelledAsPrintfSpellsThem) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(formatTextFileNumber(inf), "inf");
  EXPECT_EQ(formatTextFileNumber(-inf), "-inf");
  EXPECT_EQ(formatTextFileNumber(nan), "nan");
  EXPECT_EQ(formatTextFileNumber(inf), printfG(inf));
  EXPECT_EQ(formatTextFileNumber(-inf), printfG(-inf));
  EXPECT_EQ(formatTextFileNumber(nan), printfG(nan));
  EXPECT_EQ(formatTextFileNumber(-nan), printfG(-nan));
}

TEST_F(TextNumbersTest, AgreesWithPrintfAcrossEveryMagnitude) {
  // Decimal boundaries where the notation switches and rounding carries.
  for (int exponent = -325; exponent <= 308; ++exponent) {
    for (double mantissa : {1.0, 9.999995, 9.9999949, 1.5, 5.0000005, 2.2250738585072014}) {
      for (double sign : {1.0, -1.0}) {
        const double value = sign * mantissa * std::pow(10.0, exponent);
        ASSERT_EQ(formatTextFileNumber(value), printfG(value)) << value;
      }
    }
  }
  // Arbitrary bit patterns cover denormals and every exponent.
  std::mt19937_64 random(20240611);
  for (int k = 0; k < 200000; ++k) {
    const double value = std::bit_cast<double>(random());
    if (std::isnan(value)) continue;
    ASSERT_EQ(formatTextFileNumber(value), printfG(value)) << std::bit_cast<std::uint64_t>(value);
  }
}

TEST_F(TextNumbersTest, TwoColumnLinesSeparateByThreeBlanksAndEndTheLine) {
  EXPECT_EQ(twoColumnTextLine(1000.5, 0.00001), "1000.5   1e-05\n");
  std::string table;
  appendTwoColumnTextLine(table, 1, -2);
  appendTwoColumnTextLine(table, 1234.5678, 2500000);
  EXPECT_EQ(table, "1   -2\n1234.57   2.5e+06\n");
}

std::string printfG(double value, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
  return buffer;
}

TEST_F(TextNumbersTest, AnyDigitCountAgreesWithPrintfAndSeventeenKeepsEveryBit) {
  EXPECT_EQ(formatTextFileNumber(1234.5678, 2), "1.2e+03");
  EXPECT_EQ(formatTextFileNumber(1234.5678, 0), "1e+03");           // taken as 1, as printf does
  EXPECT_EQ(formatTextFileNumber(0.1, 40), "0.10000000000000001");  // taken as 17
  std::string table;
  appendTwoColumnTextLine(table, 0.1, 2.0 / 3.0, 3);
  EXPECT_EQ(table, "0.1   0.667\n");

  std::mt19937_64 random(17);
  for (int k = 0; k < 40000; ++k) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    const int digits = 1 + k % 17;
    const std::string text = formatTextFileNumber(value, digits);
    ASSERT_EQ(text, printfG(value, digits)) << digits;
    if (digits != kMaxTextFileDigits) continue;
    double back = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(value)) << text;
  }
}

}  // namespace
