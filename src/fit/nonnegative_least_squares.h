#pragma once

#include <Eigen/Dense>
#include <vector>

// min ||A x - b|| subject to x >= 0, by the active-set method of Lawson and
// Hanson: variables enter the free (passive) set one at a time where the
// gradient says the residual falls fastest, and each free set's unconstrained
// least squares is solved by a column-pivoting Householder QR, stepping back
// to the feasible region whenever a free variable would turn negative. Debian's
// Eigen 3.4 ships no bound-constrained solver, and for the small, well scaled
// problems of an inversion (a few hundred columns) this exact finite method
// beats a general quasi-Newton code with bounds: it ends with the optimum's
// active set identified, not merely approached.
//
// `passive` (one flag per column) starts the search from a guess of the free
// set, which makes a sequence of nearby problems (reweighting, replicas) cost
// a few QRs each, and receives the final free set. Columns are scaled to unit
// norm inside, so the result does not depend on the columns' units.
struct NonNegativeSolution {
  Eigen::VectorXd x;
  bool converged = true;  // false only when the iteration limit (3 per column) was hit
};

NonNegativeSolution solveNonNegativeLeastSquares(const Eigen::MatrixXd& a, const Eigen::VectorXd& b,
                                                 std::vector<char>& passive);
