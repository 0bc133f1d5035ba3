#include "fit/free_form_problem.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fit/fit_error.h"
#include "fit/nonnegative_least_squares.h"
#include "fit/profile_band.h"
#include "fit/profile_rendering.h"

namespace {

constexpr double kCurveTolerance = 1e-8;
constexpr int kMostIterations = 100;
// A node the data see with less than this fraction of the best-seen node's
// largest response is beyond the data's reach: smoothness alone would decide
// its value. The profile is 0 from the last node seen better on.
constexpr double kReach = 1e-2;
constexpr int kMostNodes = 400;

// The energy lost in one collision on average (eV): the mean of the
// single-collision spectrum, entry 1 of the set.
double meanLossPerCollision(const AutoconvolutionSet& set) {
  const Autoconvolution& single = set[1];
  double weight = 0.0;
  double moment = 0.0;
  for (std::size_t i = 0; i < single.size(); ++i) {
    weight += single.values[i];
    moment += single.values[i] * (static_cast<double>(i) * single.step - single.origin);
  }
  return weight > 0.0 ? moment / weight : 0.0;
}

}  // namespace

FreeFormProblem::FreeFormProblem(const SampleModel& model, const FitProblem& problem,
                                 const std::atomic<bool>* cancel)
    : m_model(model) {
  // The layer fit's checks of the grid, constants, range and errors; the
  // layers themselves play no part.
  SampleModel withoutLayers = model;
  withoutLayers.layers.clear();
  checkFitProblem(withoutLayers, problem);
  if (!(model.multiplier.value > 0.0)) {
    throw FitError("The multiplier must be positive: it gives the free-form profile its scale.");
  }
  std::vector<double> energies;
  std::vector<std::size_t> inRange;
  for (std::size_t k = 0; k < problem.points.size(); ++k) {
    const double e = problem.points[k].energy;
    if (model.energyRange && (e < model.energyRange->first || e > model.energyRange->second)) {
      continue;
    }
    energies.push_back(e);
    inRange.push_back(k);
  }
  m_forward.emplace(*problem.set, forwardModelSettings(model, problem), energies, cancel);
  if (m_forward->cancelled()) return;
  for (std::size_t j = 0; j < energies.size(); ++j) {
    if (!m_forward->covers(j)) continue;
    const ExperimentalPoint& point = problem.points[inRange[j]];
    m_used.push_back(j);
    m_usedPoints.push_back(inRange[j]);
    m_yields.push_back({point.yield, point.error});
  }
  if (m_yields.size() < 3) {
    throw FitError("Fewer than three measured points lie in the energy range and on the curve.");
  }
  m_floor = poissonYieldFloor(m_yields);
  m_freeBackground = model.background.free;

  // Node spacing: a quarter of the depth resolution at the surface, the
  // broadening's combined width over the stopping power (straggling only
  // widens it deeper down), in whole grid steps; the points themselves
  // cannot resolve more. Without broadening, the depth between neighbouring
  // measured energies.
  const double stopping =
      problem.collisionRate * meanLossPerCollision(*problem.set);  // eV/(ug/cm2)
  std::vector<double> sorted;
  for (std::size_t j : m_used) sorted.push_back(energies[j]);
  std::sort(sorted.begin(), sorted.end());
  std::vector<double> gaps;
  for (std::size_t k = 1; k < sorted.size(); ++k) {
    if (sorted[k] > sorted[k - 1]) gaps.push_back(sorted[k] - sorted[k - 1]);
  }
  double spacing = model.step;
  if (stopping > 0.0) {
    if (model.convolve) {
      spacing =
          0.25 * std::hypot(model.lorentzianWidth.value, model.gaussianWidth.value) / stopping;
    } else if (!gaps.empty()) {
      spacing = percentile(gaps, 0.5) * 1000.0 / stopping;
    }
  }
  const DepthProfile grid = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  m_firstPoint = firstUncontaminatedPoint(model);
  const int span = grid.pointCount - 1 - m_firstPoint;
  if (span < 2) throw FitError("The profile has fewer than three points below the contamination.");
  m_spacing = static_cast<int>(std::clamp(std::floor(spacing / model.step), 1.0, double(span)));
  m_spacing = std::max(m_spacing, (span + kMostNodes - 2) / (kMostNodes - 1));

  std::vector<std::vector<double>> hats;
  for (int index = m_firstPoint; index < grid.pointCount; index += m_spacing) {
    DepthProfile hat = grid;
    for (int i = std::max(m_firstPoint, index - m_spacing + 1);
         i < std::min(grid.pointCount, index + m_spacing); ++i) {
      hat.values[static_cast<std::size_t>(i)] =
          1.0 - std::abs(i - index) / static_cast<double>(m_spacing);
    }
    hats.push_back(m_forward->weights(hat));
    m_nodeIndex.push_back(index);
  }
  const std::size_t entries = hats.front().size();
  m_nodeWeights.resize(static_cast<Eigen::Index>(entries), static_cast<Eigen::Index>(hats.size()));
  for (std::size_t p = 0; p < hats.size(); ++p) {
    for (std::size_t n = 0; n < entries; ++n) {
      m_nodeWeights(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(p)) = hats[p][n];
    }
  }

  // Trim the nodes no measured point sees.
  const Eigen::MatrixXd seen =
      jacobian(Eigen::VectorXd::Ones(static_cast<Eigen::Index>(hats.size())));
  const Eigen::VectorXd reach = seen.cwiseAbs().colwise().maxCoeff().transpose();
  const double best = reach.maxCoeff();
  if (!(best > 0.0)) throw FitError("No measured point sees the profile's depths.");
  Eigen::Index keep = reach.size();
  while (keep > 3 && reach(keep - 1) < kReach * best) --keep;
  m_nodeIndex.resize(static_cast<std::size_t>(keep));
  m_nodeWeights.conservativeResize(Eigen::NoChange, keep);

  // The second differences include the 0 that follows the last node, as the
  // rendered profile does: without it the deepest nodes, which only the
  // last few points see, could grow linearly unchecked.
  m_d2 = Eigen::MatrixXd::Zero(keep - 1, keep);
  for (Eigen::Index r = 0; r + 1 < keep; ++r) {
    m_d2(r, r) = 1.0;
    m_d2(r, r + 1) = -2.0;
    if (r + 2 < keep) m_d2(r, r + 2) = 1.0;
  }
  // The data's side of the scale with the start's weights.
  const Eigen::MatrixXd j0 = seen.leftCols(keep);
  const std::vector<double> w0 = statisticWeights(m_yields, {}, true);
  double dataTrace = 0.0;
  for (Eigen::Index j = 0; j < j0.rows(); ++j) {
    dataTrace += w0[static_cast<std::size_t>(j)] * j0.row(j).squaredNorm();
  }
  m_scale = dataTrace / (m_d2.transpose() * m_d2).trace();
}

std::vector<double> FreeFormProblem::weightsOf(const Eigen::VectorXd& c) const {
  const Eigen::VectorXd k = m_nodeWeights * c;
  return std::vector<double>(k.data(), k.data() + k.size());
}

std::vector<double> FreeFormProblem::curve(const Eigen::VectorXd& c, double background) const {
  const std::vector<double> values = m_forward->values(weightsOf(c));
  std::vector<double> fitted(m_used.size());
  for (std::size_t j = 0; j < m_used.size(); ++j) {
    fitted[j] = m_model.multiplier.value * values[m_used[j]] + background;
  }
  return fitted;
}

Eigen::MatrixXd FreeFormProblem::jacobian(const Eigen::VectorXd& cIn) const {
  // At c = 0 the ratio is undefined; any shape serves to linearise there.
  const Eigen::VectorXd c =
      cIn.isZero(0.0) ? Eigen::VectorXd::Ones(cIn.size()) : Eigen::VectorXd(cIn);
  const std::vector<double> at = weightsOf(c);
  Eigen::MatrixXd j(static_cast<Eigen::Index>(m_used.size()), m_nodeWeights.cols());
  std::vector<double> direction(static_cast<std::size_t>(m_nodeWeights.rows()));
  for (Eigen::Index p = 0; p < m_nodeWeights.cols(); ++p) {
    for (Eigen::Index n = 0; n < m_nodeWeights.rows(); ++n) {
      direction[static_cast<std::size_t>(n)] = m_nodeWeights(n, p);
    }
    const std::vector<double> d = m_forward->derivative(at, direction);
    for (std::size_t r = 0; r < m_used.size(); ++r) {
      j(static_cast<Eigen::Index>(r), p) = m_model.multiplier.value * d[m_used[r]];
    }
  }
  return j;
}

std::vector<double> FreeFormProblem::statisticWeights(const std::vector<MeasuredYield>& yields,
                                                      const std::vector<double>& fitted,
                                                      bool first) const {
  std::vector<double> w(yields.size());
  for (std::size_t j = 0; j < yields.size(); ++j) {
    switch (m_model.statistic) {
      case FitStatistic::Poisson:
        // Before there is a curve the counts stand in for it.
        w[j] = 1.0 / std::max(first ? std::max(yields[j].yield, 1.0) : fitted[j], m_floor);
        break;
      case FitStatistic::Neyman:
        w[j] = 1.0 / std::max(yields[j].yield, 1.0);
        break;
      case FitStatistic::Errors:
        w[j] = 1.0 / (yields[j].error * yields[j].error);
        break;
      case FitStatistic::Equal:
        w[j] = 1.0;
        break;
    }
  }
  return w;
}

double FreeFormProblem::misfit(const std::vector<MeasuredYield>& yields,
                               const std::vector<double>& fitted) const {
  double sum = 0.0;
  for (std::size_t j = 0; j < yields.size(); ++j) {
    const double r = statisticResidual(m_model.statistic, yields[j], fitted[j], m_floor).value;
    sum += r * r;
  }
  return sum;
}

FreeFormSolution FreeFormProblem::solve(const std::vector<MeasuredYield>& yields, double lambda,
                                        const FreeFormSolution* start,
                                        const std::atomic<bool>* cancel) const {
  const Eigen::Index nodes = m_nodeWeights.cols();
  const Eigen::Index columns = nodes + (m_freeBackground ? 1 : 0);
  const Eigen::Index dataRows = static_cast<Eigen::Index>(yields.size());
  const Eigen::Index rows = dataRows + m_d2.rows();
  const double fixedBackground = m_model.background.value;

  FreeFormSolution s;
  s.c = start ? start->c : Eigen::VectorXd::Ones(nodes);
  s.background = start ? start->background : (m_freeBackground ? 0.0 : fixedBackground);
  s.passive = start ? start->passive : std::vector<char>{};
  s.fitted = curve(s.c, s.background);
  bool first = start == nullptr;
  double objective = misfit(yields, s.fitted) + lambda * roughness(s.c);
  double scale = 1.0;
  for (const MeasuredYield& y : yields) scale = std::max(scale, std::fabs(y.yield));

  Eigen::MatrixXd a(rows, columns);
  Eigen::VectorXd b(rows);
  std::vector<double> w;
  for (int iteration = 0; iteration < kMostIterations; ++iteration) {
    if (cancel && cancel->load()) return s;
    w = statisticWeights(yields, s.fitted, first);
    const Eigen::MatrixXd j = jacobian(s.c);
    a.setZero();
    b.setZero();
    for (Eigen::Index r = 0; r < dataRows; ++r) {
      const double root = std::sqrt(w[static_cast<std::size_t>(r)]);
      a.row(r).head(nodes) = root * j.row(r);
      if (m_freeBackground) a(r, nodes) = root;
      b(r) = root * (yields[static_cast<std::size_t>(r)].yield -
                     (m_freeBackground ? 0.0 : fixedBackground));
    }
    a.block(dataRows, 0, m_d2.rows(), nodes) = std::sqrt(lambda) * m_d2;
    const NonNegativeSolution step = solveNonNegativeLeastSquares(a, b, s.passive);
    s.boundSolved = s.boundSolved && step.converged;

    Eigen::VectorXd c = step.x.head(nodes);
    double background = m_freeBackground ? step.x(nodes) : fixedBackground;
    std::vector<double> fitted = curve(c, background);
    double value = misfit(yields, fitted) + lambda * roughness(c);
    // The reweighted step may overshoot; halving it stays feasible.
    for (int halving = 0; halving < 30 && value > objective * (1.0 + 1e-12) && !first; ++halving) {
      c = 0.5 * (c + s.c);
      background = 0.5 * (background + s.background);
      fitted = curve(c, background);
      value = misfit(yields, fitted) + lambda * roughness(c);
    }
    double moved = 0.0;
    for (std::size_t k = 0; k < fitted.size(); ++k) {
      moved = std::max(moved, std::fabs(fitted[k] - s.fitted[k]));
    }
    s.c = c;
    s.background = background;
    s.fitted = std::move(fitted);
    objective = value;
    if (!first && moved <= kCurveTolerance * scale) {
      s.converged = true;
      break;
    }
    first = false;
  }

  w = statisticWeights(yields, s.fitted, false);
  s.chi2 = misfit(yields, s.fitted);
  s.weightedSquares = 0.0;
  for (std::size_t k = 0; k < yields.size(); ++k) {
    const double r = yields[k].yield - s.fitted[k];
    s.weightedSquares += w[k] * r * r;
  }
  // The influence of the data on the fit, trace H = ||Q_data||^2 from the QR
  // of [W^1/2 J; lambda^1/2 D2] over every column, as if no bound were
  // active. Counting only the free nodes would make a sparse, spiky solution
  // look like a model of few parameters, and cross-validation then drives
  // alpha to 0; the unconstrained trace measures the smoothing alone.
  std::vector<Eigen::Index> free;
  for (Eigen::Index k = 0; k < columns; ++k) {
    free.push_back(k);
  }
  if (!free.empty()) {
    const Eigen::MatrixXd j = jacobian(s.c);
    Eigen::MatrixXd sub = Eigen::MatrixXd::Zero(rows, static_cast<Eigen::Index>(free.size()));
    for (std::size_t f = 0; f < free.size(); ++f) {
      const Eigen::Index k = free[f];
      for (Eigen::Index r = 0; r < dataRows; ++r) {
        const double root = std::sqrt(w[static_cast<std::size_t>(r)]);
        sub(r, static_cast<Eigen::Index>(f)) = k < nodes ? root * j(r, k) : root;
      }
      if (k < nodes) {
        sub.block(dataRows, static_cast<Eigen::Index>(f), m_d2.rows(), 1) =
            std::sqrt(lambda) * m_d2.col(k);
      }
    }
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(sub);
    const Eigen::MatrixXd q =
        qr.householderQ() * Eigen::MatrixXd::Identity(rows, static_cast<Eigen::Index>(free.size()));
    s.trace = q.topRows(dataRows).squaredNorm();
  }
  return s;
}

DepthProfile FreeFormProblem::render(const Eigen::VectorXd& c) const {
  DepthProfile profile = DepthProfile::forMaximumDepth(m_model.maxDepth, m_model.step);
  profile.contaminationDepth = m_model.contamination;
  for (std::size_t p = 0; p < m_nodeIndex.size(); ++p) {
    const int index = m_nodeIndex[p];
    const double value = c(static_cast<Eigen::Index>(p));
    if (value == 0.0) continue;
    for (int i = std::max(m_firstPoint, index - m_spacing + 1);
         i < std::min(profile.pointCount, index + m_spacing); ++i) {
      profile.values[static_cast<std::size_t>(i)] +=
          value * (1.0 - std::abs(i - index) / static_cast<double>(m_spacing));
    }
  }
  return profile;
}

std::vector<double> FreeFormProblem::exactCurve(const DepthProfile& profile,
                                                double background) const {
  const std::vector<double> values = m_forward->values(profile);
  std::vector<double> fitted(m_used.size());
  for (std::size_t j = 0; j < m_used.size(); ++j) {
    fitted[j] = m_model.multiplier.value * values[m_used[j]] + background;
  }
  return fitted;
}

std::vector<double> FreeFormProblem::nodeDepths() const {
  std::vector<double> depths;
  for (int index : m_nodeIndex) depths.push_back(index * m_model.step);
  return depths;
}

double FreeFormProblem::crossValidation(const FreeFormSolution& s) const {
  const double points = static_cast<double>(m_yields.size());
  const double free = points - s.trace;
  if (!(free > 0.0)) return std::numeric_limits<double>::infinity();
  return points * s.weightedSquares / (free * free);
}
