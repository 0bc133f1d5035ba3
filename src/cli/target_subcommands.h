#pragma once

#include <optional>
#include <string>

#include "commands/target_commands.h"

namespace CLI {
class App;
}

// "tervane-cli target": what "From target..." puts into "Stopping Power:" and
// "Straggling:", and the target's mean mass per atom and atoms per ug/cm2,
// which turn an amount into atoms/cm2. "tervane-cli broadening": the Doppler sigma and the Gaussian
// width field's text.
struct TargetSubcommands {
  TargetTexts target;
  std::string straggling = "bohr";
  BroadeningTexts broadening;
  std::optional<std::string> beamFwhm;
  std::optional<std::string> beamSigma;
  CLI::App* targetCommand = nullptr;
  CLI::App* broadeningCommand = nullptr;

  void addTo(CLI::App& app);
  // The exit status when one of the two ran, nothing otherwise.
  std::optional<int> run() const;
};
