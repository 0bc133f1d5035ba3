#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fit/parameter_kind.h"

// The covariance of the free parameters at an optimum, from the Jacobian of
// the weighted residuals by the parameters in their own units.
struct CovarianceInput {
  std::vector<std::string> names;  // the free parameters, as the warnings name them
  // What each of them is, in the same order: which of several to keep free
  // when one must be fixed. Without kinds, all rank alike.
  std::vector<ParameterKind> kinds;
  std::vector<double> jacobian;  // row-major, residuals x parameters
  double chi2 = 0.0;
  int dof = 0;
  // When given: chi2 at other parameter values (within [min, max]), to check
  // that chi2 is the parabola the covariance assumes over one error.
  std::function<double(const std::vector<double>& x)> chi2At;
  // When given too: the residuals and their Jacobian (as above) at x, for
  // the parameters to follow chi2's valley along a combination of them.
  std::function<void(const std::vector<double>& x, std::vector<double>& residuals,
                     std::vector<double>& jacobian)>
      residualsAt;
  std::vector<double> values;
  std::vector<double> min;
  std::vector<double> max;
};

// Parameters that the data cannot tell apart are undetermined: their errors,
// their correlations and the errors of whatever depends on them are absent,
// and a warning names them and what to fix. The other parameters' covariance
// is taken with the undetermined ones held at their values, and with those
// on a bound (value equal to min or max: held there by the minimiser) held
// there; these keep their marginal error, which holds towards the inside.
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
// whose eigenvalue is below 1e-6 of the largest has a standard error more
// than 1e3 times what its parameters would have with the others held — the
// data fix only a combination of them, and the quadratic approximation
// behind the covariance does not reach that far. Fits that the data do
// determine (two layers of 0.3 ug/cm2 at a resolution of about 0.2) stay
// above 1e-5; a layer thinner than the resolution with its multiplier free
// falls below 1e-7.
constexpr double kIdentifiabilityThreshold = 1e-6;

// A parameter is undetermined, too, when moving it by its error (the others
// following) raises chi2 by more than 3 or less than 1/3 of the 1 that an
// error means: the covariance's parabola then misstates the error by more
// than a factor 1.7, as with interface widths far below the resolution, whose
// curvature vanishes where the fit ends.
constexpr double kParabolaTolerance = 3.0;

// The same along each principal axis of the covariance, the other parameters
// following chi2's valley where a straight step is no parabola: a combination
// is undetermined when chi2 rises by more than 4 or less than 1/4 over its
// error (the error off by more than a factor 2), as for a layer thinner than
// the resolution with its multiplier free.
constexpr double kValleyTolerance = 4.0;

CovarianceEstimate estimateCovariance(const CovarianceInput& input);
