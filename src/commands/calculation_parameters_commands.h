#pragma once

#include "commands/command_context.h"

// "Refresh" of the Calculation Parameters dialog: reads beam energy, stopping
// power and straggling, writes them and the derived emax and emin (20 fixed-point
// steps) to the program state, shows Emax and Emin, with AutoStep proposes the
// step (0.7 * emin), and shows the highest beam energy the grid covers.
void refreshCalculationParameters(CommandContext& context);
