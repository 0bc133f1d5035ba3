#include "fit/nonnegative_least_squares.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The least-squares solution on the columns flagged in `passive`, 0 elsewhere.
Eigen::VectorXd solveOnPassive(const Eigen::MatrixXd& a, const Eigen::VectorXd& b,
                               const std::vector<char>& passive) {
  const Eigen::Index n = a.cols();
  std::vector<Eigen::Index> columns;
  for (Eigen::Index j = 0; j < n; ++j) {
    if (passive[static_cast<std::size_t>(j)]) columns.push_back(j);
  }
  Eigen::VectorXd full = Eigen::VectorXd::Zero(n);
  if (columns.empty()) return full;
  Eigen::MatrixXd sub(a.rows(), static_cast<Eigen::Index>(columns.size()));
  for (std::size_t k = 0; k < columns.size(); ++k) {
    sub.col(static_cast<Eigen::Index>(k)) = a.col(columns[k]);
  }
  const Eigen::VectorXd s = sub.colPivHouseholderQr().solve(b);
  for (std::size_t k = 0; k < columns.size(); ++k) {
    full(columns[k]) = s(static_cast<Eigen::Index>(k));
  }
  return full;
}

}  // namespace

NonNegativeSolution solveNonNegativeLeastSquares(const Eigen::MatrixXd& aIn,
                                                 const Eigen::VectorXd& b,
                                                 std::vector<char>& passive) {
  const Eigen::Index n = aIn.cols();
  passive.resize(static_cast<std::size_t>(n), 0);
  Eigen::VectorXd scale = aIn.colwise().norm().transpose();
  for (Eigen::Index j = 0; j < n; ++j) {
    if (!(scale(j) > 0.0)) {
      scale(j) = 1.0;
      passive[static_cast<std::size_t>(j)] = 0;  // a column of zeros stays at 0
    }
  }
  const Eigen::MatrixXd a = aIn * scale.cwiseInverse().asDiagonal();
  std::vector<char> zeroColumn(static_cast<std::size_t>(n), 0);
  for (Eigen::Index j = 0; j < n; ++j)
    zeroColumn[static_cast<std::size_t>(j)] = aIn.col(j).squaredNorm() == 0.0;

  NonNegativeSolution result;
  Eigen::VectorXd x = Eigen::VectorXd::Zero(n);
  const double tolerance = 10.0 * std::numeric_limits<double>::epsilon() *
                           static_cast<double>(std::max(a.rows(), n)) *
                           std::max(b.norm(), std::numeric_limits<double>::min());
  const int limit = 3 * static_cast<int>(n) + 10;
  int iterations = 0;

  // Brings the free set's solution back inside x >= 0: moves from x towards
  // the unconstrained solution s as far as feasibility allows, frees nothing,
  // and drops to the active set every variable that reaches 0 on the way.
  auto settle = [&] {
    Eigen::VectorXd s = solveOnPassive(a, b, passive);
    while (iterations++ < limit) {
      double step = 1.0;
      Eigen::Index blocking = -1;
      for (Eigen::Index j = 0; j < n; ++j) {
        if (passive[static_cast<std::size_t>(j)] && s(j) <= 0.0) {
          const double denominator = x(j) - s(j);
          const double reach = denominator > 0.0 ? x(j) / denominator : 0.0;
          if (blocking < 0 || reach < step) {
            step = std::min(step, reach);
            blocking = j;
          }
        }
      }
      if (blocking < 0) break;
      x += step * (s - x);
      x(blocking) = 0.0;
      for (Eigen::Index j = 0; j < n; ++j) {
        if (passive[static_cast<std::size_t>(j)] && x(j) <= 0.0) {
          passive[static_cast<std::size_t>(j)] = 0;
          x(j) = 0.0;
        }
      }
      s = solveOnPassive(a, b, passive);
    }
    x = s;
  };

  if (std::any_of(passive.begin(), passive.end(), [](char p) { return p != 0; })) settle();
  while (iterations < limit) {
    const Eigen::VectorXd gradient = a.transpose() * (b - a * x);
    Eigen::Index best = -1;
    double largest = tolerance;
    for (Eigen::Index j = 0; j < n; ++j) {
      if (!passive[static_cast<std::size_t>(j)] && !zeroColumn[static_cast<std::size_t>(j)] &&
          gradient(j) > largest) {
        largest = gradient(j);
        best = j;
      }
    }
    if (best < 0) break;
    passive[static_cast<std::size_t>(best)] = 1;
    ++iterations;
    settle();
  }
  result.converged = iterations < limit;
  for (Eigen::Index j = 0; j < n; ++j) x(j) = std::max(x(j), 0.0) / scale(j);
  result.x = x;
  return result;
}
