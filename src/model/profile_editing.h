#pragma once

#include <cstddef>

#include "state/depth_profile.h"

// pointCount = ceil(D/step); values cut or extended with zeros.
void resizeToDepth(DepthProfile& profile, double maxDepthUgPerCm2);
// Every value 0; point count, step and contamination depth kept.
void clearProfile(DepthProfile& profile);
// c[index] = value widened to 64 bits.
void setProfilePoint(DepthProfile& profile, std::size_t index, float value);
// Writes the line through (x1,c1) and (x2,c2), cut at zero, into the cells from
// the shallower end up to (not including) the deeper end's cell. Depths are
// clamped to the profile; points at or above the contamination layer's cell are
// never written.
void drawProfileLine(DepthProfile& profile, double x1, double c1, double x2, double c2);
// Moves the profile so that it starts below a contamination layer of the new
// thickness; the maximum depth grows or shrinks with the layer.
void setContaminationDepth(DepthProfile& profile, double depthUgPerCm2);
