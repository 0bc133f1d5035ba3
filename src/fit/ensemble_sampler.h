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
//
// Beside the stretch move a share of the moves may be differential-evolution
// moves: Y = X_k + g (X_i - X_j), X_i and X_j two walkers of the other half,
// accepted with probability min(1, p(Y)/p(X_k)). With g = 2.38/sqrt(2d) they
// follow a valley's local direction, curved or not, where a stretch along
// one far walker's line leaves it; with g = 1 (a share of them) a walker
// steps by the distance between two walkers: where the walkers sit in two
// separated modes, that carries it from one mode to the other, so that the
// modes' shares settle at their probabilities (every move is symmetric).

// The logarithm of the target density up to a constant; -infinity where the
// density is 0 (outside the priors' bounds). Called from two threads at once.
using LogDensity = std::function<double(const std::vector<double>& x)>;

// Further quantities of a position (derived from it), stored beside it for
// every stored sample. Called from two threads at once.
using Observables = std::function<std::vector<double>(const std::vector<double>& x)>;

// How far a run has come: steps per walker done, where the current round
// ends, and the most it may take (the steps asked, or the cap of a run until
// convergence).
struct SamplerProgress {
  int step = 0;
  int roundEnd = 0;
  int most = 0;
  bool untilConverged = false;
};

// The share of each walker's moves that are differential-evolution moves,
// and of those the share that jump by g = 1; the rest are stretch moves.
struct MoveMix {
  double differential = 0.0;
  double jump = 0.0;
};

struct SamplerControl {
  const std::atomic<bool>* cancel = nullptr;  // checked around every density
  std::function<void(const SamplerProgress&)> progress;  // on the calling thread
  // 0: both cores when a density is costly; 1: the calling thread alone;
  // 2: two threads whatever a density costs
  int threads = 0;
};

struct EnsembleChain {
  int steps = 0;  // steps taken per walker
  int walkers = 0;
  int dimension = 0;  // numbers stored per sample: the position, then its observables
  // Every thin-th step is stored: stored sample n is the walkers' position
  // after step (n + 1)*thin (counting from 1).
  int thin = 1;
  bool cancelled = false;
  // Stored sample n of walker w at positions[(n*walkers + w)*dimension + i].
  std::vector<double> positions;
  double acceptance = 0.0;  // accepted moves over all moves
  int stored() const {
    return walkers > 0 && dimension > 0
               ? static_cast<int>(positions.size() /
                                  (static_cast<std::size_t>(walkers) * dimension))
               : 0;
  }
  const double* at(int sample, int walker) const {
    return positions.data() + (static_cast<std::size_t>(sample) * walkers + walker) *
                                  static_cast<std::size_t>(dimension);
  }
};

// One ensemble that can be run on in rounds. It stores at most `mostStored`
// steps per walker (0: all): when they are full every other one is dropped
// and from then on every second step as many is stored, so the stored steps
// stay evenly spaced over the whole chain and memory stays bounded. What is
// stored depends only on the steps taken, not on how they were split into rounds.
class Ensemble {
 public:
  // `start`: at least 2*dimension walkers, an even number, every one with a
  // finite log density. Throws FitError otherwise; chain().cancelled when
  // stopped while the start's densities were taken.
  Ensemble(LogDensity logDensity, const std::vector<std::vector<double>>& start,
           std::mt19937_64& generator, Observables observables = {}, int mostStored = 0,
           const std::atomic<bool>* cancel = nullptr, MoveMix moves = {});
  // Runs on until `steps` steps per walker are taken, or Stop. `twoCores`:
  // each half's walkers are shared with a helper thread when a density is
  // costly. `stepDone` after every step.
  void runUntil(int steps, const std::atomic<bool>* cancel, bool twoCores,
                const std::function<void()>& stepDone = {});
  const EnsembleChain& chain() const { return m_chain; }
  // Whether one density takes long enough to be worth a thread.
  bool costly() const { return m_costly; }

 private:
  struct Walker {
    std::vector<double> x;
    double logDensity = 0.0;
    std::mt19937_64 random;
    long long accepted = 0;
  };
  void store();

  LogDensity m_logDensity;
  Observables m_observables;
  int m_mostStored;
  MoveMix m_moves;
  std::vector<Walker> m_walkers;
  EnsembleChain m_chain;
  bool m_costly = false;
};

// Runs `steps` steps from the walkers' start positions, storing every one.
EnsembleChain sampleEnsemble(const LogDensity& logDensity,
                             const std::vector<std::vector<double>>& start, int steps,
                             std::mt19937_64& generator, const SamplerControl& control = {});

// The integrated autocorrelation time, in steps, of coordinate i over the
// stored samples [first, stored): the walkers' autocorrelation functions
// averaged, summed to the first lag M >= 5 tau(M) (Sokal's window), times the
// chain's thinning. Reaches at most a third of the samples; a value there means
// the chain is too short to tell. NaN when the coordinate does not vary.
double autocorrelationTime(const EnsembleChain& chain, int coordinate, int first);

// The split Gelman-Rubin statistic R-hat of several chains of draws of one
// quantity: each chain cut into its first and second half, then the square
// root of the pooled variance estimate over the mean variance within the
// halves. Near 1 when every half samples the same distribution; NaN when a
// value is not finite or a half has fewer than two draws.
double splitRhat(const std::vector<std::vector<double>>& chains);

// Runs of several independent ensembles until they agree.
struct ConvergenceSettings {
  int steps = 0;            // steps per walker; 0: until converged
  int mostSteps = 200000;   // the most a run until convergence takes
  int firstRound = 1000;    // the steps before its first look
  int mostStored = 2048;    // stored steps per walker and ensemble
  double chainTaus = 50.0;  // the kept half spans more autocorrelation times than this
  double mostRhat = 1.01;   // and every split R-hat is below this
  MoveMix moves;
};

struct ConvergedSampling {
  std::vector<EnsembleChain> chains;  // one per ensemble
  int steps = 0;                      // per walker and ensemble
  bool cancelled = false;
  bool converged = false;
  double acceptance = 0.0;  // over every ensemble
  int first = 0;            // the first kept stored sample of every chain
  // Per coordinate (position, then observables): the largest
  // autocorrelation time over the ensembles (steps) and the split R-hat.
  std::vector<double> tau;
  std::vector<double> rhat;
};

// Every ensemble from its own start (starts[e], walkers as for Ensemble; its
// walkers' generators seeded from `generator` in ensemble order), run in
// rounds side by side (on two cores when the machine has them) until every
// chain's kept half (the second half of its stored samples) spans more than
// chainTaus autocorrelation times of every coordinate and the split R-hat
// over the ensembles' kept halves is below mostRhat for every coordinate; or
// for the given steps, then judged by the same rule. The same seed gives the
// same result on one core or two.
ConvergedSampling sampleUntilConverged(const LogDensity& logDensity, const Observables& observables,
                                       const std::vector<std::vector<std::vector<double>>>& starts,
                                       std::mt19937_64& generator,
                                       const ConvergenceSettings& settings,
                                       const SamplerControl& control = {});
