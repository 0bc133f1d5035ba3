#include <QMessageBox>
#include <exception>

#include "app/guarded_application.h"
#include "app/tervane_application.h"
#include "ui/program_title.h"
#include "ui/qt_dialog_provider.h"
#include "ui/recent_files_settings.h"

int main(int argc, char** argv) {
  GuardedApplication application(argc, argv);
  // The main window's close ends the program; the others only hide, even when
  // the main window sits in the notification area.
  application.setQuitOnLastWindowClosed(false);
  try {
    QtDialogProvider dialogs;
    TervaneApplication tervane(dialogs);
    // The recent files of the last session; kept again when the program ends.
    QSettings settings(QStringLiteral("Tervane"), QStringLiteral("Tervane"));
    tervane.context().texts.recentFiles = readRecentFiles(settings);
    QObject::connect(&tervane, &TervaneApplication::exitConfirmed, &application, [&] {
      writeRecentFiles(settings, tervane.context().texts.recentFiles);
      QCoreApplication::exit(0);
    });
    return application.exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, programTitle(), QString::fromStdString(error.what()));
    return 1;
  }
}
