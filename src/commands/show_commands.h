#pragma once

#include "commands/command_context.h"

// "Plot" of the Show dialog's Lewis Effect group: stores both widths, sums every
// autoconvolution, divides by collisionDensity, broadens when "Convolve" is
// checked, draws the result and keeps it as the excitation curve.
void plotLewis(CommandContext& context);

// "Plot" of the Single Auto group: draws the entry typed in its field against
// the energy lost and steps the field on to the next entry.
void plotSingle(CommandContext& context);

// "Show Kn": the collision weights of the current profile against n, in the
// measured-points series.
void plotKn(CommandContext& context);

// Redraws the measured points with the energy shift (all but the spare last entry).
void plotData(CommandContext& context);
