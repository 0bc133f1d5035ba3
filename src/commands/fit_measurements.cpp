#include "commands/fit_measurements.h"

#include <algorithm>
#include <filesystem>
#include <variant>

#include "commands/autoconvolution_commands.h"
#include "commands/command_error.h"
#include "commands/data_commands.h"
#include "commands/field_numbers.h"
#include "commands/fit_job.h"
#include "commands/fit_problem.h"
#include "commands/fit_table.h"
#include "commands/measurement_chart.h"
#include "files/experimental_data_file.h"
#include "files/text_numbers.h"
#include "fit/model_check.h"
#include "fit/parameter_kind.h"

namespace {

// A tilt as typed, refused with the model check's sentence when out of range.
double tiltOf(const std::string& text, const std::string& name, DecimalFormat decimal) {
  SampleModel probe;
  probe.tilt = parseFieldDouble(text, decimal);
  if (const std::optional<std::string> fault = modelFault(probe)) {
    throw CommandError("Measurement " + name + ": " + *fault);
  }
  return probe.tilt;
}

void refuseName(const std::string& name, const std::vector<std::string>& before) {
  if (!isMeasurementName(name)) {
    throw CommandError("A measurement's name is a word without dots or spaces, not \"" + name +
                       "\".");
  }
  for (const std::string& other : before) {
    if (other == name) throw CommandError("Two measurements are named " + name + ".");
  }
}

// The data file's stem as a name no other row has.
std::string nameFor(const std::string& dataFile, const std::vector<FitMeasurementTexts>& rows) {
  std::string stem = std::filesystem::path(dataFile).stem().string();
  for (char& c : stem) {
    if (c == '.' || c == ' ' || c == '\t') c = '_';
  }
  if (stem.empty()) stem = "measurement";
  const auto taken = [&](const std::string& name) {
    for (const FitMeasurementTexts& row : rows) {
      if (row.name == name) return true;
    }
    return false;
  };
  std::string name = stem;
  for (int k = 2; taken(name); ++k) name = stem + "_" + std::to_string(k);
  return name;
}

// The shown row's chart, or the first's put back; nothing changes when the
// row's files cannot be read.
void showChart(CommandContext& context, std::size_t row, std::optional<MainChartData> chart) {
  FitTexts& texts = context.texts.fit;
  std::optional<MainChartData>& first = context.charts.fit.firstMeasurementMain;
  if (texts.shownMeasurement == 0) first = context.charts.main;
  if (row == 0) {
    if (first) context.charts.main = std::move(*first);
    first.reset();
  } else {
    context.charts.main = std::move(*chart);
  }
  texts.shownMeasurement = row;
  context.ui.redraw(View::MainChart);
  context.ui.redraw(View::FitFields);
}

// The constants a row's chart is drawn with: the last fit's, or the shown
// free-form profile's, while the profile is its; else the table's.
MeasurementModel chartModel(const CommandContext& context, const MeasurementEntry& entry,
                            std::size_t row) {
  const std::size_t rows = context.texts.fit.measurements.size();
  const std::shared_ptr<const FitJobResult>& shown = context.texts.fit.shownResult;
  if (const auto* inversion = shown ? std::get_if<InversionResult>(shown.get()) : nullptr) {
    if (inversion->profile == context.state.currentProfile &&
        inversion->joint.measurements.size() == rows) {
      return inversion->joint.measurements[row];
    }
  }
  const std::shared_ptr<const FitResult>& fit = context.texts.fit.lastResult;
  if (fit && fit->profile == context.state.currentProfile && fit->joint.measurements.size() == rows) {
    return fit->joint.measurements[row];
  }
  return entry.model;
}

}  // namespace

void addFitMeasurement(CommandContext& context) {
  refuseWhileFitting(context);
  FitTexts& texts = context.texts.fit;
  const double tilt = tiltOf(texts.newTilt, "to add", context.decimal);
  FileDialogRequest dataDialog = experimentalDataOpenDialog(context.texts.dialogNames.measuredData);
  dataDialog.title = "Add measurement: its measured data";
  const std::optional<std::string> data = context.ui.chooseFileToOpen(dataDialog);
  if (!data) return;
  FileDialogRequest autosDialog = autoconvolutionOpenDialog();
  autosDialog.title = "Add measurement: its autoconvolutions (.flt)";
  const std::optional<std::string> autos = context.ui.chooseFileToOpen(autosDialog);
  if (!autos) return;
  // Read now, so that a file that cannot be used is refused here, not when a fit starts.
  if (readExperimentalDataFile(*data).size() < 2) {
    throw CommandError(*data + " holds no measured points.");
  }
  readAutoconvolutionsForFitting(*autos, context.memory);
  FitMeasurementTexts row;
  row.name = nameFor(*data, texts.measurements);
  row.autos = *autos;
  row.data = *data;
  row.tilt = formatFieldNumber(tilt, context.decimal);
  texts.measurements.push_back(std::move(row));
  context.ui.redraw(View::FitFields);
}

void removeFitMeasurement(CommandContext& context, int row) {
  refuseWhileFitting(context);
  FitTexts& texts = context.texts.fit;
  if (texts.measurements.size() < 2) {
    throw CommandError(
        "The first measurement is the loaded data and convolutions: there is no other to "
        "remove.");
  }
  std::size_t index = texts.measurements.size() - 1;
  if (row >= 1 && static_cast<std::size_t>(row) < texts.measurements.size()) {
    index = static_cast<std::size_t>(row);
  }
  if (texts.shownMeasurement == index) showChart(context, 0, std::nullopt);
  if (texts.shownMeasurement > index) --texts.shownMeasurement;
  texts.measurements.erase(texts.measurements.begin() + static_cast<std::ptrdiff_t>(index));
  context.ui.redraw(View::FitFields);
}

void showFitMeasurement(CommandContext& context, std::size_t row) {
  FitTexts& texts = context.texts.fit;
  if (row >= texts.measurements.size() || row == texts.shownMeasurement) return;
  std::optional<MainChartData> chart;
  if (row > 0) {
    const SampleModel table = sampleModelFromTexts(texts, context.decimal);
    const MeasurementEntry entry = fitMeasurementEntries(context, table)[row];
    const Measurement measurement = measurementsFromEntries({entry}).front();
    chart = measurementChart(measurement, chartModel(context, entry, row),
                             context.state.currentProfile);
  }
  showChart(context, row, std::move(chart));
  // Which of them the chart shows: the status bar named the first's file.
  const std::string& file =
      row == 0 ? context.texts.dialogNames.measuredData : texts.measurements[row].data;
  context.texts.mainStatusMessage = "Main chart: measurement " + texts.measurements[row].name +
                                    (file.empty() ? "" : ", " + file);
  context.ui.redraw(View::MainStatus);
}

std::vector<MeasurementEntry> fitMeasurementEntries(const CommandContext& context,
                                                    const SampleModel& table) {
  const FitTexts& texts = context.texts.fit;
  std::vector<MeasurementEntry> entries;
  std::vector<std::string> names;
  for (const FitMeasurementTexts& row : texts.measurements) {
    refuseName(row.name, names);
    names.push_back(row.name);
    MeasurementEntry entry;
    entry.name = row.name;
    entry.autos = entries.empty() ? context.texts.dialogNames.convolutions : row.autos;
    entry.data = entries.empty() ? context.texts.dialogNames.measuredData : row.data;
    entry.model = table;
    entry.model.shared.fill(true);
    if (row.own) {
      for (ParameterKind kind : kMeasurementKinds) {
        if (row.own->shared[measurementSlot(kind)]) continue;
        measurementParameter(entry.model, kind) = measurementParameter(*row.own, kind);
        entry.model.shared[measurementSlot(kind)] = false;
      }
    }
    entry.model.tilt = tiltOf(row.tilt, row.name, context.decimal);
    entries.push_back(std::move(entry));
  }
  return entries;
}

SampleProblem fitProblemOf(CommandContext& context, const SampleModel& table) {
  const std::vector<MeasurementEntry> entries = fitMeasurementEntries(context, table);
  SampleProblem problem;
  problem.sample = table;
  if (entries.size() == 1) {
    // One measurement keeps its plain names, as it always had.
    SampleModel model = table;
    for (ParameterKind kind : kMeasurementKinds) {
      measurementParameter(model, kind) = measurementParameter(entries.front().model, kind);
    }
    model.tilt = entries.front().model.tilt;
    problem.measurements.push_back(measurementFromState(context, model));
    return problem;
  }
  problem.measurements.push_back(measurementFromState(context, entries.front().model));
  problem.measurements.front().name = entries.front().name;
  std::vector<Measurement> others = measurementsFromEntries({entries.begin() + 1, entries.end()});
  for (Measurement& measurement : others) problem.measurements.push_back(std::move(measurement));
  return problem;
}

void showMeasurementSummaries(FitTexts& texts, const EstimateSummary& result) {
  for (FitMeasurementTexts& row : texts.measurements) row.reducedChi2.clear();
  if (!listsMeasurements(result) || result.measurements.size() != texts.measurements.size()) return;
  for (std::size_t m = 0; m < result.measurements.size(); ++m) {
    texts.measurements[m].reducedChi2 = formatTextFileNumber(result.measurements[m].reducedChi2, 4);
  }
}

void redrawShownMeasurement(CommandContext& context, const SampleProblem& problem,
                            const JointModel& model) {
  const std::size_t row = context.texts.fit.shownMeasurement;
  if (row >= problem.measurements.size() || row >= model.measurements.size()) return;
  if (row == 0) {
    // Calculate draws the profile at normal incidence: a tilted first
    // measurement's curve is its own.
    if (model.measurements[0].tilt != 0.0) {
      context.charts.main.computedCurve = measurementCurveSeries(
          problem.measurements[0], model.measurements[0], context.state.currentProfile);
      context.ui.redraw(View::MainChart);
    }
    return;
  }
  context.texts.fit.shownMeasurement = 0;
  showChart(context, row,
            measurementChart(problem.measurements[row], model.measurements[row],
                             context.state.currentProfile));
}

void showModelMeasurements(CommandContext& context, const SampleModelDocument& document) {
  FitTexts& texts = context.texts.fit;
  std::vector<FitMeasurementTexts> rows;
  if (document.measurements.empty()) {
    rows.emplace_back();
    rows.back().tilt = formatFieldNumber(document.model.tilt, context.decimal);
  } else {
    refuseWhileCalculating(context);
    // Every file is read before anything changes.
    measurementsFromEntries(document.measurements);
    const MeasurementEntry& first = document.measurements.front();
    if (readExperimentalDataFile(first.data).size() < 2) {
      throw CommandError(first.data + " holds no measured points.");
    }
    // Its .log is read once the whole model is shown (loadFitModel).
    loadAutosWithoutLog(context, first.autos);
    loadExperimentalDataFrom(context, first.data);
    for (const MeasurementEntry& entry : document.measurements) {
      FitMeasurementTexts row;
      row.name = entry.name;
      if (!rows.empty()) {
        row.autos = entry.autos;
        row.data = entry.data;
      }
      row.tilt = formatFieldNumber(entry.model.tilt, context.decimal);
      if (!std::all_of(entry.model.shared.begin(), entry.model.shared.end(),
                       [](bool shared) { return shared; })) {
        row.own = entry.model;
      }
      rows.push_back(std::move(row));
    }
  }
  if (texts.shownMeasurement != 0) showChart(context, 0, std::nullopt);
  texts.measurements = std::move(rows);
}

SampleModelDocument fitModelDocument(const CommandContext& context, const SampleModel& table) {
  SampleModelDocument document;
  document.model = table;
  std::vector<MeasurementEntry> entries = fitMeasurementEntries(context, table);
  if (entries.size() == 1 && !context.texts.fit.measurements.front().own) {
    document.model.tilt = entries.front().model.tilt;
    return document;
  }
  const MeasurementEntry& first = entries.front();
  if (first.autos.empty() || first.data.empty()) {
    throw CommandError(
        "A model that lists its measurements names each one's files: load the first one's "
        "convolutions and data from files before saving it.");
  }
  document.measurements = std::move(entries);
  return document;
}
