#include "ui/recent_files_settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

TEST(RecentFilesSettings, ComeBackInOrderWithTheirKindsAndNoMoreThanKept) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("tervane.ini"));
  std::vector<RecentFile> files = {{RecentKind::Profile, "/data/run 7.pro"},
                                   {RecentKind::MeasuredData, "/data/run:7.dat"}};
  {
    QSettings settings(path, QSettings::IniFormat);
    writeRecentFiles(settings, files);
  }
  QSettings settings(path, QSettings::IniFormat);
  EXPECT_EQ(readRecentFiles(settings), files);

  // A list written by hand with an entry of no known kind and too many entries.
  QStringList entries{QStringLiteral("spreadsheet:/x.xls")};
  for (int i = 0; i < 12; ++i) entries << QStringLiteral("data:/d%1.dat").arg(i);
  settings.setValue(QStringLiteral("recent/files"), entries);
  const std::vector<RecentFile> read = readRecentFiles(settings);
  ASSERT_EQ(read.size(), 8u);
  EXPECT_EQ(read.front(), (RecentFile{RecentKind::MeasuredData, "/d0.dat"}));
}

}  // namespace
