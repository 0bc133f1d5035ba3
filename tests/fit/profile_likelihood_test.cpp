#include "fit/profile_likelihood.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// y_j = model(x, t_j) + noise-free offsets d_j at t_j = 0..n-1, unit errors:
// residuals model - (truth + d), with the Jacobian by central differences.
struct Toy {
  int n = 12;
  std::function<double(const std::vector<double>& x, double t)> model;
  std::vector<double> data;
  LeastSquaresProblem problem(std::vector<BoundedParameter> parameters) const {
    LeastSquaresProblem lsq;
    lsq.residualCount = static_cast<std::size_t>(n);
    lsq.parameters = std::move(parameters);
    lsq.residuals = [this](const std::vector<double>& x, std::vector<double>& r) {
      for (int j = 0; j < n; ++j) r[j] = model(x, j) - data[j];
    };
    lsq.jacobian = [this](const std::vector<double>& x, std::vector<double>& J) {
      const std::size_t p = x.size();
      for (std::size_t i = 0; i < p; ++i) {
        std::vector<double> up = x, down = x;
        const double h = 1e-6 * std::max(1.0, std::fabs(x[i]));
        up[i] += h;
        down[i] -= h;
        for (int j = 0; j < n; ++j) J[j * p + i] = (model(up, j) - model(down, j)) / (2 * h);
      }
    };
    return lsq;
  }
};

// A line with small offsets, so that chi2 at the optimum is not 0.
std::vector<double> lineData(int n, double a, double b) {
  std::vector<double> y(n);
  for (int j = 0; j < n; ++j) y[j] = a + b * j + ((j % 3) - 1) * 0.5;
  return y;
}

ProfiledQuantity parameter(std::size_t i, double value, double scale, double min = -INFINITY,
                           double max = INFINITY) {
  ProfiledQuantity q;
  q.name = "p" + std::to_string(i);
  q.parameter = static_cast<int>(i);
  q.value = value;
  q.scale = scale;
  q.min = min;
  q.max = max;
  q.at = [i](const std::vector<double>& x, std::vector<double>* g) {
    if (g) {
      std::fill(g->begin(), g->end(), 0.0);
      (*g)[i] = 1.0;
    }
    return x[i];
  };
  return q;
}

double chi2At(const LeastSquaresProblem& lsq, const std::vector<double>& x) {
  std::vector<double> r(lsq.residualCount);
  lsq.residuals(x, r);
  double sum = 0.0;
  for (double v : r) sum += v * v;
  return sum;
}

std::vector<double> fitted(const LeastSquaresProblem& lsq) {
  return minimiseLeastSquares(lsq, {}).x;
}

TEST(ProfileLikelihood, AStraightLineGivesTheCovarianceErrorsOnBothSides) {
  Toy toy;
  toy.model = [](const std::vector<double>& x, double t) { return x[0] + x[1] * t; };
  toy.data = lineData(toy.n, 2.0, 0.5);
  const LeastSquaresProblem lsq = toy.problem({{1.0}, {1.0}});
  const std::vector<double> best = fitted(lsq);
  ProfileLikelihood likelihood(lsq, best, chi2At(lsq, best), 1.0);
  // Exact errors of a + b t at unit sigma, n = 12: var a = sxx/det, var b = n/det.
  const double n = 12, sx = 66, sxx = 506, det = n * sxx - sx * sx;
  const double errors[] = {std::sqrt(sxx / det), std::sqrt(n / det)};
  for (std::size_t i = 0; i < 2; ++i) {
    // A poor first step (three times too small) must still find the ends.
    const ProfiledInterval interval =
        likelihood.interval(parameter(i, best[i], errors[i] / 3.0));
    ASSERT_TRUE(interval.lower.value && interval.upper.value);
    EXPECT_NEAR(*interval.lower.value, best[i] - errors[i], 0.01 * errors[i]);
    EXPECT_NEAR(*interval.upper.value, best[i] + errors[i], 0.01 * errors[i]);
  }
}

// Only the product a*b reaches the data: it is limited as tightly as a single
// slope would be, each part only through the other's bounds.
TEST(ProfileLikelihood, ADerivedQuantityIsLimitedWhenItsPartsAreNot) {
  Toy toy;
  toy.model = [](const std::vector<double>& x, double t) { return x[0] * x[1] * t; };
  toy.data = lineData(toy.n, 0.0, 2.0);
  const LeastSquaresProblem lsq = toy.problem({{1.0, 0.1, 10.0}, {1.5, 0.1, 10.0}});
  const std::vector<double> best = fitted(lsq);
  ProfileLikelihood likelihood(lsq, best, chi2At(lsq, best), 1.0);

  ProfiledQuantity product;
  product.name = "product";
  product.value = best[0] * best[1];
  product.scale = 0.2;
  product.at = [](const std::vector<double>& x, std::vector<double>* g) {
    if (g) *g = {x[1], x[0]};
    return x[0] * x[1];
  };
  const ProfiledInterval p = likelihood.interval(product);
  const double slopeError = 1.0 / std::sqrt(506.0);  // sum t^2 = 506
  ASSERT_TRUE(p.lower.value && p.upper.value);
  EXPECT_FALSE(p.lower.onBound || p.upper.onBound);
  EXPECT_NEAR(*p.upper.value - *p.lower.value, 2 * slopeError, 0.02 * slopeError);

  // a alone: its own bound above; below, b's bound of 10 lets a go down only
  // until a*10 is the product's own lower end.
  const ProfiledInterval a = likelihood.interval(parameter(0, best[0], 0.1, 0.1, 10.0));
  ASSERT_TRUE(a.lower.value && a.upper.value);
  EXPECT_TRUE(a.upper.onBound);
  EXPECT_NEAR(*a.upper.value, 10.0, 1e-6);
  EXPECT_FALSE(a.lower.onBound);
  EXPECT_NEAR(*a.lower.value, *p.lower.value / 10.0, 0.01 * slopeError);
}

TEST(ProfileLikelihood, AParameterTheDataDoNotSeeHasNoEnds) {
  Toy toy;
  toy.model = [](const std::vector<double>& x, double t) { return x[0] + 0.0 * x[1] * t; };
  toy.data = lineData(toy.n, 1.0, 0.0);
  const LeastSquaresProblem lsq = toy.problem({{0.5}, {3.0}});
  const std::vector<double> best = fitted(lsq);
  ProfileLikelihood likelihood(lsq, best, chi2At(lsq, best), 1.0);
  const ProfiledInterval interval = likelihood.interval(parameter(1, best[1], 0.1));
  EXPECT_FALSE(interval.lower.value || interval.upper.value);
  EXPECT_GT(interval.upper.furthest, best[1] + 100.0);
  EXPECT_EQ(unlimitedWarning("p1", true, 1234.5678), "p1 has no upper limit below 1235.");
}

// Where chi2 is no parabola the two sides differ, and the profile rises by
// the threshold at each end (scaled here, as for chi2/dof = 2.5).
TEST(ProfileLikelihood, AsymmetricEndsLieWhereTheProfileRisesByTheThreshold) {
  Toy toy;
  toy.n = 8;
  toy.model = [](const std::vector<double>& x, double t) { return 20.0 * std::exp(-x[0] * t) + x[1]; };
  toy.data.resize(8);
  for (int j = 0; j < 8; ++j) toy.data[j] = 20.0 * std::exp(-0.3 * j) + 1.0 + ((j % 2) ? 0.7 : -0.7);
  const LeastSquaresProblem lsq = toy.problem({{0.5, 0.0, INFINITY}, {0.0}});
  const std::vector<double> best = fitted(lsq);
  const double bestChi2 = chi2At(lsq, best);
  const double threshold = 2.5;
  ProfileLikelihood likelihood(lsq, best, bestChi2, threshold);
  const ProfiledInterval interval = likelihood.interval(parameter(0, best[0], 0.01, 0.0));
  ASSERT_TRUE(interval.lower.value && interval.upper.value);
  const double minus = best[0] - *interval.lower.value, plus = *interval.upper.value - best[0];
  EXPECT_GT(std::fabs(plus - minus), 0.02 * (plus + minus));
  for (double end : {*interval.lower.value, *interval.upper.value}) {
    // The profile at the end, by fitting the other parameter with this one fixed.
    Toy inner = toy;
    inner.model = [&](const std::vector<double>& x, double t) { return toy.model({end, x[0]}, t); };
    const LeastSquaresProblem fixed = inner.problem({{best[1]}});
    EXPECT_NEAR(chi2At(fixed, fitted(fixed)) - bestChi2, threshold, 0.05 * threshold);
  }
}

}  // namespace
