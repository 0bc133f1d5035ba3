#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

// The affine-invariant ensemble sampler with the stretch move (a = 2): each
// walker X_k moves to Y = X_j + z (X_k - X_j) toward or away from a walker X_j of the
// other half of the ensemble, z drawn from g(z) ~ 1/sqrt(z) on [1/a, a], and
// is accepted with probability min(1, z^(d-1) p(Y)/p(X_k)). The two halves
// move in turn, each against the other's current positions, so the walkers
// of one half move independently and are shared between two cores.
// Randomness comes from one generator per walker, seeded in walker order
// from the generator passed in: the same seed gives the same chain on one
// core or two.

// The logarithm of the target density up to a constant; -infinity where the
// density is 0 (outside the priors' bounds). Called from two threads at once.
using LogDensity = std::function<double(const std::vector<double>& x)>;

struct SamplerControl {
  const std::atomic<bool>* cancel = nullptr;  // checked around every density
  std::function<void(int step, int steps)> progress;
};

struct EnsembleChain {
  int steps = 0;
  int walkers = 0;
  int dimension = 0;
  bool cancelled = false;
  // Position of walker w after step s at positions[(s*walkers + w)*dimension + i].
  std::vector<double> positions;
  double acceptance = 0.0;  // accepted moves over all moves
  const double* at(int step, int walker) const {
    return positions.data() + (static_cast<std::size_t>(step) * walkers + walker) *
                                  static_cast<std::size_t>(dimension);
  }
};

// Runs `steps` steps from the walkers' start positions (at least 2*dimension
// of them, an even number, every one with a finite log density).
EnsembleChain sampleEnsemble(const LogDensity& logDensity,
                             const std::vector<std::vector<double>>& start, int steps,
                             std::mt19937_64& generator, const SamplerControl& control = {});

// The integrated autocorrelation time (in steps) of coordinate i over steps
// [first, steps): the walkers' autocorrelation functions averaged, summed to
// the first lag M >= 5 tau(M) (Sokal's window). Reaches at most a third of
// the steps; a value there means the chain is too short to tell.
double autocorrelationTime(const EnsembleChain& chain, int coordinate, int first);
