#pragma once

#include "commands/command_context.h"

// "Calculate" (F5) of the Draw Profile window: weights every autoconvolution
// with the collision weight Kn of the current profile, sums them, broadens the
// sum when "Convolve" is checked, stores it as the excitation curve and draws it.
void calculateExcitation(CommandContext& context);

// Redraws the computed curve on the main chart from the excitation curve, the
// beam energy, the multiplier and the background (PlotExcitationExecute).
void plotExcitation(CommandContext& context);

// The collision rate (collisions per ug/cm2) from the Emin, Emax and stopping
// power fields of the Calculation Parameters dialog, refused when Emin <= 0 or
// Emax <= Emin (and, with requirePositiveStopping, a stopping power <= 0).
double collisionRateFromFields(CommandContext& context, bool requirePositiveStopping);

// Refuses broadening widths that are not positive finite numbers, or so small
// that their square rounds to 0.
void checkBroadeningWidths(double lorentzianWidthEv, double gaussianWidthEv);
// Refuses widths that would grow a curve of pointCount points at stepEv beyond
// what the memory guards allow while it is broadened.
void checkBroadenedSize(double lorentzianWidthEv, double gaussianWidthEv, double stepEv,
                        std::size_t pointCount, const MemoryLimits& memory);
