#pragma once

// A sample seen at normal incidence and tilted, for tests and benchmarks of
// joint fits: two sharp layers, drawn with the profile tools, lying too
// close together for the normal-incidence curve to tell them apart; one
// detector (the same multiplier and background) measures the sample at 0
// and at kTilt degrees, with Poisson noise.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "fit/forward_model.h"
#include "fit/layer_fit.h"
#include "model/tilted_path.h"
#include "support/synthetic_layers.h"

namespace synthetic {

inline constexpr double kTilt = 70.0;

struct TiltedSample {
  std::vector<DrawnLayer> layers;
  double contamination = 0.0;
};

// The layers 0.15 ug/cm2 apart, closer than the depth resolution at normal
// incidence (about 0.26 ug/cm2, the widths' 141 eV over the stopping) but
// not at 70 degrees (0.26 cos 70 = 0.09), and shallow enough for the tilted
// path to stay within the set's collisions and the measured energies. Their
// ends lie half a step into a point, so that the line tool fills the same
// points however the depths are stretched: points 0.025 to 0.12 and 0.275
// to 0.38.
inline const TiltedSample kCloseLayers{{{0.0225, 0.1225, 1.0}, {0.2725, 0.3825, 0.8}}, 0.0};

// The profile with every layer drawn sharp (no smoothing) with the line
// tool; with a `stretch`, every depth, the grid's step and its maximum depth
// multiplied by it: the same points drawn stretched.
inline DepthProfile drawnSharp(const TiltedSample& s, double stretch = 1.0, int only = -1) {
  DepthProfile profile = DepthProfile::forMaximumDepth(kMaxDepth * stretch, kStep * stretch);
  setContaminationDepth(profile, s.contamination * stretch);
  profile.values.assign(profile.values.size(), 0.0);
  profile.pointCount = static_cast<std::int32_t>(profile.values.size());
  for (std::size_t k = 0; k < s.layers.size(); ++k) {
    if (only >= 0 && static_cast<int>(k) != only) continue;
    const DrawnLayer& l = s.layers[k];
    DepthProfile layer = profile;
    std::fill(layer.values.begin(), layer.values.end(), 0.0);
    drawProfileLine(layer, l.from * stretch, l.concentration, l.to * stretch, l.concentration);
    for (std::size_t i = 0; i < profile.values.size(); ++i) profile.values[i] += layer.values[i];
  }
  return profile;
}

// The curve of a measurement at `tilt` through the program's forward model,
// before the multiplier, at the measured energies (or at `energies`).
inline std::vector<double> tiltedCurve(const DepthProfile& profile, double tilt,
                                       const std::vector<double>& energies = measuredEnergies()) {
  ForwardModelSettings settings;
  settings.beamEnergyKev = kBeamKev;
  settings.collisionRate = rate();
  settings.lorentzianWidthEv = kWidthEv;
  settings.gaussianWidthEv = kWidthEv;
  settings.tiltDegrees = tilt;
  return ForwardModel(smallSet(), settings, energies).values(profile);
}

struct TiltedTruth {
  std::vector<Truth> layers;
  std::vector<double> normal;  // the curves before the multiplier
  std::vector<double> tilted;
  double multiplier = 0.0;  // the normal curve's peak at kPeakCounts
};

inline TiltedTruth tiltedTruth(const TiltedSample& s) {
  TiltedTruth t;
  for (std::size_t k = 0; k < s.layers.size(); ++k) {
    t.layers.push_back(truthOf(drawnSharp(s, 1.0, static_cast<int>(k))));
  }
  const DepthProfile profile = drawnSharp(s);
  t.normal = tiltedCurve(profile, 0.0);
  t.tilted = tiltedCurve(profile, kTilt);
  t.multiplier = kPeakCounts / *std::max_element(t.normal.begin(), t.normal.end());
  return t;
}

// The fit's start, 20% off the truth: every position free within the grid,
// the first layer's concentration known (the multiplier is free and shared),
// the second's free within [0, 10], sharp edges; the background free and
// shared. `tilts` lists the measurements.
inline SampleProblem tiltedProblem(const TiltedSample& s, const TiltedTruth& t,
                                   const std::vector<double>& tilts, std::uint64_t seed) {
  SampleModel model = baseModel(s.contamination);
  double sign = 1.0;
  for (std::size_t k = 0; k < s.layers.size(); ++k) {
    const DrawnLayer& l = s.layers[k];
    LayerModel layer;
    layer.from = freeWithin(l.from * (1 + 0.2 * sign), 0, kMaxDepth);
    layer.to = freeWithin(l.to * (1 + 0.2 * sign), 0, kMaxDepth);
    layer.concentration =
        k == 0 ? FitParameter{l.concentration} : freeWithin(l.concentration * 0.8, 0, 10);
    model.layers.push_back(layer);
    sign = -sign;
  }
  model.multiplier = freeWithin(t.multiplier * 1.2, 0, INFINITY);
  model.background = freeWithin(kBackground + 1.0, 0, 100);
  model.shared.fill(true);
  SampleProblem problem;
  problem.sample = model;
  for (std::size_t m = 0; m < tilts.size(); ++m) {
    const std::vector<double>& curve = tilts[m] == 0.0 ? t.normal : t.tilted;
    MeasuredData data = problemOf(measure(curve, t.multiplier, kBackground, seed * 7919 + m));
    SampleProblem one = problemFor(model, data);
    Measurement measurement = one.measurements.front();
    measurement.set =
        std::shared_ptr<const AutoconvolutionSet>(std::shared_ptr<void>(), &smallSet());
    measurement.name = tilts[m] == 0.0 ? "normal" : "tilted";
    measurement.model.tilt = tilts[m];
    problem.measurements.push_back(std::move(measurement));
  }
  return problem;
}

}  // namespace synthetic
