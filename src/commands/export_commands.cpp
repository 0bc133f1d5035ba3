#include "commands/export_commands.h"

#include "commands/command_error.h"
#include "files/atomic_file.h"
#include "files/excitation_curve_text.h"
#include "files/file_names.h"

FileDialogRequest calculationSaveDialog(const std::string& proposedName) {
  return {"Ascii Files (*.simulation)|*.simulation|All Files (*.*)|*.*", "simulation",
          proposedName};
}

void saveCalculation(CommandContext& context) {
  const std::string proposed = replaceExtension(context.texts.dialogNames.measuredData, ".asc");
  const std::optional<std::string> path = context.ui.chooseFileToSave(calculationSaveDialog(proposed));
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
