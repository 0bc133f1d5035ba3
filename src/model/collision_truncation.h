#pragma once

#include "state/depth_profile.h"
#include "state/sampled_curve.h"

// The share of an energy's yield that a curve may lack before it is said to
// lack yield: 0.1%.
constexpr double kTruncationTolerance = 1e-3;

// What a set that stops at Nc = set.size() - 1 collisions leaves out of the
// excitation curve of a profile, before broadening. The yield of n > Nc
// collisions, K_n times the n-collision loss density, is missing from the
// curve. Its weights K_n are exact (collisionWeights); its loss densities,
// which the set does not hold, are shifted gammas with n times the mean,
// variance and third cumulant of entry 1. The share lacking at a loss x is
// lost(x) / (curve(x) + lost(x)), with curve(x) the sum of the set's entries
// as Calculate forms it. Losses where that full yield is below
// kTruncationTolerance of its largest value on the grid are not judged.
struct CollisionTruncation {
  bool lacking = false;           // some judged loss up to the highest used lacks more
  double lackingFromEv = 0.0;     // the lowest such loss (a grid point's)
  double lackingAtHighest = 0.0;  // the share lacking at the highest loss used, 0 to 1
  double highestUsedEv = 0.0;     // that loss: the grid point at or below the one asked for
  int holdingCollisions = 0;      // the smallest Nc with no judged loss lacking more
};

// For the losses up to highestLossEv (eV, on the set's grid: point i is the
// loss i*step - origin). A set of fewer than two entries, a profile of zeros,
// a rate that is not positive and finite, or a highest loss below the grid
// lack nothing. The answer depends on the arguments alone.
CollisionTruncation collisionTruncation(const AutoconvolutionSet& set, const DepthProfile& profile,
                                        double collisionRate, double highestLossEv);
