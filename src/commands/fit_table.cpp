#include "commands/fit_table.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "commands/command_error.h"
#include "fit/fit_error.h"
#include "fit/model_check.h"
#include "fit/parameter_layout.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The texts say which field holds the fault, so that one message is enough.
double fieldNumber(const std::string& text, const std::string& field, DecimalFormat decimal) {
  try {
    return parseFieldDouble(text, decimal);
  } catch (const CommandError& error) {
    throw CommandError(field + ": " + error.what());
  }
}

double boundNumber(const std::string& text, const std::string& field, double unbounded,
                   DecimalFormat decimal) {
  if (text.find_first_not_of(" \t") == std::string::npos) return unbounded;
  return fieldNumber(text, field, decimal);
}

std::string boundText(double bound, DecimalFormat decimal) {
  return std::isinf(bound) ? std::string() : formatFieldNumber(bound, decimal);
}

// The layers the rows stand for; the rows must be the layout of a model
// with that many layers, row for row.
std::size_t layerCount(const FitTexts& texts) {
  std::size_t layers = 0;
  for (const FitParameterTexts& row : texts.parameters) {
    if (row.layer >= 0) layers = std::max(layers, static_cast<std::size_t>(row.layer) + 1);
  }
  SampleModel shape;
  shape.layers.resize(layers);
  const ParameterLayout layout(jointModelOf(shape));
  bool complete = layout.size() == texts.parameters.size();
  for (std::size_t i = 0; complete && i < layout.size(); ++i) {
    complete = layout[i].kind == texts.parameters[i].kind &&
               layout[i].layer == texts.parameters[i].layer;
  }
  if (!complete) {
    throw CommandError("The Fit window's table is incomplete: load or propose a model again.");
  }
  return layers;
}

// Names the rows after their places in the layout of a model with `layers` layers.
void nameRows(FitTexts& texts, std::size_t layers) {
  SampleModel shape;
  shape.layers.resize(layers);
  const ParameterLayout layout(jointModelOf(shape));
  for (std::size_t i = 0; i < layout.size(); ++i) {
    texts.parameters[i].name = layout[i].name;
    texts.parameters[i].kind = layout[i].kind;
    texts.parameters[i].layer = layout[i].layer;
    texts.parameters[i].unit = parameterUnit(layout[i].kind);
  }
}

bool isWidth(ParameterKind kind) {
  return kind == ParameterKind::TopWidth || kind == ParameterKind::BottomWidth ||
         kind == ParameterKind::LorentzianWidth || kind == ParameterKind::GaussianWidth;
}

FitParameterTexts rowText(const FitParameter& parameter, DecimalFormat decimal) {
  FitParameterTexts row;
  row.value = formatFieldNumber(parameter.value, decimal);
  row.free = parameter.free;
  row.min = boundText(parameter.min, decimal);
  row.max = boundText(parameter.max, decimal);
  return row;
}

// A start model with the program's grid, contamination, display constants,
// widths and Convolve, and no layer yet.
SampleModel modelFromProgram(const CommandContext& context) {
  const DepthProfile& profile = context.state.currentProfile;
  const ParameterBlock& parameters = context.state.parameterBlock;
  SampleModel model;
  model.maxDepth = profile.maximumDepth();
  model.step = profile.step;
  model.contamination = profile.contaminationDepth;
  model.multiplier = {parameters.multiplier, true, 0.0, kInfinity};
  model.background = {parameters.background, false, 0.0, kInfinity};
  model.energyShift = {parameters.energyShift};
  model.convolve = context.texts.drawProfile.convolve;
  model.lorentzianWidth = {parameters.lorentzianWidth, false, 0.0, kInfinity};
  model.gaussianWidth = {parameters.gaussianWidth, false, 0.0, kInfinity};
  return model;
}

// Positions free within the grid, the widths fixed (what the depth
// resolution cannot see is better fixed than fitted), the concentration free
// except in the first layer, whose scale the multiplier already carries.
LayerModel startLayer(double from, double to, double concentration, double maxDepth, bool first) {
  LayerModel layer;
  layer.from = {from, true, 0.0, maxDepth};
  layer.to = {to, true, 0.0, maxDepth};
  layer.concentration = {concentration, !first, 0.0, kInfinity};
  layer.topWidth = {0.0, false, 0.0, kInfinity};
  layer.bottomWidth = {0.0, false, 0.0, kInfinity};
  return layer;
}

// The depth where the profile crosses `level` between points i-1 and i.
double crossingDepth(const DepthProfile& profile, std::size_t i, double level) {
  const double before = profile.values[i - 1];
  const double after = profile.values[i];
  return (static_cast<double>(i - 1) + (level - before) / (after - before)) * profile.step;
}

}  // namespace

std::string parameterUnit(ParameterKind kind) {
  switch (kind) {
    case ParameterKind::From:
    case ParameterKind::To:
      return "µg/cm² (depth)";
    case ParameterKind::TopWidth:
    case ParameterKind::BottomWidth:
      return "µg/cm² (σ of the edge)";
    case ParameterKind::Concentration:
      return "relative (profile scale)";
    case ParameterKind::Multiplier:
      return "counts per unit of curve";
    case ParameterKind::Background:
      return "counts";
    case ParameterKind::EnergyShift:
      return "keV";
    case ParameterKind::LorentzianWidth:
      return "eV";
    case ParameterKind::GaussianWidth:
      return "eV (2σ of the beam)";
  }
  return {};
}

SampleModel sampleModelFromTexts(const FitTexts& texts, DecimalFormat decimal) {
  SampleModel model;
  model.maxDepth = fieldNumber(texts.maxDepth, "Max depth", decimal);
  model.step = fieldNumber(texts.step, "Step", decimal);
  model.contamination = fieldNumber(texts.contamination, "Contamination", decimal);
  model.convolve = texts.convolve;
  model.statistic = texts.statistic;
  const bool noFrom = texts.rangeFrom.find_first_not_of(' ') == std::string::npos;
  const bool noTo = texts.rangeTo.find_first_not_of(' ') == std::string::npos;
  if (noFrom != noTo) {
    throw CommandError("Give both ends of the energy range, or neither to fit every point.");
  }
  if (!noFrom) {
    model.energyRange = std::make_pair(fieldNumber(texts.rangeFrom, "Energy from", decimal),
                                       fieldNumber(texts.rangeTo, "Energy to", decimal));
  }
  model.layers.resize(layerCount(texts));
  JointModel joint = jointModelOf(model);
  const ParameterLayout layout(joint);
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const FitParameterTexts& row = texts.parameters[i];
    FitParameter& parameter = layout.at(joint, i);
    const std::string& name = layout[i].name;
    parameter.value = fieldNumber(row.value, name, decimal);
    parameter.free = row.free;
    parameter.min = boundNumber(row.min, name + " min", -kInfinity, decimal);
    parameter.max = boundNumber(row.max, name + " max", kInfinity, decimal);
    // A negative width turns an edge over: a freed width without a lower
    // bound stops at a sharp edge instead.
    if (parameter.free && isWidth(layout[i].kind)) parameter.min = std::max(parameter.min, 0.0);
  }
  return sampleModelOf(joint);
}

void showSampleModel(FitTexts& texts, const SampleModel& model, DecimalFormat decimal) {
  texts.maxDepth = formatFieldNumber(model.maxDepth, decimal);
  texts.step = formatFieldNumber(model.step, decimal);
  texts.contamination = formatFieldNumber(model.contamination, decimal);
  texts.convolve = model.convolve;
  texts.statistic = model.statistic;
  texts.rangeFrom = model.energyRange ? formatFieldNumber(model.energyRange->first, decimal) : "";
  texts.rangeTo = model.energyRange ? formatFieldNumber(model.energyRange->second, decimal) : "";
  const JointModel joint = jointModelOf(model);
  const ParameterLayout layout(joint);
  texts.parameters.clear();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    texts.parameters.push_back(rowText(layout.at(joint, i), decimal));
  }
  nameRows(texts, model.layers.size());
}

SampleModel tableSampleModel(const CommandContext& context) {
  SampleModel model = sampleModelFromTexts(context.texts.fit, context.decimal);
  model.resonance = context.state.resonance;
  return model;
}

SampleModel checkedTableSampleModel(const CommandContext& context) {
  SampleModel model = tableSampleModel(context);
  if (const std::optional<std::string> fault = modelFault(model)) throw FitError(*fault);
  return model;
}

SampleModel proposeSampleModel(const CommandContext& context) {
  const DepthProfile& profile = context.state.currentProfile;
  SampleModel model = modelFromProgram(context);
  const double peak = profile.values.empty()
                          ? 0.0
                          : *std::max_element(profile.values.begin(), profile.values.end());
  if (!(peak > 0.0)) {
    throw CommandError("The current profile is empty: draw it first, or type the layers.");
  }
  const double half = peak / 2.0;
  const std::size_t n = profile.values.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (profile.values[i] < half) continue;
    std::size_t last = i;
    double sum = 0.0;
    for (; last < n && profile.values[last] >= half; ++last) sum += profile.values[last];
    const double from = i == 0 ? 0.0 : crossingDepth(profile, i, half);
    const double to = last == n ? model.maxDepth : crossingDepth(profile, last, half);
    model.layers.push_back(startLayer(from, to, sum / static_cast<double>(last - i), model.maxDepth,
                                      model.layers.empty()));
    i = last;
  }
  return model;
}

SampleModel oneLayerSampleModel(const CommandContext& context) {
  SampleModel model = modelFromProgram(context);
  const double to = std::min(1.5, model.maxDepth);
  model.layers.push_back(startLayer(std::min(0.5, to), to, 1.0, model.maxDepth, true));
  return model;
}

void appendLayerRows(FitTexts& texts, DecimalFormat decimal) {
  const std::size_t layers = layerCount(texts);
  double from = 0.0;
  double maxDepth = kInfinity;
  // The new layer starts where the last one ends.
  const auto lastTo = std::find_if(texts.parameters.begin(), texts.parameters.end(),
                                   [&](const FitParameterTexts& row) {
                                     return row.kind == ParameterKind::To &&
                                            row.layer + 1 == static_cast<int>(layers);
                                   });
  // Unreadable fields only cost the new layer its sensible start.
  try {
    maxDepth = parseFieldDouble(texts.maxDepth, decimal);
    if (lastTo != texts.parameters.end()) from = parseFieldDouble(lastTo->value, decimal);
  } catch (const CommandError&) {
  }
  const LayerModel layer =
      startLayer(std::min(from, maxDepth), std::min(from + 1.0, maxDepth), 1.0, maxDepth, false);
  const std::vector<FitParameterTexts> rows = {
      rowText(layer.from, decimal), rowText(layer.to, decimal),
      rowText(layer.concentration, decimal), rowText(layer.topWidth, decimal),
      rowText(layer.bottomWidth, decimal)};
  // After the last layer's rows, before the constants'.
  const auto constants = std::find_if(texts.parameters.begin(), texts.parameters.end(),
                                      [](const FitParameterTexts& row) { return row.layer < 0; });
  texts.parameters.insert(constants, rows.begin(), rows.end());
  nameRows(texts, layers + 1);
}

void eraseLayerRows(FitTexts& texts, int layer) {
  const std::size_t layers = layerCount(texts);
  if (layers == 0) throw CommandError("There is no layer to remove.");
  const int removed =
      layer >= 0 && static_cast<std::size_t>(layer) < layers ? layer : static_cast<int>(layers) - 1;
  std::erase_if(texts.parameters,
                [removed](const FitParameterTexts& row) { return row.layer == removed; });
  nameRows(texts, layers - 1);
}
