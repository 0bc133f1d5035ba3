#include "commands/constants_commands.h"

#include "commands/excitation_commands.h"
#include "commands/show_commands.h"

namespace {

void redrawLoaded(CommandContext& context) {
  if (!context.state.experimentalData.empty()) plotData(context);
  if (!context.state.autoconvolutionSet.empty()) plotExcitation(context);
}

}  // namespace

void openConstants(CommandContext& context) {
  ProgramState& state = context.state;
  state.parameterBackup = state.parameterBlock;
  ConstantsTexts& fields = context.texts.constants;
  fields.energyShift = formatFieldNumber(state.parameterBlock.energyShift, context.decimal);
  fields.background = formatFieldNumber(state.parameterBlock.background, context.decimal);
  fields.multiplier = formatFieldNumber(state.parameterBlock.multiplier, context.decimal);
  context.ui.redraw(View::ConstantsFields);
  context.ui.showWindow(WindowId::Constants);
}

bool previewConstants(CommandContext& context) {
  const ConstantsTexts& fields = context.texts.constants;
  if (parseFieldDouble(fields.multiplier, context.decimal) == 0.0) {
    context.ui.showMessage("Te liga mané!");
    return false;
  }
  // Each value is stored as soon as its field is read.
  ParameterBlock& parameters = context.state.parameterBlock;
  parameters.energyShift = parseFieldDouble(fields.energyShift, context.decimal);
  parameters.background = parseFieldDouble(fields.background, context.decimal);
  parameters.multiplier = parseFieldDouble(fields.multiplier, context.decimal);
  redrawLoaded(context);
  return true;
}

void acceptConstants(CommandContext& context) {
  previewConstants(context);
  context.ui.hideWindow(WindowId::Constants);
}

void cancelConstants(CommandContext& context) {
  context.state.parameterBlock = context.state.parameterBackup;
  context.ui.hideWindow(WindowId::Constants);
  redrawLoaded(context);
}
