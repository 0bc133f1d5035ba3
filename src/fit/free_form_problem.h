#pragma once

#include <Eigen/Dense>
#include <atomic>
#include <optional>
#include <vector>

#include "fit/fit_statistic.h"
#include "fit/forward_model.h"
#include "fit/layer_fit.h"
#include "fit/sample_model.h"
#include "state/depth_profile.h"

// The free-form inversion's problem: the node basis, the measured points and
// the penalised, non-negative solve at a given smoothing weight.
//
// The collision weights are linear in the profile, so with node values c the
// weights are K c, K holding the weights of each node's hat function. The
// curve is linear in the weights up to the broadening's area ratio, which
// depends on the profile's shape but not its scale: the curve f(c) is
// homogeneous of degree one, so its Jacobian satisfies J(c) c = f(c) and the
// Gauss-Newton model at c is simply J(c) c'. Each step therefore solves one
// non-negative least-squares problem in c' (and the background) with the
// statistic's weights at the current curve (iteratively reweighted least
// squares: for Poisson the weights 1/f make the fixed point the penalised
// maximum likelihood, with no approximation left). The iteration stops when
// the curve moves by less than 1e-8 of the largest count; every curve reported
// is the forward model's exact curve of the rendered profile.

// One solve's outcome.
struct FreeFormSolution {
  Eigen::VectorXd c;  // node values
  double background = 0.0;
  std::vector<char> passive;
  std::vector<double> fitted;    // at the used points
  double chi2 = 0.0;             // the statistic
  double weightedSquares = 0.0;  // sum w (y - f)^2 with the final weights
  double trace = 0.0;            // of the influence matrix
  bool converged = false;        // the reweighting settled
  bool boundSolved = true;       // every non-negative solve ended within its iteration limit
};

class FreeFormProblem {
 public:
  // Stops early when `cancel` is raised while the forward model is built.
  FreeFormProblem(const SampleModel& model, const FitProblem& problem,
                  const std::atomic<bool>* cancel);
  bool cancelled() const { return m_forward->cancelled(); }

  int pointCount() const { return static_cast<int>(m_yields.size()); }
  int nodeCount() const { return static_cast<int>(m_nodeIndex.size()); }
  const std::vector<MeasuredYield>& yields() const { return m_yields; }
  double penaltyScale() const { return m_scale; }

  // Returns unfinished, as soon as it sees it, when `cancel` is raised.
  FreeFormSolution solve(const std::vector<MeasuredYield>& yields, double lambda,
                         const FreeFormSolution* start,
                         const std::atomic<bool>* cancel = nullptr) const;
  DepthProfile render(const Eigen::VectorXd& c) const;
  // The forward model's exact values at the used points for a profile.
  std::vector<double> exactCurve(const DepthProfile& profile, double background) const;
  std::vector<double> nodeDepths() const;
  double nodeSpacing() const { return m_spacing * m_model.step; }
  // The used points' places in the problem's list.
  const std::vector<std::size_t>& usedPoints() const { return m_usedPoints; }
  double poissonFloor() const { return m_floor; }
  // Generalised cross-validation's score n sum w (y - f)^2 / (n - trace H)^2.
  double crossValidation(const FreeFormSolution& s) const;

 private:
  std::vector<double> weightsOf(const Eigen::VectorXd& c) const;
  std::vector<double> curve(const Eigen::VectorXd& c, double background) const;
  Eigen::MatrixXd jacobian(const Eigen::VectorXd& c) const;
  std::vector<double> statisticWeights(const std::vector<MeasuredYield>& yields,
                                       const std::vector<double>& fitted, bool first) const;
  double misfit(const std::vector<MeasuredYield>& yields, const std::vector<double>& fitted) const;
  double roughness(const Eigen::VectorXd& c) const { return (m_d2 * c).squaredNorm(); }

  SampleModel m_model;
  std::optional<ForwardModel> m_forward;
  std::vector<std::size_t> m_used;        // indices into the forward model's energies
  std::vector<std::size_t> m_usedPoints;  // the same points in the problem's list
  std::vector<MeasuredYield> m_yields;
  double m_floor = 0.0;
  int m_firstPoint = 0;  // below the contamination layer
  int m_spacing = 1;     // grid steps between nodes
  std::vector<int> m_nodeIndex;
  Eigen::MatrixXd m_nodeWeights;  // collision weights (rows) of each node's hat (columns)
  Eigen::MatrixXd m_d2;
  double m_scale = 1.0;
  bool m_freeBackground = false;
};
