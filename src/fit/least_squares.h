#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <limits>
#include <vector>

// A free parameter of a least-squares problem, kept within [min, max].
struct BoundedParameter {
  double start = 0.0;
  double min = -std::numeric_limits<double>::infinity();
  double max = std::numeric_limits<double>::infinity();
};

// Minimise sum_j r_j(x)^2 over x within the bounds. The callbacks receive x
// inside the bounds; residuals fills r (residualCount values), jacobian fills
// dr/dx row-major (residualCount x parameterCount), columns in parameter order.
struct LeastSquaresProblem {
  std::size_t residualCount = 0;
  std::vector<BoundedParameter> parameters;
  std::function<void(const std::vector<double>& x, std::vector<double>& residuals)> residuals;
  std::function<void(const std::vector<double>& x, std::vector<double>& jacobian)> jacobian;
};

struct LeastSquaresControl {
  int maxIterations = 300;
  // Converged also when chi2 falls by less than this (or 1e-10 of itself) on
  // two successive iterations.
  double quietChange = 1e-6;
  const std::atomic<bool>* cancel = nullptr;  // checked before each iteration
  // After each iteration: its number from 1, the parameters and sum r^2.
  std::function<void(int iteration, const std::vector<double>& x, double chi2)> progress;
};

struct LeastSquaresOutcome {
  std::vector<double> x;
  double chi2 = 0.0;
  int iterations = 0;
  bool converged = false;
  bool cancelled = false;
};

// Trust region with Levenberg-Marquardt steps (GSL's multifit_nlinear, QR,
// More scaling). Bounds are kept by a smooth, monotonic change of variables,
// so the steps are taken in unbounded coordinates u of order 1 and never
// fold back at a bound:
//   two bounds:  x = min + (max - min)/(1 + e^-u), when max - min is at most
//                1e3 times the start's distance from the nearer bound;
//   otherwise, from the nearer (or only) bound:
//                x = min + s*log(1 + e^u)  (max - s*log(...) from above),
//                the far bound, if any, kept by projection;
//   no bound:    x = s*u;
// s the start's distance from that bound, or its size (1 when both are 0);
// a start on a bound begins 1e-2*s inside. Near a bound x approaches it only
// exponentially in u, so a parameter that the data press against a bound is
// held on it (two iterations in a row within 1e-2 of its start's distance
// from the bound, chi2 falling towards it) and the others go on; at
// convergence a held parameter that chi2 pulls back inside is released and
// the fit goes on again. Converged when the step (relative 1e-8) or the
// gradient vanishes, or when chi2 changes by less than 1e-6 (or 1e-10 of
// itself) on two successive iterations: a parameter then moves by less than
// a thousandth of its error. At most control.maxIterations iterations in all.
// A start whose chi2 is not a finite number ends it at once, not converged.
// An exception of a callback ends the minimisation and reaches the caller.
LeastSquaresOutcome minimiseLeastSquares(const LeastSquaresProblem& problem,
                                         const LeastSquaresControl& control);

// The sum of the squared residuals, added in their order: chi2 wherever the
// residuals are the statistic's.
double sumOfSquares(const std::vector<double>& r);
