#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "commands/command_context.h"
#include "files/sample_model_file.h"
#include "fit/fit_result.h"
#include "fit/measurement.h"

// The Fit window's list of the measurements of one sample
// (FitTexts::measurements). The first is the program's own: the loaded set
// and measured data, with the tilt typed in its row; every other names its
// data and .flt files, read when a job starts. With more than one, Fit,
// Free-form and Sample posterior run on all of them at once, the model's
// constants shared by all unless a loaded model gave a measurement its own.

// "Add": the tilt typed beside the button (refused outside [0, 90) before
// any dialog), then a measured-data file and a .flt file, each read to be
// sure it can be used. The row is named after the data file. A cancelled
// dialog or a refused file leaves the list as it was.
void addFitMeasurement(CommandContext& context);
// "Remove": row `row` (from 1), or the last one when out of range; the first
// stays. The main chart goes back to the first when the row was shown.
void removeFitMeasurement(CommandContext& context, int row);
// Choosing a row: the main chart shows that measurement's points and its
// curve from the current profile (with the last fit's constants while the
// profile is that fit's); the first's chart is the program's own, put back.
void showFitMeasurement(CommandContext& context, std::size_t row);

// The measurements as a model's entries: the table's constants (`table`)
// with what each holds of its own and its tilt, the first's files those the
// program loaded last (empty when it loaded none). CommandError for a name
// that is empty, repeated or holds a dot or space, or a tilt that is not a
// number or not in [0, 90).
std::vector<MeasurementEntry> fitMeasurementEntries(const CommandContext& context,
                                                    const SampleModel& table);

// What a job runs on: the table's sample seen by the program's own
// measurement (measurementFromState) and by every other one, read from its
// files as a model file's are (measurementsFromEntries). With one
// measurement, exactly what a fit of the loaded data always ran on, with the
// first row's tilt.
SampleProblem fitProblemOf(CommandContext& context, const SampleModel& table);

// A joint result in the list: each row's chi2/nu; cleared for any other.
void showMeasurementSummaries(FitTexts& texts, const EstimateSummary& result);

// After a job drew the program's own chart: the row shown before, with
// `model`'s constants and the current profile, when it is not the first; the
// first's curve along its path when it is tilted.
void redrawShownMeasurement(CommandContext& context, const SampleProblem& problem,
                            const JointModel& model);

// "Load model" of a model that lists its measurements: the first entry's
// files are loaded as Load Convolutions (all but its .log, which the caller
// reads last) and Load experimental data load them, then the list holds the entries (each with the constants it holds of
// its own). Every file is read before anything changes. A model without
// measurements leaves one row, with the model's tilt.
void showModelMeasurements(CommandContext& context, const SampleModelDocument& document);
// "Save model": the table's model, with its measurements when the list has
// more than one or a measurement holds constants of its own.
SampleModelDocument fitModelDocument(const CommandContext& context, const SampleModel& table);
