#include "ui/qt_dialog_provider.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSettings>

#include "ui/program_title.h"

namespace {

QString toQt(const std::string& text) {
  return QString::fromStdString(text);
}

// The folder each kind of file (its default extension) was last chosen in,
// kept between sessions.
QSettings& folderSettings() {
  static QSettings settings(QStringLiteral("Tervane"), QStringLiteral("Tervane"));
  return settings;
}

QString folderKey(const FileDialogRequest& request) {
  return QStringLiteral("folders/") + qtDefaultSuffix(request.defaultExtension);
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
  const QString remembered = folderSettings().value(folderKey(request)).toString();
  const QString start =
      startingPath(request.initialPath, remembered, request.rememberedFolderFirst);
  if (!request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!request.title.empty()) dialog.setWindowTitle(toQt(request.title));
  // A folder is where the dialog opens, not a name to save under.
  if (start.endsWith(QLatin1Char('/')) || QFileInfo(start).isDir()) {
    dialog.setDirectory(start);
  } else if (!start.isEmpty()) {
    dialog.selectFile(start);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().constFirst();
  folderSettings().setValue(folderKey(request), QFileInfo(chosen).absolutePath());
  return chosen.toStdString();
}

}  // namespace

bool QtDialogProvider::askYesNo(const std::string& question) {
  return askYesNoWithDetail(question, std::string());
}

bool QtDialogProvider::askYesNoWithDetail(const std::string& question, const std::string& detail) {
  QMessageBox box(QMessageBox::Question, programTitle(), toQt(question),
                  QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  box.setInformativeText(toQt(detail));
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

void QtDialogProvider::showMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, programTitle(), toQt(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

std::optional<std::string> QtDialogProvider::chooseFileToSave(const FileDialogRequest& request) {
  return runFileDialog(request, QFileDialog::AcceptSave);
}

std::optional<std::string> QtDialogProvider::chooseFileToOpen(const FileDialogRequest& request) {
  return runFileDialog(request, QFileDialog::AcceptOpen);
}

QStringList qtNameFilters(const std::string& filter) {
  static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
  static const QRegularExpression shownPatterns(QStringLiteral("\\s*\\([^()]*\\*[^()]*\\)$"));
  const QStringList parts = toQt(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    // Patterns come separated by ';', often with blanks and a trailing ';',
    // and sometimes repeated; the file dialog wants each once, blank-separated.
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(separators, Qt::SkipEmptyParts)) {
      if (!patterns.contains(pattern)) patterns << pattern;
    }
    if (patterns.isEmpty()) continue;
    // The dialog reads the patterns from the description's last parentheses,
    // so a pattern list the description already shows is replaced, not repeated.
    QString description = parts[i].trimmed();
    description.remove(shownPatterns);
    filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
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

std::optional<FigureOptions> QtDialogProvider::chooseFigureOptions(const FigureOptions& start,
                                                                   bool withSummary) {
  FigureOptionsDialog dialog(start, withSummary, QApplication::activeWindow());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.options();
}

QString startingPath(const std::string& proposed, const QString& rememberedFolder,
                     bool rememberedFirst) {
  QString path = toQt(proposed);
  if (rememberedFirst && !rememberedFolder.isEmpty()) path = QFileInfo(path).fileName();
  if (rememberedFolder.isEmpty() || path.contains(QLatin1Char('/'))) return path;
  return path.isEmpty() ? rememberedFolder + QLatin1Char('/')
                        : QDir(rememberedFolder).filePath(path);
}
