#pragma once

#include "commands/command_context.h"

// The autoconvolutions hold one beam energy, stopping power and straggling;
// Calculate and Fit read the Calculation Parameters fields, which "From
// target...", Refresh or typing may have changed since. The curve is drawn
// as asked, and the windows say that the set is stale.

// A new set was made or loaded for this beam: the notice goes.
void noteConvolutionsOrigin(CommandContext& context, const AutoconvolutionOrigin& origin);

// Compares the fields with the set's beam and sets (or clears) the notice;
// a field that is not a number is left to the command that reads it.
void checkConvolutionsOrigin(CommandContext& context);
