#pragma once

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
};

// What a fit found. `model` holds the fitted values; `profile` is the model
// rendered; `curve` the fitted yield at each used measured point.
struct FitResult {
  bool converged = false;
  bool cancelled = false;
  int iterations = 0;
  double chi2 = 0.0;
  int points = 0;
  int freeParameters = 0;
  int dof = 0;
  double reducedChi2 = 0.0;
  std::vector<std::string> warnings;
  std::vector<EstimatedValue> parameters;  // every parameter, in namedParameters order
  std::vector<EstimatedValue> derived;     // layerK.amount, .centroid, .thickness
  std::vector<std::string> correlationNames;              // the free parameters
  std::vector<std::vector<std::optional<double>>> correlation;  // null where undetermined
  SampleModel model;
  DepthProfile profile;
  // The points used, with the fitted yield and (y - f)/sigma.
  struct Residual {
    double energy = 0.0;  // keV as measured
    double yield = 0.0;
    double fitted = 0.0;
    double normalized = 0.0;
  };
  std::vector<Residual> residuals;
};
