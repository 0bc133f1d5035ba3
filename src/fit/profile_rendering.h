#pragma once

#include <array>
#include <vector>

#include "fit/parameter_kind.h"
#include "fit/sample_model.h"
#include "state/depth_profile.h"

// The model's profile on its grid (ceil(maxDepth/step) points, contamination
// set): point i holds the mean of the layers' sum over its cell
// [z_i - step/2, z_i + step/2], z_i = i*step, then the points inside the
// contamination layer (i < ceil(contamination/step)) are 0. Cell means are
// exact where one interface crosses a cell and within 1e-12 of the
// concentration where both do (Gauss-Legendre on pieces a fraction of the
// narrower width long); a width of 0 is a sharp edge.
DepthProfile renderProfile(const Sample& model);

// One layer alone, rendered and with the contamination points zeroed.
DepthProfile renderLayer(const Sample& model, int layer);

// One layer rendered with its derivatives with respect to its five parameters
// (the profile's derivatives, since the other layers do not depend on them),
// indexed by layerSlot.
// At a sharp edge the derivative by the position is the edge's jump spread
// over its cell, the right-hand derivative where the edge sits on a cell
// boundary, and the derivative by the width is 0.
struct LayerRendering {
  DepthProfile value;
  std::array<std::vector<double>, kLayerParameterKinds> derivative;
  const std::vector<double>& by(ParameterKind kind) const { return derivative[layerSlot(kind)]; }
};
LayerRendering renderLayerWithDerivatives(const Sample& model, int layer);

// Index of the first point outside the contamination layer, ceil(contamination/step).
int firstUncontaminatedPoint(const Sample& model);
