#include "files/profile_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "files/file_error.h"
#include "files/temporary_directory.h"

namespace {

using Values = std::vector<double>;

constexpr std::uint64_t kGenerousLimit = std::uint64_t{64} << 20;
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

double float64At(const std::string& bytes, std::size_t offset) {
  std::uint64_t bits = 0;
  for (int k = 7; k >= 0; --k) bits = bits << 8 | static_cast<unsigned char>(bytes[offset + k]);
  return std::bit_cast<double>(bits);
}

// A file written by hand: contamination, step, maximum depth, the constants
// 0, 1, 0, then the values given.
std::string fileBytes(double contamination, double step, double maxDepth, const Values& values) {
  std::string out;
  Values all = {contamination, step, maxDepth, 0.0, 1.0, 0.0};
  all.insert(all.end(), values.begin(), values.end());
  for (double v : all) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int k = 0; k < 8; ++k) out += static_cast<char>((bits >> (8 * k)) & 0xFF);
  }
  return out;
}

ProfileFile readBytes(const std::string& bytes, std::uint64_t limit = kGenerousLimit) {
  std::istringstream in(bytes);
  return readProfileStream(in, "test.pro", limit);
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

TEST(ProfileFileBytes, TheStartUpProfileGivesSixHeaderValuesThenTwoThousandPoints) {
  DepthProfile profile = DepthProfile::forMaximumDepth(10.0, 0.005);
  profile.values[0] = 0.1;  // written at full precision
  profile.values[1999] = -2.5;
  const std::string bytes = profileFileBytes(profile, {12.5, 3.25, -0.75});
  ASSERT_EQ(bytes.size(), 16048u);
  const Values header = {0.0, 0.005, 10.0, 12.5, 3.25, -0.75};
  for (std::size_t k = 0; k < header.size(); ++k) EXPECT_EQ(float64At(bytes, 8 * k), header[k]);
  EXPECT_EQ(float64At(bytes, 48), 0.1);
  EXPECT_EQ(float64At(bytes, 48 + 8 * 1999), -2.5);
  EXPECT_EQ(static_cast<unsigned char>(bytes[8]), 0x7B);  // 0.005 is 0x3F747AE147AE147B
}

TEST(ProfileFileRoundTrip, RestoresGridAndConstantsExactlyAndValuesToSinglePrecision) {
  TemporaryDirectory dir;
  const std::string path = dir.path("run.pro");
  DepthProfile profile = DepthProfile::forMaximumDepth(10.0, 0.005);
  for (std::size_t i = 0; i < profile.values.size(); ++i) profile.values[i] = std::sin(0.01 * i);
  const DisplayConstantsValues constants{0.1, 1.0 / 3.0, -1e-7};
  writeWholeFile(path, "an older, longer file that is replaced whole");

  ASSERT_TRUE(writeProfileFile(path, profile, constants));
  const ProfileFile file = readProfileFile(path, kGenerousLimit);
  EXPECT_EQ(file.profile.step, 0.005);
  EXPECT_EQ(file.profile.pointCount, 2000);
  EXPECT_EQ(file.profile.contaminationDepth, 0.0);
  EXPECT_EQ(file.constants, constants);
  ASSERT_EQ(file.profile.values.size(), 2000u);
  for (std::size_t i = 0; i < 2000; ++i) {
    ASSERT_EQ(file.profile.values[i], static_cast<float>(profile.values[i])) << i;
  }
  EXPECT_NE(file.profile.values, profile.values);  // the rounding did happen

  EXPECT_FALSE(writeProfileFile(dir.path("no/such/dir.pro"), profile, constants));
  EXPECT_EQ(dir.names(), std::vector<std::string>{"run.pro"});
}

TEST(ProfileFileRoundTrip, SevenPointsComeBackAsEightTheLastRepeatingTheSeventh) {
  DepthProfile profile;
  profile.pointCount = 7;
  profile.step = 0.005;
  profile.values = {1, 2, 3, 4, 5, 6, 7.1};
  const std::string bytes = profileFileBytes(profile, {});
  ASSERT_EQ(bytes.size(), 48u + 7 * 8);
  EXPECT_EQ(float64At(bytes, 16), 0.035);  // the binary64 nearest 0.035, just above it
  const ProfileFile file = readBytes(bytes);
  EXPECT_EQ(file.profile.pointCount, 8);
  EXPECT_EQ(file.profile.values, (Values{1, 2, 3, 4, 5, 6, 7.1f, 7.1f}));
}

TEST(ReadProfileFile, BuildsTheFileGridAndFillsItFromTheValuesThere) {
  // ceil(1.2 / 0.5) = 3 points: three values are read, the fourth ignored.
  EXPECT_EQ(readBytes(fileBytes(0.0, 0.5, 1.2, {1, 2, 3, 4})).profile.values, (Values{1, 2, 3}));
  // The contamination layer is kept, and its points take the file's values.
  const ProfileFile layered = readBytes(fileBytes(0.0125, 0.005, 0.025, {9, 8, 7, 6, 5}));
  EXPECT_EQ(layered.profile.contaminationDepth, 0.0125);
  EXPECT_EQ(layered.profile.values, (Values{9, 8, 7, 6, 5}));
  // A file ending early, even inside a value, repeats the last whole value.
  const std::string cut = fileBytes(0.0, 1.0, 4.0, {1.5, 0.3}) + "\x01\x02\x03";
  EXPECT_EQ(readBytes(cut).profile.values, (Values{1.5, 0.3f, 0.3f, 0.3f}));
  // Every value passes through single precision.
  const Values wide = readBytes(fileBytes(0.0, 1.0, 3.0, {1e300, -1e-300, kNan})).profile.values;
  EXPECT_EQ(wide[0], kInfinity);
  EXPECT_TRUE(wide[1] == 0.0 && std::signbit(wide[1]));
  EXPECT_TRUE(std::isnan(wide[2]));
  // A profile of no points needs no values.
  EXPECT_EQ(readBytes(fileBytes(0.0, 0.005, 0.0, {})).profile.pointCount, 0);
}

TEST(ReadProfileFile, AFileThatDoesNotOpenIsReportedByName) {
  TemporaryDirectory dir;
  for (const std::string& path : {dir.path("missing.pro"), dir.root()}) {
    try {
      readProfileFile(path);
      ADD_FAILURE() << path;
    } catch (const FileError& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot open file " + path);
    }
  }
}

TEST(ReadProfileFile, RefusesFilesNoProfileCanBeBuiltFrom) {
  const std::string prefix = "Cannot read profile file test.pro: ";
  EXPECT_EQ(refusal(fileBytes(0.0, 0.005, 10.0, {}).substr(0, 47)),
            prefix + "it is shorter than the 48-byte header.");
  EXPECT_EQ(refusal(fileBytes(0.0, 0.0, 10.0, {1})),
            prefix + "its step (0) is not a positive finite number.");
  EXPECT_EQ(refusal(fileBytes(0.0, 0.005, -1.0, {1})),
            prefix + "its maximum depth (-1) is negative.");
  EXPECT_EQ(refusal(fileBytes(kInfinity, 0.005, 1.0, {1})),
            prefix + "its contamination depth (inf) is not a finite number.");
  EXPECT_EQ(refusal(fileBytes(0.0, 1.0, 3.0, {})), prefix + "it holds no concentration values.");
  for (double bad : {-0.005, kNan, kInfinity, -kInfinity}) {
    EXPECT_NE(refusal(fileBytes(0.0, bad, 10.0, {1})), "") << "step " << bad;
    EXPECT_NE(refusal(fileBytes(0.0, 0.005, bad, {1})), "") << "maximum depth " << bad;
    EXPECT_NE(refusal(fileBytes(bad, 0.005, 1.0, {1})), "") << "contamination " << bad;
  }
}

TEST(ReadProfileFile, RefusesProfilesBeyondTheMemoryLimitBeforeBuildingThem) {
  // 1e6 points take 8 MB.
  const std::string million = fileBytes(0.0, 1.0, 1e6, {1});
  EXPECT_EQ(readBytes(million, 8'000'000).profile.pointCount, 1'000'000);
  EXPECT_EQ(refusal(million, 4 << 20),
            "Cannot read profile file test.pro: its maximum depth of 1e+06 at a step of 1 would "
            "need 8 MB of memory, more than the 4 MB allowed.");
  // Laying on the layer deepens the profile for a moment and copies it.
  const std::string layered = fileBytes(1e6, 1.0, 10.0, {1});
  EXPECT_NE(refusal(layered, 8'000'000), "");
  EXPECT_NE(refusal(layered, 12'000'000), "") << "the copy made while laying it on counts too";
  EXPECT_EQ(readBytes(layered, 17'000'000).profile.pointCount, 10);
  // Counts beyond 32 bits are refused whatever the memory.
  const std::uint64_t unlimited = std::numeric_limits<std::uint64_t>::max();
  EXPECT_NE(refusal(fileBytes(0.0, 1.0, 3e9, {1}), unlimited), "");
  EXPECT_NE(refusal(fileBytes(0.0, 4.9e-324, 1.0, {1}), unlimited), "");
  EXPECT_EQ(refusal(fileBytes(1e308, 0.5, 1.0, {1}), unlimited),
            "Cannot read profile file test.pro: its maximum depth of 1 under a contamination layer "
            "of 1e+308 at a step of 0.5 makes more points than a profile can hold.");
}

}  // namespace
