#pragma once

#include <array>

#include "fit/profile_rendering.h"
#include "fit/sample_model.h"

// A quantity derived from one layer, with its gradient by the layer's five
// parameters (LayerParameter order).
struct LayerMeasure {
  double value = 0.0;
  std::array<double, kLayerParameterCount> gradient{};
};

// What a layer holds, from its rendering outside the contamination layer:
// amount = sum_i c_i*step (concentration x ug/cm2), centroid = sum_i z_i*c_i /
// sum_i c_i (ug/cm2; NaN for an empty layer), thickness = to - from (ug/cm2).
struct LayerMeasures {
  LayerMeasure amount;
  LayerMeasure centroid;
  LayerMeasure thickness;
};
LayerMeasures layerMeasures(const LayerRendering& rendering, const LayerModel& layer);
