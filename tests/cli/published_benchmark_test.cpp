// The narrow-resonance exercise of a published code intercomparison, made by
// the example script from the exercise's definition, against the published
// stochastic-theory curve.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Curve = std::vector<std::pair<double, double>>;  // keV, yield

constexpr double kResonanceKeV = 1683.3;

Curve readCurve(const fs::path& path, char separator) {
  std::ifstream in(path);
  Curve curve;
  std::string line;
  while (std::getline(in, line)) {
    for (char& c : line) {
      if (c == separator) c = ' ';
    }
    std::istringstream fields(line);
    double energy = 0.0;
    double yield = 0.0;
    if (fields >> energy >> yield) curve.emplace_back(energy, yield);
  }
  return curve;
}

// Divided by its mean 3 to 4.5 keV above the resonance, where both curves are flat.
Curve plateauNormalised(Curve curve) {
  double sum = 0.0;
  int count = 0;
  for (const auto& [energy, yield] : curve) {
    if (energy >= kResonanceKeV + 3.0 && energy <= kResonanceKeV + 4.5) {
      sum += yield;
      ++count;
    }
  }
  for (auto& point : curve) point.second /= sum / count;
  return curve;
}

double valueAt(const Curve& curve, double energy) {
  if (curve.empty()) return std::nan("");
  if (energy < curve.front().first) return 0.0;
  for (std::size_t i = 1; i < curve.size(); ++i) {
    const auto& [x0, y0] = curve[i - 1];
    const auto& [x1, y1] = curve[i];
    if (energy <= x1) return y0 + (energy - x0) * (y1 - y0) / (x1 - x0);
  }
  return std::nan("");
}

struct Agreement {
  double rms = 0.0;      // of the difference, over the published energies in range
  double highest = 0.0;  // of our curve there
  int count = 0;
};

Agreement agreement(const Curve& ours, const Curve& published, double from, double to) {
  Agreement a;
  double sum = 0.0;
  for (const auto& [energy, yield] : published) {
    if (energy < from || energy > to) continue;
    const double difference = valueAt(ours, energy) - yield;
    sum += difference * difference;
    ++a.count;
    a.highest = std::max(a.highest, valueAt(ours, energy));
  }
  a.rms = a.count > 0 ? std::sqrt(sum / a.count) : std::nan("");
  return a;
}

class PublishedBenchmark : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::remove_all(out());
    const std::string command = "bash " + (examples() / "reproduce.sh").string() + " " +
                                TERVANE_CLI_PATH + " " + out().string() + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  static void TearDownTestSuite() { fs::remove_all(out()); }
  static fs::path examples() { return fs::path(TERVANE_EXAMPLES_DIR) / "iaea-pige2-ex2"; }
  // One folder per process: ctest runs each case in a process of its own, side by side.
  static fs::path out() {
    return fs::temp_directory_path() /
           ("tervane-published-benchmark-" + std::to_string(::getpid()));
  }

  static Curve ours(const std::string& name) {
    return plateauNormalised(readCurve(out() / ("curve-" + name + ".txt"), ' '));
  }
  static Curve published() {
    return plateauNormalised(
        readCurve(examples() / "stochastic_no_beam_spread_noDoppler_50eV_step_bugfixed.csv", ','));
  }
};

TEST_F(PublishedBenchmark, NoDopplerCaseStaysWithinTwoPercentRms) {
  const Curve cut = ours("no-doppler");
  ASSERT_FALSE(cut.empty());
  const Agreement a = agreement(cut, published(), 1682.0, 1688.0);
  ASSERT_GT(a.count, 100);
  EXPECT_LT(a.rms, 0.02);
  // The near-surface overshoot of discrete collisions is there, not smoothed away.
  EXPECT_GT(a.highest, 1.3);
}

// Below the film's resonance the beam sees only the line's tails, which the
// cut Lorentzian drops 10 widths out.
TEST_F(PublishedBenchmark, WholeLorentzianFollowsTheCurveBelowTheResonance) {
  const Agreement cut = agreement(ours("no-doppler"), published(), 1682.3, 1683.2);
  const Agreement whole = agreement(ours("breit-wigner"), published(), 1682.3, 1683.2);
  ASSERT_GT(whole.count, 10);
  EXPECT_LT(whole.rms, 0.006);
  EXPECT_GT(cut.rms, 2 * whole.rms);
}

TEST_F(PublishedBenchmark, ExercisesCrossSectionTableGivesTheSameCurve) {
  const Curve table = ours("cross-section");
  const Agreement withPublished = agreement(table, published(), 1682.0, 1688.0);
  ASSERT_GT(withPublished.count, 100);
  EXPECT_LT(withPublished.rms, 0.02);
  EXPECT_LT(agreement(table, published(), 1682.3, 1683.2).rms, 0.01);
}

}  // namespace
