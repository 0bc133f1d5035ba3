#include "fit/fit_covariance.h"

#include <Eigen/Dense>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

// A parameter whose weight in an undetermined direction is at least this
// takes part in it: its variance grows by more than 0.0025/eigenvalue.
constexpr double kParticipation = 0.05;

// A parameter whose variance comes at least this much from a principal axis
// of the covariance along which chi2 is no parabola has no error either.
constexpr double kAxisShare = 0.5;

// Gauss-Newton steps that bring the other parameters to a valley's floor.
constexpr int kValleySteps = 3;

// Along a valley the bounds must leave at least this share of a
// combination's error on either side.
constexpr double kValleyRoom = 0.5;

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

std::string formatRatio(double value) {
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 2);
  return std::string(buffer, result.ptr);
}

// The ratio given to an error wider than the parameter's bounds allow.
constexpr double kBeyondRoom = 1e300;

// How far chi2 departs from the covariance's parabola along `step` (one error
// of a parameter): the rise of chi2 over the predicted rise, the worse of the
// two directions; the step is shortened to stay within the bounds.
// When `follow` is given, the other parameters follow chi2's valley from the
// step's end, and the combination has no error when the bounds cut it to less
// than half for a parameter that `mostly` marks (whose error comes mostly
// from this combination).
double parabolaRatio(const CovarianceInput& input, const std::vector<double>& step,
                     const std::function<void(std::vector<double>& x)>& follow = {},
                     const std::vector<bool>& mostly = {}) {
  double worst = 1.0;
  for (double sign : {1.0, -1.0}) {
    double t = 1.0;
    double room = 1.0;
    for (std::size_t i = 0; i < step.size(); ++i) {
      const double move = sign * step[i];
      double reach = 1.0;
      if (move > 0.0 && input.values[i] + move > input.max[i]) {
        reach = (input.max[i] - input.values[i]) / move;
      } else if (move < 0.0 && input.values[i] + move < input.min[i]) {
        reach = (input.min[i] - input.values[i]) / move;
      }
      t = std::min(t, reach);
      if (i < mostly.size() && mostly[i]) room = std::min(room, reach);
    }
    if (follow && room < kValleyRoom) return kBeyondRoom;
    // Too close to a bound to tell.
    if (!(t > 1e-3)) continue;
    std::vector<double> x = input.values;
    for (std::size_t i = 0; i < step.size(); ++i) x[i] += sign * t * step[i];
    if (follow) follow(x);
    const double rise = input.chi2At(x) - input.chi2;
    const double ratio = std::isfinite(rise) ? std::max(rise, 1e-300) / (t * t) : kBeyondRoom;
    if (std::fabs(std::log(ratio)) > std::fabs(std::log(worst))) worst = ratio;
  }
  return worst;
}

// Lets the parameters other than the axis's combination follow the valley of
// chi2 from x: Gauss-Newton steps in scaled units, orthogonal to `axis`,
// kept within the bounds.
void followValley(const CovarianceInput& input, const Eigen::VectorXd& scale,
                  const std::vector<std::size_t>& kept, const Eigen::VectorXd& axis,
                  std::vector<double>& x) {
  const std::size_t p = input.names.size();
  const Eigen::Index m = static_cast<Eigen::Index>(kept.size());
  const Eigen::MatrixXd across = Eigen::MatrixXd::Identity(m, m) - axis * axis.transpose();
  std::vector<double> r;
  std::vector<double> jacobian;
  for (int round = 0; round < kValleySteps; ++round) {
    input.residualsAt(x, r, jacobian);
    const Eigen::Index n = static_cast<Eigen::Index>(r.size());
    Eigen::MatrixXd J(n, m);
    for (Eigen::Index j = 0; j < n; ++j) {
      for (Eigen::Index c = 0; c < m; ++c) {
        J(j, c) = jacobian[static_cast<std::size_t>(j) * p + kept[c]] * scale(kept[c]);
      }
    }
    const Eigen::VectorXd residuals = Eigen::Map<const Eigen::VectorXd>(r.data(), n);
    const Eigen::MatrixXd A = across * J.transpose() * J * across + axis * axis.transpose();
    const Eigen::VectorXd move = A.ldlt().solve(-(across * (J.transpose() * residuals)));
    for (Eigen::Index c = 0; c < m; ++c) {
      const std::size_t i = kept[c];
      x[i] = std::clamp(x[i] + move(c) * scale(i), input.min[i], input.max[i]);
    }
  }
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
std::vector<bool> parametersToFix(const Eigen::MatrixXd& S, const std::vector<bool>& usable,
                                  const std::vector<std::string>& names) {
  std::vector<bool> kept = usable;
  std::vector<bool> toFix(usable.size(), false);
  while (std::count(kept.begin(), kept.end(), true) > 1) {
    const auto [ratio, v] = weakestDirection(S, kept);
    if (!(ratio < kIdentifiabilityThreshold)) break;
    std::size_t pick = kept.size();
    for (std::size_t i = 0; i < kept.size(); ++i) {
      if (!kept[i] || std::fabs(v(i)) < kParticipation) continue;
      if (pick == kept.size() || keepPreference(names[i]) < keepPreference(names[pick]) ||
          (keepPreference(names[i]) == keepPreference(names[pick]) &&
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
      estimate.warnings.push_back("The data do not determine " + input.names[i] +
                                  ": its error is undetermined; fix it.");
    }
  }
  const Eigen::MatrixXd S = scale.asDiagonal() * A * scale.asDiagonal();
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(S);
  const Eigen::VectorXd& lambda = eigen.eigenvalues();  // ascending
  const Eigen::MatrixXd& V = eigen.eigenvectors();
  const double largest = std::max(lambda(static_cast<Eigen::Index>(p) - 1), 0.0);
  if (std::getenv("FITCORE_DEBUG")) {
    for (std::size_t k = 0; k < p; ++k) std::fprintf(stderr, "%.3g ", lambda(k) / largest);
    std::fprintf(stderr, "\n");
  }
  // The inverse with every direction, its smallest eigenvalues held off zero,
  // for the correlations that the warnings quote.
  Eigen::VectorXd inverseLambda(p);
  for (std::size_t k = 0; k < p; ++k) {
    inverseLambda(k) = 1.0 / std::max(lambda(k), 1e-30 * std::max(largest, 1e-300));
  }
  const Eigen::MatrixXd fullInverse = V * inverseLambda.asDiagonal() * V.transpose();

  // Parameters that share an undetermined direction form one group (merged
  // while they overlap), named in one warning.
  std::vector<std::size_t> groupOf(p);
  for (std::size_t i = 0; i < p; ++i) groupOf[i] = i;
  const auto root = [&](std::size_t i) {
    while (groupOf[i] != i) i = groupOf[i];
    return i;
  };
  for (std::size_t k = 0; k < p; ++k) {
    if (!(lambda(k) < kIdentifiabilityThreshold * largest)) break;
    std::size_t first = p;
    for (std::size_t i = 0; i < p; ++i) {
      if (scale(i) == 0.0 || std::fabs(V(i, k)) < kParticipation) continue;
      estimate.undetermined[i] = true;
      if (first == p) first = i;
      groupOf[root(i)] = root(first);
    }
  }
  std::vector<bool> usable(p);
  for (std::size_t i = 0; i < p; ++i) usable[i] = scale(i) != 0.0;
  const std::vector<bool> toFix = parametersToFix(S, usable, input.names);
  for (std::size_t r = 0; r < p; ++r) {
    std::vector<std::size_t> group;
    for (std::size_t i = 0; i < p; ++i) {
      if (scale(i) != 0.0 && estimate.undetermined[i] && root(i) == r) group.push_back(i);
    }
    if (!group.empty()) {
      estimate.warnings.push_back(undeterminedWarning(group, input.names, fullInverse, toFix));
    }
  }

  // A parameter that the minimiser holds on a bound is not free at the
  // optimum: the estimates' spread has no share along it, so the others'
  // covariance is taken with it held there, and its own error is the
  // marginal one (towards the inside only; see warnAtBounds).
  std::vector<bool> onBound(p, false);
  for (std::size_t i = 0; i < p && i < input.values.size(); ++i) {
    onBound[i] = input.values[i] <= input.min[i] || input.values[i] >= input.max[i];
  }

  // The determined parameters' covariance in scaled units, the undetermined
  // and those on a bound held fixed.
  std::vector<std::size_t> kept;
  Eigen::MatrixXd subInverse;
  Eigen::VectorXd subCurvature;
  const auto invertKept = [&] {
    kept.clear();
    for (std::size_t i = 0; i < p; ++i) {
      if (!estimate.undetermined[i] && !onBound[i]) kept.push_back(i);
    }
    subInverse = inverseOf(S, kept);
    subCurvature = Eigen::VectorXd(subInverse.rows());
    for (Eigen::Index x = 0; x < subCurvature.size(); ++x) subCurvature(x) = S(kept[x], kept[x]);
  };
  invertKept();

  // Where chi2 is not the parabola that the covariance assumes over one
  // error, that error only looks like one: hold the worst such parameter and
  // look again at the others.
  while (input.chi2At && !kept.empty()) {
    const Eigen::Index m = static_cast<Eigen::Index>(kept.size());
    std::size_t worst = p;
    double worstRatio = 1.0;
    Eigen::Index worstAt = 0;
    for (Eigen::Index x = 0; x < m; ++x) {
      // Parameter x alone moved by its error with the others held: chi2 must
      // rise by 1 along its own axis, however the others correlate with it.
      std::vector<double> step(p, 0.0);
      step[kept[x]] = scale(kept[x]) / std::sqrt(subCurvature(x));
      // An error wider than the room the bounds give is none.
      const std::size_t i = kept[x];
      const double room = input.max[i] - input.min[i];
      const double marginal = scale(i) * std::sqrt(subInverse(x, x));
      const double ratio =
          step[i] > room || marginal > room ? kBeyondRoom : parabolaRatio(input, step);
      if (std::fabs(std::log(ratio)) > std::fabs(std::log(worstRatio))) {
        worstRatio = ratio;
        worst = kept[x];
        worstAt = x;
      }
    }
    if (!(std::fabs(std::log(worstRatio)) > std::log(kParabolaTolerance))) break;
    // Its strongest partner, for the warning.
    std::size_t partner = p;
    double strongest = 0.0;
    for (Eigen::Index y = 0; y < m; ++y) {
      if (y == worstAt) continue;
      const double c =
          subInverse(worstAt, y) / std::sqrt(subInverse(worstAt, worstAt) * subInverse(y, y));
      if (std::fabs(c) > std::fabs(strongest)) {
        strongest = c;
        partner = kept[y];
      }
    }
    estimate.undetermined[worst] = true;
    std::string text = "The data do not determine " + input.names[worst];
    if (partner < p) {
      text += " apart from " + input.names[partner] + " (correlation " +
              formatCorrelation(strongest) + ")";
    }
    text += worstRatio == kBeyondRoom ? ": its apparent error exceeds the room its bounds give"
                                      : ": over its apparent error chi2 changes by " +
                                            formatRatio(worstRatio) + " instead of 1";
    text += "; its error is undetermined; fix " + input.names[worst] + ".";
    estimate.warnings.push_back(text);
    invertKept();
  }

  // The same along each principal axis of the covariance, all parameters
  // moving together by one error of that combination: a layer thinner than
  // the resolution, its multiplier free, has a parabola on every axis of its
  // own but none along the combination that keeps multiplier x amount, whose
  // error then spans most of the values. The parameters whose variance comes
  // mostly from such an axis are undetermined together.
  while (input.chi2At && kept.size() > 1) {
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> axes(subInverse);
    const Eigen::Index m = static_cast<Eigen::Index>(kept.size());
    // The parameters whose variance comes mostly from axis k and who take
    // part in it.
    const auto mostlyAlong = [&](Eigen::Index k) {
      std::vector<bool> mostly(p, false);
      for (Eigen::Index x = 0; x < m; ++x) {
        const double weight = axes.eigenvectors()(x, k);
        mostly[kept[x]] = std::fabs(weight) >= kParticipation &&
                          axes.eigenvalues()(k) * weight * weight >= kAxisShare * subInverse(x, x);
      }
      return mostly;
    };
    double worstRatio = 1.0;
    Eigen::Index worstAxis = 0;
    for (Eigen::Index k = 0; k < m; ++k) {
      const double spread = std::sqrt(std::max(axes.eigenvalues()(k), 0.0));
      std::vector<double> step(p, 0.0);
      for (Eigen::Index x = 0; x < m; ++x) {
        step[kept[x]] = scale(kept[x]) * spread * axes.eigenvectors()(x, k);
      }
      // A straight step leaves a curved valley (concentration x thickness
      // kept along a hyperbola) and climbs its walls however well the data
      // fix the parameters; only the valley's own floor tells, within a
      // factor 2 of the error.
      if (std::fabs(std::log(parabolaRatio(input, step))) <= std::log(kParabolaTolerance) ||
          !input.residualsAt) {
        continue;
      }
      const double ratio = parabolaRatio(
          input, step,
          [&](std::vector<double>& x) {
            followValley(input, scale, kept, axes.eigenvectors().col(k), x);
          },
          mostlyAlong(k));
      if (std::fabs(std::log(ratio)) > std::log(kValleyTolerance) &&
          std::fabs(std::log(ratio)) > std::fabs(std::log(worstRatio))) {
        worstRatio = ratio;
        worstAxis = k;
      }
    }
    if (worstRatio == 1.0) break;
    std::vector<std::size_t> group;
    Eigen::Index heaviest = 0;
    axes.eigenvectors().col(worstAxis).cwiseAbs().maxCoeff(&heaviest);
    const std::vector<bool> mostly = mostlyAlong(worstAxis);
    for (std::size_t i = 0; i < p; ++i) {
      if (mostly[i]) group.push_back(i);
    }
    if (group.empty()) group.push_back(kept[heaviest]);
    std::size_t fix = group.front();
    for (std::size_t i : group) {
      if (keepPreference(input.names[i]) < keepPreference(input.names[fix])) fix = i;
    }
    std::vector<std::string> groupNames;
    for (std::size_t i : group) {
      estimate.undetermined[i] = true;
      groupNames.push_back(input.names[i]);
    }
    estimate.warnings.push_back(
        (group.size() == 1 ? "The data do not determine " : "The data cannot tell apart ") +
        joinNames(groupNames) +
        (worstRatio == kBeyondRoom
             ? ": the apparent error of their combination exceeds twice the room their bounds "
               "give; "
             : ": along their combination chi2 changes by " + formatRatio(worstRatio) +
                   " instead of 1 over its apparent error; ") +
        (group.size() == 1 ? "its error is" : "their errors are") + " undetermined; fix " +
        input.names[fix] + (input.names[fix] == "multiplier" ? " (from a calibration)" : "") + ".");
    invertKept();
  }

  const Eigen::Index m = static_cast<Eigen::Index>(kept.size());
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
  for (std::size_t i = 0; i < p; ++i) {
    if (!onBound[i] || estimate.undetermined[i]) continue;
    std::vector<std::size_t> with = kept;
    with.push_back(i);
    const double variance = inverseOf(S, with)(m, m) * scale(i) * scale(i) * inflation;
    estimate.covariance[i * p + i] = variance;
    estimate.correlation[i][i] = 1.0;
    estimate.errors[i] = std::sqrt(variance);
  }
  return estimate;
}
