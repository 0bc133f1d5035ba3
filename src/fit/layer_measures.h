#pragma once

#include <array>

#include "fit/profile_rendering.h"
#include "fit/sample_model.h"
#include "state/depth_profile.h"

// What a profile holds from point `first` on (up to, not including, point
// `end`; -1: to its end): amount = sum_i c_i*step (concentration x ug/cm2)
// and centroid = sum_i z_i*c_i / sum_i c_i (ug/cm2; NaN for an empty
// profile), z_i = i*step.
struct ProfileMeasures {
  double amount = 0.0;
  double centroid = 0.0;
};
ProfileMeasures profileMeasures(const DepthProfile& profile, int first = 0, int end = -1);

// A quantity derived from one layer, with its gradient by the layer's five
// parameters (indexed by layerSlot).
struct LayerMeasure {
  double value = 0.0;
  std::array<double, kLayerParameterKinds> gradient{};
};

// What a layer holds, from its rendering outside the contamination layer:
// amount and centroid as above, thickness = to - from (ug/cm2).
struct LayerMeasures {
  LayerMeasure amount;
  LayerMeasure centroid;
  LayerMeasure thickness;
  const LayerMeasure& of(DerivedKind kind) const {
    return kind == DerivedKind::Amount     ? amount
           : kind == DerivedKind::Centroid ? centroid
                                           : thickness;
  }
};
LayerMeasures layerMeasures(const LayerRendering& rendering, const LayerModel& layer);

// The same values of layer `layer` of a sample without their gradients,
// indexed by DerivedKind.
std::array<double, kDerivedKindCount> layerValues(const Sample& sample, int layer);
