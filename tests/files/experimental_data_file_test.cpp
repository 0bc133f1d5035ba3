#include "files/experimental_data_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <span>
#include <string>
#include <vector>

#include "files/file_error.h"
#include "files/temporary_directory.h"
#include "files/text_numbers.h"

namespace {

using Points = ExperimentalData;

// Either the points read (the spare entry is appended to them) or the message.
struct ReaderCase {
  const char* text;
  Points points;
  const char* message = nullptr;
};

std::string parsed(const char* text, Points& points) {
  try {
    points = parseExperimentalData(text, "run.dat");
  } catch (const FileError& error) {
    return error.what();
  }
  return {};
}

TEST(ParseExperimentalData, ReadsOnePointALineOrNamesTheLineThatStopsIt) {
  const ReaderCase cases[] = {
      {"1 2\n3 4\n", {{1, 2}, {3, 4}}},
      {"1 2\n3 4", {{1, 2}, {3, 4}}},  // the last line needs no line end
      {"\r\n 1\t2\r\n\n3 4 \r5 6", {{1, 2}, {3, 4}, {5, 6}}},
      {"Energy Yield\nkeV counts\n1 2\n# a comment\n3 4\n", {{1, 2}, {3, 4}}},
      {"1,2\n3, 4\n5;6\n7 ; 8;\n9\t10\n", {{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}}},
      {"150.5,10,3.2\n151 20 4.5\n", {{150.5f, 10, 3.2f}, {151, 20, 4.5f}}},
      {"1.5e2 7\n-1.25E-1 +3.\n.5 1E+2\n", {{150, 7}, {-0.125f, 3}, {0.5f, 100}}},
      {"1 2\n3 abc\n", {}, "run.dat, line 2: \"3 abc\" is not two or three numbers"},
      {"1 2\n3\n", {}, "run.dat, line 2: \"3\" is not two or three numbers"},
      {"1 2\n1 2 3 4\n", {}, "run.dat, line 2: \"1 2 3 4\" is not two or three"},
      {"1 2\ninf 3\n", {}, "run.dat, line 2: \"inf 3\" is not"},
      {"150,5 10\n", {}, "run.dat, line 1: \"150,5 10\" separates its columns with commas"},
      {"150,5;10\n", {}, "run.dat, line 1: \"150,5;10\" separates its columns with commas"},
      {"", {}, "No measured point could be read from run.dat."},
      {"# only\n\n", {}, "No measured point could be read from run.dat."},
      {"Energy Yield\nnone\n",
       {},
       "No measured point could be read from run.dat; the first "
       "line that is not numbers is run.dat, line 1: \"Energy Yield\"."},
  };
  for (const ReaderCase& c : cases) {
    Points points;
    const std::string message = parsed(c.text, points);
    if (c.message) {
      EXPECT_EQ(message.rfind(c.message, 0), 0u) << c.text << " -> " << message;
    } else {
      Points expected = c.points;
      expected.emplace_back();
      EXPECT_EQ(message, "") << c.text;
      EXPECT_EQ(points, expected) << c.text;
    }
  }
}

TEST(ParseExperimentalData, RoundsOnceFromTheTextToSinglePrecision) {
  // Just above the midpoint between 1 and the next float: rounding through a
  // double would land on the midpoint and then on 1.
  const Points data = parseExperimentalData(
      "1.0000000596046447753906250001 16777217\n"
      "3.4028235e38 0.000000000000000000000000000000000000000000001\n"
      "1 -1e-46\n"
      "2 1e-99999999999999999999\n",
      "run.dat");
  ASSERT_EQ(data.size(), 5u);
  EXPECT_EQ(data[0].energy, 1.0f + std::ldexp(1.0f, -23));
  EXPECT_EQ(data[0].yield, 16777216.0f);
  EXPECT_EQ(data[1].energy, std::numeric_limits<float>::max());
  EXPECT_EQ(data[1].yield, std::ldexp(1.0f, -149));  // 1e-45: the smallest float
  // Below single precision's smallest step: zero keeping its sign.
  EXPECT_TRUE(data[2].yield == 0.0f && std::signbit(data[2].yield));
  EXPECT_EQ(data[3].yield, 0.0f);
}

// A number beyond single precision would be an infinity in every fit and
// chart: it is refused wherever it stands, header lines included.
TEST(ParseExperimentalData, RefusesNumbersBeyondSinglePrecisionNamingTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"1 2\n1e39 3\n", "run.dat, line 2: \"1e39 3\" holds a number too large"},
      {"1 2\n151 -4e38\n", "run.dat, line 2: \"151 -4e38\" holds a number too large"},
      {"1 2\n151 3 1e39\n", "run.dat, line 2: \"151 3 1e39\" holds a number too large"},
      {"-0.00001e99999999999999999999 1\n1 2\n", "run.dat, line 1: "},
  };
  Points points;
  for (const auto& [text, start] : cases) {
    const std::string message = parsed(text, points);
    EXPECT_EQ(message.rfind(start, 0), 0u) << message;
    EXPECT_NE(message.find("too large for a measured point"), std::string::npos) << message;
  }
  EXPECT_EQ(parsed("1 2\n151 9.5e37\n", points), "");
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
  const Points data = parseExperimentalData("1000 20\n1000.25 1234567\n1001 0.00001\n", "run.dat");
  EXPECT_EQ(measuredDataText(data, 0.0), "1000   20\n1000.25   1.23457e+06\n1001   1e-05\n");
  EXPECT_EQ(measuredDataText(data, 0.5), "1000.5   20\n1000.75   1.23457e+06\n1001.5   1e-05\n");
  EXPECT_EQ(measuredDataText(parseExperimentalData("1 2\n3 4", "run.dat"), 0.0), "1   2\n3   4\n");
  EXPECT_EQ(measuredDataText({{1, 2}}, 0.5), "");
  EXPECT_EQ(measuredDataText({}, 0.5), "");
}

// Columns of numbers are read as the text of those numbers with every digit:
// the same points, or the same message for rows that are not numbers.
TEST(ExperimentalDataOfColumns, IsTheTextOfTheSameNumbers) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::vector<double>> cases[] = {
      {{151.3, 151.30000000000001, 1e40}, {12, 0.1, -7}},
      {{1, 2}, {3, 4}, {0.5, 0.25}},
      {{nan, 1, 2}, {5, 6, 7}},
      {{1, 2, 3}, {5, inf, 7}},
      {{nan}, {1}},
      {{}, {}},
  };
  for (const auto& columns : cases) {
    std::string text;
    for (std::size_t row = 0; row < columns[0].size(); ++row) {
      for (std::size_t c = 0; c < columns.size(); ++c) {
        text += formatTextFileNumber(columns[c][row], kMaxTextFileDigits);
        text += c + 1 < columns.size() ? "   " : "\n";
      }
    }
    Points fromText;
    const std::string message = [&]() -> std::string {
      try {
        fromText = parseExperimentalData(text, "data");
      } catch (const FileError& error) {
        return error.what();
      }
      return {};
    }();
    const std::vector<std::span<const double>> views(columns.begin(), columns.end());
    try {
      EXPECT_EQ(experimentalDataOfColumns(views, "data"), fromText) << text;
      EXPECT_EQ(message, "") << text;
    } catch (const FileError& error) {
      EXPECT_EQ(error.what(), message) << text;
    }
  }
}

}  // namespace
