#pragma once

#include "state/depth_profile.h"

// k! in extended precision; 1 for k <= 1.
long double factorial(int k);
// Weight of the k-collision autoconvolution for the profile when collisions
// occur at collisionRate per ug/cm2:
//   Kn = step * sum_i c[i] * (rate*x_i)^k * exp(-rate*x_i) / k!,  x_i = i*step,
// evaluated in extended precision in the literal order and rounded to 64 bits
// once; where a power or k! would leave the extended range the same weight is
// formed in logarithms.
double computeKn(const DepthProfile& profile, int k, double collisionRate);
