#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "fit/layer_fit_evaluator.h"

// The evaluator's analytic Jacobian at its start against central differences
// of relative step 1e-5 (at least 1e-7), over the first `rows` rows: each
// column within `tolerance` of its largest entry, which must not be 0.
inline void expectJacobianMatchesDifferences(LayerFitEvaluator& evaluator, std::size_t rows,
                                             double tolerance) {
  const std::vector<double> x = evaluator.startValues();
  const std::size_t p = x.size();
  const std::size_t all = evaluator.rowCount();
  std::vector<double> J(all * p);
  evaluator.jacobian(x, J);
  std::vector<double> up(all);
  std::vector<double> down(all);
  for (std::size_t k = 0; k < p; ++k) {
    const double h = 1e-5 * std::max(std::fabs(x[k]), 0.01);
    std::vector<double> moved = x;
    moved[k] = x[k] + h;
    evaluator.residuals(moved, up);
    moved[k] = x[k] - h;
    evaluator.residuals(moved, down);
    double scale = 0.0;
    for (std::size_t j = 0; j < rows; ++j) scale = std::max(scale, std::fabs(J[j * p + k]));
    ASSERT_GT(scale, 0.0) << evaluator.freeNames()[k];
    for (std::size_t j = 0; j < rows; ++j) {
      EXPECT_NEAR(J[j * p + k], (up[j] - down[j]) / (2 * h), tolerance * scale)
          << evaluator.freeNames()[k] << " at row " << j;
    }
  }
}
