#include "fit/layer_measures.h"

#include <cmath>

ProfileMeasures profileMeasures(const DepthProfile& profile, int first, int end) {
  const double h = profile.step;
  double sum = 0.0;
  double moment = 0.0;
  const std::size_t last = end < 0 ? profile.values.size()
                                   : std::min(profile.values.size(), static_cast<std::size_t>(end));
  for (std::size_t i = static_cast<std::size_t>(std::max(first, 0)); i < last; ++i) {
    sum += profile.values[i];
    moment += static_cast<double>(i) * h * profile.values[i];
  }
  return {sum * h, sum != 0.0 ? moment / sum : NAN};
}

std::array<double, kDerivedKindCount> layerValues(const Sample& sample, int layer) {
  const ProfileMeasures m = profileMeasures(renderLayer(sample, layer));
  const LayerModel& l = sample.layers[static_cast<std::size_t>(layer)];
  return {m.amount, m.centroid, l.to.value - l.from.value};
}

LayerMeasures layerMeasures(const LayerRendering& rendering, const LayerModel& layer) {
  const DepthProfile& profile = rendering.value;
  const double h = profile.step;
  const ProfileMeasures values = profileMeasures(profile);
  double sum = 0.0;
  std::array<double, kLayerParameterKinds> dSum{};
  std::array<double, kLayerParameterKinds> dMoment{};
  for (std::size_t i = 0; i < profile.values.size(); ++i) {
    const double z = static_cast<double>(i) * h;
    sum += profile.values[i];
    for (int p = 0; p < kLayerParameterKinds; ++p) {
      dSum[p] += rendering.derivative[p][i];
      dMoment[p] += z * rendering.derivative[p][i];
    }
  }
  LayerMeasures m;
  m.amount.value = values.amount;
  m.centroid.value = values.centroid;
  for (int p = 0; p < kLayerParameterKinds; ++p) {
    m.amount.gradient[p] = dSum[p] * h;
    m.centroid.gradient[p] = sum != 0.0 ? (dMoment[p] - m.centroid.value * dSum[p]) / sum : NAN;
  }
  m.thickness.value = layer.to.value - layer.from.value;
  m.thickness.gradient[layerSlot(ParameterKind::From)] = -1.0;
  m.thickness.gradient[layerSlot(ParameterKind::To)] = 1.0;
  return m;
}
