#pragma once

// The steps of estimateCovariance that look at chi2 itself, and what they
// share with the others. Used by fit_covariance.cpp and covariance_checks.cpp
// only.

#include <Eigen/Dense>
#include <cstddef>
#include <string>
#include <vector>

#include "fit/fit_covariance.h"

namespace covariance {

// A parameter whose weight in an undetermined direction is at least this
// takes part in it: its variance grows by more than 0.0025/eigenvalue.
constexpr double kParticipation = 0.05;

// What the steps of one estimate share. `scale` brings JᵀJ to unit diagonal
// (S); it is 0 for a parameter the data do not see at all. `kept` are the
// parameters neither undetermined nor on a bound, `subInverse` the inverse
// of S restricted to them and `subCurvature` S's diagonal there.
struct CovarianceSteps {
  const CovarianceInput& input;
  std::size_t p = 0;
  CovarianceEstimate estimate;
  Eigen::VectorXd scale;
  Eigen::MatrixXd S;
  std::vector<bool> onBound;
  std::vector<std::size_t> kept;
  Eigen::MatrixXd subInverse;
  Eigen::VectorXd subCurvature;

  // Sizes the estimate for the input's parameters, none of them undetermined.
  explicit CovarianceSteps(const CovarianceInput& input);
  // Takes `kept` and its inverse anew, the undetermined parameters and those
  // on a bound held fixed.
  void invertKept();
};

// Which of several parameters a physicist would rather keep free.
int keepPreference(const CovarianceInput& input, std::size_t i);

std::string formatCorrelation(double value);

// "a", "a and b", "a, b and c".
std::string joinNames(const std::vector<std::string>& names);

// Where chi2 is not the parabola that the covariance assumes over one
// parameter's error, that error only looks like one: holds the worst such
// parameter, one at a time, until every kept one has its parabola.
void checkParabolas(CovarianceSteps& steps);

// The same along each principal axis of the covariance, the other
// parameters following chi2's valley: holds the parameters whose variance
// comes mostly from the worst such axis, one axis at a time.
void checkValleys(CovarianceSteps& steps);

}  // namespace covariance
