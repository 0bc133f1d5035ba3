#pragma once

#include <string>

#include "files/text_numbers.h"
#include "state/sampled_curve.h"

// The calculated curve as the main chart shows it, one row per point i:
//
//   (i * step - origin) * 0.001 + beamEnergyKev   values[i] * multiplier + background
//
// each product and sum rounded in that order. Save Calculation and the curve
// file of Save Everything are both this text; an empty curve gives "".
// significantDigits as formatTextFileNumber takes them: 6 is the desktop's
// files, 17 every bit.
std::string excitationCurveText(const SampledCurve& curve, double beamEnergyKev, double multiplier,
                                double background, int significantDigits = kTextFileDigits);
