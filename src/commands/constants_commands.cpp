#include "commands/constants_commands.h"

#include "commands/command_error.h"
#include "commands/excitation_commands.h"
#include "commands/profile_edits.h"
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
  ParameterBlock& parameters = context.state.parameterBlock;
  DisplayConstantsValues constants{parameters.background, parameters.multiplier,
                                   parameters.energyShift};
  const auto store = [&parameters, &constants] {
    parameters.energyShift = constants.energyShift;
    parameters.background = constants.background;
    parameters.multiplier = constants.multiplier;
  };
  bool read = false;
  try {
    read = readConstantsFields(context.texts.constants, context.decimal, constants);
  } catch (const CommandError&) {
    // The values read before a field that is not a number stay stored.
    store();
    throw;
  }
  if (!read) {
    context.ui.showMessage(kZeroMultiplierMessage);
    return false;
  }
  store();
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
