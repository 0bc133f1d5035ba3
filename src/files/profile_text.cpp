#include "files/profile_text.h"

#include <algorithm>
#include <cmath>

#include "files/text_numbers.h"

namespace {

std::size_t pointsHeld(const DepthProfile& profile) {
  if (profile.pointCount <= 0) return 0;
  return std::min(static_cast<std::size_t>(profile.pointCount), profile.values.size());
}

}  // namespace

std::size_t firstPointBelowContamination(const DepthProfile& profile) {
  const double k0 = std::ceil(profile.contaminationDepth / profile.step);
  if (!(k0 > 0.0)) return 0;
  const std::size_t count = pointsHeld(profile);
  if (k0 >= static_cast<double>(count)) return count;
  return static_cast<std::size_t>(k0);
}

std::string depthProfileText(const DepthProfile& profile, bool includeContamination) {
  const std::size_t k0 = firstPointBelowContamination(profile);
  const std::size_t offset = includeContamination ? 0 : k0;
  std::string text;
  for (std::size_t i = k0; i < pointsHeld(profile); ++i) {
    appendTwoColumnTextLine(text, static_cast<double>(i - offset) * profile.step,
                            profile.values[i]);
  }
  return text;
}
