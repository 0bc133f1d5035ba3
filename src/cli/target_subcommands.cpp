#include "cli/target_subcommands.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/limit_checks.h"

namespace {

void printFigureLines(const std::vector<FigureLine>& lines) {
  for (const FigureLine& line : lines) {
    std::cout << line.label << ": " << line.text << line.unit << '\n';
  }
}

}  // namespace

void TargetSubcommands::addTo(CLI::App& app) {
  targetCommand = app.add_subcommand(
      "target", "Print the stopping power and straggling constant of a composition");
  targetCommand->add_option("--composition", target.composition, "Chemical formula, e.g. Al2O3")
      ->required();
  targetCommand->add_option("--beam", target.beam, "Beam particle")
      ->check(choiceCheck(kBeamLimit));
  targetCommand->add_option("--energy", target.energy, "Beam energy (keV)");
  targetCommand->add_option("--straggling", straggling, "Bohr, or Bohr times Chu's correction")
      ->check(choiceCheck(kStragglingLimit));

  broadeningCommand = app.add_subcommand(
      "broadening", "Print the Doppler sigma and the Gaussian width of a narrow resonance");
  broadeningCommand->add_option("--energy", broadening.energy, "Resonance energy (keV)")
      ->required();
  broadeningCommand->add_option("--beam-mass", broadening.beamMass, "Beam particle mass (u)")
      ->required();
  broadeningCommand->add_option("--target-mass", broadening.targetMass, "Target atom mass (u)")
      ->required();
  broadeningCommand->add_option("--temperature", broadening.temperature,
                                "Target temperature (K), default 300");
  broadeningCommand->add_option("--debye", broadening.debyeTemperature,
                                "Debye temperature (K); gives the effective temperature");
  CLI::Option* fwhm =
      broadeningCommand->add_option("--beam-fwhm", beamFwhm, "Beam energy spread, FWHM (eV)");
  broadeningCommand
      ->add_option("--beam-sigma", beamSigma, "Beam energy spread, standard deviation (eV)")
      ->excludes(fwhm);
}

std::optional<int> TargetSubcommands::run() const {
  if (*targetCommand) {
    TargetTexts texts = target;
    texts.chuCorrection = straggling == "chu";
    printFigureLines(targetFigureLines(computeTargetFigures(texts, DecimalFormat{})));
    return 0;
  }
  if (*broadeningCommand) {
    BroadeningTexts texts = broadening;
    if (beamFwhm) texts.beamSpread = *beamFwhm;
    if (beamSigma) {
      texts.beamSpread = *beamSigma;
      texts.spreadIsSigma = true;
    }
    printFigureLines(broadeningFigureLines(computeBroadening(texts, DecimalFormat{})));
    return 0;
  }
  return std::nullopt;
}
