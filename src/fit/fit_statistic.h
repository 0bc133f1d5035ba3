#pragma once

#include <span>
#include <vector>

#include "fit/sample_model.h"

// One measured point as the statistics see it.
struct MeasuredYield {
  double yield = 0.0;  // counts
  double error = 0.0;  // counts; used by FitStatistic::Errors only
};

// A point's residual r, whose square the fit sums into chi2, and dr/df, its
// slope by the fitted yield f.
struct StatisticResidual {
  double value = 0.0;
  double slope = 0.0;
};

// The Poisson deviance needs f > 0, but a model may well reach 0 or below
// (no background, a curve that is exactly 0 before the resonance) and a trial
// step may overshoot. Below this floor the deviance sees the stand-in
// floor^2/(2 floor - f), equal in value and slope at f = floor and positive
// for every f, however far below (an exponential would underflow to 0);
// above it, f itself. The floor is 1e-6 of the largest measured
// yield (at least 1e-6 counts): a point of y = 0 at the floor adds 2e-6 of
// its size to chi2, and a point of y > 0 there is far outside any sensible fit.
double poissonYieldFloor(const std::vector<MeasuredYield>& points);

// Poisson: the signed deviance residual sign(y - f)*sqrt(2[f - y + y ln(y/f)]);
// Neyman: (y - f)/sqrt(max(y, 1)); Errors: (y - f)/error; Equal: y - f.
StatisticResidual statisticResidual(FitStatistic statistic, const MeasuredYield& point,
                                    double fitted, double poissonFloor);

// The statistic summed over points in order: the chi2 every estimator reports.
double statisticChi2(FitStatistic statistic, std::span<const MeasuredYield> points,
                     std::span<const double> fitted, double poissonFloor);

// The point's standard deviation under the statistic, for the residual plot
// (y - f)/sigma: sqrt(f) for Poisson, sqrt(max(y, 1)) for Neyman, the error
// for Errors, and for Equal the spread the fit itself shows, sqrt(chi2/dof).
double statisticSigma(FitStatistic statistic, const MeasuredYield& point, double fitted,
                      double poissonFloor, double equalSigma);
