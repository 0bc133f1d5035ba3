#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The covariance of the free parameters at an optimum, from the Jacobian of
// the weighted residuals by the parameters in their own units.
struct CovarianceInput {
  std::vector<std::string> names;  // the free parameters
  std::vector<double> jacobian;    // row-major, residuals x parameters
  double chi2 = 0.0;
  int dof = 0;
};

// Parameters that the data cannot tell apart are undetermined: their errors,
// their correlations and the errors of whatever depends on them are absent,
// and a warning names them and what to fix. The other parameters' covariance
// is taken with the undetermined ones held at their values.
struct CovarianceEstimate {
  std::vector<std::optional<double>> errors;  // 1-sigma, scaled by sqrt(reduced chi2) when > 1
  std::vector<std::vector<std::optional<double>>> correlation;
  std::vector<bool> undetermined;
  std::vector<std::string> warnings;
  std::vector<double> covariance;  // p x p, scaled; 0 in undetermined rows and columns

  // The delta method: the error of a quantity with this gradient by the free
  // parameters, absent when it depends on an undetermined one.
  std::optional<double> propagate(const std::vector<double>& gradient) const;
};

// The threshold on the correlation-scaled JᵀJ (unit diagonal): a direction
// whose eigenvalue is below 1e-8 of the largest has a standard error more
// than 1e4 times what its parameters would have with the others fixed — the
// data fix only a combination of them, and the Jacobian (finite differences
// of the broadening widths carry about 1e-7 relative error) cannot resolve it.
constexpr double kIdentifiabilityThreshold = 1e-8;

CovarianceEstimate estimateCovariance(const CovarianceInput& input);
