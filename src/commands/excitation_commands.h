#pragma once

#include <functional>

#include "commands/command_context.h"

// "Calculate" (F5) of the Draw Profile window: weights every autoconvolution
// with the collision weight Kn of the current profile, sums them, broadens the
// sum when "Convolve" is checked, stores it as the excitation curve and draws it.
void calculateExcitation(CommandContext& context);

// The excitation curve of a profile as Calculate makes it: the autoconvolutions
// weighted by the profile's collision weights Kn, summed, then broadened
// (the resonance's line shape, then Gaussian) when `convolve` is set and the
// sum is not empty. beforeBroadening runs just before the broadening, when
// there is one.
SampledCurve excitationCurveOf(const AutoconvolutionSet& set, const DepthProfile& profile,
                               double collisionRate, bool convolve, double lorentzianWidthEv,
                               double gaussianWidthEv, const ResonanceShape& resonance,
                               double beamEnergyKev,
                               const std::function<void()>& beforeBroadening = {});

// The curve of a profile as Calculate makes it from a set, after its checks
// (CommandError): the broadening widths, sizes and line shape when `convolve`
// is set, and a curve that holds a value that is not a number.
SampledCurve checkedExcitationCurve(const AutoconvolutionSet& set, const DepthProfile& profile,
                                    double collisionRate, bool convolve, double lorentzianWidthEv,
                                    double gaussianWidthEv, const ResonanceShape& resonance,
                                    double beamEnergyKev, const MemoryLimits& memory,
                                    const std::function<void()>& beforeBroadening = {});

// Refuses (CommandError) a set of fewer than two entries, which nothing can
// be calculated from.
void requireAutoconvolutions(const AutoconvolutionSet& set);

// Refuses a cross section that cannot be the line shape on a grid of this step.
void checkResonance(const ResonanceShape& resonance, const SampledCurve& entry,
                    double lorentzianWidthEv, double beamEnergyKev);

// The curve as the main chart draws it: X = beam energy + (i*step - origin)*0.001 keV,
// Y = value*multiplier + background.
std::vector<ChartPoint> curvePoints(const SampledCurve& curve, double beamEnergyKev,
                                    double multiplier, double background);
void fillCurveSeries(ChartSeries& series, const SampledCurve& curve, double beamEnergyKev,
                     double multiplier, double background);

// Redraws the computed curve on the main chart from the excitation curve, the
// beam energy, the multiplier and the background (PlotExcitationExecute).
void plotExcitation(CommandContext& context);

// The collision rate (collisions per ug/cm2) from the Emin, Emax and stopping
// power fields of the Calculation Parameters dialog, refused when Emin <= 0 or
// Emax <= Emin (and, with requirePositiveStopping, a stopping power <= 0).
double collisionRateFromFields(CommandContext& context, bool requirePositiveStopping);
// The same from the three values as the fields hold them.
double collisionRateOfCuts(double emin, double emax, double stoppingPower,
                           bool requirePositiveStopping);

// Refuses broadening widths that are not positive finite numbers, or so small
// that their square rounds to 0.
void checkBroadeningWidths(double lorentzianWidthEv, double gaussianWidthEv);
// Refuses a computed curve that holds a NaN or an infinity.
void refuseNonFiniteCurve(const SampledCurve& curve);
// Refuses widths that would grow a curve of pointCount points at stepEv beyond
// what the memory guards allow while it is broadened.
void checkBroadenedSize(double lorentzianWidthEv, double gaussianWidthEv, double stepEv,
                        std::size_t pointCount, const MemoryLimits& memory);
