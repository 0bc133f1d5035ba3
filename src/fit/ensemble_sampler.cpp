#include "fit/ensemble_sampler.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "fit/fit_error.h"

namespace {

constexpr double kStretch = 2.0;
constexpr std::chrono::microseconds kWorthAThread{20};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool stopped(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load();
}

}  // namespace

Ensemble::Ensemble(LogDensity logDensity, const std::vector<std::vector<double>>& start,
                   std::mt19937_64& generator, Observables observables, int mostStored,
                   const std::atomic<bool>* cancel, MoveMix moves)
    : m_logDensity(std::move(logDensity)),
      m_observables(std::move(observables)),
      m_mostStored(mostStored > 0 ? std::max(mostStored + mostStored % 2, 2) : 0),
      m_moves(moves) {
  const std::size_t count = start.size();
  const std::size_t dimension = count > 0 ? start.front().size() : 0;
  if (dimension == 0 || count < 2 * dimension || count % 2 != 0) {
    throw FitError(
        "The sampler needs an even number of walkers, at least twice the free parameters.");
  }
  m_walkers.resize(count);
  const auto started = std::chrono::steady_clock::now();
  for (std::size_t k = 0; k < count; ++k) {
    m_walkers[k].x = start[k];
    m_walkers[k].random.seed(generator());
    // A density may take long: Stop is looked at before and after each.
    m_walkers[k].logDensity = stopped(cancel) ? 0.0 : m_logDensity(start[k]);
    if (stopped(cancel)) {
      m_chain.cancelled = true;
      return;
    }
    if (!std::isfinite(m_walkers[k].logDensity)) {
      throw FitError("A walker of the sampler starts where the posterior is 0.");
    }
  }
  m_costly = (std::chrono::steady_clock::now() - started) / count > kWorthAThread;
  m_chain.walkers = static_cast<int>(count);
  m_chain.dimension =
      static_cast<int>(dimension + (m_observables ? m_observables(start.front()).size() : 0));
}

void Ensemble::store() {
  // Full: every other stored step goes, and from now on every second one as many is kept.
  if (m_mostStored > 0 && m_chain.stored() == m_mostStored) {
    const std::size_t block = static_cast<std::size_t>(m_chain.walkers) * m_chain.dimension;
    for (int n = 1; n < m_mostStored; n += 2) {
      std::copy_n(m_chain.positions.begin() + n * block, block,
                  m_chain.positions.begin() + (n / 2) * block);
    }
    m_chain.positions.resize(static_cast<std::size_t>(m_mostStored / 2) * block);
    m_chain.thin *= 2;
  }
  if (m_chain.steps % m_chain.thin != 0) return;
  for (const Walker& walker : m_walkers) {
    m_chain.positions.insert(m_chain.positions.end(), walker.x.begin(), walker.x.end());
    if (m_observables) {
      const std::vector<double> more = m_observables(walker.x);
      m_chain.positions.insert(m_chain.positions.end(), more.begin(), more.end());
    }
  }
}

void Ensemble::runUntil(int steps, const std::atomic<bool>* cancel, bool twoCores,
                        const std::function<void()>& stepDone) {
  const std::size_t half = m_walkers.size() / 2;
  const double differentialScale = 2.38 / std::sqrt(2.0 * static_cast<double>(m_walkers[0].x.size()));
  // One move of walker k against the other half's walkers.
  const auto move = [this, half, differentialScale](Walker& walker, std::size_t othersBegin) {
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::uniform_int_distribution<std::size_t> other(0, half - 1);
    const std::size_t d = walker.x.size();
    std::vector<double> proposal(d);
    double logRatio = 0.0;
    if (m_moves.differential > 0.0 && uniform(walker.random) < m_moves.differential) {
      const double g = uniform(walker.random) < m_moves.jump
                           ? 1.0
                           : differentialScale * (1.0 + 0.1 * (uniform(walker.random) - 0.5));
      const std::size_t i = other(walker.random);
      std::size_t j = other(walker.random);
      if (half > 1) {
        while (j == i) j = other(walker.random);
      }
      const std::vector<double>& a = m_walkers[othersBegin + i].x;
      const std::vector<double>& b = m_walkers[othersBegin + j].x;
      for (std::size_t n = 0; n < d; ++n) proposal[n] = walker.x[n] + g * (a[n] - b[n]);
    } else {
      const double u = uniform(walker.random);
      const double z = std::pow((kStretch - 1.0) * u + 1.0, 2) / kStretch;
      const std::vector<double>& partner = m_walkers[othersBegin + other(walker.random)].x;
      for (std::size_t n = 0; n < d; ++n) {
        proposal[n] = partner[n] + z * (walker.x[n] - partner[n]);
      }
      logRatio = static_cast<double>(d - 1) * std::log(z);
    }
    const double accept = uniform(walker.random);
    const double value = m_logDensity(proposal);
    if (!std::isfinite(value)) return;
    logRatio += value - walker.logDensity;
    if (std::log(accept) < logRatio) {
      walker.x = std::move(proposal);
      walker.logDensity = value;
      ++walker.accepted;
    }
  };
  const bool helper = twoCores && m_costly && std::thread::hardware_concurrency() > 1;
  while (!m_chain.cancelled && m_chain.steps < steps) {
    for (int side = 0; side < 2; ++side) {
      const std::size_t begin = side == 0 ? 0 : half;
      const std::size_t othersBegin = side == 0 ? half : 0;
      auto moveAll = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && !stopped(cancel); ++k) {
          move(m_walkers[k], othersBegin);
        }
      };
      if (helper) {
        std::thread thread(moveAll, begin + half / 2, begin + half);
        moveAll(begin, begin + half / 2);
        thread.join();
      } else {
        moveAll(begin, begin + half);
      }
    }
    // A step cut short by Stop is not part of the chain.
    if (stopped(cancel)) {
      m_chain.cancelled = true;
      break;
    }
    ++m_chain.steps;
    store();
    if (stepDone) stepDone();
  }
  long long accepted = 0;
  for (const Walker& walker : m_walkers) accepted += walker.accepted;
  if (m_chain.steps > 0) {
    m_chain.acceptance = static_cast<double>(accepted) / (static_cast<double>(m_chain.steps) *
                                                          static_cast<double>(m_walkers.size()));
  }
}

EnsembleChain sampleEnsemble(const LogDensity& logDensity,
                             const std::vector<std::vector<double>>& start, int steps,
                             std::mt19937_64& generator, const SamplerControl& control) {
  Ensemble ensemble(logDensity, start, generator, {}, 0, control.cancel);
  if (ensemble.chain().cancelled) return ensemble.chain();
  ensemble.runUntil(steps, control.cancel, control.threads != 1, [&] {
    if (control.progress) {
      control.progress({ensemble.chain().steps, steps, steps, false});
    }
  });
  return ensemble.chain();
}

double autocorrelationTime(const EnsembleChain& chain, int coordinate, int first) {
  const int length = chain.stored() - first;
  if (length < 3) return kNaN;
  const std::size_t walkers = static_cast<std::size_t>(chain.walkers);
  std::vector<std::vector<double>> series(walkers, std::vector<double>(length));
  for (std::size_t w = 0; w < walkers; ++w) {
    double mean = 0.0;
    for (int s = 0; s < length; ++s) {
      series[w][s] = chain.at(first + s, static_cast<int>(w))[coordinate];
      mean += series[w][s];
    }
    mean /= length;
    for (double& v : series[w]) v -= mean;
  }
  auto covariance = [&](int lag) {
    double sum = 0.0;
    for (const std::vector<double>& v : series) {
      for (int s = 0; s + lag < length; ++s) sum += v[s] * v[s + lag];
    }
    return sum / (static_cast<double>(walkers) * length);
  };
  const double variance = covariance(0);
  if (!(variance > 0.0) || !std::isfinite(variance)) return kNaN;
  double tau = 1.0;
  const int longest = std::max(1, length / 3);
  for (int lag = 1; lag <= longest; ++lag) {
    tau += 2.0 * covariance(lag) / variance;
    if (lag >= 5.0 * tau) break;
  }
  return std::max(tau, 1.0) * chain.thin;
}

double splitRhat(const std::vector<std::vector<double>>& chains) {
  std::vector<double> means;
  std::vector<double> variances;
  std::size_t n = std::numeric_limits<std::size_t>::max();
  for (const std::vector<double>& chain : chains) n = std::min(n, chain.size() / 2);
  if (chains.empty() || n < 2) return kNaN;
  for (const std::vector<double>& chain : chains) {
    // The first n and the last n draws: an odd middle one belongs to neither.
    for (const double* half : {chain.data(), chain.data() + chain.size() - n}) {
      double mean = 0.0;
      for (std::size_t i = 0; i < n; ++i) mean += half[i];
      mean /= static_cast<double>(n);
      double squares = 0.0;
      for (std::size_t i = 0; i < n; ++i) squares += (half[i] - mean) * (half[i] - mean);
      means.push_back(mean);
      variances.push_back(squares / static_cast<double>(n - 1));
    }
  }
  const double m = static_cast<double>(means.size());
  double grand = 0.0;
  double within = 0.0;
  for (std::size_t j = 0; j < means.size(); ++j) {
    grand += means[j] / m;
    within += variances[j] / m;
  }
  double between = 0.0;  // B/n: the variance of the halves' means
  for (const double mean : means) between += (mean - grand) * (mean - grand) / (m - 1.0);
  if (!std::isfinite(within) || !std::isfinite(between)) return kNaN;
  if (within == 0.0) return between == 0.0 ? 1.0 : std::numeric_limits<double>::infinity();
  const double pooled = (static_cast<double>(n) - 1.0) / static_cast<double>(n) * within + between;
  return std::sqrt(pooled / within);
}

namespace {

// Each coordinate's largest autocorrelation time and its split R-hat over the
// ensembles' kept halves.
void judge(ConvergedSampling& run) {
  const EnsembleChain& any = run.chains.front();
  run.first = any.stored() / 2;
  run.tau.assign(static_cast<std::size_t>(any.dimension), 0.0);
  run.rhat.assign(static_cast<std::size_t>(any.dimension), kNaN);
  for (int i = 0; i < any.dimension; ++i) {
    std::vector<std::vector<double>> draws;
    for (const EnsembleChain& chain : run.chains) {
      const double tau = autocorrelationTime(chain, i, run.first);
      run.tau[i] = std::isnan(tau) || std::isnan(run.tau[i]) ? kNaN : std::max(run.tau[i], tau);
      std::vector<double>& values = draws.emplace_back();
      for (int s = run.first; s < chain.stored(); ++s) {
        for (int w = 0; w < chain.walkers; ++w) values.push_back(chain.at(s, w)[i]);
      }
    }
    run.rhat[i] = splitRhat(draws);
  }
}

// Whether every coordinate meets the rule; the steps its slowest asks for.
bool meets(const ConvergedSampling& run, const ConvergenceSettings& settings, double& wanted) {
  const EnsembleChain& any = run.chains.front();
  const double keptSteps = static_cast<double>(any.stored() - run.first) * any.thin;
  bool all = true;
  wanted = 0.0;
  for (std::size_t i = 0; i < run.tau.size(); ++i) {
    // The kept half is the second half: the whole chain is twice as long.
    wanted = std::max(wanted, 2.0 * settings.chainTaus * run.tau[i]);
    all = all && keptSteps > settings.chainTaus * run.tau[i] && run.rhat[i] < settings.mostRhat;
  }
  return all;
}

}  // namespace

ConvergedSampling sampleUntilConverged(const LogDensity& logDensity, const Observables& observables,
                                       const std::vector<std::vector<std::vector<double>>>& starts,
                                       std::mt19937_64& generator,
                                       const ConvergenceSettings& settings,
                                       const SamplerControl& control) {
  ConvergedSampling run;
  if (starts.size() < 2) throw FitError("Convergence needs at least two ensembles.");
  if (settings.steps != 0 && settings.steps < 2) {
    throw FitError("The sampler needs at least 2 steps.");
  }
  std::vector<Ensemble> ensembles;
  for (const auto& start : starts) {
    ensembles.emplace_back(logDensity, start, generator, observables, settings.mostStored,
                           control.cancel, settings.moves);
    if (ensembles.back().chain().cancelled) {
      run.cancelled = true;
      return run;
    }
  }
  const bool automatic = settings.steps == 0;
  const int most = automatic ? std::max(settings.mostSteps, 2) : settings.steps;
  // The ensembles side by side, one per core, when a density is worth it;
  // each ensemble's chain is the same either way.
  const bool sideBySide =
      control.threads == 2 || (control.threads == 0 && std::thread::hardware_concurrency() > 1 &&
                               ensembles.front().costly());
  int roundEnd = std::min(most, automatic ? std::max(settings.firstRound, 2) : most);
  const std::thread::id caller = std::this_thread::get_id();
  for (;;) {
    std::atomic<long long> done{0};
    const int from = run.steps;
    const auto stepDone = [&] {
      const long long total = ++done;
      if (control.progress && std::this_thread::get_id() == caller) {
        control.progress({from + static_cast<int>(total / static_cast<long long>(ensembles.size())),
                          roundEnd, most, automatic});
      }
    };
    const auto advance = [&](std::size_t e) {
      ensembles[e].runUntil(roundEnd, control.cancel, !sideBySide && control.threads != 1,
                            stepDone);
    };
    for (std::size_t e = 0; e < ensembles.size(); e += sideBySide ? 2 : 1) {
      std::thread helper;
      if (sideBySide && e + 1 < ensembles.size()) helper = std::thread(advance, e + 1);
      advance(e);
      if (helper.joinable()) helper.join();
    }
    run.chains.clear();
    for (const Ensemble& ensemble : ensembles) run.chains.push_back(ensemble.chain());
    if (std::any_of(run.chains.begin(), run.chains.end(),
                    [](const EnsembleChain& c) { return c.cancelled; })) {
      run.cancelled = true;
      return run;
    }
    run.steps = roundEnd;
    judge(run);
    double wanted = 0.0;
    run.converged = meets(run, settings, wanted);
    if (run.converged || roundEnd >= most) break;
    // Half as long again at least, or as long as the slowest coordinate asks
    // (a tenth more), but no more than four times as long in one round.
    const double next = std::clamp(1.1 * wanted, 1.5 * roundEnd, 4.0 * roundEnd);
    roundEnd = static_cast<int>(std::min<double>(most, std::ceil(next)));
  }
  double accepted = 0.0;
  for (const EnsembleChain& chain : run.chains) accepted += chain.acceptance;
  run.acceptance = accepted / static_cast<double>(run.chains.size());
  return run;
}
