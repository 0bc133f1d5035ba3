#pragma once

#include "state/depth_profile.h"

// Nine-point moving average, passCount + 1 passes (none for a negative count).
// Points in the contamination layer's first five cells and the last seven keep their values.
void smoothProfile(DepthProfile& profile, int passCount);
