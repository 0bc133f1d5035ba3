#include "fit/measurement_term.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "model/collision_weights.h"

#include "support/small_start_up_set.h"

namespace {

// Points every 0.05 keV from `first` to `last`, 10 counts each, on the small
// start-up set at 151 keV, whose curve (widths of 100 eV) reaches from about
// 149.6 to 154.0 keV.
Measurement measured(float first, float last) {
  Measurement measurement;
  measurement.set = std::shared_ptr<const AutoconvolutionSet>(std::shared_ptr<void>(),
                                                              &smallStartUpSet(20));
  measurement.beamEnergyKev = 151.0;
  measurement.collisionRate = startUpCollisionRate();
  for (float e = first; e <= last; e += 0.05f) measurement.points.push_back({e, 10.0f, 0.0f});
  return measurement;
}

// A term builds a forward model once per shift and widths, and a new shift
// takes the broadening of its widths from the one before.
TEST(MeasurementTerm, BuildsAForwardModelOnlyForWhatItHasNotSeen) {
  const Measurement measurement = measured(150.9f, 151.1f);
  const MeasurementTerm term(measurement);
  MeasurementModel model = measurement.model;
  const auto start = term.forward(model);
  EXPECT_EQ(term.forward(model), start);
  model.energyShift.value = 0.01;
  const auto shifted = term.forward(model);
  EXPECT_NE(shifted, start);
  EXPECT_EQ(shifted->broadened(), start->broadened());
  model.gaussianWidth.value = 120.0;
  EXPECT_NE(term.forward(model)->broadened(), start->broadened());
}

// The weights from the grid points' own (kept on the first grid asked for)
// are those computed anew, to the rounding of their sums; another grid's are
// computed anew.
TEST(MeasurementTerm, WeightsFromTheGridPointsOwnAreTheWeightsComputedAnew) {
  Measurement measurement = measured(150.9f, 151.1f);
  measurement.set = std::shared_ptr<const AutoconvolutionSet>(std::shared_ptr<void>(),
                                                              &smallStartUpSet(60));
  const MeasurementTerm term(measurement);
  for (double step : {0.005, 0.004}) {
    DepthProfile profile = DepthProfile::forMaximumDepth(1.5, step);
    for (std::size_t i = 0; i < profile.values.size(); ++i) {
      profile.values[i] = 0.3 + std::sin(0.01 * static_cast<double>(i)) * 0.2;
    }
    const std::vector<double> kept = term.weights(profile);
    const std::vector<double> anew =
        collisionWeights(profile, static_cast<int>(term.entries()), measurement.collisionRate);
    ASSERT_EQ(kept.size(), anew.size());
    const double largest = *std::max_element(anew.begin(), anew.end());
    for (std::size_t n = 0; n < kept.size(); ++n) {
      EXPECT_NEAR(kept[n], anew[n], 1e-14 * largest) << "step " << step << ", K" << n;
    }
  }
}

// A point that a free shift could move off the curve is not taken: none
// enters or leaves as the shift moves, so the statistic stays continuous.
TEST(MeasurementTerm, TakesOnlyPointsTheCurveCoversAtEveryShiftWithinTheBounds) {
  Measurement measurement = measured(149.4f, 154.2f);
  measurement.model.energyShift = {0.0, true, -0.3, 0.2};
  const MeasurementTerm term(measurement);
  EXPECT_LT(term.points().size() + 4, term.pointsInRange());
  MeasurementModel model = measurement.model;
  for (double shift = -0.3; shift <= 0.2 + 1e-9; shift += 0.01) {
    model.energyShift.value = shift;
    const std::shared_ptr<const ForwardModel> forward = term.forward(model);
    for (std::size_t j = 0; j < term.points().size(); ++j) {
      ASSERT_TRUE(forward->covers(j)) << term.points()[j].energy << " keV at shift " << shift;
    }
  }
  // Fixed, the shift keeps every point its curve covers.
  measurement.model.energyShift.free = false;
  EXPECT_GT(MeasurementTerm(measurement).points().size(), term.points().size());
}

}  // namespace
