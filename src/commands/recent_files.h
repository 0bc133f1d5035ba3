#pragma once

#include <string>
#include <vector>

#include "commands/command_context.h"
#include "commands/recent_file.h"

// The list of "Recent files" (WindowTexts::recentFiles), the latest first.

inline constexpr std::size_t kRecentFilesKept = 8;

// Puts the file first, dropping an earlier entry of it and the oldest beyond
// kRecentFilesKept.
void rememberRecentFile(std::vector<RecentFile>& recent, const RecentFile& file);

// Opens the file again as its command would after the file dialog: measured
// data is loaded and drawn, a profile loaded (with its constants) and drawn.
// A file that cannot be read any more leaves the list without it.
void openRecentFile(CommandContext& context, const RecentFile& file);
