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

FreeFormProblem::FreeFormProblem(const SampleProblem& problem, const std::atomic<bool>* cancel)
    : m_sample(problem.sample) {
  // The layer fit's checks of the grid, constants, range and errors; the
  // layers themselves play no part.
  SampleProblem withoutLayers = problem;
  withoutLayers.sample.layers.clear();
  checkProblem(withoutLayers);
  for (const Measurement& m : problem.measurements) {
    if (!(m.model.multiplier.value > 0.0)) {
      throw FitError("The multiplier must be positive: it gives the free-form profile its scale.");
    }
  }
  try {
    for (const auto& term : termsOf(withoutLayers, cancel)) {
      Segment segment;
      segment.term = term;
      segment.model = term->measurement().model;
      segment.forward = term->forward(segment.model);
      segment.first = m_yields.size();
      segment.count = term->yields().size();
      if (segment.model.background.free) segment.backgroundColumn = m_backgroundColumns++;
      m_yields.insert(m_yields.end(), term->yields().begin(), term->yields().end());
      m_segments.push_back(std::move(segment));
    }
  } catch (const FitCancelled&) {
    m_cancelled = true;
    return;
  }
  if (m_yields.size() < 3) {
    throw FitError("Fewer than three measured points lie in the energy range and on the curve.");
  }

  // Node spacing: a quarter of the depth resolution at the surface, the
  // broadening's combined width over the stopping power (straggling only
  // widens it deeper down), in whole grid steps; the points themselves
  // cannot resolve more. Without broadening, the depth between neighbouring
  // measured energies. The finest of the measurements'.
  const Sample& sample = m_sample;
  double spacing = std::numeric_limits<double>::infinity();
  for (const Segment& segment : m_segments) {
    const Measurement& m = segment.term->measurement();
    const double stopping = m.collisionRate * meanLossPerCollision(*m.set);  // eV/(ug/cm2)
    std::vector<double> sorted;
    for (const ExperimentalPoint& p : segment.term->points()) sorted.push_back(p.energy);
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> gaps;
    for (std::size_t k = 1; k < sorted.size(); ++k) {
      if (sorted[k] > sorted[k - 1]) gaps.push_back(sorted[k] - sorted[k - 1]);
    }
    double own = sample.step;
    if (stopping > 0.0) {
      if (segment.model.convolve) {
        own = 0.25 *
              std::hypot(segment.model.lorentzianWidth.value, segment.model.gaussianWidth.value) /
              stopping;
      } else if (!gaps.empty()) {
        own = percentile(gaps, 0.5) * 1000.0 / stopping;
      }
    }
    spacing = std::min(spacing, own);
  }
  const DepthProfile grid = DepthProfile::forMaximumDepth(sample.maxDepth, sample.step);
  m_firstPoint = firstUncontaminatedPoint(sample);
  const int span = grid.pointCount - 1 - m_firstPoint;
  if (span < 2) throw FitError("The profile has fewer than three points below the contamination.");
  m_spacing = static_cast<int>(std::clamp(std::floor(spacing / sample.step), 1.0, double(span)));
  m_spacing = std::max(m_spacing, (span + kMostNodes - 2) / (kMostNodes - 1));

  std::vector<DepthProfile> hats;
  for (int index = m_firstPoint; index < grid.pointCount; index += m_spacing) {
    DepthProfile hat = grid;
    for (int i = std::max(m_firstPoint, index - m_spacing + 1);
         i < std::min(grid.pointCount, index + m_spacing); ++i) {
      hat.values[static_cast<std::size_t>(i)] =
          1.0 - std::abs(i - index) / static_cast<double>(m_spacing);
    }
    hats.push_back(std::move(hat));
    m_nodeIndex.push_back(index);
  }
  for (Segment& segment : m_segments) {
    const auto nodes = static_cast<Eigen::Index>(hats.size());
    segment.nodeWeights.resize(static_cast<Eigen::Index>(segment.term->entries()), nodes);
    for (Eigen::Index p = 0; p < nodes; ++p) {
      const std::vector<double> w = segment.term->weights(hats[static_cast<std::size_t>(p)]);
      for (std::size_t n = 0; n < w.size(); ++n) {
        segment.nodeWeights(static_cast<Eigen::Index>(n), p) = w[n];
      }
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
  for (Segment& segment : m_segments) {
    segment.nodeWeights.conservativeResize(Eigen::NoChange, keep);
  }

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

std::vector<double> FreeFormProblem::curve(const Eigen::VectorXd& c,
                                           const std::vector<double>& background) const {
  std::vector<double> fitted;
  for (std::size_t t = 0; t < m_segments.size(); ++t) {
    const Segment& segment = m_segments[t];
    const Eigen::VectorXd k = segment.nodeWeights * c;
    const std::vector<double> values =
        segment.forward->values(std::vector<double>(k.data(), k.data() + k.size()));
    const std::vector<double> f =
        MeasurementTerm::yieldsOf(segment.model.multiplier.value, background[t], values);
    fitted.insert(fitted.end(), f.begin(), f.end());
  }
  return fitted;
}

Eigen::MatrixXd FreeFormProblem::jacobian(const Eigen::VectorXd& cIn) const {
  // At c = 0 the ratio is undefined; any shape serves to linearise there.
  const Eigen::VectorXd c =
      cIn.isZero(0.0) ? Eigen::VectorXd::Ones(cIn.size()) : Eigen::VectorXd(cIn);
  Eigen::MatrixXd j(static_cast<Eigen::Index>(m_yields.size()), c.size());
  for (const Segment& segment : m_segments) {
    const Eigen::VectorXd k = segment.nodeWeights * c;
    const std::vector<double> at(k.data(), k.data() + k.size());
    std::vector<double> direction(static_cast<std::size_t>(segment.nodeWeights.rows()));
    for (Eigen::Index p = 0; p < segment.nodeWeights.cols(); ++p) {
      for (Eigen::Index n = 0; n < segment.nodeWeights.rows(); ++n) {
        direction[static_cast<std::size_t>(n)] = segment.nodeWeights(n, p);
      }
      const std::vector<double> d = segment.forward->derivative(at, direction);
      for (std::size_t r = 0; r < segment.count; ++r) {
        j(static_cast<Eigen::Index>(segment.first + r), p) = segment.model.multiplier.value * d[r];
      }
    }
  }
  return j;
}

std::vector<double> FreeFormProblem::statisticWeights(const std::vector<MeasuredYield>& yields,
                                                      const std::vector<double>& fitted,
                                                      bool first) const {
  std::vector<double> w(yields.size());
  for (const Segment& segment : m_segments) {
    const double floor = segment.term->poissonFloor();
    for (std::size_t j = segment.first; j < segment.first + segment.count; ++j) {
      switch (segment.model.statistic) {
        case FitStatistic::Poisson:
          // Before there is a curve the counts stand in for it.
          w[j] = 1.0 / std::max(first ? std::max(yields[j].yield, 1.0) : fitted[j], floor);
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
  }
  return w;
}

double FreeFormProblem::misfit(const std::vector<MeasuredYield>& yields,
                               const std::vector<double>& fitted) const {
  double sum = 0.0;
  for (const Segment& segment : m_segments) {
    const auto first = static_cast<std::ptrdiff_t>(segment.first);
    const auto end = first + static_cast<std::ptrdiff_t>(segment.count);
    sum += statisticChi2(segment.model.statistic,
                         std::vector<MeasuredYield>(yields.begin() + first, yields.begin() + end),
                         std::vector<double>(fitted.begin() + first, fitted.begin() + end),
                         segment.term->poissonFloor());
  }
  return sum;
}

std::vector<double> FreeFormProblem::fixedBackgrounds() const {
  std::vector<double> background;
  for (const Segment& segment : m_segments) {
    background.push_back(segment.backgroundColumn < 0 ? segment.model.background.value : 0.0);
  }
  return background;
}

FreeFormSolution FreeFormProblem::solve(const std::vector<MeasuredYield>& yields, double lambda,
                                        const FreeFormSolution* start,
                                        const std::atomic<bool>* cancel) const {
  const Eigen::Index nodes = static_cast<Eigen::Index>(m_nodeIndex.size());
  const Eigen::Index columns = nodes + m_backgroundColumns;
  const Eigen::Index dataRows = static_cast<Eigen::Index>(yields.size());
  const Eigen::Index rows = dataRows + m_d2.rows();
  // Per row: its background's column (or -1) and the fixed background it takes off.
  std::vector<Eigen::Index> backgroundColumn(yields.size(), -1);
  std::vector<double> fixedBackground(yields.size(), 0.0);
  for (const Segment& segment : m_segments) {
    for (std::size_t r = segment.first; r < segment.first + segment.count; ++r) {
      backgroundColumn[r] = segment.backgroundColumn < 0 ? -1 : nodes + segment.backgroundColumn;
      fixedBackground[r] = segment.backgroundColumn < 0 ? segment.model.background.value : 0.0;
    }
  }
  // The backgrounds a solution of the unknowns x stands for.
  const auto backgroundsOf = [&](const Eigen::VectorXd& x) {
    std::vector<double> background = fixedBackgrounds();
    for (std::size_t t = 0; t < m_segments.size(); ++t) {
      if (m_segments[t].backgroundColumn >= 0) {
        background[t] = x(nodes + m_segments[t].backgroundColumn);
      }
    }
    return background;
  };

  FreeFormSolution s;
  s.c = start ? start->c : Eigen::VectorXd::Ones(nodes);
  s.background = start ? start->background : fixedBackgrounds();
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
      const auto row = static_cast<std::size_t>(r);
      a.row(r).head(nodes) = root * j.row(r);
      if (backgroundColumn[row] >= 0) a(r, backgroundColumn[row]) = root;
      b(r) = root * (yields[row].yield - fixedBackground[row]);
    }
    a.block(dataRows, 0, m_d2.rows(), nodes) = std::sqrt(lambda) * m_d2;
    const NonNegativeSolution step = solveNonNegativeLeastSquares(a, b, s.passive);
    s.boundSolved = s.boundSolved && step.converged;

    Eigen::VectorXd c = step.x.head(nodes);
    std::vector<double> background = backgroundsOf(step.x);
    std::vector<double> fitted = curve(c, background);
    double value = misfit(yields, fitted) + lambda * roughness(c);
    // The reweighted step may overshoot; halving it stays feasible.
    for (int halving = 0; halving < 30 && value > objective * (1.0 + 1e-12) && !first; ++halving) {
      c = 0.5 * (c + s.c);
      for (std::size_t t = 0; t < background.size(); ++t) {
        background[t] = 0.5 * (background[t] + s.background[t]);
      }
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
        if (k < nodes) {
          sub(r, static_cast<Eigen::Index>(f)) = root * j(r, k);
        } else if (backgroundColumn[static_cast<std::size_t>(r)] == k) {
          sub(r, static_cast<Eigen::Index>(f)) = root;
        }
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
  DepthProfile profile = DepthProfile::forMaximumDepth(m_sample.maxDepth, m_sample.step);
  profile.contaminationDepth = m_sample.contamination;
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
                                                const std::vector<double>& background) const {
  std::vector<double> fitted;
  for (std::size_t t = 0; t < m_segments.size(); ++t) {
    const Segment& segment = m_segments[t];
    const std::vector<double> f = MeasurementTerm::yieldsOf(
        segment.model.multiplier.value, background[t], segment.forward->values(profile));
    fitted.insert(fitted.end(), f.begin(), f.end());
  }
  return fitted;
}

std::vector<FittedPoint> FreeFormProblem::fittedPoints(const std::vector<double>& fitted,
                                                       double equalSigma) const {
  std::vector<FittedPoint> points;
  for (const Segment& segment : m_segments) {
    const auto first = fitted.begin() + static_cast<std::ptrdiff_t>(segment.first);
    const std::vector<FittedPoint> own = segment.term->fittedPoints(
        segment.model.statistic,
        std::vector<double>(first, first + static_cast<std::ptrdiff_t>(segment.count)), equalSigma);
    points.insert(points.end(), own.begin(), own.end());
  }
  return points;
}

std::vector<MeasuredYield> FreeFormProblem::replica(const std::vector<double>& fitted,
                                                    std::mt19937_64& generator) const {
  std::vector<MeasuredYield> counts = m_yields;
  for (const Segment& segment : m_segments) {
    for (std::size_t j = segment.first; j < segment.first + segment.count; ++j) {
      const double mean = std::max(fitted[j], 0.0);
      if (segment.model.statistic == FitStatistic::Errors) {
        counts[j].yield = std::normal_distribution<double>(mean, counts[j].error)(generator);
      } else {
        counts[j].yield =
            mean > 0.0 ? static_cast<double>(std::poisson_distribution<long long>(mean)(generator))
                       : 0.0;
      }
    }
  }
  return counts;
}

std::vector<double> FreeFormProblem::nodeDepths() const {
  std::vector<double> depths;
  for (int index : m_nodeIndex) depths.push_back(index * m_sample.step);
  return depths;
}

double FreeFormProblem::crossValidation(const FreeFormSolution& s) const {
  const double points = static_cast<double>(m_yields.size());
  const double free = points - s.trace;
  if (!(free > 0.0)) return std::numeric_limits<double>::infinity();
  return points * s.weightedSquares / (free * free);
}
