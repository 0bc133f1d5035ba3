#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// "tervane-cli invert": the free-form profile of one measured-data file under
// a sample model's constants, with its bootstrap band; prints a summary line
// and writes the result JSON, the profile and the band.
struct InvertOptions {
  std::string autos;
  std::string data;
  std::string model;
  std::string alpha = "auto";
  std::string json;
  std::string outProfile;
  std::string band;
  int replicas = 100;
  std::uint64_t seed = 1;
  std::vector<std::string> regions;  // "A:B", ug/cm2
};

CLI::App* addInvertSubcommand(CLI::App& app, InvertOptions& options);

// Returns the exit status: 0, 1 when a file cannot be used or written or a
// region is malformed (the message on standard error, nothing written), 2 for
// a usage error.
int runInvertSubcommand(const InvertOptions& options);
