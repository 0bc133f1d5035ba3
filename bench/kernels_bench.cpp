// The convolution kernels against the literal double loops they replace:
// (1) the chain of autoconvolutions 2..100 on 8000 points, as a calculation
//     with the start-up parameters builds it;
// (2) the Lorentzian and then the Gaussian line shape (100 eV each) applied to
//     a 5000-point excitation-like curve on a 4 eV grid.
// After the runs it prints how many times faster each fast kernel is and
// whether it gave the same bits as the literal loop.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "model/curve_convolution.h"
#include "model/lewis_broadening.h"
#include "model/single_collision_density.h"
#include "recording_reporter.h"
#include "support/reference_kernels.h"

namespace {

constexpr int kHighestCollisionNumber = 100;

// Beam 151 keV, stopping power 548.56, straggling 6.62 with AutoStep.
const SampledCurve& startUpSpectrum() {
  static const SampledCurve spectrum = [] {
    const double step = 4.02999f;
    SampledCurve curve(8000, step);
    buildCollisionSpectrum(curve, 8000, step, 5.75713f, 328.94866f);
    return curve;
  }();
  return spectrum;
}

// Mean of the autoconvolutions 1..100 of a 4 eV spectrum: positive from the
// first point to the last, like the sum the excitation calculation broadens.
const SampledCurve& excitationLikeCurve() {
  static const SampledCurve curve = [] {
    SampledCurve spectrum(5000, 4.0);
    buildCollisionSpectrum(spectrum, 5000, 4.0, 5.75713f, 328.94866f);
    SampledCurve sum = spectrum;
    SampledCurve entry = spectrum;
    for (int n = 2; n <= kHighestCollisionNumber; ++n) {
      entry = convolveCurves(entry, spectrum);
      for (std::size_t i = 0; i < sum.size(); ++i) sum.values[i] += entry.values[i];
    }
    for (double& v : sum.values) v /= kHighestCollisionNumber;
    return sum;
  }();
  return curve;
}

std::map<std::string, SampledCurve> lastResults;

template <class Convolve>
SampledCurve autoconvolutionChain(Convolve convolve) {
  const SampledCurve& spectrum = startUpSpectrum();
  SampledCurve entry = spectrum;
  for (int n = 2; n <= kHighestCollisionNumber; ++n) entry = convolve(entry, spectrum);
  return entry;
}

void chainLiteral(benchmark::State& state) {
  startUpSpectrum();
  for (auto _ : state)
    lastResults["chain literal"] = autoconvolutionChain(reference::convolveCurves);
}

void chainFast(benchmark::State& state) {
  startUpSpectrum();
  for (auto _ : state) {
    lastResults["chain fast"] = autoconvolutionChain(
        [](const SampledCurve& a, const SampledCurve& b) { return convolveCurves(a, b); });
  }
}

void lineShapesLiteral(benchmark::State& state) {
  excitationLikeCurve();
  for (auto _ : state) {
    SampledCurve curve = excitationLikeCurve();
    reference::convolveLorentzian(curve, 100.0);
    reference::convolveGaussian(curve, 100.0);
    lastResults["line shapes literal"] = std::move(curve);
  }
}

void lineShapesFast(benchmark::State& state) {
  excitationLikeCurve();
  for (auto _ : state) {
    SampledCurve curve = excitationLikeCurve();
    convolveLorentzian(curve, 100.0);
    convolveGaussian(curve, 100.0);
    lastResults["line shapes fast"] = std::move(curve);
  }
}

BENCHMARK(chainLiteral)->Name("autoconvolution_chain_8000/literal")->Unit(benchmark::kMillisecond);
BENCHMARK(chainFast)->Name("autoconvolution_chain_8000/fast")->Unit(benchmark::kMillisecond);
BENCHMARK(lineShapesLiteral)->Name("line_shapes_5000/literal")->Unit(benchmark::kMillisecond);
BENCHMARK(lineShapesFast)->Name("line_shapes_5000/fast")->Unit(benchmark::kMillisecond);

void compare(const RecordingReporter& reporter, const std::string& name, const char* key) {
  const auto literal = reporter.seconds.find(name + "/literal");
  const auto fast = reporter.seconds.find(name + "/fast");
  if (literal == reporter.seconds.end() || fast == reporter.seconds.end()) return;
  const SampledCurve& a = lastResults[std::string(key) + " literal"];
  const SampledCurve& b = lastResults[std::string(key) + " fast"];
  const std::string difference = reference::bitDifference(b.values, a.values);
  std::printf("%-28s literal %10.3f ms   fast %8.3f ms   %7.1f x faster   %s\n", name.c_str(),
              literal->second * 1e3, fast->second * 1e3, literal->second / fast->second,
              difference.empty() ? "same bits" : ("DIFFERENT: " + difference).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  RecordingReporter reporter;
  if (!runRecordedBenchmarks(argc, argv, reporter)) return 1;
  std::printf("\n");
  compare(reporter, "autoconvolution_chain_8000", "chain");
  compare(reporter, "line_shapes_5000", "line shapes");
  return 0;
}
