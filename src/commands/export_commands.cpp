#include "commands/export_commands.h"

#include <filesystem>

#include "commands/command_error.h"
#include "files/atomic_file.h"
#include "files/excitation_curve_text.h"
#include "files/experimental_data_file.h"
#include "files/figure_format.h"
#include "files/file_names.h"
#include "files/profile_file.h"
#include "files/profile_text.h"

FileDialogRequest calculationSaveDialog(const std::string& proposedName) {
  return {"Ascii Files (*.simulation)|*.simulation|All Files (*.*)|*.*", "simulation",
          proposedName};
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
  const std::string text =
      excitationCurveText(context.state.excitationCurve, parameters.beamEnergy,
                          parameters.multiplier, parameters.background, significantDigits);
  if (!writeFileAtomically(path, text)) throw CommandError("Cannot create file " + path);
}

FileDialogRequest bitmapSaveDialog(const std::string& proposedName) {
  return {
      "Imagens Bitmap (*.bmp)|*.bmp|PNG images (*.png)|*.png|"
      "JPEG images (*.jpg; *.jpeg)|*.jpg;*.jpeg|PDF documents (*.pdf)|*.pdf|"
      "SVG drawings (*.svg)|*.svg|Todos os Arquivos (*.*)|*.*",
      "bmp", proposedName};
}

namespace {

// The save dialog asks about the chosen file only; the three written beside it
// would otherwise replace earlier work (an example's .pro) without a word.
bool confirmReplacingDerivedFiles(CommandContext& context, const std::string& path) {
  std::string existing;
  for (const char* extension : {".exp", ".profile", ".pro"}) {
    const std::string derived = replaceExtension(path, extension);
    std::error_code ignored;
    if (derived != path && std::filesystem::exists(derived, ignored)) existing += "\n" + derived;
  }
  return existing.empty() || context.ui.askYesNo("These files already exist and will be replaced:" +
                                                 existing + "\nReplace them?");
}

}  // namespace

void saveEverything(CommandContext& context) {
  const std::string proposed =
      replaceExtension(context.texts.dialogNames.measuredData, ".simulation");
  const std::optional<std::string> path =
      context.ui.chooseFileToSave(calculationSaveDialog(proposed));
  if (!path) return;
  if (!confirmReplacingDerivedFiles(context, *path)) return;
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
