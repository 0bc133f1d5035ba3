#include "fit/fit_statistic.h"

#include <algorithm>
#include <cmath>

namespace {

// f as the Poisson deviance sees it, with its slope by f.
struct Floored {
  double value;
  double slope;
};
Floored floored(double f, double floor) {
  if (f >= floor) return {f, 1.0};
  const double d = 2.0 * floor - f;
  return {floor * floor / d, floor * floor / (d * d)};
}

// 2[f - y + y ln(y/f)] for y > 0, written as 2y[t - ln(1 + t)], t = (f - y)/y,
// with a series where the two terms would cancel.
double deviance(double y, double f) {
  if (y <= 0.0) return 2.0 * f;
  const double t = (f - y) / y;
  if (std::fabs(t) < 1e-3) {
    // t - ln(1+t) = t^2/2 - t^3/3 + t^4/4 - ...; six terms reach 1e-21 relative.
    double sum = 0.0;
    double power = t;
    for (int k = 2; k <= 7; ++k) {
      power *= t;
      sum += (k % 2 == 0 ? 1.0 : -1.0) * power / k;
    }
    return 2.0 * y * sum;
  }
  return 2.0 * y * (t - std::log1p(t));
}

}  // namespace

double poissonYieldFloor(const std::vector<MeasuredYield>& points) {
  double largest = 1.0;
  for (const MeasuredYield& p : points) largest = std::max(largest, p.yield);
  return 1e-6 * largest;
}

StatisticResidual statisticResidual(FitStatistic statistic, const MeasuredYield& point,
                                    double fitted, double poissonFloor) {
  const double y = point.yield;
  switch (statistic) {
    case FitStatistic::Poisson: {
      const Floored f = floored(fitted, poissonFloor);
      const double r = std::copysign(std::sqrt(std::max(deviance(y, f.value), 0.0)), y - f.value);
      // dr/df = (f - y)/(f r); at f = y the limit is -sqrt(y)/f.
      const double slope = r != 0.0 ? (f.value - y) / (f.value * r) : -std::sqrt(y) / f.value;
      return {r, slope * f.slope};
    }
    case FitStatistic::Neyman: {
      const double s = std::sqrt(std::max(y, 1.0));
      return {(y - fitted) / s, -1.0 / s};
    }
    case FitStatistic::Errors:
      return {(y - fitted) / point.error, -1.0 / point.error};
    case FitStatistic::Equal:
      return {y - fitted, -1.0};
  }
  return {};
}

double statisticChi2(FitStatistic statistic, std::span<const MeasuredYield> points,
                     std::span<const double> fitted, double poissonFloor) {
  double sum = 0.0;
  for (std::size_t j = 0; j < fitted.size(); ++j) {
    const double r = statisticResidual(statistic, points[j], fitted[j], poissonFloor).value;
    sum += r * r;
  }
  return sum;
}

double statisticSigma(FitStatistic statistic, const MeasuredYield& point, double fitted,
                      double poissonFloor, double equalSigma) {
  switch (statistic) {
    case FitStatistic::Poisson:
      return std::sqrt(floored(fitted, poissonFloor).value);
    case FitStatistic::Neyman:
      return std::sqrt(std::max(point.yield, 1.0));
    case FitStatistic::Errors:
      return point.error;
    case FitStatistic::Equal:
      return equalSigma;
  }
  return 1.0;
}
