#include "fit/free_form_problem.h"

#include <cmath>

#include "fit/nonnegative_least_squares.h"

// The free-form problem's penalised, non-negative solve at one smoothing
// weight, by iteratively reweighted least squares.

namespace {

constexpr double kCurveTolerance = 1e-8;
constexpr int kMostIterations = 100;

}  // namespace

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

