#include "commands/field_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "commands/command_error.h"

namespace {

std::string floatMessage(const std::string& text) {
  try {
    parseFieldDouble(text, DecimalFormat{});
  } catch (const CommandError& error) {
    return error.what();
  }
  return "accepted";
}

TEST(FieldNumbers, ParsesWhatAUserTypes) {
  const DecimalFormat dot;
  EXPECT_EQ(parseFieldDouble("151", dot), 151.0);
  EXPECT_EQ(parseFieldDouble(" 548.56 ", dot), 548.56);
  EXPECT_EQ(parseFieldDouble("-2.5e3", dot), -2500.0);
  EXPECT_EQ(parseFieldDouble("+.5", dot), 0.5);
  EXPECT_EQ(parseFieldDouble("5.", dot), 5.0);
  EXPECT_EQ(parseFieldDouble("1E-2", dot), 0.01);
}

TEST(FieldNumbers, FollowsTheDesktopDecimalSeparator) {
  const DecimalFormat comma{','};
  EXPECT_EQ(parseFieldDouble("6,62", comma), 6.62);
  // The point is always read, so that the program's own start texts are.
  EXPECT_EQ(parseFieldDouble("548.56", comma), 548.56);
  EXPECT_EQ(parseFieldSingle("6.62", comma), 6.62f);
  // Both marks in one number, or one of them twice, are a thousands separator.
  for (const char* text : {"1.234,5", "1,234.5", "1,234,5", "1.234.5"}) {
    EXPECT_THROW(parseFieldDouble(text, comma), CommandError) << text;
  }
  EXPECT_EQ(formatFieldNumber(6.62, comma), "6,62");
}

TEST(FieldNumbers, RefusesAnythingButANumberWithTheFieldText) {
  EXPECT_EQ(floatMessage("abc"), "'abc' is not a valid floating point value");
  EXPECT_EQ(floatMessage(""), "'' is not a valid floating point value");
  EXPECT_EQ(floatMessage("1.2.3"), "'1.2.3' is not a valid floating point value");
  EXPECT_EQ(floatMessage("1e"), "'1e' is not a valid floating point value");
  EXPECT_EQ(floatMessage("inf"), "'inf' is not a valid floating point value");
  EXPECT_EQ(floatMessage("nan"), "'nan' is not a valid floating point value");
  EXPECT_EQ(floatMessage("1e999"), "'1e999' is not a valid floating point value");
  EXPECT_EQ(floatMessage("0x10"), "'0x10' is not a valid floating point value");
  EXPECT_EQ(floatMessage("1,5"), "'1,5' is not a valid floating point value");
}

TEST(FieldNumbers, SinglePrecisionFieldsRoundTheTypedText) {
  EXPECT_EQ(parseFieldSingle("548.56", DecimalFormat{}), 548.56f);
  EXPECT_THROW(parseFieldSingle("1e39", DecimalFormat{}), CommandError);
}

TEST(FieldNumbers, IntegerFields) {
  EXPECT_EQ(parseFieldInteger("1000"), 1000);
  EXPECT_EQ(parseFieldInteger(" -5 "), -5);
  EXPECT_EQ(parseFieldInteger("+7"), 7);
  for (const char* text : {"1.5", "", "abc", "2147483648", "1e3"}) {
    try {
      parseFieldInteger(text);
      ADD_FAILURE() << text << " accepted";
    } catch (const CommandError& error) {
      EXPECT_EQ(std::string(error.what()),
                "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(FieldNumbers, ShowsUpTo15SignificantDigits) {
  const DecimalFormat dot;
  EXPECT_EQ(formatFieldNumber(548.56, dot), "548.56");
  EXPECT_EQ(formatFieldNumber(10.0, dot), "10");
  EXPECT_EQ(formatFieldNumber(0.1 + 0.2, dot), "0.3");
  EXPECT_EQ(formatFieldNumber(1.0 / 3.0, dot), "0.333333333333333");
  EXPECT_EQ(formatFieldNumber(-0.000012345, dot), "-1.2345e-05");
  // A shown value reads back within the 15 digits it was shown with.
  const double value = 5.757132465271839;
  EXPECT_NEAR(parseFieldDouble(formatFieldNumber(value, dot), dot), value, 1e-14 * value);
}

}  // namespace
