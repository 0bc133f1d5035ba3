#pragma once

#include <string>
#include <vector>

#include "commands/command_context.h"
#include "commands/fit_job.h"
#include "fit/profile_band.h"

// What the Fit window, the main chart and the profile chart show of a job:
// its progress while it runs, and at its end its results, or the state from
// before it when it was stopped.

// One iteration: its number and chi2/nu in the window, the curve when given.
void showFitProgress(CommandContext& context, int iteration, double reducedChi2,
                     const ChartSeries* curve);
void showFitStatus(CommandContext& context, const std::string& line);
// The window's list of warnings, repainted.
void showFitWarnings(CommandContext& context, std::vector<std::string> warnings);

// The fitted profile becomes the current one (the one before goes to the undo
// copy), the display constants and widths take the fitted values, the curve is
// calculated and drawn as Calculate draws it, and the window shows the results.
// A cancelled result is abandoned.
void finishFit(CommandContext& context, const PreparedFit& prepared, FitResult result);
// As finishFit for a fit; a free-form profile becomes the current one in the
// same way, with its band; a posterior leaves the profile and shows its band.
// What the results of the jobs before showed goes, for a model they were not
// about: the results and the progress line, the residuals, both bands, and
// with `newData` the curve drawn for the data before.
void forgetFitResults(CommandContext& context, bool newData);

void finishFitJob(CommandContext& context, const PreparedFit& prepared, FitOutcome outcome);
void abandonFit(CommandContext& context, const PreparedFit& prepared);

// The warnings of the shown result: a fit's or a free-form profile's own, a
// posterior's after those of the fit it was sampled around.
std::vector<std::string> shownWarnings(const FitTexts& texts);

// A profile's 16-84% band as the profile chart draws it, named in the legend
// by `name` (empty for an empty band).
void fillChartBand(ChartBand& chart, const ProfileBand& band, const char* name);
