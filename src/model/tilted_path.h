#pragma once

#include "state/depth_profile.h"

// A sample tilted by tiltDegrees from the surface normal (0 <= tilt < 90) is
// crossed by the beam along a path: depth z lies at path length z / cos(tilt).
// Along that path the beam meets the profile stretched by 1/cos(tilt): its
// collision numbers follow the path length, and each depth slice dz holds
// c(z) dz / cos(tilt) of the path, so the integrated yield grows by
// 1/cos(tilt) as well.

// 1/cos(tilt); exactly 1 for a tilt of 0.
double pathStretch(double tiltDegrees);

// The profile as the tilted beam meets it: the same values on a grid whose
// step (and contamination depth) is stretched by 1/cos(tilt). Its collision
// weights, and the curve made from them, are the tilted measurement's. A tilt
// of 0 gives the profile itself, unchanged to the bit.
DepthProfile alongPath(const DepthProfile& profile, double tiltDegrees);
