#include "commands/autoconvolution_commands.h"

#include <string>

#include "commands/calculation_parameters_commands.h"
#include "commands/convolutions_notice.h"
#include "commands/machine_memory.h"
#include "files/autoconvolution_file.h"
#include "files/calculation_log.h"
#include "files/file_names.h"

namespace {

void warnAboutLostNorms(CommandContext& context) {
  if (const auto warning = lostNormsWarning(context.state.autoconvolutionSet, context.decimal)) {
    context.ui.showMessage(*warning);
  }
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

  prepared.inputs = autoconvolutionInputsOf(fields, context.decimal, context.memory);
  const AutoconvolutionInputs& inputs = prepared.inputs;

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

  context.texts.log += calculationLogOf(result.reports, context.decimal);
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
  return headerValuesOf(context.texts.calculationParameters, context.decimal);
}

void saveAutos(CommandContext& context, const std::string& fltPath) {
  requireSetToSave(context.state.autoconvolutionSet);
  const AutoconvolutionPairWritten written =
      writeAutoconvolutionPair(fltPath, headerValuesFromFields(context),
                               context.state.autoconvolutionSet, context.texts.log);
  // The set's file, for a model that names the loaded one.
  if (written.flt) context.texts.dialogNames.convolutions = fltPath;
  refuseUnwritten(fltPath, written);
}

void loadConvolutions(CommandContext& context) {
  refuseWhileCalculating(context);
  const std::optional<std::string> path = context.ui.chooseFileToOpen(autoconvolutionOpenDialog());
  if (path) loadAutos(context, *path);
}

void loadAutos(CommandContext& context, const std::string& fltPath) {
  loadAutosWithoutLog(context, fltPath);
  // A missing log is reported after everything else has been loaded; the Log
  // window then keeps its text.
  loadAutosLog(context, fltPath);
}

void loadAutosWithoutLog(CommandContext& context, const std::string& fltPath) {
  // Read whole before anything changes: a bad file leaves everything as it was.
  adoptAutoconvolutions(context, readUsableAutoconvolutions(fltPath, context.memory));
  context.texts.dialogNames.convolutions = fltPath;
}

void loadAutosLog(CommandContext& context, const std::string& fltPath) {
  context.texts.log = readCalculationLog(replaceExtension(fltPath, ".log"));
  context.ui.redraw(View::LogText);
}

void adoptAutoconvolutions(CommandContext& context, AutoconvolutionFile file) {
  const AutoconvolutionFileHeader& header = file.header;
  const double density = collisionDensityToUse(header);

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
  parameters.collisionDensity = density;
  warnAboutLostNorms(context);
}
