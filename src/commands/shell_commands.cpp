#include "commands/shell_commands.h"

#include "commands/autoconvolution_commands.h"

bool confirmExit(CommandContext& context) { return context.ui.askYesNo("Exit program now?"); }

bool runCoreCommand(CommandContext& context, CommandId command) {
  switch (command) {
    case CommandId::SetParameters:
      context.ui.showWindow(WindowId::CalculationParameters);
      return true;
    case CommandId::ShowLog:
      context.ui.showWindow(WindowId::Log);
      return true;
    case CommandId::ShowDrawProfile:
      context.ui.showWindow(WindowId::DrawProfile);
      return true;
    case CommandId::ShowExtra:
      context.ui.showWindow(WindowId::Show);
      return true;
    case CommandId::SaveConvolutions:
      saveConvolutions(context);
      return true;
    case CommandId::LoadConvolutions:
      loadConvolutions(context);
      return true;
    case CommandId::None:
      return true;
    default:
      return false;
  }
}
