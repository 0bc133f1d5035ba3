// How often the fit's 68.3% intervals hold the truth: 40 Poisson replicas of
// each of two hard samples (see tests/fit/interval_coverage_test.cpp), fitted
// as the program does by default (profile-likelihood intervals, 8 starts),
// then with the covariance's errors alone for comparison. Prints, for every
// layer, the share of replicas whose amount and centroid interval holds the
// truth, how many converged and how many got both ends of every interval.
// A fair interval holds the truth in 68% of replicas; 55-90% is what 40
// replicas allow. Takes about two minutes; `coverage_bench N -v` runs N
// replicas and prints every interval.

#include <chrono>
#include <cstdio>
#include <string>

#include "fit/layer_fit.h"
#include "support/synthetic_layers.h"

using namespace synthetic;

namespace {


bool verbose = false;

void run(const CoverageCase& c, FitErrors errors, int replicas) {
  FitControl control;
  control.errors = errors;
  control.starts = kDefaultStarts;
  // Covariance errors: held when |value - truth| <= error.
  int covarianceHeld[2][2] = {};
  const auto began = std::chrono::steady_clock::now();
  const Coverage coverage = coverageOf(
      c, replicas, 1000, control, [&](std::uint64_t seed, const EstimatedValue& v, double truth) {
        if (verbose && v.profiled) {
          std::printf("    %4llu %-16s %9.5f  [%9.5f, %9.5f]  truth %9.5f  (value - truth)/half %+6.2f\n",
                      static_cast<unsigned long long>(seed), v.name.c_str(), v.value,
                      v.lower.value_or(NAN), v.upper.value_or(NAN), truth,
                      (v.value - truth) / v.error.value_or(NAN));
        }
        const std::optional<double> error = v.profiled ? v.covarianceError : v.error;
        const int q = v.name.find("amount") != std::string::npos ? 0 : 1;
        if (error && std::fabs(v.value - truth) <= *error) ++covarianceHeld[v.layer][q];
      });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  std::printf("%-36s %-10s converged %d/%d, every interval with both ends %d/%d, %.2f s per fit\n",
              c.what, errors == FitErrors::Profile ? "profile" : "covariance", coverage.converged,
              coverage.replicas, coverage.withIntervals, coverage.replicas, seconds / replicas);
  std::printf("  quantities without both ends or a warning naming them: %d; contradictions: %d\n",
              coverage.silent, coverage.contradictions);
  for (std::size_t k = 0; k < coverage.amountHeld.size(); ++k) {
    if (errors == FitErrors::Profile) {
      std::printf("  layer%zu  amount %3.0f%%  centroid %3.0f%%   (covariance errors: %3.0f%%, %3.0f%%)\n",
                  k + 1, 100.0 * coverage.amountHeld[k] / replicas,
                  100.0 * coverage.centroidHeld[k] / replicas,
                  100.0 * covarianceHeld[k][0] / replicas, 100.0 * covarianceHeld[k][1] / replicas);
    } else {
      std::printf("  layer%zu  amount %3.0f%%  centroid %3.0f%%\n", k + 1,
                  100.0 * covarianceHeld[k][0] / replicas, 100.0 * covarianceHeld[k][1] / replicas);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int replicas = argc > 1 ? std::atoi(argv[1]) : 40;
  verbose = argc > 2 && std::string(argv[2]) == "-v";
  for (const CoverageCase& c : kHardSamples) {
    run(c, FitErrors::Profile, replicas);
    run(c, FitErrors::Covariance, replicas);
  }
  return 0;
}
