#pragma once

#include <atomic>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "fit/least_squares.h"

// Profile-likelihood intervals of a least-squares optimum.
//
// For a quantity q(x) (a parameter, or anything computed from them) the
// profile is chi2_p(t) = min { chi2(x) : q(x) = t, x within its bounds }, and
// the interval is where chi2_p rises by at most `threshold` above the best
// chi2. The constraint is one more residual, (q(x) - t)/(eps*scale) with eps =
// 1e-2, added to the problem's own: its minimiser x* is the exact constrained
// minimum for the value q(x*) that it reaches (any x with the same q and a
// lower chi2 would lower the penalised sum too), so every point of the
// profile is exact and only the abscissa differs from t, by about 1e-4 of the
// scale. The ends are found by steps out from the optimum, each constrained
// fit starting from the last one's end (the first along the covariance's
// direction), then by the secant on sqrt(chi2_p - chi2) until chi2_p is
// within 5% of the threshold (about 2% of the interval's half-width) or the
// bracket is narrower than a hundredth of the scale.
//
// An end is a bound's value when q cannot go further inside the bounds with
// chi2_p still below the threshold (a parameter on its min or max, or a
// derived quantity stopped by the bounds of its parts), and absent when q has
// gone 1e4 scales (or 40 constrained fits) without chi2_p reaching it.

struct ProfiledQuantity {
  std::string name;
  // A parameter of the problem (its index) is held exactly at each value
  // instead, the others fitted: `at` is then not needed.
  int parameter = -1;
  double value = 0.0;  // q at the optimum
  // A first step: the covariance error when there is one, else a guess of
  // the quantity's size.
  double scale = 1.0;
  // q(x), and dq/dx into `gradient` (one per parameter) when it is not null.
  std::function<double(const std::vector<double>& x, std::vector<double>* gradient)> at;
  // The linear prediction of the constrained optimum's shift per unit of q
  // (covariance * gradient / (gradient' covariance gradient)); empty when the
  // covariance has none.
  std::vector<double> direction;
  double min = -std::numeric_limits<double>::infinity();  // q's own limits (a parameter's bounds)
  double max = std::numeric_limits<double>::infinity();
};

struct ProfiledEnd {
  std::optional<double> value;  // absent: the data do not limit q this side
  bool onBound = false;         // q's bounds, or its parts', end the interval
  double furthest = 0.0;        // the furthest value tried (for an absent end)
  int fits = 0;                 // constrained fits run
};

struct ProfiledInterval {
  ProfiledEnd lower;
  ProfiledEnd upper;
};

struct ProfileControl {
  const std::atomic<bool>* cancel = nullptr;
  int maxIterations = 200;  // per constrained fit
};

class ProfileLikelihood {
 public:
  // `problem` and its optimum `best` (chi2 there `bestChi2`); the interval's
  // height `threshold` (1, or chi2/dof when that exceeds 1).
  ProfileLikelihood(const LeastSquaresProblem& problem, std::vector<double> best, double bestChi2,
                    double threshold, ProfileControl control = {});

  ProfiledInterval interval(const ProfiledQuantity& quantity);

  // The lowest chi2 a constrained fit reached when it is below the best by
  // more than 0.1 (the optimum was not the global one), with its parameters.
  const std::optional<std::pair<double, std::vector<double>>>& better() const { return m_better; }
  // Every constrained optimum found below the threshold: points that every
  // other quantity's interval has to hold too.
  const std::vector<std::vector<double>>& accepted() const { return m_accepted; }

 private:
  struct Point {
    double q = 0.0;
    double rise = 0.0;  // chi2_p - best
    std::vector<double> x;
  };
  // The constrained fit for target t from start x0.
  Point constrained(const ProfiledQuantity& quantity, double target, std::vector<double> x0);
  ProfiledEnd end(const ProfiledQuantity& quantity, double sign);
  bool onSomeBound(const std::vector<double>& x) const;

  const LeastSquaresProblem& m_problem;
  std::vector<double> m_best;
  double m_bestChi2;
  double m_threshold;
  ProfileControl m_control;
  std::optional<std::pair<double, std::vector<double>>> m_better;
  std::vector<std::vector<double>> m_accepted;
};

// Both ends as one text for a warning: "NAME has no upper limit below V."
std::string unlimitedWarning(const std::string& name, bool upper, double furthest);
