#include "ui/qt_dialog_provider.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace {

QString toQt(const std::string& text) {
  return QString::fromStdString(text);
}

std::optional<std::string> runFileDialog(const FileDialogRequest& request,
                                         QFileDialog::AcceptMode mode) {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                     : QFileDialog::ExistingFile);
  const QStringList filters = qtNameFilters(request.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(qtDefaultSuffix(request.defaultExtension));
  if (!request.initialPath.empty()) dialog.selectFile(toQt(request.initialPath));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace

bool QtDialogProvider::askYesNo(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), toQt(question),
                  QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

void QtDialogProvider::showMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), toQt(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

std::optional<std::string> QtDialogProvider::chooseFileToSave(const FileDialogRequest& request) {
  return runFileDialog(request, QFileDialog::AcceptSave);
}

std::optional<std::string> QtDialogProvider::chooseFileToOpen(const FileDialogRequest& request) {
  return runFileDialog(request, QFileDialog::AcceptOpen);
}

QStringList qtNameFilters(const std::string& filter) {
  const QStringList parts = toQt(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    const QString pattern = parts[i + 1].trimmed();
    // Descriptions often repeat the pattern already ("Files (*.flt)"); keep one copy.
    const QString repeated = QLatin1Char('(') + pattern + QLatin1Char(')');
    if (description.endsWith(repeated)) description.chop(repeated.size());
    QString patterns = pattern;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << description.trimmed() + QStringLiteral(" (") + patterns.simplified() +
                   QLatin1Char(')');
  }
  return filters;
}

QString qtDefaultSuffix(const std::string& extension) {
  QString suffix = toQt(extension).trimmed();
  if (suffix.startsWith(QLatin1Char('*'))) suffix.remove(0, 1);
  if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
  return suffix;
}
