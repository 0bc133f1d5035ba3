#include "model/tilted_path.h"

#include <cmath>
#include <numbers>

double pathStretch(double tiltDegrees) {
  if (tiltDegrees == 0.0) return 1.0;
  return 1.0 / std::cos(tiltDegrees * (std::numbers::pi / 180.0));
}

DepthProfile alongPath(const DepthProfile& profile, double tiltDegrees) {
  DepthProfile path = profile;
  if (tiltDegrees == 0.0) return path;
  const double stretch = pathStretch(tiltDegrees);
  path.step = profile.step * stretch;
  path.contaminationDepth = profile.contaminationDepth * stretch;
  return path;
}
