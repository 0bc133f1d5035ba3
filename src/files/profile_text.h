#pragma once

#include <cstddef>
#include <string>

#include "state/depth_profile.h"

// k0 = ceil(contaminationDepth / step): the first point below the
// contamination layer. A layer deeper than the profile gives pointCount; a
// negative or undefined one gives 0.
std::size_t firstPointBelowContamination(const DepthProfile& profile);

// The depth-profile table of an export (the ".profile" file): one row per
// point k0 .. pointCount-1, depth then concentration. The points inside the
// contamination layer are never written; the flag only moves the depth
// origin: without it depths count from the bottom of the layer, (i - k0) *
// step, so the first row is at depth 0; with it they count from the outer
// surface, i * step.
std::string depthProfileText(const DepthProfile& profile, bool includeContamination);
