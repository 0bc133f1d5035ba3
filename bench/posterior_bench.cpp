// The free-form inversion and the posterior sampler on the start-up grid: a
// 1000-point set of Nc 100, a 4 ug/cm2 profile at step 0.005, 80 measured
// points between 150.9 and 152.3 keV (Poisson counts, fixed seed, peak near
// 2000) of a layer from 0.5 to 1.5 ug/cm2 under 0.1 of contamination with
// 0.05 ug/cm2 interfaces, background 5.
// (1) invert with alpha by cross-validation and 100 bootstrap replicas;
// (2) the layer fit (both positions, the concentration and the background
//     free) and then 3000 steps of the sampler, timed apart.
// The set and the measurement are made outside the timing.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "fit/forward_model.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_posterior.h"
#include "fit/profile_rendering.h"
#include "model/autoconvolution_calculation.h"
#include "model/mean_collision_loss.h"
#include "support/start_up_inputs.h"

namespace {

constexpr double kBeamKev = 151.0;

struct Case {
  AutoconvolutionSet set;
  SampleModel truth;
  FitProblem problem;
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

FitProblem problemOf(const Case& c) {
  FitProblem problem = c.problem;
  problem.set = &c.set;
  return problem;
}

void BM_InvertWith100Replicas(benchmark::State& state) {
  const Case& c = startUpCase();
  const FitProblem problem = problemOf(c);
  SampleModel model = c.truth;
  model.layers.clear();
  for (auto _ : state) {
    std::mt19937_64 generator(1);
    const InversionResult result = invertProfile(model, problem, {std::nullopt, 100}, generator);
    state.counters["amount"] = result.amount.value;
    state.counters["reduced_chi2"] = result.reducedChi2;
  }
}
BENCHMARK(BM_InvertWith100Replicas)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_LayerFit(benchmark::State& state) {
  const Case& c = startUpCase();
  const FitProblem problem = problemOf(c);
  SampleModel start = c.truth;
  start.layers[0].from.value = 0.65;
  start.layers[0].to.value = 1.2;
  for (auto _ : state) benchmark::DoNotOptimize(fitSampleModel(start, problem));
}
BENCHMARK(BM_LayerFit)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_Posterior3000Steps(benchmark::State& state) {
  const Case& c = startUpCase();
  const FitProblem problem = problemOf(c);
  const FitResult fit = fitSampleModel(c.truth, problem);
  for (auto _ : state) {
    std::mt19937_64 generator(1);
    PosteriorSettings settings;
    settings.steps = 3000;
    const LayerPosterior posterior = sampleLayerPosterior(fit, problem, settings, generator);
    state.counters["acceptance"] = posterior.acceptance;
    state.counters["walkers"] = posterior.walkers;
  }
}
BENCHMARK(BM_Posterior3000Steps)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
