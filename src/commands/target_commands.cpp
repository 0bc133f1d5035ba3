#include "commands/target_commands.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "commands/command_error.h"
#include "files/text_numbers.h"
#include "model/gaussian_width.h"
#include "target/areal_density.h"
#include "target/doppler.h"
#include "target/straggling.h"
#include "target/target_error.h"

namespace {

// The tables are good to a few percent; four digits keep the fields honest.
constexpr int kComputedDigits = 4;

std::string computedFieldText(double value, DecimalFormat decimal) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                          std::chars_format::scientific, kComputedDigits - 1);
  double rounded = value;
  if (error == std::errc()) std::from_chars(buffer, end, rounded);
  return formatFieldNumber(rounded, decimal);
}

template <typename Compute>
auto asCommand(Compute compute) {
  try {
    return compute();
  } catch (const TargetError& error) {
    throw CommandError(error.what());
  }
}

BeamIon beamIon(const std::string& beam) {
  if (beam == "H") return BeamIon::Proton;
  if (beam == "He") return BeamIon::Helium;
  throw CommandError("The beam must be H or He, not '" + beam + "'.");
}

}  // namespace

TargetFigures computeTargetFigures(const TargetTexts& texts, DecimalFormat decimal) {
  const BeamIon ion = beamIon(texts.beam);
  const double energyKeV = parseFieldDouble(texts.energy, decimal);
  return asCommand([&] {
    const std::vector<FormulaPart> composition =
        parseChemicalFormula(texts.composition, stoppingData());
    TargetFigures figures;
    figures.composition = texts.composition;
    figures.meanAtomicMassGPerMol = meanAtomicMassGPerMol(composition);
    figures.atomsPerMicrogram = atomsPerMicrogramPerCm2(figures.meanAtomicMassGPerMol);
    figures.stoppingPower = compoundStoppingPower(composition, ion, energyKeV);
    figures.stragglingConstant = texts.chuCorrection
                                     ? chuStragglingConstant(composition, ion, energyKeV)
                                     : bohrStragglingConstant(composition, ion);
    // keV/(mg/cm2)^(1/2) x sqrt(0.001 mg/cm2) in eV.
    figures.stragglingPerMicrogramEv = figures.stragglingConstant * std::sqrt(1e-3) * 1000.0;
    figures.stoppingText = computedFieldText(figures.stoppingPower, decimal);
    figures.stragglingText = computedFieldText(figures.stragglingConstant, decimal);
    return figures;
  });
}

void applyTargetFigures(CommandContext& context, const TargetFigures& figures) {
  refuseWhileCalculating(context);
  context.texts.calculationParameters.stoppingPower = figures.stoppingText;
  context.texts.calculationParameters.straggling = figures.stragglingText;
  context.state.targetComposition =
      TargetComposition{figures.composition, figures.stoppingText, figures.meanAtomicMassGPerMol,
                        figures.atomsPerMicrogram};
  context.ui.redraw(View::CalculationParametersFields);
}

std::optional<TargetComposition> knownTargetComposition(const CommandContext& context) {
  const std::optional<TargetComposition>& known = context.state.targetComposition;
  if (!known || known->stoppingText != context.texts.calculationParameters.stoppingPower) {
    return std::nullopt;
  }
  return known;
}

BroadeningFigures computeBroadening(const BroadeningTexts& texts, DecimalFormat decimal) {
  const double energyKeV = parseFieldDouble(texts.energy, decimal);
  const double beamMassU = parseFieldDouble(texts.beamMass, decimal);
  const double targetMassU = parseFieldDouble(texts.targetMass, decimal);
  const double temperatureK = parseFieldDouble(texts.temperature, decimal);
  const bool debye = texts.debyeTemperature.find_first_not_of(' ') != std::string::npos;
  const double debyeK = debye ? parseFieldDouble(texts.debyeTemperature, decimal) : 0.0;
  const double spreadEv = parseFieldDouble(texts.beamSpread, decimal);
  if (spreadEv < 0.0) throw CommandError("The beam energy spread must not be negative.");
  if (debye && !(debyeK > 0.0)) {
    throw CommandError("The Debye temperature must be greater than zero.");
  }
  return asCommand([&] {
    BroadeningFigures figures;
    figures.effectiveTemperatureK = effectiveTemperatureK(temperatureK, debyeK);
    figures.dopplerSigmaEv =
        dopplerSigmaEv(energyKeV, beamMassU, targetMassU, figures.effectiveTemperatureK);
    figures.beamSigmaEv = texts.spreadIsSigma ? spreadEv : sigmaFromFwhmEv(spreadEv);
    figures.widthEv = gaussianWidthEv(figures.dopplerSigmaEv, figures.beamSigmaEv);
    figures.dopplerText = computedFieldText(figures.dopplerSigmaEv, decimal);
    figures.widthText = computedFieldText(figures.widthEv, decimal);
    return figures;
  });
}

std::vector<FigureLine> targetFigureLines(const TargetFigures& figures) {
  // Atomic weights are known far better than the stopping: five digits.
  return {{"stopping_power", "Stopping Power", figures.stoppingText, ""},
          {"straggling", "Straggling", figures.stragglingText, ""},
          {"mean_mass_per_atom", "Mean mass per atom",
           formatTextFileNumber(figures.meanAtomicMassGPerMol, 5), " g/mol"},
          {"atoms_per_ug_cm2", "Atoms per ug/cm2", formatTextFileNumber(figures.atomsPerMicrogram, 5),
           ""}};
}

std::vector<FigureLine> broadeningFigureLines(const BroadeningFigures& figures) {
  return {{"doppler_sigma", "Doppler sigma", figures.dopplerText, ""},
          {"gaussian_width", "Gaussian width", figures.widthText, ""}};
}
