#include "commands/data_commands.h"

#include "commands/recent_files.h"
#include "commands/show_commands.h"
#include "files/experimental_data_file.h"

FileDialogRequest experimentalDataOpenDialog(const std::string& proposedName) {
  return {
      "Common Profile Files (*.dat; *.pak; *.profile)|*.pak; *.dat; *.profile; *.pak;|"
      "Arquivos Dat (*.dat)|*.dat|Tervane profiles (*.profile)|*.profile|"
      "Arquivos Punto Ahk (*.pak)|*.pak|Todos os Arquivos (*.*)|*.*",
      "ahk", proposedName};
}

void loadExperimentalData(CommandContext& context) {
  DialogNames& names = context.texts.dialogNames;
  const std::optional<std::string> path =
      context.ui.chooseFileToOpen(experimentalDataOpenDialog(names.measuredData));
  if (!path) return;
  loadExperimentalDataFrom(context, *path);
}

void loadExperimentalDataFrom(CommandContext& context, const std::string& path) {
  // A file that cannot be read leaves the list and its name as they were.
  context.state.experimentalData = readExperimentalDataFile(path);
  context.texts.dialogNames.measuredData = path;
  plotData(context);
  const std::size_t count = context.state.experimentalData.size() - 1;
  context.texts.mainStatusMessage =
      std::to_string(count) + (count == 1 ? " point" : " points") + " read from " + path;
  rememberRecentFile(context.texts.recentFiles, {RecentKind::MeasuredData, path});
  context.ui.redraw(View::MainStatus);
}

void clearExperimentalData(CommandContext& context) {
  context.state.experimentalData.clear();
  context.charts.main.measuredPoints.points.clear();
  context.ui.redraw(View::MainChart);
}
