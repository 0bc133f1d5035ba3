#pragma once

#include <Eigen/Dense>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "fit/fit_statistic.h"
#include "fit/forward_model.h"
#include "fit/layer_fit.h"
#include "fit/measurement_term.h"
#include "fit/sample_model.h"
#include "fit/sample_objective.h"
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

// How deep a measurement's highest energy sees, from the physics of its set
// (ug/cm2). The stopping power S is the collision rate times the mean loss of
// the single-collision spectrum (eV per ug/cm2); the highest energy E, moved
// by the energy shift, puts the resonance at z0 = (E + shift - beamEnergy) *
// 1000 / S. The depth resolution there is the line shape's and the
// straggling's widths combined, W = sqrt(Gamma_L^2 + Gamma_G^2 + (2 sigma)^2)
// (eV; the line shape only with Convolve), sigma^2 = rate * z0 * <eps^2> the
// energy-loss variance of the compound Poisson straggling (<eps^2> the
// single-collision spectrum's second moment), 2 sigma as the Gaussian width
// counts the beam's spread; resolution = W / S. The data see as deep as
// `depth` = z0 + resolution. These are path lengths: a tilted measurement's
// depth and resolution are theirs times cos(tilt).
struct ProbedDepth {
  double depth = 0.0;
  double resolution = 0.0;
};
ProbedDepth probedDepth(const AutoconvolutionSet& set, double collisionRate, double beamEnergyKev,
                        const MeasurementModel& model, double highestEnergyKev);

// One solve's outcome.
struct FreeFormSolution {
  Eigen::VectorXd c;  // node values
  std::vector<double> background;  // counts, per measurement
  std::vector<char> passive;
  std::vector<double> fitted;    // at the used points, measurement after measurement
  double chi2 = 0.0;             // the statistic
  double weightedSquares = 0.0;  // sum w (y - f)^2 with the final weights
  double trace = 0.0;            // of the influence matrix
  bool converged = false;        // the reweighting settled
  bool boundSolved = true;       // every non-negative solve ended within its iteration limit
};

class FreeFormProblem {
 public:
  // Stops early when `cancel` is raised while a forward model is built.
  FreeFormProblem(const SampleProblem& problem, const std::atomic<bool>* cancel);
  bool cancelled() const { return m_cancelled; }

  int pointCount() const { return static_cast<int>(m_yields.size()); }
  int nodeCount() const { return static_cast<int>(m_nodeIndex.size()); }
  // Every measurement's used points, one after the other.
  const std::vector<MeasuredYield>& yields() const { return m_yields; }
  double penaltyScale() const { return m_scale; }

  // Returns unfinished, as soon as it sees it, when `cancel` is raised.
  FreeFormSolution solve(const std::vector<MeasuredYield>& yields, double lambda,
                         const FreeFormSolution* start,
                         const std::atomic<bool>* cancel = nullptr) const;
  DepthProfile render(const Eigen::VectorXd& c) const;
  // The forward models' exact values at the used points for a profile.
  std::vector<double> exactCurve(const DepthProfile& profile,
                                 const std::vector<double>& background) const;
  // The statistic of fitted yields against the measured ones.
  double chi2(const std::vector<double>& fitted) const { return misfit(m_yields, fitted); }
  // Each measurement's part of the statistic, its points and dof: its free
  // background is its own, the rest of the effective parameters `trace` is
  // shared by its points' share.
  std::vector<MeasurementSummary> summaries(const std::vector<double>& fitted, double trace) const;
  // The used points with their fitted yields, as a layer fit reports them.
  std::vector<FittedPoint> fittedPoints(const std::vector<double>& fitted, double equalSigma) const;
  std::vector<double> nodeDepths() const;
  double nodeSpacing() const { return m_spacing * m_sample.step; }
  // The deepest of the measurements' probed depths, and the depth resolution
  // there (ug/cm2). The nodes stop where the profile reaches 0 at that depth
  // (or at the grid's end, when that comes first).
  const ProbedDepth& deepestProbed() const { return m_probed; }
  int firstPoint() const { return m_firstPoint; }
  // Generalised cross-validation's score n sum w (y - f)^2 / (n - trace H)^2.
  double crossValidation(const FreeFormSolution& s) const;
  // Draws a replica of the measured counts around fitted yields.
  std::vector<MeasuredYield> replica(const std::vector<double>& fitted,
                                     std::mt19937_64& generator) const;

 private:
  // One measurement's rows.
  struct Segment {
    std::shared_ptr<const MeasurementTerm> term;
    MeasurementModel model;
    std::shared_ptr<const ForwardModel> forward;
    std::size_t first = 0;  // its first row
    std::size_t count = 0;
    Eigen::MatrixXd nodeWeights;  // collision weights (rows) of each node's hat (columns)
    Eigen::Index backgroundColumn = -1;  // -1: its background is fixed
  };

  // Every measurement's multiplier * values + background, one after the other.
  std::vector<double> yieldsOf(
      const std::vector<double>& background,
      const std::function<std::vector<double>(const Segment&)>& valuesOf) const;
  std::vector<double> curve(const Eigen::VectorXd& c, const std::vector<double>& background) const;
  Eigen::MatrixXd jacobian(const Eigen::VectorXd& c) const;
  std::vector<double> statisticWeights(const std::vector<MeasuredYield>& yields,
                                       const std::vector<double>& fitted, bool first) const;
  double misfit(const std::vector<MeasuredYield>& yields, const std::vector<double>& fitted) const;
  double roughness(const Eigen::VectorXd& c) const { return (m_d2 * c).squaredNorm(); }
  std::vector<double> fixedBackgrounds() const;

  // Every measurement's model with the given backgrounds in place of its own.
  std::vector<MeasurementModel> modelsWith(const std::vector<double>& background) const;

  Sample m_sample;
  std::optional<SampleObjective> m_objective;
  std::vector<MeasurementModel> m_models;  // each measurement's, in order
  std::vector<Segment> m_segments;
  std::vector<MeasuredYield> m_yields;
  bool m_cancelled = false;
  int m_firstPoint = 0;  // below the contamination layer
  int m_spacing = 1;     // grid steps between nodes
  ProbedDepth m_probed;
  std::vector<int> m_nodeIndex;
  Eigen::MatrixXd m_d2;
  double m_scale = 1.0;
  Eigen::Index m_backgroundColumns = 0;
};
