#include "fit/fit_covariance.h"

#include <Eigen/Dense>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

namespace {

// A parameter whose weight in an undetermined direction is at least this
// takes part in it: its variance grows by more than 0.0025/eigenvalue.
constexpr double kParticipation = 0.05;

// Which of several parameters a physicist would rather keep free: positions
// and the multiplier carry the answer, widths below the resolution do not.
int keepPreference(const std::string& name) {
  const auto endsWith = [&](const char* suffix) {
    const std::string s(suffix);
    return name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
  };
  if (endsWith(".from") || endsWith(".to")) return 6;
  if (name == "multiplier") return 5;
  if (endsWith(".concentration")) return 4;
  if (name == "background") return 3;
  if (name == "energy_shift") return 2;
  if (name == "lorentzian_width" || name == "gaussian_width") return 1;
  return 0;  // interface widths
}

std::string formatCorrelation(double value) {
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  return std::string(buffer, result.ptr);
}

std::string joinNames(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

std::string undeterminedWarning(const std::vector<std::size_t>& group,
                                const std::vector<std::string>& names,
                                const Eigen::MatrixXd& inverse) {
  std::vector<std::string> groupNames;
  for (std::size_t i : group) groupNames.push_back(names[i]);
  // The strongest correlation within the group.
  double strongest = 0.0;
  std::size_t a = group[0];
  std::size_t b = group.size() > 1 ? group[1] : group[0];
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
  // Keep the one a physicist wants most, suggest fixing the rest.
  std::vector<std::size_t> byPreference = group;
  std::stable_sort(byPreference.begin(), byPreference.end(), [&](std::size_t x, std::size_t y) {
    return keepPreference(names[x]) > keepPreference(names[y]);
  });
  std::vector<std::string> toFix;
  for (std::size_t k = 1; k < byPreference.size(); ++k) toFix.push_back(names[byPreference[k]]);
  if (group.size() == 1) {
    return "The data do not determine " + names[group[0]] + ": its error is undetermined; fix it.";
  }
  return "The data cannot tell apart " + joinNames(groupNames) + " (correlation " +
         formatCorrelation(strongest) + " between " + names[a] + " and " + names[b] +
         "): their errors are undetermined; fix " + joinNames(toFix) + ".";
}

}  // namespace

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
  const std::size_t p = input.names.size();
  const std::size_t n = p == 0 ? 0 : input.jacobian.size() / p;
  const Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>> J(
      input.jacobian.data(), static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(p));
  const Eigen::MatrixXd A = J.transpose() * J;

  CovarianceEstimate estimate;
  estimate.undetermined.assign(p, false);
  estimate.errors.assign(p, std::nullopt);
  estimate.correlation.assign(p, std::vector<std::optional<double>>(p));
  estimate.covariance.assign(p * p, 0.0);
  if (p == 0) return estimate;

  // Scale to unit diagonal so that units and sizes do not count, only directions.
  Eigen::VectorXd scale(p);
  for (std::size_t i = 0; i < p; ++i) {
    const double d = A(i, i);
    scale(i) = d > 0.0 && std::isfinite(d) ? 1.0 / std::sqrt(d) : 0.0;
    if (scale(i) == 0.0) {
      estimate.undetermined[i] = true;
      estimate.warnings.push_back(
          undeterminedWarning({i}, input.names, Eigen::MatrixXd::Identity(p, p)));
    }
  }
  const Eigen::MatrixXd S = scale.asDiagonal() * A * scale.asDiagonal();
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(S);
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

  std::set<std::vector<std::size_t>> groups;
  for (std::size_t k = 0; k < p; ++k) {
    if (!(lambda(k) < kIdentifiabilityThreshold * largest)) break;
    std::vector<std::size_t> group;
    for (std::size_t i = 0; i < p; ++i) {
      if (scale(i) != 0.0 && std::fabs(V(i, k)) >= kParticipation) group.push_back(i);
    }
    if (group.empty()) continue;
    for (std::size_t i : group) estimate.undetermined[i] = true;
    if (groups.insert(group).second) {
      estimate.warnings.push_back(undeterminedWarning(group, input.names, fullInverse));
    }
  }

  // The determined parameters' covariance, the undetermined held fixed.
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < p; ++i) {
    if (!estimate.undetermined[i]) kept.push_back(i);
  }
  const Eigen::Index m = static_cast<Eigen::Index>(kept.size());
  Eigen::MatrixXd sub(m, m);
  for (Eigen::Index x = 0; x < m; ++x) {
    for (Eigen::Index y = 0; y < m; ++y) sub(x, y) = S(kept[x], kept[y]);
  }
  const Eigen::MatrixXd subInverse = sub.ldlt().solve(Eigen::MatrixXd::Identity(m, m));
  const double reduced = input.dof > 0 ? input.chi2 / input.dof : 0.0;
  const double inflation = reduced > 1.0 ? reduced : 1.0;
  for (Eigen::Index x = 0; x < m; ++x) {
    for (Eigen::Index y = 0; y < m; ++y) {
      const std::size_t i = kept[x];
      const std::size_t j = kept[y];
      estimate.covariance[i * p + j] = subInverse(x, y) * scale(i) * scale(j) * inflation;
      estimate.correlation[i][j] =
          subInverse(x, y) / std::sqrt(subInverse(x, x) * subInverse(y, y));
    }
    const std::size_t i = kept[x];
    estimate.errors[i] = std::sqrt(estimate.covariance[i * p + i]);
  }
  return estimate;
}
