#include "files/excitation_curve_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

SampledCurve curveOf(std::vector<double> values, double stepEv, double originEv) {
  SampledCurve curve(values.size(), stepEv);
  curve.values = std::move(values);
  curve.origin = originEv;
  return curve;
}

std::vector<std::string> rowsOf(const std::string& text) {
  std::istringstream lines(text);
  std::vector<std::string> rows;
  for (std::string row; std::getline(lines, row);) rows.push_back(row);
  return rows;
}

TEST(ExcitationCurveText, WritesTheCurveAsTheChartShowsItInSixDigits) {
  const SampledCurve curve = curveOf({0.1, 0.2, 1e-7, 123456.7, -3e-6}, 2.5, 5.0);
  EXPECT_EQ(excitationCurveText(curve, 1000.0, 2.0, 10.0),
            "999.995   10.2\n"
            "999.997   10.4\n"
            "1000   10\n"
            "1000   246923\n"
            "1000   9.99999\n");
  EXPECT_EQ(excitationCurveText(SampledCurve(), 1000.0, 2.0, 10.0), "");
}

// At 17 digits the order of the rounding steps shows: the energy loss is
// formed first, then scaled by 0.001 (not divided by 1000, nor scaled term by
// term), then the beam energy is added.
TEST(ExcitationCurveText, KeepsTheOrderOfEveryRoundingStep) {
  const std::vector<std::string> rows = rowsOf(
      excitationCurveText(curveOf(std::vector<double>(18, 0.1), 0.3, 3.3), 0.0, 3.0, 0.2, 17));
  ASSERT_EQ(rows.size(), 18u);
  EXPECT_EQ(rows[4], "-0.0020999999999999999   0.5");
  EXPECT_EQ(rows[17], "0.0018   0.5");
  const SampledCurve plain = curveOf(std::vector<double>(10, 0.0), 1.0, 0.0);
  EXPECT_EQ(rowsOf(excitationCurveText(plain, 0.0, 1.0, 0.0, 17))[9], "0.0090000000000000011   0");
}

TEST(ExcitationCurveText, SeventeenDigitsReadBackBitForBit) {
  std::mt19937_64 random(3);
  std::vector<double> values(500);
  for (double& v : values) v = std::bit_cast<double>(random() >> 2);  // finite, positive
  const SampledCurve curve = curveOf(values, 7.3125, 1234.5);
  const std::vector<std::string> rows =
      rowsOf(excitationCurveText(curve, 1234.5678, 1.0, 0.0, kMaxTextFileDigits));
  ASSERT_EQ(rows.size(), values.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string& row = rows[i];
    const std::size_t gap = row.find("   ");
    double energy = 0.0;
    double yield = 0.0;
    std::from_chars(row.data(), row.data() + gap, energy);
    std::from_chars(row.data() + gap + 3, row.data() + row.size(), yield);
    ASSERT_EQ(energy, (static_cast<double>(i) * 7.3125 - 1234.5) * 0.001 + 1234.5678) << row;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(yield), std::bit_cast<std::uint64_t>(values[i])) << row;
  }
}

}  // namespace
