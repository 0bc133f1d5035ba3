#pragma once

#include <QSettings>
#include <vector>

#include "commands/recent_file.h"

// The "Recent files" list kept between sessions, in the program's settings.
// Entries whose kind cannot be told are left out when the list is read.
std::vector<RecentFile> readRecentFiles(QSettings& settings);
void writeRecentFiles(QSettings& settings, const std::vector<RecentFile>& files);
