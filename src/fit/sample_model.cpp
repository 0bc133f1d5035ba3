#include "fit/sample_model.h"

#include "fit/fit_result.h"
#include "fit/parameter_layout.h"

JointModel jointModelOf(const SampleModel& model) {
  return {model, {model}};
}

SampleModel sampleModelOf(const JointModel& model) {
  SampleModel single;
  static_cast<Sample&>(single) = model.sample;
  if (!model.measurements.empty()) static_cast<MeasurementModel&>(single) = model.measurements[0];
  return single;
}

namespace {

template <typename Layer>
auto& ofLayer(Layer& layer, ParameterKind kind) {
  switch (kind) {
    case ParameterKind::From:
      return layer.from;
    case ParameterKind::To:
      return layer.to;
    case ParameterKind::Concentration:
      return layer.concentration;
    case ParameterKind::TopWidth:
      return layer.topWidth;
    default:
      return layer.bottomWidth;
  }
}

template <typename Measurement>
auto& ofMeasurement(Measurement& measurement, ParameterKind kind) {
  switch (kind) {
    case ParameterKind::Multiplier:
      return measurement.multiplier;
    case ParameterKind::Background:
      return measurement.background;
    case ParameterKind::EnergyShift:
      return measurement.energyShift;
    case ParameterKind::LorentzianWidth:
      return measurement.lorentzianWidth;
    default:
      return measurement.gaussianWidth;
  }
}

}  // namespace

FitParameter& layerParameter(LayerModel& layer, ParameterKind kind) {
  return ofLayer(layer, kind);
}
const FitParameter& layerParameter(const LayerModel& layer, ParameterKind kind) {
  return ofLayer(layer, kind);
}
FitParameter& measurementParameter(MeasurementModel& measurement, ParameterKind kind) {
  return ofMeasurement(measurement, kind);
}
const FitParameter& measurementParameter(const MeasurementModel& measurement, ParameterKind kind) {
  return ofMeasurement(measurement, kind);
}

std::vector<NamedParameter> namedParameters(SampleModel& model) {
  std::vector<NamedParameter> named;
  const ParameterLayout layout(jointModelOf(model));
  for (const ParameterSlot& slot : layout.entries()) {
    FitParameter& p =
        isLayerParameter(slot.kind)
            ? layerParameter(model.layers[static_cast<std::size_t>(slot.layer)], slot.kind)
            : measurementParameter(model, slot.kind);
    named.push_back({slot.name, &p});
  }
  return named;
}

std::vector<std::string> parameterNames(const SampleModel& model) {
  std::vector<std::string> names;
  const ParameterLayout layout(jointModelOf(model));
  for (const ParameterSlot& slot : layout.entries()) {
    names.push_back(slot.name);
  }
  return names;
}

std::vector<MeasurementSummary> measurementSummaries(const std::vector<std::string>& names,
                                                     const std::vector<double>& chi2,
                                                     const std::vector<int>& points,
                                                     const std::vector<double>& ownFree,
                                                     double sharedFree) {
  double allPoints = 0.0;
  for (int n : points) allPoints += n;
  std::vector<MeasurementSummary> summaries;
  for (std::size_t m = 0; m < names.size(); ++m) {
    MeasurementSummary s;
    s.name = names[m];
    s.chi2 = chi2[m];
    s.points = points[m];
    const double share = allPoints > 0.0 ? points[m] / allPoints : 0.0;
    s.dof = points[m] - ownFree[m] - sharedFree * share;
    s.reducedChi2 = reducedChi2Of(s.chi2, s.dof);
    summaries.push_back(std::move(s));
  }
  return summaries;
}
