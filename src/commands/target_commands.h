#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/command_context.h"
#include "commands/field_numbers.h"

// The "From target..." dialog's fields. The beam is "H" or "He".
struct TargetTexts {
  std::string beam = "H";
  std::string composition = "Al";
  std::string energy = CalculationParametersTexts{}.beamEnergy;  // keV
  bool chuCorrection = false;
};

// What the dialog shows; the texts are those the Calculation Parameters
// fields receive.
struct TargetFigures {
  std::string composition;                // the formula as typed
  double stoppingPower = 0.0;             // keV/(mg/cm2)
  double stragglingConstant = 0.0;        // keV/(mg/cm2)^(1/2)
  double stragglingPerMicrogramEv = 0.0;  // standard deviation after 1 ug/cm2
  double meanAtomicMassGPerMol = 0.0;     // formula mass / atoms per formula unit
  double atomsPerMicrogram = 0.0;         // atoms/cm2 in 1 ug/cm2 of the target
  std::string stoppingText;
  std::string stragglingText;
};

// Stopping by Bragg's rule and Bohr's straggling (times Chu's factor at the
// energy when asked) for the composition; throws CommandError with the
// message for a field that cannot be used.
TargetFigures computeTargetFigures(const TargetTexts& texts, DecimalFormat decimal);

// OK of the dialog: "Stopping Power:" and "Straggling:" receive the texts,
// and the program remembers the composition they came from.
void applyTargetFigures(CommandContext& context, const TargetFigures& figures);

// The composition of the last "From target..." while "Stopping Power:" still
// holds the text it set; nothing once a stopping power was typed or loaded.
std::optional<TargetComposition> knownTargetComposition(const CommandContext& context);

// The "Gaussian width from physics..." dialog's fields.
struct BroadeningTexts {
  std::string energy = CalculationParametersTexts{}.beamEnergy;  // resonance energy, keV
  std::string beamMass = "1.007276";                             // u
  std::string targetMass = "26.98153844";                        // u
  std::string temperature = "300";                               // K
  std::string debyeTemperature;  // K; empty for the plain temperature
  std::string beamSpread = "0";  // eV
  bool spreadIsSigma = false;    // else a FWHM
};

struct BroadeningFigures {
  double effectiveTemperatureK = 0.0;
  double dopplerSigmaEv = 0.0;
  double beamSigmaEv = 0.0;
  double widthEv = 0.0;
  std::string dopplerText;
  std::string widthText;  // what a Gaussian width field receives
};

BroadeningFigures computeBroadening(const BroadeningTexts& texts, DecimalFormat decimal);

// One line of what the batch interface prints of the figures: "Label: text"
// and the unit after it, if any; `key` names the number for scripts.
struct FigureLine {
  const char* key;
  const char* label;
  std::string text;
  const char* unit;
};
std::vector<FigureLine> targetFigureLines(const TargetFigures& figures);
std::vector<FigureLine> broadeningFigureLines(const BroadeningFigures& figures);
