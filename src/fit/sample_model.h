#pragma once

#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One number of a sample model: fixed, or free within [min, max].
struct FitParameter {
  double value = 0.0;
  bool free = false;
  double min = -std::numeric_limits<double>::infinity();
  double max = std::numeric_limits<double>::infinity();
  bool operator==(const FitParameter&) const = default;
};

// c(z) = concentration * Phi((z - from)/topWidth) * (1 - Phi((z - to)/bottomWidth)),
// depths and widths in ug/cm2; a width of 0 is a sharp edge.
struct LayerModel {
  FitParameter from;
  FitParameter to;
  FitParameter concentration{1.0};
  FitParameter topWidth;
  FitParameter bottomWidth;
  bool operator==(const LayerModel&) const = default;
};

enum class FitStatistic { Poisson, Neyman, Errors, Equal };

// A depth profile described by layers, with the display and broadening
// constants that turn its excitation curve into counts.
struct SampleModel {
  double maxDepth = 10.0;      // ug/cm2
  double step = 0.005;         // ug/cm2
  double contamination = 0.0;  // ug/cm2
  std::vector<LayerModel> layers;
  FitParameter multiplier{1.0};
  FitParameter background{0.0};   // counts
  FitParameter energyShift{0.0};  // keV, added to the measured energies
  bool convolve = true;
  FitParameter lorentzianWidth{100.0};  // eV
  FitParameter gaussianWidth{100.0};    // eV
  std::optional<std::pair<double, double>> energyRange;  // keV, measured energies
  FitStatistic statistic = FitStatistic::Poisson;
  bool operator==(const SampleModel&) const = default;
};

// The model's parameters in one fixed order: for each layer from, to,
// concentration, top_width, bottom_width; then multiplier, background,
// energy_shift, lorentzian_width, gaussian_width. Names as results give them
// ("layer1.from", ..., "gaussian_width").
struct NamedParameter {
  std::string name;
  FitParameter* parameter = nullptr;
};
std::vector<NamedParameter> namedParameters(SampleModel& model);
std::vector<std::string> parameterNames(const SampleModel& model);
