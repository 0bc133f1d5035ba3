#include "fit/posterior_solutions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Points in two dimensions around the optima (0, 0) and (10, 0): either two
// separate clouds, or one valley running from one to the other.
struct Cloud {
  const char* what;
  bool valley;
  std::size_t solutions;
};

void PrintTo(const Cloud& c, std::ostream* out) {
  *out << c.what;
}

class SolutionMembers : public testing::TestWithParam<Cloud> {};

TEST_P(SolutionMembers, PartTwoCloudsAndJoinTheEndsOfOneValley) {
  std::mt19937_64 random(3);
  std::normal_distribution<double> normal;
  std::uniform_real_distribution<double> along(-1.0, 11.0);
  std::vector<std::vector<double>> points;
  for (int n = 0; n < 1000; ++n) {
    const double x = GetParam().valley ? along(random) : (n % 4 == 0 ? 10.0 : 0.0) + normal(random);
    points.push_back({x, normal(random)});
  }
  std::vector<const double*> positions;
  for (const auto& p : points) positions.push_back(p.data());
  const auto members = solutionMembers({{0.0, 0.0}, {10.0, 0.0}}, {1.0, 1.0}, positions);
  ASSERT_EQ(members.size(), 2u);
  std::size_t total = 0;
  for (const auto& m : members) total += m.size();
  EXPECT_EQ(total, points.size());  // every sample belongs to one solution
  const std::size_t named = std::count_if(members.begin(), members.end(),
                                          [](const auto& m) { return !m.empty(); });
  EXPECT_EQ(named, GetParam().solutions);
  if (!GetParam().valley) {
    EXPECT_EQ(members[1].size(), 250u);
  }
}

INSTANTIATE_TEST_SUITE_P(Clouds, SolutionMembers,
                         testing::Values(Cloud{"two clouds", false, 2},
                                         Cloud{"one valley", true, 1}));

// Shares of the walkers follow the weights, but every optimum gets its four
// (or what the walkers allow), and the first takes the rest.
TEST(StartingCentres, FollowTheWeightsWithFourAtLeastEach) {
  const struct {
    std::vector<double> weights;
    int walkers;
    std::vector<int> counts;
  } cases[] = {
      {{1.0}, 14, {14}},
      {{1.0, 1.0}, 14, {7, 7}},
      {{1.0, 0.05}, 14, {10, 4}},
      {{1.0, 3.0}, 16, {4, 12}},
      {{1.0, 1.0, 1.0}, 6, {2, 2, 2}},
  };
  for (const auto& c : cases) {
    const std::vector<std::size_t> centre = startingCentres(c.weights, c.walkers);
    ASSERT_EQ(centre.size(), static_cast<std::size_t>(c.walkers));
    for (std::size_t i = 0; i < c.counts.size(); ++i) {
      EXPECT_EQ(std::count(centre.begin(), centre.end(), i), c.counts[i])
          << c.walkers << " walkers, optimum " << i;
    }
  }
}

}  // namespace
