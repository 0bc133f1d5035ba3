#include "commands/export_commands.h"

#include <filesystem>

#include "commands/command_error.h"
#include "commands/excitation_curves.h"
#include "files/atomic_file.h"
#include "files/excitation_curve_text.h"
#include "files/experimental_data_file.h"
#include "files/figure_format.h"
#include "files/file_names.h"
#include "files/profile_file.h"
#include "files/profile_text.h"

FileDialogRequest calculationSaveDialog(const std::string& proposedName) {
  FileDialogRequest request{"Ascii Files (*.simulation)|*.simulation|All Files (*.*)|*.*",
                            "simulation", proposedName};
  // The name comes from the measured data's; the folder is the one the
  // results went to last.
  request.rememberedFolderFirst = true;
  return request;
}

void saveCalculation(CommandContext& context) {
  const std::string proposed = replaceExtension(context.texts.dialogNames.measuredData, ".asc");
  const std::optional<std::string> path =
      context.ui.chooseFileToSave(calculationSaveDialog(proposed));
  if (!path) return;
  writeCalculationTo(context, *path);
}

void writeCalculationTo(CommandContext& context, const std::string& path, int significantDigits) {
  const ParameterBlock& parameters = context.state.parameterBlock;
  writeCurveFile(path, context.state.excitationCurve, parameters.beamEnergy, parameters.multiplier,
                 parameters.background, significantDigits);
}

FileDialogRequest bitmapSaveDialog(const std::string& proposedName) {
  return {
      "Imagens Bitmap (*.bmp)|*.bmp|PNG images (*.png)|*.png|"
      "JPEG images (*.jpg; *.jpeg)|*.jpg;*.jpeg|PDF documents (*.pdf)|*.pdf|"
      "SVG drawings (*.svg)|*.svg|Todos os Arquivos (*.*)|*.*",
      "bmp", proposedName};
}

namespace {

// One question for the four files: the chosen one and the three written
// beside it, which would otherwise replace earlier work (an example's .pro)
// without a word. The save dialog's own question is off.
bool confirmReplacingFiles(CommandContext& context, const std::string& path) {
  std::string existing;
  for (const char* extension : {"", ".exp", ".profile", ".pro"}) {
    const std::string file = *extension ? replaceExtension(path, extension) : path;
    std::error_code ignored;
    if ((!*extension || file != path) && std::filesystem::exists(file, ignored)) {
      existing += "\n" + file;
    }
  }
  return existing.empty() || context.ui.askYesNo("These files already exist and will be replaced:" +
                                                 existing + "\nReplace them?");
}

}  // namespace

void saveEverything(CommandContext& context) {
  const std::string proposed =
      replaceExtension(context.texts.dialogNames.measuredData, ".simulation");
  FileDialogRequest request = calculationSaveDialog(proposed);
  request.confirmOverwrite = false;
  const std::optional<std::string> path = context.ui.chooseFileToSave(request);
  if (!path) return;
  if (!confirmReplacingFiles(context, *path)) return;
  writeEverythingTo(context, *path);
}

void writeEverythingTo(CommandContext& context, const std::string& path) {
  const ProgramState& state = context.state;
  const ParameterBlock& parameters = state.parameterBlock;
  const std::string dataPath = replaceExtension(path, ".exp");
  const std::string textPath = replaceExtension(path, ".profile");
  const std::string profilePath = replaceExtension(path, ".pro");
  // A name with one of the other files' extensions would have that file written over the curve.
  if (path == dataPath || path == textPath || path == profilePath) {
    throw CommandError("Cannot save everything as " + path +
                       ": another of the files goes to that name.");
  }
  // Every file is attempted; those that could not be written are reported together.
  std::string failures;
  const auto write = [&failures](const std::string& file, bool written) {
    if (written) return;
    if (!failures.empty()) failures += "\n";
    failures += "Cannot create file " + file;
  };
  write(path, writeFileAtomically(
                  path, excitationCurveText(state.excitationCurve, parameters.beamEnergy,
                                            parameters.multiplier, parameters.background)));
  write(dataPath, writeFileAtomically(
                      dataPath, measuredDataText(state.experimentalData, parameters.energyShift)));
  write(textPath, writeFileAtomically(textPath, depthProfileText(state.currentProfile,
                                                                 parameters.includeContamination)));
  write(profilePath,
        writeProfileFile(profilePath, state.currentProfile,
                         {parameters.background, parameters.multiplier, parameters.energyShift}));
  if (!failures.empty()) throw CommandError(failures);
}

void exportBitmap(CommandContext& context) {
  DialogNames& names = context.texts.dialogNames;
  const std::optional<std::string> path =
      context.ui.chooseFileToSave(bitmapSaveDialog(names.bitmap));
  if (!path) return;
  names.bitmap = *path;
  requireFigureFormat(*path);
  if (!context.ui.saveMainChartBitmap(*path)) throw CommandError("Cannot create file " + *path);
}
