// A whole layer fit (fitSampleModel: checks, the forward model's building, the
// minimisation, the covariance) beside ONE evaluation of the excitation curve
// by the literal loops of the tests, the reference a fit must beat:
// (1) the start-up grid: a 1000-point set of Nc 100, a 4 ug/cm2 profile at
//     step 0.005, 80 measured points, 4 free parameters (both positions, the
//     concentration and the background);
// (2) the thick film of the excitation benchmark: 52,920 depth points, a
//     4800-point set of Nc 1100; the film's two interfaces, the multiplier and
//     the background free. The literal evaluation takes about half a minute
//     and runs once.
// The measurements are Poisson counts (fixed seeds) around Calculate's curve
// of a layer; the fits start 20-30% off. The sets are computed outside the
// timing. The start-up case runs three ways: the plain fit (the covariance,
// the model's own start), the program's default (8 starts and
// profile-likelihood intervals; target under 10 literal evaluations) and 8
// starts with the covariance alone (under one). After the runs it prints each
// fit's time over the literal one's.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "fit/layer_fit.h"
#include "fit/profile_rendering.h"
#include "model/curve_arithmetic.h"
#include "model/curve_measures.h"
#include "model/excitation_calculation.h"
#include "model/lewis_broadening.h"
#include "model/mean_collision_loss.h"
#include "recording_reporter.h"
#include "support/measured_data.h"
#include "support/reference_kernels.h"
#include "support/start_up_inputs.h"
#include "support/thick_film_inputs.h"

namespace {

constexpr double kWidthEv = 100.0;

struct Case {
  AutoconvolutionSet set;
  double beamKev = 0.0;
  double collisionRate = 0.0;  // per ug/cm2
  SampleModel truth;           // the measured layer
  SampleModel start;           // what the fit starts from
  MeasuredData problem;
};

double collisionRateOf(const AutoconvolutionInputs& inputs) {
  return static_cast<double>(inputs.stoppingPower) /
         meanCollisionLoss(static_cast<double>(inputs.emin), inputs.emax);
}

// Calculate's curve of a profile, by the fast kernels.
SampledCurve calculated(const Case& c, const DepthProfile& profile) {
  SampledCurve curve = weightedAutoconvolutionSum(
      c.set, collisionWeights(profile, static_cast<int>(c.set.size()), c.collisionRate));
  convolveLorentzian(curve, kWidthEv);
  convolveGaussian(curve, kWidthEv);
  return curve;
}

// The same, by the literal loops.
SampledCurve literalCalculation(const Case& c, const DepthProfile& profile) {
  SampledCurve curve(c.set[1].size(), c.set[1].step);
  for (std::size_t n = 0; n < c.set.size(); ++n) {
    const double w = reference::computeKn(profile, static_cast<int>(n), c.collisionRate);
    curve = addCurves(scaleCurve(c.set[n], w), curve);
  }
  if (curveIntegral(curve) != 0.0) {
    reference::convolveLorentzian(curve, kWidthEv);
    reference::convolveGaussian(curve, kWidthEv);
  }
  return curve;
}

// 80 Poisson counts of the truth's curve, as the main chart draws it, between
// two energies; the multiplier makes the highest about peakCounts.
void measure(Case& c, double fromKev, double toKev, double peakCounts) {
  const SampledCurve curve = calculated(c, renderProfile(c.truth));
  const double peak = *std::max_element(curve.values.begin(), curve.values.end());
  c.truth.multiplier.value = peakCounts / peak;
  std::mt19937_64 rng(11);
  for (int j = 0; j < 80; ++j) {
    const double e = fromKev + (toKev - fromKev) * j / 79.0;
    const double x = (e - c.beamKev) * 1000.0 + curve.origin;
    const std::size_t i = static_cast<std::size_t>(x / curve.step);
    const double t = x / curve.step - static_cast<double>(i);
    const double value = (1 - t) * curve.values[i] + t * curve.values[i + 1];
    std::poisson_distribution<int> counts(c.truth.multiplier.value * value +
                                          c.truth.background.value);
    c.problem.points.push_back({static_cast<float>(e), static_cast<float>(counts(rng)), 0.0f});
  }
  c.problem.set = &c.set;
  c.problem.beamEnergyKev = c.beamKev;
  c.problem.collisionRate = c.collisionRate;
}

// Both positions, the concentration (unless fixed), multiplier and
// background free, started off by the given fractions.
SampleModel startFrom(const SampleModel& truth, bool concentrationFree) {
  SampleModel start = truth;
  LayerModel& l = start.layers[0];
  const double depth = truth.maxDepth;
  l.from = {truth.layers[0].from.value * 1.3, true, 0.0, depth};
  l.to = {truth.layers[0].to.value * 0.8, true, 0.0, depth};
  if (concentrationFree) l.concentration = {0.75, true, 0.0, 10.0};
  start.multiplier = {truth.multiplier.value * (concentrationFree ? 1.0 : 1.25), !concentrationFree,
                      0.0, INFINITY};
  start.background = {truth.background.value * 1.3, true, 0.0, INFINITY};
  return start;
}

SampleModel layerModel(double maxDepth, double from, double to, double width) {
  SampleModel model;
  model.maxDepth = maxDepth;
  model.step = 0.005;
  model.layers = {{{from}, {to}, {1.0}, {width}, {width}}};
  model.background = {3.0};
  return model;
}

const Case& startUpCase() {
  static const Case c = [] {
    Case c;
    const AutoconvolutionInputs inputs = startUpAutoconvolutionInputs();
    c.set = calculateAutoconvolutions(inputs, nullptr, nullptr)->set;
    c.beamKev = 151.0;
    c.collisionRate = collisionRateOf(inputs);
    c.truth = layerModel(4.0, 0.5, 2.0, 0.02);
    measure(c, 150.8, 152.5, 2000.0);
    c.start = startFrom(c.truth, true);
    return c;
  }();
  return c;
}

const Case& thickFilmCase() {
  static const Case c = [] {
    Case c;
    const AutoconvolutionInputs inputs = thickFilmAutoconvolutionInputs();
    c.set = calculateAutoconvolutions(inputs, nullptr, nullptr)->set;
    c.beamKev = inputs.beamEnergy;
    c.collisionRate = collisionRateOf(inputs);
    c.truth = layerModel(264.6, 20.0, 240.0, 0.5);
    // Energy loss: 0.123 keV per ug/cm2, the film from 2.5 to 29.5 keV.
    measure(c, c.beamKev - 1.0, c.beamKev + 33.0, 3000.0);
    c.start = startFrom(c.truth, false);
    return c;
  }();
  return c;
}

std::map<std::string, FitResult> fits;

// What each variant asks of the fit: the covariance alone from the model's
// start (the plain fit), then as the program does by default (8 starts,
// profile-likelihood intervals) and with 8 starts and the covariance alone.
struct Variant {
  const char* name;
  FitErrors errors;
  int starts;
};
constexpr Variant kVariants[] = {{"fit", FitErrors::Covariance, 1},
                                 {"fit_default", FitErrors::Profile, kDefaultStarts},
                                 {"fit_covariance", FitErrors::Covariance, kDefaultStarts}};

void registerCase(const std::string& name, const Case& (*caseOf)(), int literalIterations,
                  bool allVariants) {
  for (const Variant& v : kVariants) {
    if (!allVariants && v.starts > 1) continue;
    const std::string key = name + "/" + v.name;
    benchmark::RegisterBenchmark(key.c_str(), [=](benchmark::State& state) {
      const Case& c = caseOf();
      FitControl control;
      control.errors = v.errors;
      control.starts = v.starts;
      for (auto _ : state) fits[key] = fitProblem(problemFor(c.start, c.problem), control);
    })->Unit(benchmark::kMillisecond)->UseRealTime();
  }
  benchmark::internal::Benchmark* literal = benchmark::RegisterBenchmark(
      (name + "/literal_evaluation").c_str(), [=](benchmark::State& state) {
        const Case& c = caseOf();
        const DepthProfile profile = renderProfile(c.start);
        for (auto _ : state) benchmark::DoNotOptimize(literalCalculation(c, profile));
      });
  literal->Unit(benchmark::kMillisecond);
  if (literalIterations > 0) literal->Iterations(literalIterations);
}

void compare(const RecordingReporter& reporter, const std::string& name, const std::string& variant,
             double target) {
  const auto fit = reporter.seconds.find(name + "/" + variant);
  const auto literal = reporter.seconds.find(name + "/literal_evaluation");
  if (fit == reporter.seconds.end() || literal == reporter.seconds.end()) return;
  const FitResult& r = fits[name + "/" + variant];
  std::printf(
      "%-16s %-14s %9.1f ms   one literal evaluation %9.1f ms   ratio %.3f (target < %.2f)\n"
      "%-16s %s after %d iterations, chi2/dof %.3f, %zu warnings\n",
      name.c_str(), variant.c_str(), fit->second * 1e3, literal->second * 1e3,
      fit->second / literal->second, target,
      "", r.converged ? "converged" : "NOT converged", r.iterations, r.reducedChi2,
      r.warnings.size());
  for (const std::string& w : r.warnings) std::printf("%-16s warning: %s\n", "", w.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  registerCase("start_up", startUpCase, 0, true);
  registerCase("thick_film", thickFilmCase, 1, false);
  RecordingReporter reporter;
  if (!runRecordedBenchmarks(argc, argv, reporter)) return 1;
  std::printf("\n");
  compare(reporter, "start_up", "fit", 1.0);
  compare(reporter, "start_up", "fit_default", 10.0);
  compare(reporter, "start_up", "fit_covariance", 1.0);
  compare(reporter, "thick_film", "fit", 0.25);
  return 0;
}
