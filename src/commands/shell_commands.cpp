#include "commands/shell_commands.h"

#include "commands/autoconvolution_commands.h"
#include "commands/constants_commands.h"
#include "commands/data_commands.h"
#include "commands/excitation_commands.h"
#include "commands/export_commands.h"
#include "commands/fit_table_commands.h"
#include "commands/profile_editor_commands.h"
#include "commands/profile_file_commands.h"
#include "commands/show_commands.h"

bool confirmExit(CommandContext& context) {
  return context.ui.askYesNo("Exit program now?");
}

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
    case CommandId::LoadExperimentalData:
      loadExperimentalData(context);
      return true;
    case CommandId::ClearExperimentalData:
      clearExperimentalData(context);
      return true;
    case CommandId::SaveEverything:
      saveEverything(context);
      return true;
    case CommandId::ExportBitmap:
      exportBitmap(context);
      return true;
    case CommandId::OpenConstants:
      openConstants(context);
      return true;
    case CommandId::ShowKn:
      plotKn(context);
      return true;
    case CommandId::SaveCalculation:
      saveCalculation(context);
      return true;
    case CommandId::ProfileUndo:
      undoProfile(context);
      return true;
    case CommandId::ProfileOptionsFromMain:
      openProfileOptions(context, false);
      return true;
    case CommandId::ProfileOptionsFromDraw:
      openProfileOptions(context, true);
      return true;
    case CommandId::ProfileSave:
      saveProfile(context);
      return true;
    case CommandId::ProfileLoad:
      loadProfile(context);
      return true;
    case CommandId::ProfileLoadReference:
      loadReferenceProfile(context);
      return true;
    case CommandId::ProfileSetReference:
      setReferenceProfile(context);
      return true;
    case CommandId::ProfileClearFromMain:
      clearProfileFromMainWindow(context);
      return true;
    case CommandId::ProfileClearFromDraw:
      clearProfileFromDrawWindow(context);
      return true;
    case CommandId::ProfileClearReference:
      clearReferenceCurve(context);
      return true;
    case CommandId::CalculateExcitation:
      calculateExcitation(context);
      return true;
    case CommandId::ShowFit:
      openFit(context);
      return true;
    case CommandId::None:
      return true;
    default:
      return false;
  }
}
