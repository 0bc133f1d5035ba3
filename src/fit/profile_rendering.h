#pragma once

#include <vector>

#include "fit/sample_model.h"
#include "state/depth_profile.h"

// The model's profile on its grid (ceil(maxDepth/step) points, contamination
// set): point i holds the mean of the layers' sum over its cell
// [z_i - step/2, z_i + step/2], z_i = i*step, then the points inside the
// contamination layer (i < ceil(contamination/step)) are 0.
DepthProfile renderProfile(const SampleModel& model);

// The derivative of renderProfile with respect to parameter `index` of
// namedParameters order (layer parameters only; others give an all-zero profile).
DepthProfile renderProfileDerivative(const SampleModel& model, int index);

// One layer alone, rendered and with the contamination points zeroed.
DepthProfile renderLayer(const SampleModel& model, int layer);
