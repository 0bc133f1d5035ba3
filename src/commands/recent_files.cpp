#include "commands/recent_files.h"

#include <algorithm>
#include <exception>

#include "commands/data_commands.h"
#include "commands/profile_editor_commands.h"
#include "commands/profile_file_commands.h"

void rememberRecentFile(std::vector<RecentFile>& recent, const RecentFile& file) {
  std::erase(recent, file);
  recent.insert(recent.begin(), file);
  if (recent.size() > kRecentFilesKept) recent.resize(kRecentFilesKept);
}

void openRecentFile(CommandContext& context, const RecentFile& file) {
  try {
    if (file.kind == RecentKind::MeasuredData) {
      loadExperimentalDataFrom(context, file.path);
    } else {
      loadProfileFrom(context, file.path, false);
      rememberRecentFile(context.texts.recentFiles, file);
      plotProfile(context);
    }
  } catch (const std::exception&) {
    std::erase(context.texts.recentFiles, file);
    throw;
  }
}
