#include "fit/fit_covariance.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <utility>

#include "fit/covariance_checks.h"
#include "fit/number_text.h"

namespace covariance {

// Positions and the multiplier carry the answer, widths below the
// resolution do not.
int keepPreference(const CovarianceInput& input, std::size_t i) {
  if (i >= input.kinds.size()) return 0;
  switch (input.kinds[i]) {
    case ParameterKind::From:
    case ParameterKind::To:
      return 6;
    case ParameterKind::Multiplier:
      return 5;
    case ParameterKind::Concentration:
      return 4;
    case ParameterKind::Background:
      return 3;
    case ParameterKind::EnergyShift:
      return 2;
    case ParameterKind::LorentzianWidth:
    case ParameterKind::GaussianWidth:
      return 1;
    case ParameterKind::TopWidth:
    case ParameterKind::BottomWidth:
      return 0;
  }
  return 0;
}

std::string formatCorrelation(double value) {
  return fixedText(value, 6);
}

std::string joinNames(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

namespace {

std::string undeterminedWarning(const std::vector<std::size_t>& group,
                                const std::vector<std::string>& names,
                                const Eigen::MatrixXd& inverse, const std::vector<bool>& toFix) {
  if (group.size() == 1) {
    return "The data do not determine " + names[group[0]] + ": its error is undetermined; fix it.";
  }
  std::vector<std::string> groupNames;
  std::vector<std::string> fixNames;
  for (std::size_t i : group) {
    groupNames.push_back(names[i]);
    if (toFix[i]) fixNames.push_back(names[i]);
  }
  // The strongest correlation within the group.
  double strongest = 0.0;
  std::size_t a = group[0];
  std::size_t b = group[1];
  for (std::size_t x = 0; x < group.size(); ++x) {
    for (std::size_t y = x + 1; y < group.size(); ++y) {
      const std::size_t i = group[x];
      const std::size_t j = group[y];
      const double c = inverse(i, j) / std::sqrt(inverse(i, i) * inverse(j, j));
      if (std::fabs(c) >= std::fabs(strongest)) {
        strongest = c;
        a = i;
        b = j;
      }
    }
  }
  return "The data cannot tell apart " + joinNames(groupNames) + " (correlation " +
         formatCorrelation(strongest) + " between " + names[a] + " and " + names[b] +
         "): their errors are undetermined; fix " + joinNames(fixNames) + ".";
}

// The smallest eigenvalue of S restricted to `kept`, relative to the
// largest, with its eigenvector over all parameters.
std::pair<double, Eigen::VectorXd> weakestDirection(const Eigen::MatrixXd& S,
                                                    const std::vector<bool>& kept) {
  std::vector<Eigen::Index> index;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (kept[i]) index.push_back(static_cast<Eigen::Index>(i));
  }
  const Eigen::Index m = static_cast<Eigen::Index>(index.size());
  Eigen::MatrixXd sub(m, m);
  for (Eigen::Index x = 0; x < m; ++x) {
    for (Eigen::Index y = 0; y < m; ++y) sub(x, y) = S(index[x], index[y]);
  }
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(sub);
  Eigen::VectorXd v = Eigen::VectorXd::Zero(S.rows());
  for (Eigen::Index x = 0; x < m; ++x) v(index[x]) = eigen.eigenvectors()(x, 0);
  const double largest = eigen.eigenvalues()(m - 1);
  return {largest > 0.0 ? eigen.eigenvalues()(0) / largest : 0.0, v};
}

// What to fix: the least wanted parameter of the weakest direction, one at a
// time, until what is left is determined.
std::vector<bool> parametersToFix(const CovarianceSteps& s, const std::vector<bool>& usable) {
  std::vector<bool> kept = usable;
  std::vector<bool> toFix(usable.size(), false);
  while (std::count(kept.begin(), kept.end(), true) > 1) {
    const auto [ratio, v] = weakestDirection(s.S, kept);
    if (!(ratio < kIdentifiabilityThreshold)) break;
    std::size_t pick = kept.size();
    for (std::size_t i = 0; i < kept.size(); ++i) {
      if (!kept[i] || std::fabs(v(i)) < kParticipation) continue;
      if (pick == kept.size() || keepPreference(s.input, i) < keepPreference(s.input, pick) ||
          (keepPreference(s.input, i) == keepPreference(s.input, pick) &&
           std::fabs(v(i)) > std::fabs(v(pick)))) {
        pick = i;
      }
    }
    if (pick == kept.size()) break;
    kept[pick] = false;
    toFix[pick] = true;
  }
  return toFix;
}

// The inverse of S restricted to `index`.
Eigen::MatrixXd inverseOf(const Eigen::MatrixXd& S, const std::vector<std::size_t>& index) {
  const Eigen::Index m = static_cast<Eigen::Index>(index.size());
  Eigen::MatrixXd sub(m, m);
  for (Eigen::Index x = 0; x < m; ++x) {
    for (Eigen::Index y = 0; y < m; ++y) sub(x, y) = S(index[x], index[y]);
  }
  return sub.ldlt().solve(Eigen::MatrixXd::Identity(m, m));
}

// Scales JᵀJ to unit diagonal so that units and sizes do not count, only
// directions. A parameter with no diagonal at all is one the data never see:
// undetermined on its own.
void scaleToUnitDiagonal(CovarianceSteps& s) {
  const std::size_t n = s.input.jacobian.size() / s.p;
  const Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>> J(
      s.input.jacobian.data(), static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(s.p));
  const Eigen::MatrixXd A = J.transpose() * J;
  s.scale = Eigen::VectorXd(s.p);
  for (std::size_t i = 0; i < s.p; ++i) {
    const double d = A(i, i);
    s.scale(i) = d > 0.0 && std::isfinite(d) ? 1.0 / std::sqrt(d) : 0.0;
    if (s.scale(i) == 0.0) {
      s.estimate.undetermined[i] = true;
      s.estimate.warnings.push_back("The data do not determine " + s.input.names[i] +
                                    ": its error is undetermined; fix it.");
    }
  }
  s.S = s.scale.asDiagonal() * A * s.scale.asDiagonal();
}

std::size_t rootOf(const std::vector<std::size_t>& groupOf, std::size_t i) {
  while (groupOf[i] != i) i = groupOf[i];
  return i;
}

// The directions of S whose eigenvalue is below kIdentifiabilityThreshold of
// the largest: every parameter that takes part in one is undetermined, and
// those that share one form a group (merged while they overlap), named in
// one warning with what to fix.
void undeterminedDirections(CovarianceSteps& s) {
  const std::size_t p = s.p;
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(s.S);
  const Eigen::VectorXd& lambda = eigen.eigenvalues();  // ascending
  const Eigen::MatrixXd& V = eigen.eigenvectors();
  const double largest = std::max(lambda(static_cast<Eigen::Index>(p) - 1), 0.0);
  // The inverse with every direction, its smallest eigenvalues held off zero,
  // for the correlations that the warnings quote.
  Eigen::VectorXd inverseLambda(p);
  for (std::size_t k = 0; k < p; ++k) {
    inverseLambda(k) = 1.0 / std::max(lambda(k), 1e-30 * std::max(largest, 1e-300));
  }
  const Eigen::MatrixXd fullInverse = V * inverseLambda.asDiagonal() * V.transpose();

  std::vector<std::size_t> groupOf(p);
  for (std::size_t i = 0; i < p; ++i) groupOf[i] = i;
  for (std::size_t k = 0; k < p; ++k) {
    if (!(lambda(k) < kIdentifiabilityThreshold * largest)) break;
    std::size_t first = p;
    for (std::size_t i = 0; i < p; ++i) {
      if (s.scale(i) == 0.0 || std::fabs(V(i, k)) < kParticipation) continue;
      s.estimate.undetermined[i] = true;
      if (first == p) first = i;
      groupOf[rootOf(groupOf, i)] = rootOf(groupOf, first);
    }
  }
  std::vector<bool> usable(p);
  for (std::size_t i = 0; i < p; ++i) usable[i] = s.scale(i) != 0.0;
  const std::vector<bool> toFix = parametersToFix(s, usable);
  for (std::size_t r = 0; r < p; ++r) {
    std::vector<std::size_t> group;
    for (std::size_t i = 0; i < p; ++i) {
      if (s.scale(i) != 0.0 && s.estimate.undetermined[i] && rootOf(groupOf, i) == r) {
        group.push_back(i);
      }
    }
    if (!group.empty()) {
      s.estimate.warnings.push_back(undeterminedWarning(group, s.input.names, fullInverse, toFix));
    }
  }
}

// A parameter that the minimiser holds on a bound (its value at min or max)
// is not free at the optimum: the estimates' spread has no share along it,
// so the others' covariance is taken with it held there, and its own error
// is the marginal one (towards the inside only; see warnAtBounds).
void findBoundParameters(CovarianceSteps& s) {
  s.onBound.assign(s.p, false);
  for (std::size_t i = 0; i < s.p && i < s.input.values.size(); ++i) {
    s.onBound[i] = s.input.values[i] <= s.input.min[i] || s.input.values[i] >= s.input.max[i];
  }
}

// The kept parameters' covariance and correlations, scaled back to their
// units and by the reduced chi2 when above 1; each parameter on a bound gets
// its marginal error with the kept ones free beside it.
void scaledCovariance(CovarianceSteps& s) {
  const std::size_t p = s.p;
  const Eigen::Index m = static_cast<Eigen::Index>(s.kept.size());
  const double reduced = s.input.dof > 0 ? s.input.chi2 / s.input.dof : 0.0;
  const double inflation = reduced > 1.0 ? reduced : 1.0;
  for (Eigen::Index x = 0; x < m; ++x) {
    for (Eigen::Index y = 0; y < m; ++y) {
      const std::size_t i = s.kept[x];
      const std::size_t j = s.kept[y];
      s.estimate.covariance[i * p + j] = s.subInverse(x, y) * s.scale(i) * s.scale(j) * inflation;
      s.estimate.correlation[i][j] =
          s.subInverse(x, y) / std::sqrt(s.subInverse(x, x) * s.subInverse(y, y));
    }
    const std::size_t i = s.kept[x];
    s.estimate.errors[i] = std::sqrt(s.estimate.covariance[i * p + i]);
  }
  for (std::size_t i = 0; i < p; ++i) {
    if (!s.onBound[i] || s.estimate.undetermined[i]) continue;
    std::vector<std::size_t> with = s.kept;
    with.push_back(i);
    const double variance = inverseOf(s.S, with)(m, m) * s.scale(i) * s.scale(i) * inflation;
    s.estimate.covariance[i * p + i] = variance;
    s.estimate.correlation[i][i] = 1.0;
    s.estimate.errors[i] = std::sqrt(variance);
  }
}

}  // namespace

CovarianceSteps::CovarianceSteps(const CovarianceInput& input)
    : input(input), p(input.names.size()) {
  estimate.undetermined.assign(p, false);
  estimate.errors.assign(p, std::nullopt);
  estimate.correlation.assign(p, std::vector<std::optional<double>>(p));
  estimate.covariance.assign(p * p, 0.0);
}

void CovarianceSteps::invertKept() {
  kept.clear();
  for (std::size_t i = 0; i < p; ++i) {
    if (!estimate.undetermined[i] && !onBound[i]) kept.push_back(i);
  }
  subInverse = inverseOf(S, kept);
  subCurvature = Eigen::VectorXd(subInverse.rows());
  for (Eigen::Index x = 0; x < subCurvature.size(); ++x) subCurvature(x) = S(kept[x], kept[x]);
}

}  // namespace covariance

std::optional<double> CovarianceEstimate::propagate(const std::vector<double>& gradient) const {
  const std::size_t p = undetermined.size();
  double variance = 0.0;
  for (std::size_t i = 0; i < p; ++i) {
    if (gradient[i] == 0.0) continue;
    if (undetermined[i] || !std::isfinite(gradient[i])) return std::nullopt;
    for (std::size_t j = 0; j < p; ++j)
      variance += gradient[i] * covariance[i * p + j] * gradient[j];
  }
  return std::sqrt(std::max(variance, 0.0));
}

CovarianceEstimate estimateCovariance(const CovarianceInput& input) {
  using namespace covariance;
  CovarianceSteps s(input);
  if (s.p == 0) return s.estimate;
  scaleToUnitDiagonal(s);
  undeterminedDirections(s);
  findBoundParameters(s);
  // The determined parameters' covariance in scaled units, the undetermined
  // and those on a bound held fixed; each check holds more of them.
  s.invertKept();
  checkParabolas(s);
  checkValleys(s);
  scaledCovariance(s);
  return std::move(s.estimate);
}
