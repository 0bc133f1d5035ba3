// The free-form inversion and the posterior sampler on the start-up grid: a
// 1000-point set of Nc 100, a 4 ug/cm2 profile at step 0.005, 80 measured
// points between 150.9 and 152.3 keV (Poisson counts, fixed seed, peak near
// 2000) of a layer from 0.5 to 1.5 ug/cm2 under 0.1 of contamination with
// 0.05 ug/cm2 interfaces, background 5.
// (1) invert with alpha by cross-validation and 100 bootstrap replicas;
// (2) the layer fit (both positions, the concentration and the background
//     free) and then 3000 steps of the sampler, timed apart;
// (3) the layer fit with both broadening widths free as well, and with the
//     energy shift free as well: what a free width or shift costs;
// (4) 500 steps of the posterior with the energy shift free: every move of
//     the shift needs the forward model's tables at that shift;
// (5) the posterior run until it has converged ("auto"), for two seeds: the
//     steps each took, whether each converged, and how far apart their
//     medians lie, in half-widths of the 16-84% interval (at most 0.3 wanted).
// The set and the measurement are made outside the timing.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "fit/forward_model.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_posterior.h"
#include "fit/profile_rendering.h"
#include "model/autoconvolution_calculation.h"
#include "model/mean_collision_loss.h"
#include "support/measured_data.h"
#include "support/start_up_inputs.h"
#include "support/synthetic_layers.h"

namespace {

constexpr double kBeamKev = 151.0;

struct Case {
  AutoconvolutionSet set;
  SampleModel truth;
  MeasuredData problem;
};

const Case& startUpCase() {
  static const Case c = [] {
    Case made;
    const AutoconvolutionInputs inputs = startUpAutoconvolutionInputs();
    made.set = calculateAutoconvolutions(inputs, nullptr, nullptr)->set;
    const double rate = inputs.stoppingPower / meanCollisionLoss(inputs.emin, inputs.emax);
    SampleModel& truth = made.truth;
    truth.maxDepth = 4.0;
    truth.contamination = 0.1;
    LayerModel layer;
    layer.from = {0.5, true, 0.1, 2.0};
    layer.to = {1.5, true, 0.2, 3.0};
    layer.concentration = {1.0, true, 0.0, 10.0};
    layer.topWidth.value = 0.05;
    layer.bottomWidth.value = 0.05;
    truth.layers.push_back(layer);
    truth.background = {5.0, true, 0.0};
    std::vector<double> energies;
    for (int k = 0; k < 80; ++k) energies.push_back(150.9 + 1.4 * k / 79.0);
    ForwardModelSettings settings;
    settings.beamEnergyKev = kBeamKev;
    settings.collisionRate = rate;
    const std::vector<double> curve =
        ForwardModel(made.set, settings, energies).values(renderProfile(truth));
    truth.multiplier.value = 2000.0 / *std::max_element(curve.begin(), curve.end());
    std::mt19937_64 noise(21);
    made.problem = {nullptr, kBeamKev, rate, {}};
    for (std::size_t j = 0; j < energies.size(); ++j) {
      const double mean = truth.multiplier.value * curve[j] + truth.background.value;
      made.problem.points.push_back(
          {static_cast<float>(energies[j]),
           static_cast<float>(std::poisson_distribution<int>(mean)(noise))});
    }
    return made;
  }();
  return c;
}

MeasuredData problemOf(const Case& c) {
  MeasuredData problem = c.problem;
  problem.set = &c.set;
  return problem;
}

void BM_InvertWith100Replicas(benchmark::State& state) {
  const Case& c = startUpCase();
  const MeasuredData problem = problemOf(c);
  SampleModel model = c.truth;
  model.layers.clear();
  for (auto _ : state) {
    std::mt19937_64 generator(1);
    const InversionResult result =
        invertProblem(problemFor(model, problem), {std::nullopt, 100}, generator);
    state.counters["amount"] = result.amount.value;
    state.counters["reduced_chi2"] = result.reducedChi2;
  }
}
BENCHMARK(BM_InvertWith100Replicas)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_LayerFit(benchmark::State& state) {
  const Case& c = startUpCase();
  const MeasuredData problem = problemOf(c);
  SampleModel start = c.truth;
  start.layers[0].from.value = 0.65;
  start.layers[0].to.value = 1.2;
  for (auto _ : state) benchmark::DoNotOptimize(fitProblem(problemFor(start, problem)));
}
BENCHMARK(BM_LayerFit)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void posteriorOf(benchmark::State& state, const SampleModel& start, int steps) {
  const MeasuredData problem = problemOf(startUpCase());
  const FitResult fit = fitProblem(problemFor(start, problem));
  for (auto _ : state) {
    std::mt19937_64 generator(1);
    PosteriorSettings settings;
    settings.steps = steps;
    const LayerPosterior posterior =
        samplePosterior(fit, problemFor(fit.joint, problem), settings, generator);
    state.counters["acceptance"] = posterior.acceptance;
    state.counters["walkers"] = posterior.walkers;
  }
}

// "auto" from the fit for seeds 1 and 2: steps, convergence, tau, and how
// far apart the two seeds' medians lie in half-widths.
void autoTwoSeeds(benchmark::State& state, const FitResult& fit, const SampleProblem& optimum) {
  for (auto _ : state) {
    std::vector<LayerPosterior> runs;
    for (std::uint64_t seed : {1, 2}) {
      std::mt19937_64 generator(seed);
      runs.push_back(samplePosterior(fit, optimum, {}, generator));
      state.counters["steps_seed" + std::to_string(seed)] = runs.back().steps;
      state.counters["converged_seed" + std::to_string(seed)] = runs.back().converged;
      state.counters["tau_seed" + std::to_string(seed)] = runs.back().tau;
    }
    double apart = 0.0;
    for (std::size_t k = 0; k < runs[0].intervals.size(); ++k) {
      const PosteriorInterval& a = runs[0].intervals[k];
      const PosteriorInterval& b = runs[1].intervals[k];
      const double halfWidth = 0.25 * (a.high - a.low + b.high - b.low);
      apart = std::max(apart, std::fabs(a.median - b.median) / halfWidth);
      state.counters[a.name + "_median_seed1"] = a.median;
      state.counters[a.name + "_median_seed2"] = b.median;
    }
    state.counters["medians_apart_in_half_widths"] = apart;
  }
}

void BM_PosteriorAutoTwoSeeds(benchmark::State& state) {
  const MeasuredData problem = problemOf(startUpCase());
  const FitResult fit = fitProblem(problemFor(startUpCase().truth, problem));
  autoTwoSeeds(state, fit, problemFor(fit.joint, problem));
}
BENCHMARK(BM_PosteriorAutoTwoSeeds)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The hard two-layer sample of the interval benchmark (a first layer about
// twice the resolution thick, the multiplier free), one noise replica.
void BM_PosteriorAutoThinFirstLayerTwoSeeds(benchmark::State& state) {
  const synthetic::CoverageCase& c = synthetic::kHardSamples[0];
  const synthetic::Synthetic s = synthetic::synthesise(c.sample);
  const SampleProblem problem =
      problemFor(synthetic::coverageStart(c, s.multiplier),
                 synthetic::problemOf(synthetic::measure(s.curve, s.multiplier, c.background, 1)));
  FitControl control;
  control.starts = kDefaultStarts;
  const FitResult fit = fitProblem(problem, control);
  autoTwoSeeds(state, fit, withValues(problem, fit.joint));
}
BENCHMARK(BM_PosteriorAutoThinFirstLayerTwoSeeds)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// How often the posterior's 16-84% intervals of the amounts and centroids
// hold the truth over 40 noise replicas of that sample ("auto", seed 1).
void BM_PosteriorCoverageThinFirstLayer(benchmark::State& state) {
  const synthetic::CoverageCase& c = synthetic::kHardSamples[0];
  const synthetic::Synthetic s = synthetic::synthesise(c.sample);
  for (auto _ : state) {
    int held[4] = {};
    int converged = 0;
    const int replicas = 40;
    for (int seed = 1000; seed < 1000 + replicas; ++seed) {
      const SampleProblem problem = problemFor(
          synthetic::coverageStart(c, s.multiplier),
          synthetic::problemOf(synthetic::measure(s.curve, s.multiplier, c.background, seed)));
      FitControl control;
      control.starts = kDefaultStarts;
      const FitResult fit = fitProblem(problem, control);
      std::mt19937_64 generator(1);
      const LayerPosterior posterior =
          samplePosterior(fit, withValues(problem, fit.joint), {}, generator);
      converged += posterior.converged;
      for (int k = 0; k < 2; ++k) {
        const double truths[2] = {s.truths[k].amount, s.truths[k].centroid};
        const char* names[2] = {".amount", ".centroid"};
        for (int q = 0; q < 2; ++q) {
          const std::string name = "layer" + std::to_string(k + 1) + names[q];
          for (const PosteriorInterval& i : posterior.intervals) {
            if (i.name == name) held[2 * k + q] += i.low <= truths[q] && truths[q] <= i.high;
          }
        }
      }
    }
    state.counters["converged"] = converged;
    state.counters["layer1_amount_held"] = held[0] / double(replicas);
    state.counters["layer1_centroid_held"] = held[1] / double(replicas);
    state.counters["layer2_amount_held"] = held[2] / double(replicas);
    state.counters["layer2_centroid_held"] = held[3] / double(replicas);
  }
}
BENCHMARK(BM_PosteriorCoverageThinFirstLayer)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_Posterior3000Steps(benchmark::State& state) {
  posteriorOf(state, startUpCase().truth, 3000);
}
BENCHMARK(BM_Posterior3000Steps)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The start of the layer fit above with one more kind of parameter free.
void fitWithFree(benchmark::State& state, void (*free)(SampleModel&)) {
  const MeasuredData problem = problemOf(startUpCase());
  SampleModel start = startUpCase().truth;
  start.layers[0].from.value = 0.65;
  start.layers[0].to.value = 1.2;
  free(start);
  for (auto _ : state) {
    const FitResult result = fitProblem(problemFor(start, problem));
    state.counters["chi2"] = result.chi2;
    state.counters["iterations"] = result.iterations;
  }
}

void BM_LayerFitBroadeningWidthsFree(benchmark::State& state) {
  fitWithFree(state, [](SampleModel& m) {
    m.lorentzianWidth = {80.0, true, 1.0, 500.0};
    m.gaussianWidth = {120.0, true, 1.0, 500.0};
  });
}
BENCHMARK(BM_LayerFitBroadeningWidthsFree)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_LayerFitEnergyShiftFree(benchmark::State& state) {
  fitWithFree(state, [](SampleModel& m) { m.energyShift = {0.02, true, -0.1, 0.1}; });
}
BENCHMARK(BM_LayerFitEnergyShiftFree)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_PosteriorEnergyShiftFree500Steps(benchmark::State& state) {
  SampleModel start = startUpCase().truth;
  start.energyShift = {0.0, true, -0.05, 0.05};
  posteriorOf(state, start, 500);
}
BENCHMARK(BM_PosteriorEnergyShiftFree500Steps)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
