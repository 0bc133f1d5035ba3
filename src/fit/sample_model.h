#pragma once

#include <array>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fit/parameter_kind.h"
#include "state/resonance_shape.h"

// One number of a model: fixed, or free within [min, max].
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
// Their names in model files and results, indexed by FitStatistic.
inline constexpr const char* kStatisticNames[] = {"poisson", "neyman", "errors", "equal"};

// The sample alone: the depth grid its profile is rendered on, the
// contamination layer and the layers.
struct Sample {
  double maxDepth = 10.0;      // ug/cm2
  double step = 0.005;         // ug/cm2
  double contamination = 0.0;  // ug/cm2
  std::vector<LayerModel> layers;
  bool operator==(const Sample&) const = default;
};

// What belongs to one measurement of a sample: the constants that turn its
// excitation curve into counts, the line shape (the resonance's, by default
// the Lorentzian of lorentzianWidth, and then the beam's Gaussian, both only
// when convolve is on), the measured energies taken into a fit, the statistic
// they are weighed with, and the sample's tilt.
struct MeasurementModel {
  FitParameter multiplier{1.0};
  FitParameter background{0.0};   // counts
  FitParameter energyShift{0.0};  // keV, added to the measured energies
  bool convolve = true;
  FitParameter lorentzianWidth{100.0};  // eV
  FitParameter gaussianWidth{100.0};    // eV
  std::optional<std::pair<double, double>> energyRange;  // keV, measured energies
  FitStatistic statistic = FitStatistic::Poisson;
  // Degrees from the surface normal, 0 <= tilt < 90: the beam crosses depth z
  // along a path z / cos(tilt), so the measurement sees the profile stretched
  // by 1/cos(tilt) (pathStretch). Not a fitted number.
  double tilt = 0.0;
  // The resonance's line shape (model/resonance_broadening.h). Not a fitted number.
  ResonanceShape resonance;
  // Per parameter kind (multiplier, background, energy_shift,
  // lorentzian_width, gaussian_width, in that order): whether the
  // measurement takes the value it shares with every other measurement that
  // shares it (one parameter, plain name) rather than holding its own.
  std::array<bool, kMeasurementParameterKinds> shared{};
  bool operator==(const MeasurementModel&) const = default;

  // Whether a measured energy (keV, before the shift) is taken into a fit.
  bool inRange(double energyKev) const {
    return !energyRange || (energyKev >= energyRange->first && energyKev <= energyRange->second);
  }
};

// A sample seen by one measurement: what a model file holds and the Fit
// window's table shows.
struct SampleModel : Sample, MeasurementModel {
  bool operator==(const SampleModel&) const = default;
};

// A sample with the own numbers of each of its measurements: the values every
// estimator moves.
struct JointModel {
  Sample sample;
  std::vector<MeasurementModel> measurements;
  bool operator==(const JointModel&) const = default;
};
JointModel jointModelOf(const SampleModel& model);
// The sample with its first measurement's numbers.
SampleModel sampleModelOf(const JointModel& model);

// A layer's or a measurement's number of the given kind.
FitParameter& layerParameter(LayerModel& layer, ParameterKind kind);
const FitParameter& layerParameter(const LayerModel& layer, ParameterKind kind);
FitParameter& measurementParameter(MeasurementModel& measurement, ParameterKind kind);
const FitParameter& measurementParameter(const MeasurementModel& measurement, ParameterKind kind);

// The parameters of a one-measurement model in the layout's order, with
// their names ("layer1.from", ..., "gaussian_width").
struct NamedParameter {
  std::string name;
  FitParameter* parameter = nullptr;
};
std::vector<NamedParameter> namedParameters(SampleModel& model);
std::vector<std::string> parameterNames(const SampleModel& model);
