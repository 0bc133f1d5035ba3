#pragma once

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "fit/sample_model.h"
#include "state/depth_profile.h"

// A value with its 1-sigma error; no error when the data cannot determine it.
struct EstimatedValue {
  std::string name;
  double value = 0.0;
  std::optional<double> error;
  bool free = false;  // parameters only
  int layer = -1;     // the layer (from 0) of a layer's parameter or derived quantity
  // With profile-likelihood intervals: their ends (absent where the data do
  // not limit the value), error = (upper - lower)/2, and the covariance's
  // own error beside it.
  bool profiled = false;
  std::optional<double> lower;
  std::optional<double> upper;
  std::optional<double> covarianceError;
};

// A measured point taken into an estimate, with the fitted yield and (y - f)/sigma.
struct FittedPoint {
  double energy = 0.0;  // keV as measured
  double yield = 0.0;
  double fitted = 0.0;
  double normalized = 0.0;
};

// chi2/dof, or NaN when nothing is left to tell the fit's spread (dof <= 0).
inline double reducedChi2Of(double chi2, double dof) {
  return dof > 0.0 ? chi2 / dof : std::numeric_limits<double>::quiet_NaN();
}

// How one of several measurements meets the data: its part of the
// statistic, its points, and its share of the degrees of freedom (its points
// less its own free parameters and its points' share of the shared ones, so
// that the measurements' dof add up to the estimate's) with chi2 per it.
struct MeasurementSummary {
  std::string name;
  double chi2 = 0.0;
  int points = 0;
  double dof = 0.0;
  double reducedChi2 = std::numeric_limits<double>::quiet_NaN();
};

// Each measurement's summary from its chi2 and points, its own free
// parameters (effective ones, for a smoothed profile) and those shared by all.
std::vector<MeasurementSummary> measurementSummaries(const std::vector<std::string>& names,
                                                     const std::vector<double>& chi2,
                                                     const std::vector<int>& points,
                                                     const std::vector<double>& ownFree,
                                                     double sharedFree);

// What every estimate (a layer fit, a free-form profile, a posterior) says
// of how it meets the data: the statistic's value over the points taken,
// their number, the degrees of freedom (points less the free parameters, or
// less the effective number of parameters of a smoothed profile) and
// chi2/dof, the points with their fitted yields, and the warnings.
struct EstimateSummary {
  bool cancelled = false;
  double chi2 = 0.0;
  int points = 0;
  double dof = 0.0;
  double reducedChi2 = std::numeric_limits<double>::quiet_NaN();
  std::vector<std::string> warnings;
  std::vector<FittedPoint> residuals;
  std::vector<MeasurementSummary> measurements;  // one per measurement, in order
};

// Whether a result comes from a model that lists its measurements (each has
// a name), and so reports each one's part; results of one unnamed
// measurement are reported as they always were.
inline bool listsMeasurements(const EstimateSummary& result) {
  return !result.measurements.empty() &&
         (result.measurements.size() > 1 || !result.measurements.front().name.empty());
}

// What a fit found. `joint` holds the fitted values of the sample and of
// every measurement; `profile` is the sample rendered; `residuals` the used
// measured points with the fitted yield.
struct FitResult : EstimateSummary {
  using Residual = FittedPoint;
  bool converged = false;
  int iterations = 0;
  int freeParameters = 0;
  int starts = 1;        // minimisations run from different starts
  int startsAtBest = 1;  // of them, those ending within 0.1 of the best chi2
  std::vector<double> startChi2;  // where each ended, in the order run
  std::vector<EstimatedValue> parameters;  // every parameter, in the layout's order
  std::vector<EstimatedValue> derived;     // layerK.amount, .centroid, .thickness
  std::vector<std::string> correlationNames;                    // the free parameters
  std::vector<std::vector<std::optional<double>>> correlation;  // null where undetermined
  // Other starts' optima that the data hardly tell from the best (chi2
  // within kOtherOptimumChi2 of it) with a free parameter beyond the best's
  // interval, one per such solution, best first: the free parameters'
  // values (the layout's order) and chi2. A posterior starts walkers there too.
  struct OtherOptimum {
    std::vector<double> free;
    double chi2 = 0.0;
  };
  std::vector<OtherOptimum> otherOptima;
  JointModel joint;
  DepthProfile profile;
};
