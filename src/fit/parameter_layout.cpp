#include "fit/parameter_layout.h"

#include <charconv>
#include <string_view>

namespace {

constexpr const char* kLayerNames[] = {"from", "to", "concentration", "top_width",
                                       "bottom_width"};
constexpr const char* kMeasurementNames[] = {"multiplier", "background", "energy_shift",
                                             "lorentzian_width", "gaussian_width"};
constexpr const char* kDerivedNames[] = {"amount", "centroid", "thickness"};

}  // namespace

const char* parameterKindName(ParameterKind kind) {
  return isLayerParameter(kind) ? kLayerNames[layerSlot(kind)]
                                : kMeasurementNames[measurementSlot(kind)];
}

const char* derivedKindName(DerivedKind kind) {
  return kDerivedNames[static_cast<std::size_t>(kind)];
}

ParameterLayout::ParameterLayout(const JointModel& model,
                                 const std::vector<std::string>& measurementNames) {
  for (std::size_t k = 0; k < model.sample.layers.size(); ++k) {
    const std::string prefix = "layer" + std::to_string(k + 1) + ".";
    for (int q = 0; q < kLayerParameterKinds; ++q) {
      m_slots.push_back({kLayerKinds[q], static_cast<int>(k), -1, prefix + kLayerNames[q]});
    }
    for (DerivedKind kind : kDerivedKinds) {
      m_derived.push_back({kind, static_cast<int>(k), prefix + derivedKindName(kind)});
    }
  }
  const std::size_t measurements = model.measurements.size();
  for (std::size_t m = 0; m < measurements; ++m) {
    const std::string own = m < measurementNames.size() ? measurementNames[m] : std::string();
    const std::string prefix = measurements > 1 && !own.empty() ? own + "." : std::string();
    for (int q = 0; q < kMeasurementParameterKinds; ++q) {
      const ParameterKind kind = kMeasurementKinds[q];
      const std::size_t index = measurementSlot(kind);
      if (!model.measurements[m].shared[index]) {
        m_slots.push_back(
            {kind, -1, static_cast<int>(m), prefix + kMeasurementNames[q], {static_cast<int>(m)}});
        continue;
      }
      std::vector<int> sharing;
      for (std::size_t o = 0; o < measurements; ++o) {
        if (model.measurements[o].shared[index]) sharing.push_back(static_cast<int>(o));
      }
      if (sharing.front() != static_cast<int>(m)) continue;  // its slot is the first's
      m_slots.push_back({kind, -1, static_cast<int>(m), kMeasurementNames[q], sharing});
    }
  }
}

namespace {

template <typename Model>
auto& parameterAt(Model& model, const ParameterSlot& slot) {
  if (isLayerParameter(slot.kind)) {
    return layerParameter(model.sample.layers[static_cast<std::size_t>(slot.layer)], slot.kind);
  }
  return measurementParameter(model.measurements[static_cast<std::size_t>(slot.measurement)],
                              slot.kind);
}

}  // namespace

FitParameter& ParameterLayout::at(JointModel& model, std::size_t i) const {
  return parameterAt(model, m_slots[i]);
}

const FitParameter& ParameterLayout::at(const JointModel& model, std::size_t i) const {
  return parameterAt(model, m_slots[i]);
}

void ParameterLayout::setValue(JointModel& model, std::size_t i, double value) const {
  const ParameterSlot& slot = m_slots[i];
  if (isLayerParameter(slot.kind)) {
    at(model, i).value = value;
    return;
  }
  for (int m : slot.measurements) {
    measurementParameter(model.measurements[static_cast<std::size_t>(m)], slot.kind).value = value;
  }
}

std::vector<std::size_t> ParameterLayout::freeIndices(const JointModel& model) const {
  std::vector<std::size_t> free;
  for (std::size_t i = 0; i < m_slots.size(); ++i) {
    if (at(model, i).free) free.push_back(i);
  }
  return free;
}

std::optional<LayerQuantityName> layerQuantityOf(const std::string& name) {
  constexpr std::string_view kPrefix = "layer";
  const std::size_t dot = name.find('.');
  if (name.rfind(kPrefix, 0) != 0 || dot == std::string::npos || dot == kPrefix.size()) {
    return std::nullopt;
  }
  int number = 0;
  const char* first = name.data() + kPrefix.size();
  const char* last = name.data() + dot;
  if (std::from_chars(first, last, number).ptr != last || number < 1) return std::nullopt;
  return LayerQuantityName{number - 1, name.substr(dot + 1)};
}
