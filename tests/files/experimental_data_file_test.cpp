#include "files/experimental_data_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "files/file_error.h"
#include "files/temporary_directory.h"

namespace {

using Points = ExperimentalData;

constexpr float kInfinity = std::numeric_limits<float>::infinity();

struct ListCase {
  const char* text;
  Points expected;  // the whole list, spare entry included
};

// Where the list ends decides which entries count: users take all but the last.
TEST(ParseExperimentalData, TheListEndsWhereAReadRunsIntoTheEndOrIntoNoNumber) {
  const ListCase cases[] = {
      {"1 2\n3 4\n", {{1, 2}, {3, 4}, {0, 0}}},  // final line end: an empty spare
      {"1 2\n3 4", {{1, 2}, {3, 4}}},            // none: the last pair is the spare
      {"1 2 3\n", {{1, 2}, {3, 0}}},             // odd count: energy alone in the spare
      {"1 2 3", {{1, 2}, {3, 0}}},
      {"1 2 3\n4 5 6\n", {{1, 2}, {3, 4}, {5, 6}, {0, 0}}},  // pairs across lines
      {"\r\n 1\t2\r\n\f3\v4 \r\n\n", {{1, 2}, {3, 4}, {0, 0}}},
      {"", {{0, 0}}},
      {" \n\t\n", {{0, 0}}},
      // A text that is no number ends the list at that read.
      {"1 2\n3 abc 5 6\n", {{1, 2}, {3, 0}}},
      {"1 2\nx 3 4\n", {{1, 2}, {0, 0}}},
      {"Energy Yield\n1 2\n", {{0, 0}}},
      {"1,5 2,5\n", {{1, 0}}},  // no decimal comma
      {"1 2\n-\n", {{1, 2}, {0, 0}}},
      {"1 2\ninf 3\n", {{1, 2}, {0, 0}}},
      // The longest number is taken and the rest left for the next read.
      {"1e 5\n", {{1, 0}}},
      {"1e+ 5\n", {{1, 0}}},
      {"1-2\n", {{1, -2}, {0, 0}}},
      {"2.5.5\n", {{2.5f, 0.5f}, {0, 0}}},
      {"1.5e2 7\n", {{150, 7}, {0, 0}}},
      {"-1.25E-1 +3.\n.5 1E+2\n0012 -0\n", {{-0.125f, 3}, {0.5f, 100}, {12, 0}, {0, 0}}},
  };
  for (const ListCase& c : cases) EXPECT_EQ(parseExperimentalData(c.text), c.expected) << c.text;
}

TEST(ParseExperimentalData, RoundsOnceFromTheTextToSinglePrecision) {
  // Just above the midpoint between 1 and the next float: rounding through a
  // double would land on the midpoint and then on 1.
  const Points data = parseExperimentalData(
      "1.0000000596046447753906250001 16777217\n"
      "3.4028235e38 0.000000000000000000000000000000000000000000001\n"
      "1e39 -1e-46\n"
      "-0.00001e99999999999999999999 1e-99999999999999999999\n");
  ASSERT_EQ(data.size(), 5u);
  EXPECT_EQ(data[0].energy, 1.0f + std::ldexp(1.0f, -23));
  EXPECT_EQ(data[0].yield, 16777216.0f);
  EXPECT_EQ(data[1].energy, std::numeric_limits<float>::max());
  EXPECT_EQ(data[1].yield, std::ldexp(1.0f, -149));  // 1e-45: the smallest float
  // Beyond single precision: infinity, or zero keeping its sign.
  EXPECT_EQ(data[2].energy, kInfinity);
  EXPECT_TRUE(data[2].yield == 0.0f && std::signbit(data[2].yield));
  EXPECT_EQ(data[3].energy, -kInfinity);
  EXPECT_EQ(data[3].yield, 0.0f);
}

TEST(ReadExperimentalDataFile, ReadsTheFileOrReportsThatItDoesNotOpen) {
  TemporaryDirectory dir;
  writeWholeFile(dir.path("run7.dat"), "1000.5   20\r\n1001   25\r\n");
  EXPECT_EQ(readExperimentalDataFile(dir.path("run7.dat")),
            (Points{{1000.5f, 20}, {1001, 25}, {0, 0}}));
  for (const std::string& path : {dir.path("missing.dat"), dir.root()}) {
    try {
      readExperimentalDataFile(path);
      ADD_FAILURE() << path;
    } catch (const FileError& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot open file " + path);
    }
  }
}

TEST(MeasuredDataText, WritesTheUsedEntriesWithTheShiftOnTheEnergyOnly) {
  const Points data = parseExperimentalData("1000 20\n1000.25 1234567\n1001 0.00001\n");
  EXPECT_EQ(measuredDataText(data, 0.0), "1000   20\n1000.25   1.23457e+06\n1001   1e-05\n");
  EXPECT_EQ(measuredDataText(data, 0.5), "1000.5   20\n1000.75   1.23457e+06\n1001.5   1e-05\n");
  EXPECT_EQ(measuredDataText(parseExperimentalData("1 2\n3 4"), 0.0), "1   2\n");
  EXPECT_EQ(measuredDataText({{1, 2}}, 0.5), "");
  EXPECT_EQ(measuredDataText({}, 0.5), "");
}

}  // namespace
