#include "commands/fit_figure.h"

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "commands/command_error.h"
#include "commands/fit_problem.h"
#include "commands/fit_results_text.h"
#include "commands/measurement_chart.h"
#include "files/file_error.h"
#include "files/fit_result_file.h"
#include "files/text_numbers.h"
#include "fit/parameter_layout.h"
#include "fit/profile_rendering.h"

namespace {

using Json = nlohmann::json;

// At most this many warnings are listed; the rest are counted.
constexpr std::size_t kListedWarnings = 4;

const Json& resultFor(const Json& results, const std::string& dataFile) {
  if (!results.is_array()) return results;
  if (results.empty()) throw CommandError("The fit result holds no fit.");
  for (const Json& result : results) {
    if (result.value("data", std::string()) == dataFile) return result;
  }
  return results.front();
}

std::optional<double> numberAt(const Json& object, const char* key) {
  if (!object.is_object() || !object.contains(key) || !object[key].is_number()) {
    return std::nullopt;
  }
  return object[key].get<double>();
}

// As the Fit window shows an estimate: rounded to its error, or its interval.
std::string quantityText(const Json& quantity) {
  const std::optional<double> value = numberAt(quantity, "value");
  if (!value) return "undetermined";
  EstimatedValue estimate;
  estimate.value = *value;
  estimate.free = true;
  estimate.error = numberAt(quantity, "error");
  estimate.profiled = quantity.contains("lower") || quantity.contains("upper");
  estimate.lower = numberAt(quantity, "lower");
  estimate.upper = numberAt(quantity, "upper");
  if (estimate.profiled && !estimate.error) estimate.profiled = false;
  return estimateText(estimate);
}

std::optional<double> parameterValue(const Json& result, const char* name) {
  if (!result.contains("parameters") || !result["parameters"].is_object()) return std::nullopt;
  const Json& parameters = result["parameters"];
  return parameters.contains(name) ? numberAt(parameters[name], "value") : std::nullopt;
}

}  // namespace

std::string shortWarning(const std::string& warning) {
  std::size_t end = warning.size();
  for (const char* stop : {": ", " (", ". "}) end = std::min(end, warning.find(stop));
  std::string text = warning.substr(0, end);
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (text.size() > kShortWarningLength) {
    std::size_t cut = text.rfind(' ', kShortWarningLength - 1);
    if (cut == std::string::npos || cut == 0) cut = kShortWarningLength - 1;
    text = text.substr(0, cut) + "…";
  }
  return text;
}

FitFigureSummary fitFigureSummary(const std::string& resultJson, const std::string& dataFile) {
  const Json results = Json::parse(resultJson);
  const Json& result = resultFor(results, dataFile);
  FitFigureSummary summary;
  std::string& text = summary.text;
  if (const std::optional<double> reduced = numberAt(result, "reduced_chi2")) {
    text += "χ²/ν = " + formatTextFileNumber(*reduced, 4);
    if (result.contains("dof") && result["dof"].is_number()) {
      text += " (ν = " + formatTextFileNumber(result["dof"].get<double>()) + ")";
    }
  }
  if (!result.value("converged", true))
    text += (text.empty() ? "" : ", ") + std::string("not converged");
  // Layers in their numbers' order, whatever order the file keeps its keys in.
  std::map<int, std::string> layers;
  if (result.contains("derived") && result["derived"].is_object()) {
    for (const auto& [name, quantity] : result["derived"].items()) {
      const std::optional<LayerQuantityName> parts = layerQuantityOf(name);
      if (!parts || (parts->quantity != "amount" && parts->quantity != "centroid")) continue;
      std::string& line = layers[parts->layer + 1];
      line += (line.empty() ? "" : ", ") + parts->quantity + " " + quantityText(quantity);
    }
  }
  for (const auto& [layer, line] : layers) {
    text += "\nlayer " + std::to_string(layer) + ": " + line;
  }
  if (!layers.empty()) text += "\n(amount in µg/cm², centroid at µg/cm²)";
  if (result.contains("warnings") && result["warnings"].is_array()) {
    const Json& warnings = result["warnings"];
    for (std::size_t i = 0; i < warnings.size() && i < kListedWarnings; ++i) {
      if (warnings[i].is_string())
        text += "\nwarning: " + shortWarning(warnings[i].get<std::string>());
    }
    if (warnings.size() > kListedWarnings) {
      text += "\nand " + std::to_string(warnings.size() - kListedWarnings) + " more warnings";
    }
  }
  // Of a joint fit, the first measurement's: its own value where it has one.
  std::string first;
  if (result.contains("measurements") && result["measurements"].is_array() &&
      !result["measurements"].empty()) {
    first = result["measurements"][0].value("name", std::string());
  }
  const auto constant = [&](const std::string& name) {
    const std::optional<double> own =
        first.empty() ? std::nullopt : parameterValue(result, (first + "." + name).c_str());
    return own ? own : parameterValue(result, name.c_str());
  };
  summary.multiplier = constant("multiplier");
  summary.background = constant("background");
  summary.energyShift = constant("energy_shift");
  summary.lorentzianWidth = constant("lorentzian_width");
  summary.gaussianWidth = constant("gaussian_width");
  return summary;
}

namespace {

// What `read` makes of the result file's text; FileError when it cannot be
// read or is no fit result.
template <typename Read>
auto readFitResult(const std::string& path, const Read& read) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  std::ostringstream json;
  json << in.rdbuf();
  try {
    return read(json.str());
  } catch (const Json::exception& error) {
    throw FileError(path + " is not a fit result: " + error.what());
  }
}

}  // namespace

FitFigureSummary readFitFigureSummary(const std::string& path, const std::string& dataFile) {
  return readFitResult(path,
                       [&](const std::string& json) { return fitFigureSummary(json, dataFile); });
}

JointFitFigure readJointFitFigure(const SampleModelDocument& document, const std::string& path) {
  return readFitResult(path,
                       [&](const std::string& json) { return jointFitFigure(document, json); });
}

void applyFitConstants(const FitFigureSummary& summary, ParameterBlock& parameters) {
  parameters.multiplier = summary.multiplier.value_or(parameters.multiplier);
  parameters.background = summary.background.value_or(parameters.background);
  parameters.energyShift = summary.energyShift.value_or(parameters.energyShift);
  parameters.lorentzianWidth = summary.lorentzianWidth.value_or(parameters.lorentzianWidth);
  parameters.gaussianWidth = summary.gaussianWidth.value_or(parameters.gaussianWidth);
}

std::string shownFitSummary(const CommandContext& context) {
  const FitTexts& texts = context.texts.fit;
  if (!texts.lastResult || !(texts.lastResult->profile == context.state.currentProfile)) return {};
  return fitFigureSummary(fitResultJson(*texts.lastResult), "").text;
}

JointFitFigure jointFitFigure(const SampleModelDocument& document, const std::string& resultJson) {
  if (document.measurements.empty()) {
    throw CommandError(
        "The model lists no \"measurements\": plot one measurement with --autos, --data and "
        "--profile.");
  }
  const Json result = Json::parse(resultJson);
  const SampleProblem problem = problemFromMeasurements(document);
  JointModel fitted = problem.model();
  const ParameterLayout layout(fitted, problem.measurementNames());
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (const std::optional<double> value = parameterValue(result, layout[i].name.c_str())) {
      layout.setValue(fitted, i, *value);
    }
  }
  JointFitFigure figure;
  figure.profile = renderProfile(fitted.sample);
  const std::string summary = fitFigureSummary(resultJson, "").text;
  const Json* summaries = result.contains("measurements") && result["measurements"].is_array()
                              ? &result["measurements"]
                              : nullptr;
  for (std::size_t m = 0; m < problem.measurements.size(); ++m) {
    const Measurement& measurement = problem.measurements[m];
    figure.charts.push_back(measurementChart(measurement, fitted.measurements[m], figure.profile));
    std::string note = measurement.name;
    for (const Json& entry : summaries ? *summaries : Json::array()) {
      if (entry.value("name", std::string()) != measurement.name) continue;
      if (const std::optional<double> reduced = numberAt(entry, "reduced_chi2")) {
        note += ": χ²/ν = " + formatTextFileNumber(*reduced, 4);
      }
      if (entry.contains("points") && entry["points"].is_number()) {
        note += " (" + std::to_string(entry["points"].get<int>()) + " points)";
      }
    }
    if (m == 0 && !summary.empty()) note += "\nall measurements: " + summary;
    figure.notes.push_back(std::move(note));
  }
  return figure;
}
