#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "files/atomic_file.h"
#include "files/sample_model_file.h"
#include "fit/parameter_layout.h"

// The sample model written out: what Save model and the fit's results hold.

namespace {

using OrderedJson = nlohmann::ordered_json;

// A fixed, unbounded parameter as a bare number; any other as its object.
OrderedJson parameterJson(const FitParameter& p) {
  const bool bounded = std::isfinite(p.min) || std::isfinite(p.max);
  if (!p.free && !bounded) return p.value;
  OrderedJson object;
  object["value"] = p.value;
  object["free"] = p.free;
  if (std::isfinite(p.min)) object["min"] = p.min;
  if (std::isfinite(p.max)) object["max"] = p.max;
  return object;
}

// A measurement's file as the model file names it: relative to the model
// file's folder, so that the folder can move with its files.
std::string pathFromModel(const std::string& path, const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const fs::path relative = fs::absolute(path).lexically_normal().lexically_relative(
      fs::absolute(folder).lexically_normal());
  return relative.empty() ? path : relative.generic_string();
}

// A line shape as the model file names it; a file's path relative to the
// model file's folder when that is known.
OrderedJson resonanceJson(const ResonanceShape& shape,
                          const std::optional<std::filesystem::path>& folder) {
  switch (shape.kind) {
    case ResonanceKind::Lorentzian:
      return {{"shape", "lorentzian"}};
    case ResonanceKind::BreitWigner:
      return {{"shape", "breit-wigner"}};
    case ResonanceKind::File:
      break;
  }
  const std::string& file = shape.crossSection.file;
  return {{"shape", "file"}, {"file", folder ? pathFromModel(file, *folder) : file}};
}

OrderedJson modelJson(const SampleModel& model) {
  OrderedJson document;
  document["max_depth"] = model.maxDepth;
  document["step"] = model.step;
  document["contamination"] = model.contamination;
  OrderedJson layers = OrderedJson::array();
  for (const LayerModel& layer : model.layers) {
    OrderedJson object;
    object["from"] = parameterJson(layer.from);
    object["to"] = parameterJson(layer.to);
    object["concentration"] = parameterJson(layer.concentration);
    object["top_width"] = parameterJson(layer.topWidth);
    object["bottom_width"] = parameterJson(layer.bottomWidth);
    layers.push_back(std::move(object));
  }
  document["layers"] = std::move(layers);
  document["multiplier"] = parameterJson(model.multiplier);
  document["background"] = parameterJson(model.background);
  document["energy_shift"] = parameterJson(model.energyShift);
  document["convolve"] = model.convolve;
  document["lorentzian_width"] = parameterJson(model.lorentzianWidth);
  document["gaussian_width"] = parameterJson(model.gaussianWidth);
  if (model.resonance.kind != ResonanceKind::Lorentzian) {
    document["resonance"] = resonanceJson(model.resonance, std::nullopt);
  }
  if (model.energyRange) {
    document["energy_range"] = {model.energyRange->first, model.energyRange->second};
  }
  document["statistic"] = kStatisticNames[static_cast<int>(model.statistic)];
  if (model.tilt != 0.0) document["tilt"] = model.tilt;
  return document;
}

// An entry: its name, files, tilt, and what it holds of its own.
OrderedJson entryJson(const MeasurementEntry& entry, const SampleModel& top,
                      const std::filesystem::path& folder) {
  OrderedJson object;
  object["name"] = entry.name;
  object["autos"] = pathFromModel(entry.autos, folder);
  object["data"] = pathFromModel(entry.data, folder);
  object["tilt"] = entry.model.tilt;
  for (ParameterKind kind : kMeasurementKinds) {
    if (!entry.model.shared[measurementSlot(kind)]) {
      object[parameterKindName(kind)] = parameterJson(measurementParameter(entry.model, kind));
    }
  }
  if (entry.model.convolve != top.convolve) object["convolve"] = entry.model.convolve;
  if (entry.model.energyRange != top.energyRange && entry.model.energyRange) {
    object["energy_range"] = {entry.model.energyRange->first, entry.model.energyRange->second};
  }
  if (entry.model.statistic != top.statistic) {
    object["statistic"] = kStatisticNames[static_cast<int>(entry.model.statistic)];
  }
  if (!(entry.model.resonance == top.resonance)) {
    object["resonance"] = resonanceJson(entry.model.resonance, folder);
  }
  return object;
}

}  // namespace

std::string sampleModelJson(const SampleModel& model) {
  return modelJson(model).dump(2) + "\n";
}

std::string sampleModelDocumentJson(const SampleModelDocument& document,
                                    const std::string& modelPath) {
  OrderedJson json = modelJson(document.model);
  if (!document.measurements.empty()) {
    const std::filesystem::path folder = std::filesystem::path(modelPath).parent_path();
    if (document.model.resonance.kind == ResonanceKind::File) {
      json["resonance"] = resonanceJson(document.model.resonance, folder);
    }
    OrderedJson list = OrderedJson::array();
    for (const MeasurementEntry& entry : document.measurements) {
      list.push_back(entryJson(entry, document.model, folder));
    }
    json["measurements"] = std::move(list);
  }
  return json.dump(2) + "\n";
}

bool writeSampleModelDocument(const std::string& path, const SampleModelDocument& document) {
  return writeFileAtomically(path, sampleModelDocumentJson(document, path));
}

bool writeSampleModelFile(const std::string& path, const SampleModel& model) {
  return writeFileAtomically(path, sampleModelJson(model));
}
