#include "fit/sample_model.h"

namespace {

constexpr const char* kLayerParameterNames[] = {"from", "to", "concentration", "top_width",
                                                "bottom_width"};
constexpr const char* kGlobalParameterNames[] = {"multiplier", "background", "energy_shift",
                                                 "lorentzian_width", "gaussian_width"};

}  // namespace

std::vector<NamedParameter> namedParameters(SampleModel& model) {
  std::vector<std::string> names = parameterNames(model);
  std::vector<FitParameter*> parameters;
  for (LayerModel& layer : model.layers) {
    for (FitParameter* p :
         {&layer.from, &layer.to, &layer.concentration, &layer.topWidth, &layer.bottomWidth}) {
      parameters.push_back(p);
    }
  }
  for (FitParameter* p : {&model.multiplier, &model.background, &model.energyShift,
                          &model.lorentzianWidth, &model.gaussianWidth}) {
    parameters.push_back(p);
  }
  std::vector<NamedParameter> named;
  named.reserve(parameters.size());
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    named.push_back({std::move(names[i]), parameters[i]});
  }
  return named;
}

std::vector<std::string> parameterNames(const SampleModel& model) {
  std::vector<std::string> names;
  for (std::size_t k = 0; k < model.layers.size(); ++k) {
    const std::string prefix = "layer" + std::to_string(k + 1) + ".";
    for (const char* name : kLayerParameterNames) names.push_back(prefix + name);
  }
  for (const char* name : kGlobalParameterNames) names.push_back(name);
  return names;
}
