// The excitation calculation (weights, weighted sum, Lorentzian then Gaussian
// line shape of 100 eV each) done literally and done fast:
// (1) the start-up grid: a 2000-point profile holding a layer from depth 0.5 to
//     3, a 1000-point set of 100 collisions at stopping power 548.56;
// (2) a thick film: 264.6 ug/cm2 of concentration 1 in 52,920 points, a
//     4800-point set of 1100 collisions for a 1683.3 keV beam.
// And the resonance's line shape alone on the thick film's unbroadened sum:
// the cut Lorentzian beside the whole (Breit-Wigner) one.
// The sets are computed once, outside the timing. After the runs it prints how
// many times faster the fast calculation is and how far the two curves differ
// (the fast weights may differ from the literal ones by 1e-13 relative).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "model/autoconvolution_calculation.h"
#include "model/curve_arithmetic.h"
#include "model/curve_measures.h"
#include "model/excitation_calculation.h"
#include "model/lewis_broadening.h"
#include "model/mean_collision_loss.h"
#include "model/resonance_broadening.h"
#include "recording_reporter.h"
#include "support/reference_kernels.h"
#include "support/start_up_inputs.h"
#include "support/thick_film_inputs.h"

namespace {

constexpr double kWidthEv = 100.0;

struct Case {
  DepthProfile profile;
  AutoconvolutionSet set;
  double collisionRate = 0.0;  // per ug/cm2
};

DepthProfile layer(double maxDepth, double from, double to) {
  DepthProfile profile = DepthProfile::forMaximumDepth(maxDepth, 0.005);
  for (int i = 0; i < profile.pointCount; ++i) {
    const double z = i * profile.step;
    profile.values[i] = z >= from && z < to ? 1.0 : 0.0;
  }
  return profile;
}

Case makeCase(const AutoconvolutionInputs& inputs, DepthProfile profile) {
  Case c;
  c.profile = std::move(profile);
  c.set = calculateAutoconvolutions(inputs, nullptr, nullptr)->set;
  c.collisionRate = static_cast<double>(inputs.stoppingPower) /
                    meanCollisionLoss(static_cast<double>(inputs.emin), inputs.emax);
  return c;
}

const Case& startUpCase() {
  static const Case c = [] {
    const AutoconvolutionInputs inputs = startUpAutoconvolutionInputs();
    return makeCase(inputs, layer(10.0, 0.5, 3.0));
  }();
  return c;
}

const Case& thickFilmCase() {
  static const Case c = [] {
    const AutoconvolutionInputs inputs = thickFilmAutoconvolutionInputs();
    return makeCase(inputs, layer(264.6, 0.0, 264.6));
  }();
  return c;
}

SampledCurve literalCalculation(const Case& c) {
  SampledCurve curve(c.set[1].size(), c.set[1].step);
  for (std::size_t n = 0; n < c.set.size(); ++n) {
    const double w = reference::computeKn(c.profile, static_cast<int>(n), c.collisionRate);
    curve = addCurves(scaleCurve(c.set[n], w), curve);
  }
  if (curveIntegral(curve) != 0.0) {
    reference::convolveLorentzian(curve, kWidthEv);
    reference::convolveGaussian(curve, kWidthEv);
  }
  return curve;
}

SampledCurve fastCalculation(const Case& c) {
  const std::vector<double> weights =
      collisionWeights(c.profile, static_cast<int>(c.set.size()), c.collisionRate);
  SampledCurve curve = weightedAutoconvolutionSum(c.set, weights);
  if (curveIntegral(curve) != 0.0) {
    convolveLorentzian(curve, kWidthEv);
    convolveGaussian(curve, kWidthEv);
  }
  return curve;
}

std::map<std::string, SampledCurve> lastResults;

void registerRuns(const std::string& name, const Case& (*caseOf)(), int literalIterations) {
  for (const auto& [kind, calculate] :
       {std::pair{"literal", &literalCalculation}, std::pair{"fast", &fastCalculation}}) {
    const std::string key = name + "/" + kind;
    benchmark::internal::Benchmark* b =
        benchmark::RegisterBenchmark(key.c_str(), [=](benchmark::State& state) {
          const Case& c = caseOf();
          for (auto _ : state) lastResults[key] = calculate(c);
        });
    b->Unit(benchmark::kMillisecond);
    if (calculate == &literalCalculation && literalIterations > 0) b->Iterations(literalIterations);
  }
}

// The thick film's weighted sum, before any broadening.
const SampledCurve& thickFilmSum() {
  static const SampledCurve sum = [] {
    const Case& c = thickFilmCase();
    return weightedAutoconvolutionSum(
        c.set, collisionWeights(c.profile, static_cast<int>(c.set.size()), c.collisionRate));
  }();
  return sum;
}

void registerLineShapes() {
  for (const auto& [name, kind] : {std::pair{"line_shape/lorentzian", ResonanceKind::Lorentzian},
                                   std::pair{"line_shape/breit-wigner", ResonanceKind::BreitWigner}}) {
    benchmark::RegisterBenchmark(name, [kind = kind](benchmark::State& state) {
      const SampledCurve& sum = thickFilmSum();
      for (auto _ : state) {
        SampledCurve curve = sum;
        convolveResonance(curve, {kind, {}}, kWidthEv, 1683.3);
        benchmark::DoNotOptimize(curve.values.data());
      }
    })->Unit(benchmark::kMillisecond);
  }
}

// Largest difference between the curves relative to the literal curve's peak.
double relativeDifference(const SampledCurve& fast, const SampledCurve& literal) {
  if (fast.size() != literal.size()) return INFINITY;
  double peak = 0.0;
  double difference = 0.0;
  for (std::size_t i = 0; i < fast.size(); ++i) {
    peak = std::max(peak, std::fabs(literal.values[i]));
    difference = std::max(difference, std::fabs(fast.values[i] - literal.values[i]));
  }
  return peak > 0.0 ? difference / peak : difference;
}

void compare(const RecordingReporter& reporter, const std::string& name) {
  const auto literal = reporter.seconds.find(name + "/literal");
  const auto fast = reporter.seconds.find(name + "/fast");
  if (literal == reporter.seconds.end() || fast == reporter.seconds.end()) return;
  std::printf("%-30s literal %10.1f ms   fast %8.2f ms   %7.1f x faster   curves within %.2g\n",
              name.c_str(), literal->second * 1e3, fast->second * 1e3,
              literal->second / fast->second,
              relativeDifference(lastResults[name + "/fast"], lastResults[name + "/literal"]));
}

}  // namespace

int main(int argc, char** argv) {
  registerRuns("start_up_2000x1000x100", startUpCase, 0);
  // The literal thick film takes about half a minute.
  registerRuns("thick_film_52920x4800x1100", thickFilmCase, 1);
  registerLineShapes();
  RecordingReporter reporter;
  if (!runRecordedBenchmarks(argc, argv, reporter)) return 1;
  std::printf("\n");
  compare(reporter, "start_up_2000x1000x100");
  compare(reporter, "thick_film_52920x4800x1100");
  const auto cut = reporter.seconds.find("line_shape/lorentzian");
  const auto whole = reporter.seconds.find("line_shape/breit-wigner");
  if (cut != reporter.seconds.end() && whole != reporter.seconds.end()) {
    std::printf("thick film line shape: cut Lorentzian %.2f ms, Breit-Wigner %.2f ms (%.2f x)\n",
                cut->second * 1e3, whole->second * 1e3, whole->second / cut->second);
  }
  return 0;
}
