#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/text_numbers.h"

namespace CLI {
class App;
}

// "tervane-cli fit": fits a sample model to one or several measured-data
// files (in parallel on every core), prints one summary line per file and
// writes the result JSON, the fitted profile and the fitted curve.
struct FitOptions {
  std::string autos;
  std::vector<std::string> data;
  std::string model;
  std::string json;
  std::string outProfile;
  std::string outCurve;
  int digits = kTextFileDigits;
  std::string mcmc;  // steps of the posterior sampler, or "auto"; empty for none
  std::uint64_t seed = 1;
  std::string band;
  std::string errors = "profile";  // "profile" or "covariance"
  int starts = 8;
};

// Adds the subcommand and its options to the program's command line.
CLI::App* addFitSubcommand(CLI::App& app, FitOptions& options);

// Returns the exit status: 0, 1 when a file cannot be used or written (the
// message on standard error, nothing written), 2 for a usage error.
int runFitSubcommand(const FitOptions& options);
