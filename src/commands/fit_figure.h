#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/chart_data.h"
#include "commands/command_context.h"
#include "files/sample_model_file.h"
#include "state/depth_profile.h"
#include "state/parameter_block.h"

// What a figure shows of a fit: one object of the result JSON of
// "tervane-cli fit" (of an array, the one whose "data" is `dataFile`, else
// the first).
struct FitFigureSummary {
  // The text box: the fit's quality, each layer's amount and centroid rounded
  // to their errors ("0.62 ± 0.12"; "undetermined" for an error that is null)
  // and every warning in short.
  std::string text;
  // The constants and broadening widths the fit ended with, those it holds;
  // of a fit of several measurements, the first one's.
  std::optional<double> multiplier, background, energyShift, lorentzianWidth, gaussianWidth;
};

// FileError when the file cannot be read or is no fit result.
FitFigureSummary readFitFigureSummary(const std::string& path, const std::string& dataFile);
FitFigureSummary fitFigureSummary(const std::string& resultJson, const std::string& dataFile);

// The fit's constants and widths in place of those of `parameters`, so that
// Calculate draws the fit's own curve.
void applyFitConstants(const FitFigureSummary& summary, ParameterBlock& parameters);

// A warning as a figure shows it: what it says before its explanation (the
// first ": ", " (" or ". "), and no longer than kShortWarningLength characters.
inline constexpr std::size_t kShortWarningLength = 64;
std::string shortWarning(const std::string& warning);

// The summary of the layer fit the charts show, for the window's figures: the
// last fit's while the current profile is the one it found (a free-form
// profile or a drawn one is not); empty otherwise.
std::string shownFitSummary(const CommandContext& context);

// The figure of a fit of a model that lists its measurements: for each
// measurement (in the model's order) a main chart of its data and its curve,
// made from the fitted profile with its own constants, widths and tilt (its
// parameters read under its prefixed names, the shared ones under their plain
// names), and the text of its box: its chi2/nu and points, then on the first
// the fit's summary; and the fitted profile. Values the result lacks stay the
// model's. CommandError when the model lists no measurements, FileError when
// a file it names cannot be read.
struct JointFitFigure {
  std::vector<MainChartData> charts;
  std::vector<std::string> notes;
  DepthProfile profile;
};
JointFitFigure jointFitFigure(const SampleModelDocument& document, const std::string& resultJson);
JointFitFigure readJointFitFigure(const SampleModelDocument& document, const std::string& path);
