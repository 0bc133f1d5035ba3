#pragma once

#include <vector>

#include "state/depth_profile.h"

// Collision weights K0 .. K(count-1) of the profile at collisionRate collisions
// per ug/cm2, the values computeKn gives one n at a time:
//   Kn = step * sum_i c[i] * P(n; rate * i * step),  P the Poisson probability.
// Each point's Poisson factors come from a recurrence in n in extended
// precision, started at the point's largest factor. A term is left out only
// where it is provably below 1e-18 / (number of nonzero points) of the largest
// term of its weight, so all that is left out of one weight is below 1e-18 of
// Mn = step * sum_i |c[i]| P(n; ...). Each weight is within 1e-13 of the
// extended-precision literal form relative to Mn (the weight itself when no
// concentration is negative); where the literal weight is below the smallest
// normal double this one is zero or subnormal too. The surface point counts in
// K0 only, and an all-zero profile gives exact zeros. The result depends on the
// arguments alone, not on the number of cores or on how threads are scheduled.
std::vector<double> collisionWeights(const DepthProfile& profile, int count, double collisionRate);
