#pragma once

#include <array>
#include <optional>
#include <string>

#include "fit/fit_result.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_posterior.h"
#include "state/target_composition.h"

// A fit's results as text for people: the window's result column and the
// plain-text table that "Copy results" puts on the clipboard. Numbers are
// written with "." whatever the desktop's separator, so that they paste alike.

// "value ± error" rounded to the error's second significant digit,
// "value ± undetermined" without an error, "value (fixed)" for a fixed one.
std::string estimateText(double value, const std::optional<double>& error, bool free);
// With a profile-likelihood interval: "value ± e" when its sides agree within
// a tenth, else "value −a/+b", "?" for a side the data do not limit.
std::string estimateText(const EstimatedValue& estimate);

// The batch interface's summary of a value: "value +/- error" (the error to
// two significant digits, or "undetermined"), after `name` and a blank.
std::string summaryValue(const std::string& name, const EstimatedValue& value);

// The batch interface's summary of each measurement of a model that lists
// them: "; NAME: chi2 C over N points, reduced chi2 R" (R its chi2 per its
// share of the dof), one after the other; nothing for a result of one
// unnamed measurement.
std::string measurementsText(const EstimateSummary& result);

// True when `text` names the parameter as a whole word ("layer1.to" is not
// named by "layer1.top_width").
bool mentionsParameter(const std::string& text, const std::string& name);

// How the fit ended, chi2 and its degrees of freedom, every parameter and
// derived quantity, the correlation matrix and the warnings. With the
// target's composition known, each amount also as atoms/cm2 of its element.
std::string fitResultsTable(const FitResult& result,
                            const std::optional<TargetComposition>& target = std::nullopt);

// A free-form profile's alpha, chi2 and its effective degrees of freedom, the
// background, amount (as atoms/cm2 too with the target known) and centroid,
// and the warnings.
std::string inversionResultsTable(const InversionResult& result,
                                  const std::optional<TargetComposition>& target = std::nullopt);

// The 16th, 50th and 84th percentiles, each to the decimal that shows the
// half-width of the 16-84% interval to its second significant digit.
std::array<std::string, 3> percentileTexts(const PosteriorInterval& interval);

// The sampler's ensembles, walkers, steps, acceptance and whether it
// converged, the 16/50/84% percentiles of every parameter and derived
// quantity with their autocorrelation times and split R-hat, and the warnings.
std::string posteriorResultsTable(const LayerPosterior& posterior);
