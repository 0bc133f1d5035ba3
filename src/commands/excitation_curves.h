#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/autoconvolution_sets.h"
#include "commands/machine_memory.h"
#include "files/profile_file.h"
#include "state/resonance_shape.h"
#include "state/sampled_curve.h"

// The curves of Calculate, the Show dialog's Lewis and Single Auto plots and
// Show Kn on plain values, without windows: what tervane-cli and the Python
// module run, and what the desktop's commands are made of. Each takes a set
// as it was loaded (or made) and gives what the desktop would show after
// loading it.

// A curve with what the main chart shows it with, and what Calculate warns
// of about it.
struct ShownCurve {
  SampledCurve curve;
  double beamEnergy = 0.0;  // keV
  DisplayConstantsValues constants;
  std::optional<std::string> warning;
};

// The broadening of Calculate and of the Lewis plot.
struct CurveBroadening {
  bool convolve = true;
  double gaussianWidth = 100.0;    // eV
  double lorentzianWidth = 100.0;  // eV
  ResonanceShape resonance;
};

// Calculate of the Draw Profile window for a profile with its display
// constants; refusals (CommandError) as Calculate's.
ShownCurve excitationCurveOfSet(const AutoconvolutionSetFile& set, const ProfileFile& profile,
                                const CurveBroadening& broadening,
                                const MemoryLimits& memory = {});

// The Lewis line shape: every entry summed, divided by the collision
// density, broadened when asked.
SampledCurve lewisCurve(const AutoconvolutionSet& set, double collisionDensity,
                        const CurveBroadening& broadening, double beamEnergyKev,
                        const MemoryLimits& memory);
ShownCurve lewisCurveOfSet(const AutoconvolutionSetFile& set, const CurveBroadening& broadening,
                           const MemoryLimits& memory = {});

// Entry `typed` of the set, or nothing when there is none (a negative number
// counts as beyond every entry).
const SampledCurve* autoconvolutionEntry(const AutoconvolutionSet& set, std::int32_t typed);
// The Single Auto plot of the entry typed (an empty curve beyond the last).
ShownCurve singleEntryCurveOfSet(const AutoconvolutionSetFile& set, const std::string& entryText);

// Show Kn: the collision weights of entries 0 .. Nc for the profile.
std::vector<double> collisionWeightsOfSet(const AutoconvolutionSetFile& set,
                                          const DepthProfile& profile);

// Save Calculation of a curve shown with these values; CommandError when the
// file cannot be created.
void writeCurveFile(const std::string& path, const SampledCurve& curve, double beamEnergyKev,
                    double multiplier, double background, int significantDigits);
void writeShownCurve(const std::string& path, const ShownCurve& shown, int significantDigits);
