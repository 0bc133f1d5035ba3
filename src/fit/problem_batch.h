#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fit/layer_fit.h"
#include "fit/layer_posterior.h"

// Many problems at once, for any shell: the fits of several measured-data
// files, then their posteriors.
struct BatchControl {
  const std::atomic<bool>* cancel = nullptr;  // stops every fit and sampler
  FitControl fit;  // every fit's errors, starts and seed (its cancel and progress are set here)
  // After each iteration of problem k's fit; called from several threads.
  std::function<void(std::size_t problem, const FitProgress& progress)> iteration;
  // When problem k is done; called from several threads.
  std::function<void(std::size_t problem)> done;
};

// Fits every problem, as many at once as the machine has cores; the results
// come in the order of the problems. The first problem whose fit fails stops
// the run with its message after its label ("a.dat: ..."). A cancelled run
// gives cancelled results.
std::vector<FitResult> fitProblems(const std::vector<SampleProblem>& problems,
                                   const std::vector<std::string>& labels,
                                   const BatchControl& control = {});

// The posterior of every fit around its optimum, one problem after the other
// (the sampler uses both cores itself) from one generator seeded with `seed`,
// so that a seed fixes every chain.
std::vector<LayerPosterior> samplePosteriors(const std::vector<FitResult>& fits,
                                             const std::vector<SampleProblem>& problems,
                                             const std::vector<std::string>& labels,
                                             const PosteriorSettings& settings, std::uint64_t seed,
                                             const BatchControl& control = {});
