#include "ui/recent_files_settings.h"

#include <QStringList>

#include "commands/recent_files.h"

namespace {

const QString kKey = QStringLiteral("recent/files");
const QString kData = QStringLiteral("data:");
const QString kProfile = QStringLiteral("profile:");

}  // namespace

std::vector<RecentFile> readRecentFiles(QSettings& settings) {
  std::vector<RecentFile> files;
  for (const QString& entry : settings.value(kKey).toStringList()) {
    RecentFile file;
    if (entry.startsWith(kData)) {
      file = {RecentKind::MeasuredData, entry.mid(kData.size()).toStdString()};
    } else if (entry.startsWith(kProfile)) {
      file = {RecentKind::Profile, entry.mid(kProfile.size()).toStdString()};
    } else {
      continue;
    }
    if (files.size() < kRecentFilesKept) files.push_back(file);
  }
  return files;
}

void writeRecentFiles(QSettings& settings, const std::vector<RecentFile>& files) {
  QStringList entries;
  for (const RecentFile& file : files) {
    entries << (file.kind == RecentKind::Profile ? kProfile : kData) +
                   QString::fromStdString(file.path);
  }
  settings.setValue(kKey, entries);
  settings.sync();
}
