#include "commands/autoconvolution_commands.h"

#include <cmath>
#include <string>

#include "commands/calculation_parameters_commands.h"
#include "commands/command_error.h"
#include "commands/convolutions_notice.h"
#include "commands/machine_memory.h"
#include "files/autoconvolution_file.h"
#include "files/calculation_log.h"
#include "files/file_error.h"
#include "files/file_names.h"
#include "model/curve_measures.h"
#include "model/mean_collision_loss.h"

namespace {

void refuse(const std::string& message) {
  throw CommandError(message);
}

std::string numberText(double value) {
  return formatFieldNumber(value, DecimalFormat{});
}

// A set whose Emin and Emax give no collision density can be neither saved
// nor used (how: "saved", "used").
void refuseCuts(const char* how, double emin, double emax) {
  refuse(std::string("The convolutions cannot be ") + how + " with Emin " + numberText(emin) +
         " eV and Emax " + numberText(emax) +
         " eV: Emin must be greater than zero and smaller than Emax.");
}

// What a calculation needs of its inputs; anything else would write outside the
// grid, divide by zero or take more memory than the machine has.
void checkInputs(const AutoconvolutionInputs& inputs, const MemoryLimits& memory) {
  if (inputs.nc < 1) refuse("Nc must be at least 1.");
  if (!(inputs.emin > 0.0f)) refuse("Emin must be greater than zero.");
  if (!(inputs.emin < inputs.emax)) refuse("Emin must be smaller than Emax.");
  if (!(inputs.step > 0.0f)) refuse("The step size must be greater than zero.");
  const double lastBin = std::floor(static_cast<double>(inputs.emax) / inputs.step);
  const double neededPoints = lastBin + 2;
  if (!(static_cast<double>(inputs.pointCount) >= neededPoints)) {
    refuse("Data Points must be at least " + numberText(neededPoints) + " for Emax " +
           numberText(inputs.emax) + " eV and a step of " + numberText(inputs.step) + " eV.");
  }
  const long double bytes = autoconvolutionSetBytes(inputs);
  if (exceedsHalfOfMemory(bytes, memory)) {
    refuse("Nc + 1 autoconvolutions of " + std::to_string(inputs.pointCount) +
           " points would need more than half of this machine's memory.");
  }
  if (exceedsAvailableMemory(bytes, memory)) {
    refuse("Nc + 1 autoconvolutions of " + std::to_string(inputs.pointCount) + " points need " +
           mebibyteText(bytes) + " of memory; only " +
           mebibyteText(static_cast<long double>(memory.available())) + " is available now.");
  }
}

std::string reportText(const EntryReport& report, DecimalFormat decimal) {
  std::string text = report.n == 1 ? std::string("Norma da auto 1:")
                                   : "Norma da auto " + std::to_string(report.n) + ":";
  text += formatFieldNumber(report.integral, decimal);
  text += "\n";
  text += "M1: ";
  text += formatFieldNumber(report.meanRatio, decimal);
  text += "\n\n";
  return text;
}

// An entry whose mass runs past the end of the energy grid loses it silently,
// and every curve made from it is wrong. Entry n's mass lies about n times as
// far out as the single spectrum's, so the grid that holds entry n-1 is
// stretched by Nc/(n-1) to suggest one that holds the last entry too.
void warnAboutLostNorms(CommandContext& context) {
  constexpr double kLowestNorm = 0.99;
  const AutoconvolutionSet& set = context.state.autoconvolutionSet;
  std::size_t first = 0;
  std::size_t count = 0;
  for (std::size_t n = 1; n < set.size(); ++n) {
    if (curveIntegral(set[n]) < kLowestNorm) {
      if (count++ == 0) first = n;
    }
  }
  if (count == 0) return;
  const std::size_t nc = set.size() - 1;
  const std::size_t held = first > 1 ? first - 1 : 1;
  const double stretched = static_cast<double>(set[first].size()) * nc / held;
  const auto suggested = static_cast<long long>(std::ceil(stretched / 100.0) * 100.0);
  context.ui.showMessage(
      std::to_string(count) + (count == 1 ? " autoconvolution" : " autoconvolutions") +
      ", from n = " + std::to_string(first) + " on, keep less than " +
      formatFieldNumber(kLowestNorm, context.decimal) +
      " of their norm: the energy grid is too short for them, and curves made from them are "
      "wrong. About " +
      std::to_string(suggested) + " data points would hold them.");
}

void restoreBeamParameters(ParameterBlock& target, const ParameterBlock& source) {
  target.beamEnergy = source.beamEnergy;
  target.stoppingPower = source.stoppingPower;
  target.emin = source.emin;
  target.emax = source.emax;
  target.straggling = source.straggling;
}

// What "Save results?" is about: the set about to be calculated, its size,
// and where Yes and No lead.
std::string saveQuestionDetail(const AutoconvolutionInputs& inputs) {
  return "Yes saves the " + std::to_string(inputs.nc + 1) + " autoconvolutions (Nc = " +
         std::to_string(inputs.nc) + ", " + std::to_string(inputs.pointCount) +
         " points each, " + mebibyteText(autoconvolutionSetBytes(inputs)) +
         ") to a .flt file with its .log beside it, once they are calculated; the file's name "
         "is asked next. No calculates them without saving.";
}

// A name ending in ".log" would have the log written over the set.
void checkAutoconvolutionSavePath(const std::string& fltPath) {
  if (replaceExtension(fltPath, ".log") == fltPath) {
    refuse("Cannot save the convolutions as " + fltPath + ": their log goes to that name.");
  }
}

// The collision density of a set with these cut energies, or nothing when
// they give none (Emin not above zero, Emax not above Emin, or a quotient
// beyond the doubles).
std::optional<double> densityOfCuts(double stoppingPower, double emin, double emax) {
  if (!(emin > 0.0) || !(emax > emin)) return std::nullopt;
  const double density = collisionDensity(stoppingPower, emin, emax);
  if (!std::isfinite(density)) return std::nullopt;
  return density;
}

}  // namespace

FileDialogRequest autoconvolutionSaveDialog() {
  return {"Autoconvoluções do Tervane (*.flt)|*.flt|Todos os Arquivos (*.*)|*.*", "flt", ""};
}

FileDialogRequest autoconvolutionOpenDialog() {
  return {"Autoconvolucoes do Tervane (*.flt)|*.flt|Todos os Arquivos (*.*)|*.*", "flt", ""};
}

std::optional<PreparedCalculation> prepareAutoconvolutionCalculation(CommandContext& context) {
  refuseWhileCalculating(context);
  CalculationParametersTexts& fields = context.texts.calculationParameters;

  PreparedCalculation prepared;
  prepared.parametersBefore = context.state.parameterBlock;
  prepared.fieldsBefore = fields;
  prepared.logBefore = context.texts.log;

  refreshCalculationParameters(context);

  context.ui.showWindow(WindowId::Log);
  context.texts.log.clear();
  context.ui.redraw(View::LogText);

  AutoconvolutionInputs& inputs = prepared.inputs;
  inputs.stoppingPower = parseFieldSingle(fields.stoppingPower, context.decimal);
  inputs.step = parseFieldSingle(fields.stepSize, context.decimal);
  inputs.emin = parseFieldSingle(fields.emin, context.decimal);
  inputs.emax = parseFieldSingle(fields.emax, context.decimal);
  inputs.straggling = parseFieldSingle(fields.straggling, context.decimal);
  inputs.beamEnergy = parseFieldSingle(fields.beamEnergy, context.decimal);
  inputs.pointCount = parseFieldInteger(fields.dataPoints);
  inputs.nc = parseFieldInteger(fields.nc);
  checkInputs(inputs, context.memory);

  // Where to save is settled before any computing.
  if (fields.saveAutos) {
    prepared.savePath = context.ui.chooseFileToSave(autoconvolutionSaveDialog());
  } else if (inputs.nc >= 100) {
    if (context.ui.askYesNoWithDetail("Save results?", saveQuestionDetail(inputs))) {
      fields.saveAutos = true;
      context.ui.redraw(View::CalculationParametersFields);
      prepared.savePath = context.ui.chooseFileToSave(autoconvolutionSaveDialog());
    }
  }
  if (prepared.savePath) checkAutoconvolutionSavePath(*prepared.savePath);
  return prepared;
}

std::optional<AutoconvolutionResult> runAutoconvolutionCalculation(
    const PreparedCalculation& prepared, const std::function<void(int)>& progress,
    const std::atomic<bool>* cancel) {
  return calculateAutoconvolutions(prepared.inputs, progress, cancel);
}

void finishAutoconvolutionCalculation(CommandContext& context, const PreparedCalculation& prepared,
                                      AutoconvolutionResult result) {
  ProgramState& state = context.state;
  state.autoconvolutionSet = std::move(result.set);
  context.texts.dialogNames.convolutions.clear();  // a set of no file, until it is saved
  const AutoconvolutionInputs& made = prepared.inputs;
  noteConvolutionsOrigin(context, {made.beamEnergy, made.stoppingPower, made.straggling});

  for (const EntryReport& report : result.reports) {
    context.texts.log += reportText(report, context.decimal);
  }
  context.ui.redraw(View::LogText);

  const AutoconvolutionInputs& inputs = prepared.inputs;
  ParameterBlock& parameters = state.parameterBlock;
  parameters.beamEnergy = inputs.beamEnergy;
  parameters.stoppingPower = inputs.stoppingPower;
  parameters.emax = inputs.emax;
  parameters.emin = inputs.emin;
  parameters.straggling = inputs.straggling;
  parameters.collisionDensity = result.collisionDensity;

  if (prepared.savePath) saveAutos(context, *prepared.savePath);
  warnAboutLostNorms(context);
}

void abandonAutoconvolutionCalculation(CommandContext& context,
                                       const PreparedCalculation& prepared) {
  restoreBeamParameters(context.state.parameterBlock, prepared.parametersBefore);
  context.texts.calculationParameters = prepared.fieldsBefore;
  context.texts.log = prepared.logBefore;
  context.ui.redraw(View::CalculationParametersFields);
  context.ui.redraw(View::LogText);
}

void showCalculationProgress(CommandContext& context, int entry) {
  context.texts.mainStatusPanels[0] = std::to_string(entry);
  context.ui.redraw(View::MainStatus);
}

void startCalculation(CommandContext& context) {
  std::optional<PreparedCalculation> prepared = prepareAutoconvolutionCalculation(context);
  if (!prepared) return;
  std::optional<AutoconvolutionResult> result = runAutoconvolutionCalculation(
      *prepared, [&context](int entry) { showCalculationProgress(context, entry); }, nullptr);
  if (!result) {
    abandonAutoconvolutionCalculation(context, *prepared);
    return;
  }
  finishAutoconvolutionCalculation(context, *prepared, std::move(*result));
}

void saveConvolutions(CommandContext& context) {
  refuseWhileCalculating(context);
  const std::optional<std::string> path = context.ui.chooseFileToSave(autoconvolutionSaveDialog());
  if (path) saveAutos(context, *path);
}

AutoconvolutionHeaderValues headerValuesFromFields(const CommandContext& context) {
  const CalculationParametersTexts& fields = context.texts.calculationParameters;
  AutoconvolutionHeaderValues header;
  header.step = parseFieldDouble(fields.stepSize, context.decimal);
  header.emin = parseFieldDouble(fields.emin, context.decimal);
  header.emax = parseFieldDouble(fields.emax, context.decimal);
  header.straggling = parseFieldDouble(fields.straggling, context.decimal);
  header.beamEnergy = parseFieldDouble(fields.beamEnergy, context.decimal);
  header.stoppingPower = parseFieldDouble(fields.stoppingPower, context.decimal);
  return header;
}

void saveAutos(CommandContext& context, const std::string& fltPath) {
  const AutoconvolutionSet& set = context.state.autoconvolutionSet;
  if (set.size() < 2) {
    refuse("There are no autoconvolutions to save: calculate or load them first.");
  }
  const AutoconvolutionHeaderValues header = headerValuesFromFields(context);
  // A set is only saved as it can be loaded again.
  if (!densityOfCuts(header.stoppingPower, header.emin, header.emax)) {
    refuseCuts("saved", header.emin, header.emax);
  }

  const auto nc = static_cast<std::int32_t>(set.size() - 1);
  const auto pointCount = static_cast<std::int32_t>(set[1].size());

  // Each file is written aside and renamed into place; one that cannot be
  // created does not keep the other from being written, and neither goes unreported.
  checkAutoconvolutionSavePath(fltPath);
  const std::string logPath = replaceExtension(fltPath, ".log");
  const bool fltWritten = writeAutoconvolutionFile(fltPath, header, set);
  const bool logWritten = writeCalculationLog(logPath, header, nc, pointCount, context.texts.log);
  std::string failures;
  // The set's file, for a model that names the loaded one.
  if (fltWritten) context.texts.dialogNames.convolutions = fltPath;
  if (!fltWritten) failures += "Cannot create file " + fltPath;
  if (!logWritten)
    failures += (failures.empty() ? "" : "\n") + std::string("Cannot create file ") + logPath;
  if (!failures.empty()) throw CommandError(failures);
}

void loadConvolutions(CommandContext& context) {
  refuseWhileCalculating(context);
  const std::optional<std::string> path = context.ui.chooseFileToOpen(autoconvolutionOpenDialog());
  if (path) loadAutos(context, *path);
}

AutoconvolutionFile readUsableAutoconvolutions(const std::string& fltPath,
                                               const MemoryLimits& memory) {
  AutoconvolutionFile file = readAutoconvolutionFile(fltPath, memory.installed() / 2);
  const AutoconvolutionFileHeader& header = file.header;
  if (!densityOfCuts(header.stoppingPower, header.emin, header.emax)) {
    throw FileError("Cannot read autoconvolution file " + fltPath +
                    ": its Emin and Emax give no collision density.");
  }
  return file;
}

void loadAutos(CommandContext& context, const std::string& fltPath) {
  // Read whole before anything changes: a bad file leaves everything as it was.
  adoptAutoconvolutions(context, readUsableAutoconvolutions(fltPath, context.memory));
  context.texts.dialogNames.convolutions = fltPath;

  // A missing log is reported after everything else has been loaded; the Log
  // window then keeps its text.
  context.texts.log = readCalculationLog(replaceExtension(fltPath, ".log"));
  context.ui.redraw(View::LogText);
}

void adoptAutoconvolutions(CommandContext& context, AutoconvolutionFile file) {
  const AutoconvolutionFileHeader& header = file.header;
  const std::optional<double> density =
      densityOfCuts(header.stoppingPower, header.emin, header.emax);
  if (!density) refuseCuts("used", header.emin, header.emax);

  ProgramState& state = context.state;
  state.autoconvolutionSet = std::move(file.set);
  noteConvolutionsOrigin(context, {header.beamEnergy, header.stoppingPower, header.straggling});

  CalculationParametersTexts& fields = context.texts.calculationParameters;
  fields.stoppingPower = formatFieldNumber(header.stoppingPower, context.decimal);
  fields.beamEnergy = formatFieldNumber(header.beamEnergy, context.decimal);
  fields.emin = formatFieldNumber(header.emin, context.decimal);
  fields.emax = formatFieldNumber(header.emax, context.decimal);
  fields.stepSize = formatFieldNumber(header.step, context.decimal);
  fields.straggling = formatFieldNumber(header.straggling, context.decimal);
  fields.nc = formatFieldInteger(header.nc);
  fields.dataPoints = formatFieldInteger(header.pointCount);
  context.ui.redraw(View::CalculationParametersFields);

  ParameterBlock& parameters = state.parameterBlock;
  parameters.beamEnergy = header.beamEnergy;
  parameters.stoppingPower = header.stoppingPower;
  parameters.emin = header.emin;
  parameters.emax = header.emax;
  parameters.straggling = header.straggling;
  parameters.collisionDensity = *density;
  warnAboutLostNorms(context);
}
