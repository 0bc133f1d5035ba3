#include "fit/problem_batch.h"

#include <algorithm>
#include <optional>
#include <random>
#include <thread>

#include "fit/fit_error.h"

std::vector<FitResult> fitProblems(const std::vector<SampleProblem>& problems,
                                   const std::vector<std::string>& labels,
                                   const BatchControl& control) {
  const std::size_t count = problems.size();
  std::vector<FitResult> results(count);
  std::vector<std::optional<std::string>> failures(count);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t k = next++; k < count; k = next++) {
      // A stopped run starts nothing more: each fit would build its model first.
      if (control.cancel && control.cancel->load()) {
        results[k].cancelled = true;
        continue;
      }
      FitControl fitControl = control.fit;
      fitControl.cancel = control.cancel;
      if (control.iteration) {
        fitControl.progress = [&control, k](const FitProgress& p) { control.iteration(k, p); };
      }
      try {
        results[k] = fitProblem(problems[k], fitControl);
      } catch (const std::exception& error) {
        failures[k] = labels[k] + ": " + error.what();
      }
      if (control.done) control.done(k);
    }
  };
  const std::size_t threads =
      std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, std::max<std::size_t>(count, 1));
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
  for (const auto& failure : failures) {
    if (failure) throw FitError(*failure);
  }
  return results;
}

std::vector<LayerPosterior> samplePosteriors(const std::vector<FitResult>& fits,
                                             const std::vector<SampleProblem>& problems,
                                             const std::vector<std::string>& labels,
                                             const PosteriorSettings& settings, std::uint64_t seed,
                                             const BatchControl& control) {
  std::mt19937_64 generator(seed);
  SamplerControl samplerControl;
  samplerControl.cancel = control.cancel;
  std::vector<LayerPosterior> posteriors;
  for (std::size_t k = 0; k < fits.size(); ++k) {
    try {
      posteriors.push_back(samplePosterior(fits[k], withValues(problems[k], fits[k].joint),
                                           settings, generator, samplerControl));
    } catch (const FitError& error) {
      throw FitError(labels[k] + ": " + error.what());
    }
    if (control.done) control.done(k);
    if (posteriors.back().cancelled) break;
  }
  return posteriors;
}
