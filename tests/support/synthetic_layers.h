#pragma once

// Synthetic measurements for tests and benchmarks of the estimating code:
// layers drawn with the profile tools on the start-up spectrum (cut to 400
// points and 60 collisions), Calculate's curve at 80 energies, Poisson counts.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "fit/layer_fit.h"
#include "model/collision_weights.h"
#include "model/excitation_calculation.h"
#include "model/lewis_broadening.h"
#include "model/mean_collision_loss.h"
#include "model/profile_editing.h"
#include "model/profile_smoothing.h"
#include "support/measured_data.h"
#include "support/small_start_up_set.h"

namespace synthetic {

inline constexpr double kBeamKev = 151.0;
inline constexpr double kWidthEv = 100.0;
inline constexpr double kStep = 0.005;
inline constexpr double kMaxDepth = 1.5;

// The start-up spectrum cut to 400 points of 4.03 eV and 60 collisions:
// enough for depths to about 1.5 ug/cm2.
inline const AutoconvolutionSet& smallSet() {
  return smallStartUpSet(60);
}

inline double rate() {
  return 548.56 / meanCollisionLoss(5.7571335f, 328.94867f);
}

inline std::vector<double> measuredEnergies() {
  std::vector<double> energies;
  // As a data file holds them, in single precision.
  for (int j = 0; j < 80; ++j) energies.push_back(static_cast<float>(150.85 + j * 0.0125));
  return energies;
}

// Calculate's curve of the profile, as the main chart draws it, at the energies.
inline std::vector<double> calculatedCurve(const DepthProfile& profile,
                                    const std::vector<double>& energies) {
  const AutoconvolutionSet& set = smallSet();
  SampledCurve curve = weightedAutoconvolutionSum(
      set, collisionWeights(profile, static_cast<int>(set.size()), rate()));
  convolveLorentzian(curve, kWidthEv);
  convolveGaussian(curve, kWidthEv);
  std::vector<double> values;
  for (double e : energies) {
    const double x = (e - kBeamKev) * 1000.0 + curve.origin;  // eV on the curve's grid
    const std::size_t i = static_cast<std::size_t>(x / curve.step);
    const double t = x / curve.step - static_cast<double>(i);
    values.push_back((1 - t) * curve.values[i] + t * curve.values[i + 1]);
  }
  return values;
}

inline MeasuredData problemOf(std::vector<ExperimentalPoint> points) {
  MeasuredData problem;
  problem.set = &smallSet();
  problem.beamEnergyKev = kBeamKev;
  problem.collisionRate = rate();
  problem.points = std::move(points);
  return problem;
}

// Counts of a measurement: Poisson around multiplier*curve + background.
inline std::vector<ExperimentalPoint> measure(const std::vector<double>& curve, double multiplier,
                                       double background, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<ExperimentalPoint> points;
  const std::vector<double> energies = measuredEnergies();
  for (std::size_t j = 0; j < energies.size(); ++j) {
    std::poisson_distribution<int> counts(multiplier * curve[j] + background);
    const float y = static_cast<float>(counts(rng));
    points.push_back({static_cast<float>(energies[j]), y, std::sqrt(std::max(y, 1.0f))});
  }
  return points;
}

// Where `name` stands among a result's names (their count when it is not there).
inline std::size_t nameIndex(const std::vector<std::string>& names, const std::string& name) {
  return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

inline FitParameter freeWithin(double value, double min, double max) {
  return {value, true, min, max};
}

inline SampleModel baseModel(double contamination) {
  SampleModel model;
  model.maxDepth = kMaxDepth;
  model.step = kStep;
  model.contamination = contamination;
  model.lorentzianWidth = {kWidthEv};
  model.gaussianWidth = {kWidthEv};
  return model;
}

// A synthetic measurement made with the profile tools: each layer drawn as a
// line of constant concentration and smoothed once with nine points.
struct DrawnLayer {
  double from, to, concentration;
};
struct RecoveryCase {
  const char* what;
  double contamination;
  std::vector<DrawnLayer> layers;
};

inline void PrintTo(const RecoveryCase& c, std::ostream* out) {
  *out << c.what;
}

inline DepthProfile drawn(const DrawnLayer& l, double contamination) {
  DepthProfile profile = DepthProfile::forMaximumDepth(kMaxDepth, kStep);
  setContaminationDepth(profile, contamination);
  profile.values.assign(profile.values.size(), 0.0);
  profile.pointCount = static_cast<std::int32_t>(profile.values.size());
  drawProfileLine(profile, l.from, l.concentration, l.to, l.concentration);
  smoothProfile(profile, 0);
  return profile;
}

struct Truth {
  double amount, centroid;
};
inline Truth truthOf(const DepthProfile& profile) {
  const int first = static_cast<int>(std::ceil(profile.contaminationDepth / profile.step));
  double sum = 0.0;
  double moment = 0.0;
  for (int i = first; i < profile.pointCount; ++i) {
    sum += profile.values[i];
    moment += i * profile.step * profile.values[i];
  }
  return {sum * profile.step, moment / sum};
}

// Peak counts of about 3000 over the curve.
inline constexpr double kPeakCounts = 3000.0;
inline constexpr double kBackground = 2.0;

struct Synthetic {
  std::vector<Truth> truths;
  std::vector<double> curve;
  double multiplier;
};
inline Synthetic synthesise(const RecoveryCase& c) {
  Synthetic s;
  DepthProfile total = DepthProfile::forMaximumDepth(kMaxDepth, kStep);
  for (const DrawnLayer& l : c.layers) {
    const DepthProfile layer = drawn(l, c.contamination);
    s.truths.push_back(truthOf(layer));
    total.values.resize(layer.values.size(), 0.0);
    for (std::size_t i = 0; i < layer.values.size(); ++i) total.values[i] += layer.values[i];
  }
  total.pointCount = static_cast<std::int32_t>(total.values.size());
  s.curve = calculatedCurve(total, measuredEnergies());
  s.multiplier = kPeakCounts / *std::max_element(s.curve.begin(), s.curve.end());
  return s;
}


// Interval coverage over noise replicas of one synthetic sample: how often
// each layer's amount and centroid interval holds the truth.
struct CoverageCase {
  const char* what;
  RecoveryCase sample;
  bool multiplierFree;  // then the first layer's concentration stays at its truth
  double background;    // the truth; the fit's background is free within [0, 100]
};

inline void PrintTo(const CoverageCase& c, std::ostream* out) {
  *out << c.what;
}

struct Coverage {
  int replicas = 0;
  int converged = 0;
  int withIntervals = 0;  // every amount and centroid with both ends
  // Free parameters and derived quantities without both ends and without a
  // warning that names them.
  int silent = 0;
  // Intervals the model contradicts: a layer's from reaching past its to
  // (beyond the interval's own 5% tolerance), a negative thickness or amount.
  int contradictions = 0;
  std::vector<int> amountHeld;
  std::vector<int> centroidHeld;
};

// Starts 20% off: positions free within the profile, concentrations within
// [0, 10], the interface widths fixed at the smoothing's spread.
inline SampleModel coverageStart(const CoverageCase& c, double multiplier) {
  SampleModel model = baseModel(c.sample.contamination);
  double sign = 1.0;
  for (std::size_t k = 0; k < c.sample.layers.size(); ++k) {
    const DrawnLayer& l = c.sample.layers[k];
    LayerModel layer;
    layer.from = l.from <= c.sample.contamination ? FitParameter{l.from}
                                                  : freeWithin(l.from * (1 + 0.2 * sign), 0, kMaxDepth);
    layer.to = freeWithin(l.to * (1 + 0.2 * sign), 0, kMaxDepth);
    layer.concentration = k == 0 && c.multiplierFree
                              ? FitParameter{l.concentration}
                              : freeWithin(l.concentration * (1 - 0.2 * sign), 0, 10);
    layer.topWidth = {0.013};
    layer.bottomWidth = {0.013};
    model.layers.push_back(layer);
    sign = -sign;
  }
  model.multiplier = c.multiplierFree ? freeWithin(multiplier * 1.2, 0, INFINITY)
                                      : FitParameter{multiplier};
  model.background = freeWithin(c.background + 1.0, 0, 100);
  return model;
}

// Two samples that are hard to fit honestly: a first layer about twice the
// depth resolution thick beside a second one, the multiplier free; and a
// surface layer with a dilute deep layer whose thickness and concentration
// trade against each other, no background.
inline const CoverageCase kHardSamples[] = {
    {"thin first layer, multiplier free", {"", 0.0, {{0.05, 0.35, 1.0}, {0.55, 1.0, 0.5}}}, true, 2.0},
    {"dilute deep layer, no background", {"", 0.0, {{0.0, 0.2, 1.0}, {0.9, 1.05, 0.15}}}, false, 0.0},
};

template <typename Report>
Coverage coverageOf(const CoverageCase& c, int replicas, std::uint64_t firstSeed,
                    const FitControl& control, Report&& report) {
  const Synthetic s = synthesise(c.sample);
  Coverage coverage;
  coverage.amountHeld.assign(c.sample.layers.size(), 0);
  coverage.centroidHeld.assign(c.sample.layers.size(), 0);
  for (std::uint64_t seed = firstSeed; seed < firstSeed + replicas; ++seed) {
    const FitResult result =
        fitProblem(problemFor(coverageStart(c, s.multiplier),
                              problemOf(measure(s.curve, s.multiplier, c.background, seed))),
                   control);
    ++coverage.replicas;
    coverage.converged += result.converged;
    bool all = true;
    for (std::size_t k = 0; k < c.sample.layers.size(); ++k) {
      for (int q = 0; q < 2; ++q) {
        const EstimatedValue& v = result.derived[3 * k + q];
        const double truth = q == 0 ? s.truths[k].amount : s.truths[k].centroid;
        all = all && v.lower && v.upper;
        const bool held = (!v.lower || *v.lower <= truth) && (!v.upper || truth <= *v.upper);
        (q == 0 ? coverage.amountHeld : coverage.centroidHeld)[k] += held;
        report(seed, v, truth);
      }
    }
    coverage.withIntervals += all;
    const auto named = [&](const std::string& name) {
      return std::any_of(result.warnings.begin(), result.warnings.end(),
                         [&](const std::string& w) { return w.find(name) != std::string::npos; });
    };
    for (const std::vector<EstimatedValue>* values : {&result.parameters, &result.derived}) {
      for (const EstimatedValue& v : *values) {
        const bool estimated = values == &result.derived || v.free;
        if (estimated && !(v.lower && v.upper) && !named(v.name)) ++coverage.silent;
      }
    }
    for (std::size_t k = 0; k < c.sample.layers.size(); ++k) {
      const EstimatedValue& from = result.parameters[5 * k];
      const EstimatedValue& to = result.parameters[5 * k + 1];
      const double slack = 1e-4 + 0.05 * to.error.value_or(0.0);
      coverage.contradictions += from.upper && to.upper && *from.upper > *to.upper + slack;
      coverage.contradictions += from.lower && to.lower && *from.lower > *to.lower + slack;
      for (const std::size_t d : {3 * k, 3 * k + 2}) {
        coverage.contradictions += result.derived[d].lower && *result.derived[d].lower < 0.0;
      }
    }
  }
  return coverage;
}

}  // namespace synthetic
