#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "commands/chart_data.h"
#include "fit/fit_result.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_posterior.h"
#include "fit/sample_model.h"
#include "state/depth_profile.h"

// One row of the Fit window's table: a parameter of the sample model as typed.
struct FitParameterTexts {
  std::string name;  // "layer1.from", ..., "gaussian_width"
  ParameterKind kind = ParameterKind::From;
  int layer = -1;    // the layer (from 0) of a layer's row
  std::string unit;  // what its numbers count, for the table's Unit column
  std::string value;
  bool free = false;
  std::string min;  // empty: unbounded
  std::string max;  // empty: unbounded
  // After a fit: "value ± error", "value ± undetermined" or "value (fixed)".
  std::string result;
  // The warnings of the last fit that name this parameter, one per line.
  std::string warning;
  bool operator==(const FitParameterTexts&) const = default;
};

// One measurement of the sample in the Fit window's list. The first is the
// program's own: the loaded set and measured data, drawn on the main chart as
// always; the others are read from their files when a job starts.
struct FitMeasurementTexts {
  std::string name = "first";  // what its own parameters' names carry
  std::string autos;           // .flt; the first's only when a model named it
  std::string data;
  std::string tilt = "0";   // degrees from the surface normal
  std::string reducedChi2;  // its chi2/nu in the last joint result
  // The parameters it holds of its own rather than sharing the table's
  // (MeasurementModel::shared false), with their values: a loaded model's.
  std::optional<MeasurementModel> own;
  bool operator==(const FitMeasurementTexts&) const = default;
};

// What a job's outcome replaced when it became the program's: the profile and
// the display and broadening constants, so that Undo brings them back together.
struct AdoptionUndo {
  DepthProfile profile;
  double multiplier = 1.0;
  double background = 0.0;
  double energyShift = 0.0;
  double lorentzianWidth = 100.0;
  double gaussianWidth = 100.0;
  bool convolve = true;
  AxisRange concentrationAxis;  // the profile chart's
  bool operator==(const AdoptionUndo&) const = default;
};

// What the Fit window shows the results of: the last job that ran.
using FitJobResult = std::variant<FitResult, InversionResult, LayerPosterior>;

// The Fit window's fields, table and results. The table lists the model's
// parameters in the layout's order: five rows per layer, then the five
// display and broadening constants.
struct FitTexts {
  std::string maxDepth = "10";      // ug/cm2
  std::string step = "0.005";       // ug/cm2
  std::string contamination = "0";  // ug/cm2
  bool convolve = true;
  FitStatistic statistic = FitStatistic::Poisson;
  // Measured energies (keV) taken into the fit; both empty: every point.
  std::string rangeFrom;
  std::string rangeTo;
  // Depth regions (ug/cm2) whose amounts and centroids a free-form profile
  // reports: "0:1, 1:2.5" (commands/depth_regions.h); empty: none.
  std::string regions;
  std::vector<FitParameterTexts> parameters;
  // The measurements of the sample, the program's own first: never empty.
  std::vector<FitMeasurementTexts> measurements{FitMeasurementTexts{}};
  // The one the main chart shows (from 0), and the tilt "Add" gives the next.
  std::size_t shownMeasurement = 0;
  std::string newTilt = "0";
  // "Sample posterior": its steps per walker ("auto": until converged) and seed.
  std::string posteriorSteps = "auto";
  std::string posteriorSeed = "1";
  std::string progress;  // iteration and reduced chi2 of a running fit, or how it ended
  std::string results;   // the shown results as a plain-text table
  // The last layer fit, which "Sample posterior" samples around.
  std::shared_ptr<const FitResult> lastResult;
  // The last job's result, whichever it was: what the window shows, what
  // "Save results" writes and whose warnings the window lists.
  std::shared_ptr<const FitJobResult> shownResult;
  // The warnings the window lists: the last job's (shownWarnings), cleared
  // when a job starts and when a model is loaded.
  std::vector<std::string> warnings;
  // What the last adopted fit or free-form profile replaced.
  std::optional<AdoptionUndo> adoptionUndo;
  // The names the model and results dialogs last confirmed.
  std::string modelFile;
  std::string resultsFile;
  bool operator==(const FitTexts&) const = default;
};
