#include "fit/covariance_checks.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "fit/number_text.h"

namespace covariance {

namespace {

// A parameter whose variance comes at least this much from a principal axis
// of the covariance along which chi2 is no parabola has no error either.
constexpr double kAxisShare = 0.5;

// Gauss-Newton steps that bring the other parameters to a valley's floor.
constexpr int kValleySteps = 3;

// Along a valley the bounds must leave at least this share of a
// combination's error on either side.
constexpr double kValleyRoom = 0.5;

// The ratio given to an error wider than the parameter's bounds allow.
constexpr double kBeyondRoom = 1e300;

using Axes = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>;

// Below this, the change of chi2 over one error is no change at all: a
// rise of chi2 that rounds to nothing, or a fall.
constexpr double kNoChange = 1e-4;

// "chi2 changes by 0.31 instead of 1", or for a flat chi2 "chi2 does not
// change (it should rise by 1)" rather than a number of no meaning.
std::string chi2Change(double ratio) {
  if (ratio < kNoChange) return "chi2 does not change (it should rise by 1)";
  return "chi2 changes by " + significantText(ratio, 2) + " instead of 1";
}

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
void followValley(const CovarianceSteps& s, const Eigen::VectorXd& axis, std::vector<double>& x) {
  const CovarianceInput& input = s.input;
  const Eigen::Index m = static_cast<Eigen::Index>(s.kept.size());
  const Eigen::MatrixXd across = Eigen::MatrixXd::Identity(m, m) - axis * axis.transpose();
  std::vector<double> r;
  std::vector<double> jacobian;
  for (int round = 0; round < kValleySteps; ++round) {
    input.residualsAt(x, r, jacobian);
    const Eigen::Index n = static_cast<Eigen::Index>(r.size());
    Eigen::MatrixXd J(n, m);
    for (Eigen::Index j = 0; j < n; ++j) {
      for (Eigen::Index c = 0; c < m; ++c) {
        J(j, c) = jacobian[static_cast<std::size_t>(j) * s.p + s.kept[c]] * s.scale(s.kept[c]);
      }
    }
    const Eigen::VectorXd residuals = Eigen::Map<const Eigen::VectorXd>(r.data(), n);
    const Eigen::MatrixXd A = across * J.transpose() * J * across + axis * axis.transpose();
    const Eigen::VectorXd move = A.ldlt().solve(-(across * (J.transpose() * residuals)));
    for (Eigen::Index c = 0; c < m; ++c) {
      const std::size_t i = s.kept[c];
      x[i] = std::clamp(x[i] + move(c) * s.scale(i), input.min[i], input.max[i]);
    }
  }
}

// The kept parameter (its place in `kept`) whose chi2 departs most from the
// parabola when it alone moves by its error, the others held: chi2 must rise
// by 1 along its own axis, however the others correlate with it. An error
// wider than the room the bounds give is none. The ratio is 1 when every
// parameter has its parabola.
std::pair<Eigen::Index, double> worstParabola(const CovarianceSteps& s) {
  const Eigen::Index m = static_cast<Eigen::Index>(s.kept.size());
  double worstRatio = 1.0;
  Eigen::Index worstAt = 0;
  for (Eigen::Index x = 0; x < m; ++x) {
    std::vector<double> step(s.p, 0.0);
    step[s.kept[x]] = s.scale(s.kept[x]) / std::sqrt(s.subCurvature(x));
    const std::size_t i = s.kept[x];
    const double room = s.input.max[i] - s.input.min[i];
    const double marginal = s.scale(i) * std::sqrt(s.subInverse(x, x));
    const double ratio =
        step[i] > room || marginal > room ? kBeyondRoom : parabolaRatio(s.input, step);
    if (std::fabs(std::log(ratio)) > std::fabs(std::log(worstRatio))) {
      worstRatio = ratio;
      worstAt = x;
    }
  }
  return {worstAt, worstRatio};
}

// The warning for the parameter at `at` in `kept`, naming its strongest
// partner.
std::string parabolaWarning(const CovarianceSteps& s, Eigen::Index at, double ratio) {
  const Eigen::Index m = static_cast<Eigen::Index>(s.kept.size());
  std::size_t partner = s.p;
  double strongest = 0.0;
  for (Eigen::Index y = 0; y < m; ++y) {
    if (y == at) continue;
    const double c = s.subInverse(at, y) / std::sqrt(s.subInverse(at, at) * s.subInverse(y, y));
    if (std::fabs(c) > std::fabs(strongest)) {
      strongest = c;
      partner = s.kept[y];
    }
  }
  const std::string& name = s.input.names[s.kept[at]];
  std::string text = "The data do not determine " + name;
  if (partner < s.p) {
    text += " apart from " + s.input.names[partner] + " (correlation " +
            formatCorrelation(strongest) + ")";
  }
  text += ratio == kBeyondRoom ? ": its apparent error exceeds the room its bounds give"
                               : ": over its apparent error " + chi2Change(ratio);
  text += "; its error is undetermined; fix " + name + ".";
  return text;
}

// The parameters whose variance comes mostly from axis k and who take part
// in it.
std::vector<bool> mostlyAlong(const CovarianceSteps& s, const Axes& axes, Eigen::Index k) {
  const Eigen::Index m = static_cast<Eigen::Index>(s.kept.size());
  std::vector<bool> mostly(s.p, false);
  for (Eigen::Index x = 0; x < m; ++x) {
    const double weight = axes.eigenvectors()(x, k);
    mostly[s.kept[x]] = std::fabs(weight) >= kParticipation &&
                        axes.eigenvalues()(k) * weight * weight >= kAxisShare * s.subInverse(x, x);
  }
  return mostly;
}

// The principal axis along which chi2's valley departs most from the
// parabola, all parameters moving together by one error of that
// combination, beyond kValleyTolerance; the ratio is 1 when none does.
std::pair<Eigen::Index, double> worstValley(const CovarianceSteps& s, const Axes& axes) {
  const Eigen::Index m = static_cast<Eigen::Index>(s.kept.size());
  double worstRatio = 1.0;
  Eigen::Index worstAxis = 0;
  for (Eigen::Index k = 0; k < m; ++k) {
    const double spread = std::sqrt(std::max(axes.eigenvalues()(k), 0.0));
    std::vector<double> step(s.p, 0.0);
    for (Eigen::Index x = 0; x < m; ++x) {
      step[s.kept[x]] = s.scale(s.kept[x]) * spread * axes.eigenvectors()(x, k);
    }
    // A straight step leaves a curved valley (concentration x thickness
    // kept along a hyperbola) and climbs its walls however well the data
    // fix the parameters; only the valley's own floor tells, within a
    // factor 2 of the error.
    if (std::fabs(std::log(parabolaRatio(s.input, step))) <= std::log(kParabolaTolerance) ||
        !s.input.residualsAt) {
      continue;
    }
    const double ratio = parabolaRatio(
        s.input, step,
        [&](std::vector<double>& x) { followValley(s, axes.eigenvectors().col(k), x); },
        mostlyAlong(s, axes, k));
    if (std::fabs(std::log(ratio)) > std::log(kValleyTolerance) &&
        std::fabs(std::log(ratio)) > std::fabs(std::log(worstRatio))) {
      worstRatio = ratio;
      worstAxis = k;
    }
  }
  return {worstAxis, worstRatio};
}

// The parameters held for an axis: those whose variance comes mostly from
// it, or else the one that weighs most in it.
std::vector<std::size_t> valleyGroup(const CovarianceSteps& s, const Axes& axes, Eigen::Index k) {
  std::vector<std::size_t> group;
  Eigen::Index heaviest = 0;
  axes.eigenvectors().col(k).cwiseAbs().maxCoeff(&heaviest);
  const std::vector<bool> mostly = mostlyAlong(s, axes, k);
  for (std::size_t i = 0; i < s.p; ++i) {
    if (mostly[i]) group.push_back(i);
  }
  if (group.empty()) group.push_back(s.kept[heaviest]);
  return group;
}

// The warning for a group held along one axis, with the one to fix: the
// least wanted, the first of several alike.
std::string valleyWarning(const CovarianceSteps& s, const std::vector<std::size_t>& group,
                          double ratio) {
  const CovarianceInput& input = s.input;
  std::size_t fix = group.front();
  for (std::size_t i : group) {
    if (keepPreference(input, i) < keepPreference(input, fix)) fix = i;
  }
  std::vector<std::string> groupNames;
  for (std::size_t i : group) groupNames.push_back(input.names[i]);
  const bool calibrated = fix < input.kinds.size() && input.kinds[fix] == ParameterKind::Multiplier;
  return (group.size() == 1 ? "The data do not determine " : "The data cannot tell apart ") +
         joinNames(groupNames) +
         (ratio == kBeyondRoom
              ? ": the apparent error of their combination exceeds twice the room their bounds "
                "give; "
              : ": along their combination " + chi2Change(ratio) + " over its apparent error; ") +
         (group.size() == 1 ? "its error is" : "their errors are") + " undetermined; fix " +
         input.names[fix] + (calibrated ? " (from a calibration)" : "") + ".";
}

}  // namespace

void checkParabolas(CovarianceSteps& s) {
  while (s.input.chi2At && !s.kept.empty()) {
    const auto [at, ratio] = worstParabola(s);
    if (!(std::fabs(std::log(ratio)) > std::log(kParabolaTolerance))) break;
    s.estimate.undetermined[s.kept[at]] = true;
    s.estimate.warnings.push_back(parabolaWarning(s, at, ratio));
    s.invertKept();
  }
}

// A layer thinner than the resolution, its multiplier free, has a parabola
// on every axis of its own but none along the combination that keeps
// multiplier x amount, whose error then spans most of the values.
void checkValleys(CovarianceSteps& s) {
  while (s.input.chi2At && s.kept.size() > 1) {
    const Axes axes(s.subInverse);
    const auto [axis, ratio] = worstValley(s, axes);
    if (ratio == 1.0) break;
    const std::vector<std::size_t> group = valleyGroup(s, axes, axis);
    for (std::size_t i : group) s.estimate.undetermined[i] = true;
    s.estimate.warnings.push_back(valleyWarning(s, group, ratio));
    s.invertKept();
  }
}

}  // namespace covariance
