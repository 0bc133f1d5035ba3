#pragma once

#include <functional>

#include "commands/command_context.h"

// "Refresh" of the Calculation Parameters dialog: reads beam energy, stopping
// power and straggling, writes them and the derived emax and emin (20 fixed-point
// steps) to the program state, shows Emax and Emin, with AutoStep proposes the
// step (0.7 * emin), and shows the highest beam energy the grid covers.
void refreshCalculationParameters(CommandContext& context);

// The same on the dialog's texts and a parameter block, without windows. A
// field that is not a number stops it there (CommandError) with the values
// read before it written; values for which no cut energies exist are refused
// before anything is written. `writing` runs once they have passed, before
// the first value is written.
void refreshParameterFields(CalculationParametersTexts& fields, ParameterBlock& parameters,
                            DecimalFormat decimal, const std::function<void()>& writing = {});
