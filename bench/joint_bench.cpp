// A joint fit of two measurements of one sample: two sharp layers 0.1 ug/cm2
// apart (support/tilted_layers.h), closer than the depth resolution at normal
// incidence, measured at 0 and 70 degrees by one detector (shared multiplier
// and background), Poisson noise, fitted as the program does by default
// (profile-likelihood intervals, 8 starts); then the normal-incidence curve
// alone. Prints how the tilted forward model agrees with Calculate's curve of
// the layers drawn stretched, and over the replicas: how many converged, the
// share of amounts and centroids within 3 errors of the truth, the amounts'
// errors (% of the truth), the ratio of the normal-only fit's amount error to
// the joint one's, and the coverage of the 68.3% intervals.
// `joint_bench N` runs N replicas (default 20), `joint_bench N -v` prints
// every fit.

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "fit/layer_fit.h"
#include "model/profile_editing.h"
#include "support/tilted_layers.h"

using namespace synthetic;

namespace {

struct Tally {
  int fits = 0;
  int converged = 0;
  int within3 = 0;                         // amounts and centroids within 3 errors of the truth
  int quantities = 0;                      // amounts and centroids judged
  int held = 0;                            // intervals holding the truth
  std::vector<std::array<int, 2>> heldBy;  // per layer: amount, centroid
  int undetermined = 0;                    // amounts or centroids without an error
  std::vector<std::vector<double>> amountErrors;  // per layer, % of the truth
  std::vector<double> squaredMisses;              // per layer: sum of (amount - truth)^2
  double seconds = 0.0;
};

double median(std::vector<double> values) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

bool verbose = false;

void account(Tally& tally, const FitResult& result, const TiltedTruth& truth) {
  ++tally.fits;
  if (verbose) {
    std::printf("  chi2 %.1f/%.0f%s\n", result.chi2, result.dof,
                result.converged ? "" : " not converged");
    for (const EstimatedValue& p : result.parameters) {
      if (p.free)
        std::printf("    %-20s %10.5f +/- %.3g\n", p.name.c_str(), p.value, p.error.value_or(NAN));
    }
    for (const EstimatedValue& d : result.derived) {
      std::printf("    %-20s %10.5f [%.5f, %.5f]\n", d.name.c_str(), d.value, d.lower.value_or(NAN),
                  d.upper.value_or(NAN));
    }
  }
  tally.converged += result.converged;
  tally.amountErrors.resize(truth.layers.size());
  for (std::size_t k = 0; k < truth.layers.size(); ++k) {
    for (int q = 0; q < 2; ++q) {
      const EstimatedValue& v = result.derived[3 * k + q];
      const double value = q == 0 ? truth.layers[k].amount : truth.layers[k].centroid;
      ++tally.quantities;
      if (!v.error) {
        ++tally.undetermined;
      } else if (std::fabs(v.value - value) <= 3 * *v.error) {
        ++tally.within3;
      }
      const bool holds = (!v.lower || *v.lower <= value) && (!v.upper || value <= *v.upper);
      tally.held += holds;
      tally.heldBy.resize(truth.layers.size(), {0, 0});
      tally.heldBy[k][static_cast<std::size_t>(q)] += holds;
      if (q == 0) {
        tally.amountErrors[k].push_back(v.error ? 100.0 * *v.error / value : INFINITY);
        tally.squaredMisses.resize(truth.layers.size(), 0.0);
        tally.squaredMisses[k] += (v.value - value) * (v.value - value);
      }
    }
  }
}

void print(const char* what, const Tally& t) {
  std::printf(
      "%-28s converged %d/%d, within 3 errors %d/%d (undetermined %d), interval "
      "coverage %.0f%%, %.1f s per fit\n",
      what, t.converged, t.fits, t.within3, t.quantities, t.undetermined,
      100.0 * t.held / t.quantities, t.seconds / t.fits);
  for (std::size_t k = 0; k < t.amountErrors.size(); ++k) {
    const auto& e = t.amountErrors[k];
    std::printf(
        "  layer%zu amount error: median %.1f%%, largest %.1f%%; rms of the amounts' "
        "misses %.4f\n",
        k + 1, median(e), *std::max_element(e.begin(), e.end()),
        std::sqrt(t.squaredMisses[k] / t.fits));
    std::printf("  layer%zu coverage: amount %.0f%%, centroid %.0f%%\n", k + 1,
                100.0 * t.heldBy[k][0] / t.fits, 100.0 * t.heldBy[k][1] / t.fits);
  }
}

}  // namespace

// The depth resolution against tilt, from the program's own curves: a
// layer from the surface to `depth` (ug/cm2) seen at `tilt`; the width of
// its curve's back edge between 88% and 12% of the plateau, in energy, times
// cos(tilt) over the stopping (eV per ug/cm2 along the path).
double edgeResolution(double tilt, double depth) {
  DepthProfile profile = DepthProfile::forMaximumDepth(kMaxDepth, kStep);
  drawProfileLine(profile, 0.0025, 1.0, depth + 0.0025, 1.0);
  std::vector<double> energies;
  for (int j = 0; j <= 1200; ++j) energies.push_back(150.85 + 0.001 * j);
  const std::vector<double> curve = tiltedCurve(profile, tilt, energies);
  const auto peak = std::max_element(curve.begin(), curve.end());
  const double plateau = *peak;
  // Where the falling edge passes a fraction of the plateau (interpolated).
  const auto passes = [&](double fraction) {
    for (auto it = peak; it + 1 != curve.end(); ++it) {
      if (*(it + 1) < fraction * plateau) {
        const std::size_t j = static_cast<std::size_t>(it - curve.begin());
        const double t = (*it - fraction * plateau) / (*it - *(it + 1));
        return energies[j] + t * (energies[j + 1] - energies[j]);
      }
    }
    return std::numeric_limits<double>::quiet_NaN();
  };
  const double stopping = 548.56;  // eV per ug/cm2, the start-up set's
  return (passes(0.12) - passes(0.88)) * 1000.0 / (stopping * pathStretch(tilt));
}

int main(int argc, char** argv) {
  const int replicas = argc > 1 ? std::atoi(argv[1]) : 20;
  verbose = argc > 2 && std::string(argv[2]) == "-v";
  const TiltedTruth truth = tiltedTruth(kCloseLayers);

  // The program's tilted forward model against Calculate's curve of the
  // layers drawn with depths (and grid) stretched by 1/cos(tilt).
  const std::vector<double> forward = tiltedCurve(drawnSharp(kCloseLayers), kTilt);
  const std::vector<double> drawn =
      calculatedCurve(drawnSharp(kCloseLayers, pathStretch(kTilt)), measuredEnergies());
  double worst = 0.0;
  for (std::size_t j = 0; j < forward.size(); ++j) {
    worst = std::max(worst, std::fabs(forward[j] - drawn[j]));
  }
  std::printf(
      "tilted curve against the profile drawn stretched: largest difference %.2g of the "
      "peak\n",
      worst / *std::max_element(drawn.begin(), drawn.end()));
  std::printf(
      "depth resolution (12-88%% of the back edge of a layer from the surface, "
      "ug/cm2) against tilt:\n  tilt   at 0.1   at 0.3\n");
  for (double tilt : {0.0, 30.0, 45.0, 60.0, 70.0, 75.0}) {
    std::printf("  %4.0f   %.3f    %.3f\n", tilt, edgeResolution(tilt, 0.1),
                edgeResolution(tilt, 0.3));
  }
  std::printf("truth: layer1 amount %.4f centroid %.4f; layer2 amount %.4f centroid %.4f\n",
              truth.layers[0].amount, truth.layers[0].centroid, truth.layers[1].amount,
              truth.layers[1].centroid);

  FitControl control;
  control.errors = FitErrors::Profile;
  control.starts = kDefaultStarts;
  Tally joint;
  Tally normal;
  std::vector<std::vector<double>> ratios(truth.layers.size());
  for (std::uint64_t seed = 1; seed <= static_cast<std::uint64_t>(replicas); ++seed) {
    auto began = std::chrono::steady_clock::now();
    const FitResult both =
        fitProblem(tiltedProblem(kCloseLayers, truth, {0.0, kTilt}, seed), control);
    joint.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    began = std::chrono::steady_clock::now();
    const FitResult alone = fitProblem(tiltedProblem(kCloseLayers, truth, {0.0}, seed), control);
    normal.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    account(joint, both, truth);
    account(normal, alone, truth);
    for (std::size_t k = 0; k < truth.layers.size(); ++k) {
      const std::optional<double> a = alone.derived[3 * k].error;
      const std::optional<double> b = both.derived[3 * k].error;
      ratios[k].push_back(a && b ? *a / *b : INFINITY);
    }
  }
  print("joint, 0 and 70 degrees", joint);
  print("normal incidence alone", normal);
  for (std::size_t k = 0; k < ratios.size(); ++k) {
    std::printf(
        "layer%zu amount error, normal alone / joint: median %.1f, smallest %.1f "
        "(inf: the normal fit has none)\n",
        k + 1, median(ratios[k]), *std::min_element(ratios[k].begin(), ratios[k].end()));
  }
  return 0;
}
