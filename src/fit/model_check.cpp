#include "fit/model_check.h"

#include <cmath>
#include <string>
#include <vector>

#include "fit/fit_error.h"
#include "fit/number_text.h"
#include "fit/parameter_layout.h"

namespace {

// The most grid steps a profile may hold: beyond it a profile alone would
// take most of a machine's memory.
constexpr double kMostSteps = 1e7;

}  // namespace

bool layersInOrder(const Sample& sample) {
  double deepest = -INFINITY;
  for (const LayerModel& l : sample.layers) {
    if (l.from.value > l.to.value || l.from.value < deepest) return false;
    deepest = l.from.value;
  }
  return true;
}

std::optional<std::string> sampleGridFault(const Sample& sample) {
  if (!(sample.step > 0.0) || !std::isfinite(sample.step)) {
    return "\"step\" must be greater than 0 ug/cm2.";
  }
  if (!(sample.maxDepth > 0.0) || !std::isfinite(sample.maxDepth)) {
    return "\"max_depth\" must be greater than 0 ug/cm2.";
  }
  if (sample.maxDepth < sample.step) return "\"max_depth\" must be at least one \"step\".";
  if (sample.maxDepth / sample.step > kMostSteps) {
    return "\"max_depth\" must hold at most 10 000 000 steps.";
  }
  if (!(sample.contamination >= 0.0)) return "\"contamination\" must not be negative.";
  if (!(sample.contamination < sample.maxDepth)) {
    return "\"contamination\" must lie above \"max_depth\".";
  }
  return std::nullopt;
}

namespace {

std::optional<std::string> parameterFault(const FitParameter& p, const std::string& name) {
  if (!std::isfinite(p.value)) return name + " must be a finite number.";
  if (p.min > p.max)
    return name + ": min " + shortestText(p.min) + " is above max " + shortestText(p.max) + ".";
  if (!p.free) return std::nullopt;
  if (!(p.min < p.max)) return name + " is free but its bounds leave it no room: min equals max.";
  if (!(p.value >= p.min && p.value <= p.max)) {
    return name + ": the value " + shortestText(p.value) + " lies outside its bounds [" +
           shortestText(p.min) + ", " + shortestText(p.max) + "].";
  }
  return std::nullopt;
}

std::optional<std::string> layerFault(const LayerModel& layer, std::size_t index) {
  const auto fault = [&] { return "layer" + std::to_string(index + 1); };
  if (layer.from.value >= 0.0 && layer.from.value <= layer.to.value &&
      layer.topWidth.value >= 0.0 && layer.bottomWidth.value >= 0.0) {
    return std::nullopt;
  }
  const std::string name = fault();
  if (layer.from.value < 0.0) return name + ".from lies above the surface (below 0).";
  if (layer.from.value > layer.to.value) {
    return name + ".from (" + shortestText(layer.from.value) + ") lies after " + name + ".to (" +
           shortestText(layer.to.value) + ").";
  }
  if (layer.topWidth.value < 0.0) return name + ".top_width must not be negative.";
  if (layer.bottomWidth.value < 0.0) return name + ".bottom_width must not be negative.";
  return std::nullopt;
}

std::optional<std::string> measurementFault(const MeasurementModel& m,
                                            const ParameterLayout& layout, std::size_t index) {
  // A measurement's own keys carry the prefix its parameters' names carry.
  const auto prefixed = [&](const char* key) {
    for (const ParameterSlot& slot : layout.entries()) {
      if (slot.measurement == static_cast<int>(index) && slot.kind == ParameterKind::Multiplier) {
        return slot.name.substr(0, slot.name.size() - std::string("multiplier").size()) + key;
      }
    }
    return std::string(key);
  };
  for (const auto& [key, width] : {std::pair{"lorentzian_width", &m.lorentzianWidth},
                                   std::pair{"gaussian_width", &m.gaussianWidth}}) {
    if (!(width->value > 0.0)) return "\"" + prefixed(key) + "\" must be greater than 0 eV.";
  }
  if (!(m.tilt >= 0.0 && m.tilt < 90.0)) {
    return "\"" + prefixed("tilt") +
           "\" must be at least 0 and below 90 degrees from the surface normal, not " +
           shortestText(m.tilt) + ".";
  }
  if (!m.convolve && (m.lorentzianWidth.free || m.gaussianWidth.free)) {
    return "a broadening width is free, but \"convolve\" is false.";
  }
  if (m.resonance.kind == ResonanceKind::File && m.lorentzianWidth.free) {
    return "\"" + prefixed("lorentzian_width") +
           "\" is free, but the resonance is a cross-section file: its line shape is the file's.";
  }
  if (m.energyRange && !(m.energyRange->first < m.energyRange->second)) {
    return "\"" + prefixed("energy_range") +
           "\" must be two increasing energies [low, high] in keV.";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> modelFault(const JointModel& model) {
  return modelFault(model, ParameterLayout(model));
}

std::optional<std::string> modelFault(const JointModel& model, const ParameterLayout& layout) {
  if (auto fault = sampleGridFault(model.sample)) return fault;
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (auto fault = parameterFault(layout.at(model, i), layout[i].name)) return fault;
  }
  for (std::size_t k = 0; k < model.sample.layers.size(); ++k) {
    if (auto fault = layerFault(model.sample.layers[k], k)) {
      return fault;
    }
  }
  for (std::size_t m = 0; m < model.measurements.size(); ++m) {
    if (auto fault = measurementFault(model.measurements[m], layout, m)) return fault;
  }
  return std::nullopt;
}

std::optional<std::string> modelFault(const SampleModel& model) {
  return modelFault(jointModelOf(model));
}

void checkModel(const JointModel& model) {
  if (const std::optional<std::string> fault = modelFault(model)) throw FitError(*fault);
}

bool isMeasurementName(const std::string& name) {
  return !name.empty() && name.find_first_of(". \t") == std::string::npos;
}

std::optional<std::string> pointCountFault(std::size_t points, std::size_t free,
                                           const char* where) {
  if (points == 0) return std::string("No measured point lies ") + where + ".";
  if (points < free) {
    return "Only " + std::to_string(points) + " measured points lie " + where +
           ", fewer than the " + std::to_string(free) + " free parameters.";
  }
  return std::nullopt;
}

std::optional<std::string> measurementDataFault(const Measurement& measurement) {
  if (measurement.set == nullptr || measurement.set->size() < 2) {
    return std::string(kNoAutoconvolutions) + ".";
  }
  if (!(measurement.collisionRate > 0.0) || !std::isfinite(measurement.collisionRate)) {
    return "The collision rate must be a positive number.";
  }
  return std::nullopt;
}

namespace {

std::optional<std::string> namesFault(const SampleProblem& problem) {
  if (problem.measurements.size() < 2) return std::nullopt;
  std::vector<std::string> before;
  for (const Measurement& m : problem.measurements) {
    if (!isMeasurementName(m.name)) {
      return "A measurement's name is a word without dots or spaces, not \"" + m.name + "\".";
    }
    for (const std::string& other : before) {
      if (other == m.name) return "Two measurements are named " + m.name + ".";
    }
    before.push_back(m.name);
  }
  return std::nullopt;
}

std::optional<std::string> errorsFault(const Measurement& measurement) {
  if (measurement.model.statistic != FitStatistic::Errors) return std::nullopt;
  for (const ExperimentalPoint& p : measurement.points) {
    if (!measurement.model.inRange(p.energy)) continue;
    if (!(p.error > 0.0f)) {
      return "The statistic \"errors\" needs a positive error (a third column) for every "
             "measured point; the point at " +
             significantText(p.energy, 7) + " keV has none.";
    }
  }
  return std::nullopt;
}

// Poisson and Neyman weigh a point by its count of events, which cannot be
// negative: a negative one is taken as none, and a fit to background-
// subtracted data would silently go wrong.
std::optional<std::string> negativeCountFault(const Measurement& measurement) {
  const FitStatistic statistic = measurement.model.statistic;
  if (statistic != FitStatistic::Poisson && statistic != FitStatistic::Neyman) return std::nullopt;
  for (const ExperimentalPoint& p : measurement.points) {
    if (!measurement.model.inRange(p.energy) || !(p.yield < 0.0f)) continue;
    std::string where = "The measured point at " + significantText(p.energy, 7) + " keV";
    if (p.line > 0) {
      where = (measurement.dataFile.empty() ? "Line " : measurement.dataFile + ", line ") +
              std::to_string(p.line);
    }
    return where + " holds " + significantText(p.yield, 7) + " counts, but the statistic \"" +
           kStatisticNames[static_cast<int>(statistic)] +
           "\" takes counts of events, which are never negative. For background-subtracted "
           "data, where negative counts are legal, choose the statistic \"errors\" (with a "
           "third column of errors) or \"equal\".";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> problemFault(const SampleProblem& problem) {
  const JointModel model = problem.model();
  const ParameterLayout layout(model, problem.measurementNames());
  if (auto fault = modelFault(model, layout)) return fault;
  if (auto fault = namesFault(problem)) return fault;
  std::size_t inRange = 0;
  for (const Measurement& m : problem.measurements) {
    if (m.set == nullptr || m.set->size() < 2) return std::string(kNoAutoconvolutions) + ".";
    for (const ExperimentalPoint& p : m.points) inRange += m.model.inRange(p.energy) ? 1 : 0;
  }
  if (auto fault =
          pointCountFault(inRange, layout.freeIndices(model).size(), "in the energy range")) {
    return fault;
  }
  for (const Measurement& m : problem.measurements) {
    if (auto fault = errorsFault(m)) return fault;
    if (auto fault = negativeCountFault(m)) return fault;
  }
  for (const Measurement& m : problem.measurements) {
    if (auto fault = measurementDataFault(m)) return fault;
  }
  return std::nullopt;
}
