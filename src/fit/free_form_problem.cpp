#include "fit/free_form_problem.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fit/fit_error.h"
#include "fit/parameter_layout.h"
#include "fit/profile_band.h"
#include "fit/profile_rendering.h"
#include "model/tilted_path.h"

namespace {

// A node the data see with less than this fraction of the best-seen node's
// largest response is beyond the data's reach: smoothness alone would decide
// its value. The profile is 0 from the last node seen better on.
constexpr double kReach = 1e-2;
constexpr int kMostNodes = 400;

// The energy lost in one collision (eV): the first and second moments of the
// single-collision spectrum, entry 1 of the set.
struct LossMoments {
  double mean = 0.0;
  double meanSquare = 0.0;
};
LossMoments lossPerCollision(const AutoconvolutionSet& set) {
  const Autoconvolution& single = set[1];
  double weight = 0.0;
  double moment = 0.0;
  double second = 0.0;
  for (std::size_t i = 0; i < single.size(); ++i) {
    const double loss = static_cast<double>(i) * single.step - single.origin;
    weight += single.values[i];
    moment += single.values[i] * loss;
    second += single.values[i] * loss * loss;
  }
  if (!(weight > 0.0)) return {};
  return {moment / weight, second / weight};
}

}  // namespace

ProbedDepth probedDepth(const AutoconvolutionSet& set, double collisionRate, double beamEnergyKev,
                        const MeasurementModel& model, double highestEnergyKev) {
  const LossMoments loss = lossPerCollision(set);
  const double stopping = collisionRate * loss.mean;  // eV/(ug/cm2)
  if (!(stopping > 0.0)) return {};
  const double resonance = std::max(
      0.0, (highestEnergyKev + model.energyShift.value - beamEnergyKev) * 1000.0 / stopping);
  const double straggling = 4.0 * collisionRate * resonance * loss.meanSquare;  // (2 sigma)^2
  double lineShape = 0.0;
  if (model.convolve) {
    lineShape = model.lorentzianWidth.value * model.lorentzianWidth.value +
                model.gaussianWidth.value * model.gaussianWidth.value;
  }
  const double resolution = std::sqrt(lineShape + straggling) / stopping;
  if (model.tilt == 0.0) return {resonance + resolution, resolution};
  // Along a tilted path: a path length z/cos(tilt) is the depth z.
  const double depthPerPath = 1.0 / pathStretch(model.tilt);
  return {(resonance + resolution) * depthPerPath, resolution * depthPerPath};
}

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
    // One column per free background slot of the layout: a background that
    // measurements share is one column for all of them.
    const JointModel joint = withoutLayers.model();
    const ParameterLayout layout(joint, withoutLayers.measurementNames());
    std::vector<std::size_t> backgroundSlots;
    for (std::size_t i : layout.freeIndices(joint)) {
      if (layout[i].kind == ParameterKind::Background) backgroundSlots.push_back(i);
    }
    m_objective.emplace(withoutLayers, cancel);
    m_yields = m_objective->yields();
    for (std::size_t t = 0; t < m_objective->size(); ++t) {
      const std::shared_ptr<const MeasurementTerm>& term = m_objective->terms()[t];
      Segment segment;
      segment.term = term;
      segment.model = term->measurement().model;
      segment.forward = term->forward(segment.model);
      segment.first = m_objective->firstRow(t);
      segment.count = m_objective->rowCount(t);
      for (std::size_t column = 0; column < backgroundSlots.size(); ++column) {
        if (layout[backgroundSlots[column]].appliesTo(static_cast<int>(t))) {
          segment.backgroundColumn = static_cast<Eigen::Index>(column);
        }
      }
      m_models.push_back(segment.model);
      m_segments.push_back(std::move(segment));
    }
    m_backgroundColumns = static_cast<Eigen::Index>(backgroundSlots.size());
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
    const double stopping = m.collisionRate * lossPerCollision(*m.set).mean;  // eV/(ug/cm2)
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
    // A tilted measurement resolves depth finer by cos(tilt).
    if (segment.model.tilt != 0.0) own /= pathStretch(segment.model.tilt);
    spacing = std::min(spacing, own);
    const ProbedDepth probed = probedDepth(*m.set, m.collisionRate, m.beamEnergyKev,
                                           segment.model, sorted.empty() ? 0.0 : sorted.back());
    if (probed.depth > m_probed.depth) m_probed = probed;
  }
  const DepthProfile grid = DepthProfile::forMaximumDepth(sample.maxDepth, sample.step);
  m_firstPoint = firstUncontaminatedPoint(sample);
  // The nodes reach as deep as the data probe: the last one's hat ends at
  // the probed depth, unless the grid ends first.
  const double probedPoints = std::floor(m_probed.depth / sample.step);
  const bool gridEndsFirst = probedPoints >= grid.pointCount - 1;
  const int lastPoint = gridEndsFirst ? grid.pointCount - 1 : static_cast<int>(probedPoints);
  const int span = lastPoint - m_firstPoint;
  if (span < 2) {
    throw FitError(gridEndsFirst
                       ? "The profile has fewer than three points below the contamination."
                       : "The measured energies probe hardly deeper than the contamination layer.");
  }
  m_spacing = static_cast<int>(std::clamp(std::floor(spacing / sample.step), 1.0, double(span)));
  m_spacing = std::max(m_spacing, (span + kMostNodes - 2) / (kMostNodes - 1));
  // Past the last node the profile falls to 0 within one spacing.
  const int nodeEnd = gridEndsFirst ? grid.pointCount : lastPoint - m_spacing + 1;

  std::vector<DepthProfile> hats;
  for (int index = m_firstPoint; index < std::max(nodeEnd, m_firstPoint + 1);
       index += m_spacing) {
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

std::vector<MeasurementModel> FreeFormProblem::modelsWith(
    const std::vector<double>& background) const {
  std::vector<MeasurementModel> models = m_models;
  for (std::size_t t = 0; t < models.size(); ++t) models[t].background.value = background[t];
  return models;
}

std::vector<double> FreeFormProblem::yieldsOf(
    const std::vector<double>& background,
    const std::function<std::vector<double>(const Segment&)>& valuesOf) const {
  std::vector<std::vector<double>> values;
  for (const Segment& segment : m_segments) values.push_back(valuesOf(segment));
  return m_objective->yieldsOf(modelsWith(background), values);
}

std::vector<double> FreeFormProblem::curve(const Eigen::VectorXd& c,
                                           const std::vector<double>& background) const {
  return yieldsOf(background, [&](const Segment& segment) {
    const Eigen::VectorXd k = segment.nodeWeights * c;
    return segment.forward->values(std::vector<double>(k.data(), k.data() + k.size()));
  });
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
  return m_objective->chi2(m_models, fitted, yields);
}

std::vector<MeasurementSummary> FreeFormProblem::summaries(const std::vector<double>& fitted,
                                                           double trace) const {
  std::vector<double> own;
  for (const Segment& segment : m_segments) {
    // A background column of its own alone.
    const auto sharing = std::count_if(m_segments.begin(), m_segments.end(), [&](const Segment& o) {
      return o.backgroundColumn == segment.backgroundColumn;
    });
    own.push_back(segment.backgroundColumn >= 0 && sharing == 1 && m_segments.size() > 1 ? 1.0
                                                                                         : 0.0);
  }
  double ownTotal = 0.0;
  for (double o : own) ownTotal += o;
  return m_objective->summaries(m_models, fitted, own, trace - ownTotal);
}

std::vector<double> FreeFormProblem::fixedBackgrounds() const {
  std::vector<double> background;
  for (const Segment& segment : m_segments) {
    background.push_back(segment.backgroundColumn < 0 ? segment.model.background.value : 0.0);
  }
  return background;
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
  return yieldsOf(background,
                  [&](const Segment& segment) { return segment.forward->values(profile); });
}

std::vector<FittedPoint> FreeFormProblem::fittedPoints(const std::vector<double>& fitted,
                                                       double equalSigma) const {
  return m_objective->fittedPoints(m_models, fitted, equalSigma);
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
