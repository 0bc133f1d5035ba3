#include "fit/profile_band.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct BandCase {
  const char* name;
  std::vector<std::vector<double>> curves;  // curves[k][i]: curve k at point i
  std::vector<double> low;
  std::vector<double> high;
};

class PercentileBandTest : public ::testing::TestWithParam<BandCase> {};

// Each point's band comes from that point's values across the curves, not
// from one curve's values along the points.
TEST_P(PercentileBandTest, EachPointTakesThe16thAnd84thPercentileOfItsColumn) {
  const BandCase& c = GetParam();
  const PercentileBand band = percentileBand(c.curves);
  ASSERT_EQ(band.low.size(), c.low.size());
  ASSERT_EQ(band.high.size(), c.high.size());
  for (std::size_t i = 0; i < c.low.size(); ++i) {
    EXPECT_NEAR(band.low[i], c.low[i], 1e-12) << "point " << i;
    EXPECT_NEAR(band.high[i], c.high[i], 1e-12) << "point " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PercentileBandTest,
    ::testing::Values(
        BandCase{"none", {}, {}, {}},
        BandCase{"one", {{4.0, -1.0}}, {4.0, -1.0}, {4.0, -1.0}},
        // Unsorted columns {3, 1, 2} and {10, 30, 20}: 0.32 and 1.68 of the
        // way along the sorted values.
        BandCase{"three", {{3.0, 10.0}, {1.0, 30.0}, {2.0, 20.0}}, {1.32, 13.2}, {2.68, 26.8}},
        // Six equal values and one far above: the 84th percentile lies 0.04
        // of the way from the sixth to the seventh.
        BandCase{"outlier", {{5.0}, {100.0}, {5.0}, {5.0}, {5.0}, {5.0}, {5.0}}, {5.0}, {8.8}},
        // A curve that ends early: the band ends with it.
        BandCase{"shorter", {{3.0, 10.0, 7.0}, {1.0}, {2.0, 20.0}}, {1.32}, {2.68}}),
    [](const ::testing::TestParamInfo<BandCase>& info) { return std::string(info.param.name); });

}  // namespace
