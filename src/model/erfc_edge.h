#pragma once

#include "state/depth_profile.h"

// Complementary error function by a left-rectangle sum with step 0.005 (the
// i = 0 term counts in full); never negative, 1 for x < 0.
double erfcApprox(double x);
// An error-function edge of height amplitude starting below the contamination
// layer and falling off over at most 4*sigma (ug/cm2), added to or subtracted
// from the profile. Subtraction does not clamp at zero.
void addErfc(DepthProfile& profile, double amplitude, double sigmaUgPerCm2);
void subtractErfc(DepthProfile& profile, double amplitude, double sigmaUgPerCm2);
