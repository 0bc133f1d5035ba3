#include "files/autoconvolution_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "files/file_error.h"
#include "files/temporary_directory.h"

namespace {

using Range = std::pair<std::int32_t, std::int32_t>;
using Ranges = std::vector<Range>;

constexpr std::uint64_t kGenerousLimit = std::uint64_t{64} << 20;

AutoconvolutionSet emptySet(std::size_t entries, std::size_t points, double step) {
  return AutoconvolutionSet(entries, Autoconvolution(points, step));
}

// A set of two entries whose range table is under test through entry 1 alone.
Ranges rangesOf(std::vector<double> entry2, double emax = 0.0, double step = 1.0) {
  AutoconvolutionSet set = emptySet(3, entry2.size(), step);
  set[2].values = std::move(entry2);
  return buildRangeTable(set, emax, step);
}

// ---- Range table ----------------------------------------------------------

TEST(RangeTable, SpikeKeepsThreePointsAndSpectrumReachesTenPastEmax) {
  const AutoconvolutionSet set = emptySet(2, 100, 10.0);
  EXPECT_EQ(buildRangeTable(set, 100.0, 10.0), (Ranges{{0, 2}, {0, 20}}));
  EXPECT_EQ(buildRangeTable(set, 101.0, 10.0), (Ranges{{0, 2}, {0, 21}}));
  EXPECT_EQ(buildRangeTable(set, 548.56, 7.5), (Ranges{{0, 2}, {0, 84}}));  // ceil(73.14) + 10
}

TEST(RangeTable, RangesThatWouldPassTheGridEndAreCut) {
  EXPECT_EQ(buildRangeTable(emptySet(2, 15, 10.0), 100.0, 10.0), (Ranges{{0, 2}, {0, 14}}));
  EXPECT_EQ(buildRangeTable(emptySet(2, 2, 10.0), 100.0, 10.0), (Ranges{{0, 1}, {0, 1}}));
  // A quotient that overflows or is not a number keeps the whole spectrum.
  EXPECT_EQ(buildRangeTable(emptySet(2, 50, 1e-300), 1e300, 1e-300)[1], (Range{0, 49}));
  EXPECT_EQ(buildRangeTable(emptySet(2, 50, 1.0), std::nan(""), 1.0)[1], (Range{0, 49}));
  // A spectrum ending before the grid starts is empty, whatever its size.
  EXPECT_EQ(buildRangeTable(emptySet(2, 50, 1.0), -1e300, 1.0)[1], (Range{0, -1}));
  EXPECT_EQ(buildRangeTable(emptySet(2, 50, 1.0), -10.5, 1.0)[1], (Range{0, 0}));
  // An upward run that is still above the threshold at the last point stops there.
  EXPECT_EQ(rangesOf({0, 0, 0.5, 1.0, 0.9})[2], (Range{2, 4}));
}

TEST(RangeTable, StoresTheRunAroundThePeakAboveOneTenThousandth) {
  // Threshold 1e-4 of the peak 1.0: values equal to it end the run, and a
  // second hump beyond a gap is not reached.
  const std::vector<double> entry = {0, 0.5, 1e-4, 0.001, 0.5, 1.0, 0.3, 1.0001e-4, 1e-4, 0.7};
  EXPECT_EQ(rangesOf(entry)[2], (Range{3, 7}));
}

TEST(RangeTable, PointZeroIsNeverPartOfARunThatReachesItFromAbove) {
  EXPECT_EQ(rangesOf({0.9, 1.0, 0.5, 0})[2], (Range{1, 2}));
  // But a peak at point 0 keeps first at 0.
  EXPECT_EQ(rangesOf({1.0, 0.5, 0.1, 0, 0})[2], (Range{0, 2}));
}

TEST(RangeTable, TheEarlierOfEqualPeaksWins) {
  EXPECT_EQ(rangesOf({0, 1.0, 0, 1.0, 0})[2], (Range{1, 1}));
}

TEST(RangeTable, ThePeakSearchComparesAgainstASinglePrecisionMaximum) {
  // 1 + 1e-12 becomes the maximum as 1.0f, so the smaller 1 + 1e-13 further on
  // still exceeds it and becomes the peak.
  EXPECT_EQ(rangesOf({0, 1 + 1e-12, 0, 1 + 1e-13, 0})[2], (Range{3, 3}));
}

TEST(RangeTable, AnEntryWithoutPositivePointsStoresPointZeroAlone) {
  EXPECT_EQ(rangesOf({0, -1.0, 0, std::nan(""), 0})[2], (Range{0, 0}));
  // On an empty grid every range is empty.
  EXPECT_EQ(buildRangeTable(emptySet(3, 0, 1.0), 10.0, 1.0), (Ranges{{0, -1}, {0, -1}, {0, -1}}));
}

// ---- Writing --------------------------------------------------------------

TEST(AutoconvolutionFileBytes, LaysOutHeaderRangeTableAndSinglePrecisionValues) {
  const AutoconvolutionHeaderValues values{100.0, 1.5, 20.0, 10.0, 0.5, 1000.0};
  AutoconvolutionSet set = emptySet(3, 14, 10.0);
  set[0].values[0] = 0.1;
  set[0].values[2] = -1.0;
  set[0].values[3] = 9.0;  // beyond the spike's three points
  set[1].values[1] = 0.25;
  set[1].values[5] = 1.0 + std::ldexp(1.0, -30);  // rounds to 1.0f
  set[1].values[12] = 2.0;
  set[1].values[13] = 7.0;  // beyond ceil(20/10) + 10
  set[2].values = {0, 0, 0.5, 2.0, 1.0, 0.0001, 0, 0, 0, 0, 1.5, 0, 0, 0};

  const std::vector<unsigned char> expected = {
      0x02, 0x00, 0x00, 0x00,                          // Nc = entries - 1
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x59, 0x40,  // stopping power 100
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F,  // Emin 1.5
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x34, 0x40,  // Emax 20
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0x40,  // step 10
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F,  // straggling 0.5
      0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x8F, 0x40,  // beam energy 1000
      0x0E, 0x00, 0x00, 0x00,                          // Npontos 14
      0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // entry 0: 0..2
      0x00, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00,  // entry 1: 0..12
      0x02, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,  // entry 2: 2..4
      0xCD, 0xCC, 0xCC, 0x3D,                          // entry 0, point 0: 0.1f
      0x00, 0x00, 0x00, 0x00,                          // point 1
      0x00, 0x00, 0x80, 0xBF,                          // point 2: -1
      0x00, 0x00, 0x00, 0x00,                          // entry 1, point 0
      0x00, 0x00, 0x80, 0x3E,                          // point 1: 0.25
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // points 2, 3
      0x00, 0x00, 0x00, 0x00,                          // point 4
      0x00, 0x00, 0x80, 0x3F,                          // point 5: 1.0f
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // points 6, 7
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // points 8, 9
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // points 10, 11
      0x00, 0x00, 0x00, 0x40,                          // point 12: 2
      0x00, 0x00, 0x00, 0x3F,                          // entry 2, point 2: 0.5
      0x00, 0x00, 0x00, 0x40,                          // point 3: the peak, 2
      0x00, 0x00, 0x80, 0x3F,                          // point 4: 1
  };
  const std::string bytes = autoconvolutionFileBytes(values, set);
  ASSERT_EQ(bytes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(static_cast<unsigned char>(bytes[i]), expected[i]) << "byte " << i;
  }
}

TEST(AutoconvolutionFileBytes, RefusesSetsItCannotStore) {
  const AutoconvolutionHeaderValues values{100.0, 1.5, 20.0, 10.0, 0.5, 1000.0};
  EXPECT_THROW(autoconvolutionFileBytes(values, {}), FileError);
  EXPECT_THROW(autoconvolutionFileBytes(values, emptySet(1, 10, 10.0)), FileError);
  AutoconvolutionSet ragged = emptySet(3, 10, 10.0);
  ragged[2].values.resize(9);
  EXPECT_THROW(autoconvolutionFileBytes(values, ragged), FileError);
  for (double step : {0.0, -10.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    AutoconvolutionHeaderValues badStep = values;
    badStep.step = step;
    EXPECT_THROW(autoconvolutionFileBytes(badStep, emptySet(2, 10, 10.0)), FileError) << step;
  }
}

TEST(WriteAutoconvolutionFile, ARefusedSetTouchesNoFileAndAnUncreatableFileReportsFalse) {
  TemporaryDirectory dir;
  const AutoconvolutionHeaderValues values{100.0, 1.5, 20.0, 10.0, 0.5, 1000.0};
  writeWholeFile(dir.path("old.flt"), "old");
  EXPECT_THROW(writeAutoconvolutionFile(dir.path("old.flt"), values, emptySet(1, 10, 10.0)),
               FileError);
  EXPECT_EQ(readWholeFile(dir.path("old.flt")), "old");
  EXPECT_FALSE(
      writeAutoconvolutionFile(dir.path("no/such/dir.flt"), values, emptySet(2, 10, 10.0)));
}

// ---- Round trip -----------------------------------------------------------

AutoconvolutionSet realisticSet(std::size_t points, double step) {
  AutoconvolutionSet set = emptySet(6, points, step);
  set[0].values[0] = static_cast<float>(1.0 / step);
  for (std::size_t i = 2; i < 40; ++i) set[1].values[i] = 0.7 / static_cast<double>(i * i);
  for (std::size_t n = 2; n < set.size(); ++n) {
    // Entry 2 sits so close to point 0 that its run reaches it.
    const double centre = n == 2 ? 2.0 : 20.0 * static_cast<double>(n);
    const double width = 3.0 * std::sqrt(static_cast<double>(n));
    for (std::size_t i = 0; i < points; ++i) {
      const double x = (static_cast<double>(i) - centre) / width;
      set[n].values[i] = std::exp(-0.5 * x * x) / width;
    }
  }
  return set;
}

TEST(AutoconvolutionFileRoundTrip, ReproducesStoredPointsToSinglePrecisionAndZerosElsewhere) {
  TemporaryDirectory dir;
  const std::string path = dir.path("run.flt");
  const AutoconvolutionHeaderValues values{548.56, 12.3456789, 2345.6, 2.5, 0.123, 1234.5};
  const AutoconvolutionSet set = realisticSet(200, 2.5);
  ASSERT_TRUE(writeAutoconvolutionFile(path, values, set));

  const AutoconvolutionFile file = readAutoconvolutionFile(path, kGenerousLimit);
  EXPECT_EQ(file.header.values(), values);
  EXPECT_EQ(file.header.nc, 5);
  EXPECT_EQ(file.header.pointCount, 200);
  ASSERT_EQ(file.set.size(), set.size());

  const Ranges ranges = buildRangeTable(set, values.emax, values.step);
  std::size_t stored = 0;
  for (std::size_t n = 0; n < set.size(); ++n) {
    const Autoconvolution& loaded = file.set[n];
    EXPECT_EQ(loaded.step, 2.5);
    EXPECT_EQ(loaded.origin, 0.0);
    ASSERT_EQ(loaded.size(), 200u);
    for (std::size_t i = 0; i < 200; ++i) {
      const bool inRange = static_cast<std::int32_t>(i) >= ranges[n].first &&
                           static_cast<std::int32_t>(i) <= ranges[n].second;
      const double expected = inRange ? static_cast<float>(set[n].values[i]) : 0.0;
      ASSERT_EQ(loaded.values[i], expected) << "entry " << n << " point " << i;
      stored += inRange;
    }
  }
  EXPECT_GT(stored, 100u);
  EXPECT_EQ(ranges[2].first, 1);  // entry 2's point 0 was dropped ...
  EXPECT_GT(set[2].values[0], 0.0);
  EXPECT_EQ(file.set[2].values[0], 0.0);  // ... and reads back as 0
}

// ---- Hostile files --------------------------------------------------------

void putInt32(std::string& out, std::int32_t value) {
  for (int k = 0; k < 4; ++k)
    out += static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * k)) & 0xFF);
}

void putFloat64(std::string& out, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int k = 0; k < 8; ++k) out += static_cast<char>((bits >> (8 * k)) & 0xFF);
}

std::string headerBytes(std::int32_t nc, std::int32_t points, double step = 10.0) {
  std::string out;
  putInt32(out, nc);
  for (double value : {100.0, 1.5, 20.0, step, 0.5, 1000.0}) putFloat64(out, value);
  putInt32(out, points);
  return out;
}

std::string fileBytes(std::int32_t nc, std::int32_t points, const Ranges& ranges,
                      const std::vector<float>& values, double step = 10.0) {
  std::string out = headerBytes(nc, points, step);
  for (const auto& [first, last] : ranges) {
    putInt32(out, first);
    putInt32(out, last);
  }
  for (float value : values) putInt32(out, std::bit_cast<std::int32_t>(value));
  return out;
}

AutoconvolutionFile readBytes(const std::string& bytes, std::uint64_t limit = kGenerousLimit) {
  std::istringstream in(bytes);
  return readAutoconvolutionStream(in, "test.flt", limit);
}

// The message of the FileError that reading bytes throws, or "" if it loads.
std::string refusal(const std::string& bytes, std::uint64_t limit = kGenerousLimit) {
  try {
    readBytes(bytes, limit);
  } catch (const FileError& error) {
    return error.what();
  }
  return "";
}

TEST(ReadAutoconvolutionFile, AFileThatDoesNotOpenIsReportedByName) {
  TemporaryDirectory dir;
  for (const std::string& path : {dir.path("missing.flt"), dir.root()}) {
    try {
      readAutoconvolutionFile(path);
      ADD_FAILURE() << path;
    } catch (const FileError& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot open file " + path);
    }
  }
}

TEST(ReadAutoconvolutionFile, RefusalsNameTheFileAndTheReason) {
  TemporaryDirectory dir;
  const std::string path = dir.path("short.flt");
  writeWholeFile(path, headerBytes(1, 10).substr(0, 55));
  try {
    readAutoconvolutionFile(path);
    ADD_FAILURE();
  } catch (const FileError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find("shorter than the 56-byte header"), std::string::npos) << message;
  }
  EXPECT_NE(refusal(""), "");
}

TEST(ReadAutoconvolutionFile, RefusesNegativeCounts) {
  EXPECT_NE(refusal(fileBytes(-1, 10, {}, {})).find("Nc = -1"), std::string::npos);
  EXPECT_NE(refusal(fileBytes(0, -5, {{0, -1}}, {})).find("Npontos = -5"), std::string::npos);
  EXPECT_NE(refusal(headerBytes(std::numeric_limits<std::int32_t>::min(), 3)), "");
}

TEST(ReadAutoconvolutionFile, RefusesAStepThatIsNotAPositiveNumber) {
  for (double step : {0.0, -0.0, -2.5, std::nan(""), std::numeric_limits<double>::infinity()}) {
    const std::string message = refusal(fileBytes(0, 3, {{0, 2}}, {1, 2, 3}, step));
    EXPECT_NE(message.find("step"), std::string::npos) << step << ": " << message;
  }
}

TEST(ReadAutoconvolutionFile, RefusesNonEmptyRangesOutsideTheGrid) {
  EXPECT_NE(
      refusal(fileBytes(1, 5, {{0, 2}, {0, 5}}, {})).find("autoconvolution 1 stores points 0 to 5"),
      std::string::npos);
  EXPECT_NE(refusal(fileBytes(1, 5, {{0, 2}, {-1, 3}}, {})), "");
  EXPECT_NE(refusal(fileBytes(1, 5, {{5, 5}, {0, 1}}, {})), "");
  EXPECT_NE(refusal(fileBytes(0, 5,
                              {{std::numeric_limits<std::int32_t>::min(),
                                std::numeric_limits<std::int32_t>::max()}},
                              {})),
            "");
}

TEST(ReadAutoconvolutionFile, AnEmptyRangeReadsNothingWhereverItPoints) {
  // Entry 0 is empty, so it keeps the spike and the next value belongs to entry 1.
  const AutoconvolutionFile file =
      readBytes(fileBytes(1, 4, {{100, -100}, {1, 2}}, {0.25f, 0.5f}, 3.0));
  EXPECT_EQ(file.set[0].values, (std::vector<double>{static_cast<float>(1.0 / 3.0), 0, 0, 0}));
  EXPECT_NE(file.set[0].values[0], 1.0 / 3.0);  // rounded to single precision
  EXPECT_EQ(file.set[1].values, (std::vector<double>{0, 0.25, 0.5, 0}));
}

TEST(ReadAutoconvolutionFile, RefusesSetsLargerThanTheMemoryLimitBeforeAllocating) {
  const std::int32_t big = std::numeric_limits<std::int32_t>::max();
  EXPECT_NE(refusal(headerBytes(big, big), defaultAutoconvolutionMemoryLimit()).find("memory"),
            std::string::npos);
  EXPECT_NE(refusal(headerBytes(big, 0), std::uint64_t{1} << 30), "");
  EXPECT_NE(refusal(headerBytes(0, big), std::uint64_t{1} << 30), "");

  // 1000 entries of 1000 points: the values and one curve record per entry.
  const std::uint64_t needed = 1000 * (1000 * sizeof(double) + sizeof(Autoconvolution));
  EXPECT_NE(refusal(headerBytes(999, 1000), needed - 1), "");
  const AutoconvolutionFile file = readBytes(fileBytes(999, 1000, Ranges(1000, {0, -1}), {}), needed);
  EXPECT_EQ(file.set.size(), 1000u);
}

TEST(ReadAutoconvolutionFile, ACutRangeTableIsRefusedBeforeAnyValue) {
  EXPECT_EQ(refusal(headerBytes(2, 4)), "test.flt ends after 0 of 3 autoconvolutions.");
  EXPECT_EQ(refusal(fileBytes(2, 4, {{0, 2}, {0, 3}}, {})),
            "test.flt ends after 0 of 3 autoconvolutions.");
}

TEST(ReadAutoconvolutionFile, IgnoresBytesAfterTheLastValue) {
  const AutoconvolutionFile file =
      readBytes(fileBytes(0, 2, {{0, 1}}, {4.0f, 8.0f}) + "trailing junk");
  EXPECT_EQ(file.set[0].values, (std::vector<double>{4.0, 8.0}));
}

// Missing values would read as zeros and make a curve too low without a
// word: every cut is refused, naming the entries that are whole.
TEST(ReadAutoconvolutionFile, EveryTruncationIsRefusedNamingTheWholeEntries) {
  const AutoconvolutionHeaderValues values{548.56, 12.3456789, 2345.6, 2.5, 0.123, 1234.5};
  const AutoconvolutionSet set = realisticSet(120, 2.5);
  const std::string bytes = autoconvolutionFileBytes(values, set);
  const Ranges ranges = buildRangeTable(set, values.emax, values.step);
  std::vector<std::size_t> entryEnds;  // where each entry's values end
  std::size_t end = kAutoconvolutionHeaderBytes + 8 * ranges.size();
  const std::size_t tableEnd = end;
  for (const auto& [first, last] : ranges) entryEnds.push_back(end += 4 * (last - first + 1));
  ASSERT_EQ(end, bytes.size());

  for (std::size_t length = kAutoconvolutionHeaderBytes; length < bytes.size(); ++length) {
    const std::size_t whole =
        length < tableEnd ? 0
                          : static_cast<std::size_t>(std::upper_bound(entryEnds.begin(),
                                                                      entryEnds.end(), length) -
                                                     entryEnds.begin());
    ASSERT_EQ(refusal(bytes.substr(0, length)),
              "test.flt ends after " + std::to_string(whole) + " of 6 autoconvolutions.")
        << length;
  }
  EXPECT_EQ(refusal(bytes), "");
}

// Random damage to a real file: the reader either loads a well-formed set or
// refuses with a FileError; nothing else may escape and nothing may crash.
TEST(ReadAutoconvolutionFile, SurvivesRandomlyDamagedFiles) {
  const AutoconvolutionHeaderValues values{548.56, 12.3456789, 2345.6, 2.5, 0.123, 1234.5};
  const std::string original = autoconvolutionFileBytes(values, realisticSet(60, 2.5));
  std::mt19937 random(7);
  int loaded = 0;
  int refused = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::string bytes = original;
    const int damage = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < damage; ++k) {
      // Mostly the header and the range table, where the counts live.
      const std::size_t at = random() % 2 ? random() % 104 : random() % bytes.size();
      bytes[at] = static_cast<char>(random());
    }
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    try {
      const AutoconvolutionFile file = readBytes(bytes, std::uint64_t{16} << 20);
      ASSERT_EQ(file.set.size(), static_cast<std::size_t>(file.header.nc) + 1);
      for (const Autoconvolution& entry : file.set) {
        ASSERT_EQ(entry.size(), static_cast<std::size_t>(file.header.pointCount));
        ASSERT_EQ(entry.step, file.header.step);
      }
      ++loaded;
    } catch (const FileError&) {
      ++refused;
    }
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
