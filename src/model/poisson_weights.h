#pragma once

#include "state/depth_profile.h"

// k! in extended precision; 1 for k <= 1.
long double factorial(int k);
// The Poisson probability mean^n e^-mean / n! for n >= 0 and mean >= 0 in
// extended precision, also where mean^n or n! alone would leave the range: the
// saddle-point form, Stirling's remainder and a deviance that does not cancel
// near n = mean. The relative error is a few units of 1e-19 times the size of n,
// mean and n ln(n/mean): below 1e-17 near the mode, below 1e-15 for n and mean
// up to 1e4.
long double poissonProbability(int n, long double mean);
// Weight of the k-collision autoconvolution for the profile when collisions
// occur at collisionRate per ug/cm2:
//   Kn = step * sum_i c[i] * (rate*x_i)^k * exp(-rate*x_i) / k!,  x_i = i*step,
// evaluated in extended precision in the literal order and rounded to 64 bits
// once; where a power or k! would leave the extended range the same weight is
// formed in logarithms.
double computeKn(const DepthProfile& profile, int k, double collisionRate);
