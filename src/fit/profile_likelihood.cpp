#include "fit/profile_likelihood.h"

#include <algorithm>
#include <cmath>

#include "fit/fit_error.h"
#include "fit/number_text.h"

namespace {

constexpr double kPenaltyFraction = 1e-2;  // the constraint's width, in scales
constexpr double kThresholdTolerance = 0.05;
constexpr int kMostFits = 40;
constexpr double kFurthest = 1e4;  // scales

double clampInto(double v, const BoundedParameter& b) {
  return std::clamp(v, b.min, b.max);
}

}  // namespace

bool ProfileLikelihood::onSomeBound(const std::vector<double>& x) const {
  for (std::size_t i = 0; i < x.size(); ++i) {
    const BoundedParameter& b = m_problem.parameters[i];
    const double near = 1e-9 * std::max(1.0, std::fabs(x[i]));
    if (x[i] <= b.min + near || x[i] >= b.max - near) return true;
  }
  return false;
}

ProfileLikelihood::ProfileLikelihood(const LeastSquaresProblem& problem, std::vector<double> best,
                                     double bestChi2, double threshold, ProfileControl control)
    : m_problem(problem),
      m_best(std::move(best)),
      m_bestChi2(bestChi2),
      m_threshold(threshold),
      m_control(control) {}

ProfileLikelihood::Point ProfileLikelihood::constrained(const ProfiledQuantity& quantity,
                                                        double target, std::vector<double> x0) {
  const std::size_t n = m_problem.residualCount;
  const std::size_t p = m_problem.parameters.size();
  const bool held = quantity.parameter >= 0;
  const std::size_t fixed = static_cast<std::size_t>(quantity.parameter);
  if (held) x0[fixed] = target;
  // The problem's x from the constrained fit's y (all but a held parameter).
  auto full = [&](const std::vector<double>& y) {
    if (!held) return y;
    std::vector<double> x(p);
    for (std::size_t i = 0, k = 0; i < p; ++i) x[i] = i == fixed ? target : y[k++];
    return x;
  };
  LeastSquaresProblem lsq;
  lsq.residualCount = held ? n : n + 1;
  for (std::size_t i = 0; i < p; ++i) {
    if (held && i == fixed) continue;
    BoundedParameter b = m_problem.parameters[i];
    b.start = clampInto(x0[i], b);
    lsq.parameters.push_back(b);
  }
  const std::size_t free = lsq.parameters.size();
  const double weight = 1.0 / (kPenaltyFraction * quantity.scale);
  std::vector<double> own;
  std::vector<double> gradient(p);
  lsq.residuals = [&](const std::vector<double>& y, std::vector<double>& r) {
    const std::vector<double> x = full(y);
    own.resize(n);
    m_problem.residuals(x, own);
    std::copy(own.begin(), own.end(), r.begin());
    if (!held) r[n] = (quantity.at(x, nullptr) - target) * weight;
  };
  lsq.jacobian = [&](const std::vector<double>& y, std::vector<double>& J) {
    const std::vector<double> x = full(y);
    own.resize(n * p);
    m_problem.jacobian(x, own);
    for (std::size_t j = 0; j < n; ++j) {
      for (std::size_t i = 0, k = 0; i < p; ++i) {
        if (!(held && i == fixed)) J[j * free + k++] = own[j * p + i];
      }
    }
    if (held) return;
    quantity.at(x, &gradient);
    for (std::size_t i = 0; i < p; ++i) J[n * p + i] = gradient[i] * weight;
  };
  LeastSquaresControl control;
  control.cancel = m_control.cancel;
  control.maxIterations = m_control.maxIterations;
  control.quietChange = 1e-3;  // chi2 to well within the threshold's tolerance
  LeastSquaresOutcome outcome;
  if (free > 0) {
    outcome = minimiseLeastSquares(lsq, control);
  } else {
    outcome.x = {};
  }
  if (outcome.cancelled) throw FitCancelled{};
  outcome.x = full(outcome.x);
  Point point;
  point.x = outcome.x;
  point.q = held ? target : quantity.at(point.x, nullptr);
  std::vector<double> r(n);
  m_problem.residuals(point.x, r);
  const double chi2 = sumOfSquares(r);
  point.rise = chi2 - m_bestChi2;
  if (point.rise < -0.1 && (!m_better || chi2 < m_better->first)) m_better.emplace(chi2, point.x);
  if (point.rise < m_threshold) m_accepted.push_back(point.x);
  return point;
}

ProfiledEnd ProfileLikelihood::end(const ProfiledQuantity& quantity, double sign) {
  ProfiledEnd result;
  const double limit = sign > 0.0 ? quantity.max : quantity.min;
  Point last{quantity.value, 0.0, m_best};
  std::optional<Point> previous;
  double step = quantity.scale;
  std::optional<Point> above;
  while (result.fits < kMostFits) {
    double target = last.q + sign * step;
    const bool atLimit = std::isfinite(limit) && sign * (target - limit) >= 0.0;
    if (atLimit) target = limit;
    // The start: along the path of the last two constrained optima, or at
    // first along the covariance's direction.
    std::vector<double> x0 = last.x;
    if (previous && previous->q != last.q) {
      const double f = (target - last.q) / (last.q - previous->q);
      for (std::size_t i = 0; i < x0.size(); ++i) x0[i] += f * (last.x[i] - previous->x[i]);
    } else {
      for (std::size_t i = 0; i < quantity.direction.size(); ++i) {
        x0[i] += quantity.direction[i] * (target - last.q);
      }
    }
    Point point = constrained(quantity, target, std::move(x0));
    ++result.fits;
    result.furthest = point.q;
    if (point.rise >= m_threshold) {
      above = std::move(point);
      break;
    }
    const double progress = sign * (point.q - last.q);
    if (atLimit || (progress < 0.25 * std::fabs(target - last.q) && onSomeBound(point.x))) {
      // Nothing inside the bounds takes q further at this chi2.
      result.value = progress > 0.0 ? point.q : last.q;
      result.onBound = true;
      return result;
    }
    if (progress <= 0.0) {
      // The constrained fit fell short without a bound in the way: try the
      // same target again from where it ended.
      last.x = std::move(point.x);
      previous.reset();
      continue;
    }
    previous = std::move(last);
    last = std::move(point);
    const double distance = std::fabs(last.q - quantity.value);
    if (distance > kFurthest * quantity.scale) return result;
    // Aim a little beyond where a parabola through the optimum would reach
    // the threshold, so that the next fit brackets it.
    double next = 4.0 * distance;
    if (last.rise > 1e-3 * m_threshold) {
      next = std::clamp(1.1 * distance * std::sqrt(m_threshold / last.rise), 1.2 * distance,
                        4.0 * distance);
    }
    step = next - distance;
  }
  if (!above) return result;

  // The secant on sqrt(rise), which is linear in q where chi2 is a parabola;
  // halving instead when one side has moved twice in a row (a wall that the
  // bounds of the other parameters raise is no parabola).
  Point low = std::move(last);
  Point high = std::move(*above);
  const double root = std::sqrt(m_threshold);
  auto crossing = [&] {
    const double fLow = std::sqrt(std::max(low.rise, 0.0)) - root;
    const double fHigh = std::sqrt(high.rise) - root;
    const double t = fHigh > fLow ? -fLow / (fHigh - fLow) : 0.5;
    return std::clamp(t, 0.02, 0.98);
  };
  auto near = [&](const Point& p) {
    return std::fabs(p.rise - m_threshold) <= kThresholdTolerance * m_threshold;
  };
  int sameSide = 0;
  bool lastLow = false;
  while (result.fits < kMostFits && !near(low) && !near(high) &&
         std::fabs(high.q - low.q) > 1e-2 * quantity.scale) {
    const double t = sameSide >= 2 ? 0.5 : crossing();
    std::vector<double> x0(low.x.size());
    for (std::size_t i = 0; i < x0.size(); ++i) x0[i] = low.x[i] + t * (high.x[i] - low.x[i]);
    Point point = constrained(quantity, low.q + t * (high.q - low.q), std::move(x0));
    ++result.fits;
    const bool isLow = point.rise < m_threshold;
    sameSide = isLow == lastLow ? sameSide + 1 : 1;
    lastLow = isLow;
    (isLow ? low : high) = std::move(point);
  }
  if (near(low)) {
    result.value = low.q;
  } else if (near(high)) {
    result.value = high.q;
  } else {
    result.value = low.q + crossing() * (high.q - low.q);
  }
  result.furthest = *result.value;
  return result;
}

ProfiledInterval ProfileLikelihood::interval(const ProfiledQuantity& quantity) {
  if (!(quantity.scale > 0.0) || !std::isfinite(quantity.scale)) {
    throw FitError("The profile of " + quantity.name + " needs a positive scale.");
  }
  ProfiledInterval interval;
  interval.lower = end(quantity, -1.0);
  interval.upper = end(quantity, +1.0);
  // A constrained fit meets its target within its penalty's width: an end
  // on q's own limit is the limit.
  for (ProfiledEnd* e : {&interval.lower, &interval.upper}) {
    if (e->value) e->value = std::clamp(*e->value, quantity.min, quantity.max);
  }
  return interval;
}

std::string unlimitedWarning(const std::string& name, bool upper, double furthest) {
  return name + (upper ? " has no upper limit below " : " has no lower limit above ") +
         significantText(furthest, 4) + ".";
}
