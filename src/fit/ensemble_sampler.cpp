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

struct Walker {
  std::vector<double> x;
  double logDensity = 0.0;
  std::mt19937_64 random;
  long long accepted = 0;
};

// One stretch move of walker k against the walkers `others`.
void stretch(Walker& walker, const std::vector<Walker>& ensemble, std::size_t othersBegin,
             std::size_t othersCount, const LogDensity& logDensity) {
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  const double u = uniform(walker.random);
  const double z = std::pow((kStretch - 1.0) * u + 1.0, 2) / kStretch;
  const std::size_t partner =
      othersBegin + std::uniform_int_distribution<std::size_t>(0, othersCount - 1)(walker.random);
  const double accept = uniform(walker.random);
  const std::vector<double>& other = ensemble[partner].x;
  std::vector<double> proposal(walker.x.size());
  for (std::size_t i = 0; i < proposal.size(); ++i) {
    proposal[i] = other[i] + z * (walker.x[i] - other[i]);
  }
  const double value = logDensity(proposal);
  if (!std::isfinite(value)) return;
  const double logRatio =
      static_cast<double>(walker.x.size() - 1) * std::log(z) + value - walker.logDensity;
  if (std::log(accept) < logRatio) {
    walker.x = std::move(proposal);
    walker.logDensity = value;
    ++walker.accepted;
  }
}

}  // namespace

EnsembleChain sampleEnsemble(const LogDensity& logDensity,
                             const std::vector<std::vector<double>>& start, int steps,
                             std::mt19937_64& generator, const SamplerControl& control) {
  const std::size_t count = start.size();
  const std::size_t dimension = count > 0 ? start.front().size() : 0;
  if (dimension == 0 || count < 2 * dimension || count % 2 != 0) {
    throw FitError(
        "The sampler needs an even number of walkers, at least twice the free parameters.");
  }
  // A density may take long: Stop is looked at before and after each.
  const auto stopped = [&control] { return control.cancel && control.cancel->load(); };
  EnsembleChain chain;
  std::vector<Walker> walkers(count);
  const auto started = std::chrono::steady_clock::now();
  for (std::size_t k = 0; k < count; ++k) {
    walkers[k].x = start[k];
    walkers[k].random.seed(generator());
    walkers[k].logDensity = stopped() ? 0.0 : logDensity(start[k]);
    if (stopped()) {
      chain.cancelled = true;
      return chain;
    }
    if (!std::isfinite(walkers[k].logDensity)) {
      throw FitError("A walker of the sampler starts where the posterior is 0.");
    }
  }

  chain.walkers = static_cast<int>(count);
  chain.dimension = static_cast<int>(dimension);
  chain.positions.reserve(static_cast<std::size_t>(steps) * count * dimension);
  const std::size_t half = count / 2;
  // A helper thread per half-step pays only when the densities are costly.
  const auto perDensity = (std::chrono::steady_clock::now() - started) / count;
  const bool twoCores = std::thread::hardware_concurrency() > 1 && perDensity > kWorthAThread;

  for (int step = 0; step < steps; ++step) {
    if (stopped()) {
      chain.cancelled = true;
      break;
    }
    for (int side = 0; side < 2; ++side) {
      const std::size_t begin = side == 0 ? 0 : half;
      const std::size_t othersBegin = side == 0 ? half : 0;
      auto move = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && !stopped(); ++k) {
          stretch(walkers[k], walkers, othersBegin, half, logDensity);
        }
      };
      if (twoCores) {
        std::thread helper(move, begin + half / 2, begin + half);
        move(begin, begin + half / 2);
        helper.join();
      } else {
        move(begin, begin + half);
      }
    }
    // A step cut short by Stop is not part of the chain.
    if (stopped()) {
      chain.cancelled = true;
      break;
    }
    for (const Walker& walker : walkers) {
      chain.positions.insert(chain.positions.end(), walker.x.begin(), walker.x.end());
    }
    ++chain.steps;
    if (control.progress) control.progress(step + 1, steps);
  }
  long long accepted = 0;
  for (const Walker& walker : walkers) accepted += walker.accepted;
  if (chain.steps > 0) {
    chain.acceptance = static_cast<double>(accepted) / (static_cast<double>(chain.steps) * count);
  }
  return chain;
}

double autocorrelationTime(const EnsembleChain& chain, int coordinate, int first) {
  const int length = chain.steps - first;
  if (length < 3) return std::numeric_limits<double>::quiet_NaN();
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
  if (!(variance > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  double tau = 1.0;
  const int longest = std::max(1, length / 3);
  for (int lag = 1; lag <= longest; ++lag) {
    tau += 2.0 * covariance(lag) / variance;
    if (lag >= 5.0 * tau) break;
  }
  return std::max(tau, 1.0);
}
