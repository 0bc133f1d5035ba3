#include "state/depth_profile.h"

#include <cmath>

DepthProfile DepthProfile::forMaximumDepth(double maxDepthUgPerCm2, double stepUgPerCm2) {
  DepthProfile profile;
  profile.pointCount = static_cast<std::int32_t>(std::ceil(maxDepthUgPerCm2 / stepUgPerCm2));
  profile.values.assign(static_cast<std::size_t>(profile.pointCount), 0.0);
  profile.step = stepUgPerCm2;
  return profile;
}
